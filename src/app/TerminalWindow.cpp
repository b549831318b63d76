#include "TerminalWindow.h"

#include "GuestLocation.h"
#include "ListingFormat.h"
#include "OVFDrives.h"
#include "StringTable.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

namespace {
// The " (3 of 10)" the engines add to the file they show.
constexpr std::string_view kCountSuffixStart = " (";
} // namespace

TTerminalWindow::TTerminalWindow(TVantryGuestSession& session, const TGuestOptions& options, std::string strVerb,
                                 bool* pFailed, bool* pSkipped)
    : m_engine(session), m_options(options), m_strVerb(std::move(strVerb)), m_pFailed(pFailed), m_pSkipped(pSkipped),
      m_progress(options, ::isatty(STDERR_FILENO) != 0, [this](const std::string& strItem) { return ShownName(strItem); })
{
    m_bAskOnTerminal = options.eReplace == EReplaceMode::Ask && ::isatty(STDIN_FILENO) != 0;
}

TTerminalWindow::~TTerminalWindow() { m_progress.ShowSummary(); }

void TTerminalWindow::Fail(const std::string& strText)
{
    m_progress.Clear();
    *m_pFailed = true;
    std::fprintf(stderr, "vantry %s: %s\n", m_strVerb.c_str(), strText.c_str());
}

// Every box the session and the engines show reports a failure.
int TTerminalWindow::MessageBoxText(const std::string& sText, const std::string&, unsigned)
{
    Fail(sText);
    return MessageBoxAnswer::kOk;
}

int TTerminalWindow::PaneMessageBox(const std::string& sText) { return MessageBoxText(sText, {}, 0); }

void TTerminalWindow::AddLocalName(const std::string& sWindows, const std::string& sTyped)
{
    m_localNames.emplace_back(sWindows, sTyped);
}

void TTerminalWindow::ReportTransfer(const TTransferEvent& event, const std::string&, const std::string&, unsigned)
{
    switch (event.eKind) {
    case ETransferEventKind::Skipped:
        *m_pSkipped = true;
        m_progress.Clear();
        std::fprintf(stderr, "vantry %s: skipped %s\n", m_strVerb.c_str(), Describe(event).c_str());
        return;
    case ETransferEventKind::Renamed:
        m_progress.Clear();
        std::fprintf(stderr, "vantry %s: %s\n", m_strVerb.c_str(), Describe(event).c_str());
        return;
    case ETransferEventKind::SessionEnded:
        // Told once, however many steps learn of it.
        if (m_bSessionEndReported)
            return;
        m_bSessionEndReported = true;
        Fail(Describe(event));
        return;
    case ETransferEventKind::Failed: Fail(Describe(event)); return;
    }
}

// Remote items as DRIVE/path, local ones as the user typed them (below a path the user typed)
// or as their POSIX path.
std::string TTerminalWindow::ItemName(const TTransferEvent& event) const
{
    return event.bRemoteItem ? RemoteDisplayPath(event.sItem) : LocalName(event.sItem);
}

std::string TTerminalWindow::LocalName(const std::string& sItem) const
{
    std::size_t nBest = 0;
    std::string sName;
    for (const auto& [sWindows, sTyped] : m_localNames) {
        const std::string sRoot = sWindows.back() == '\\' ? sWindows.substr(0, sWindows.size() - 1) : sWindows;
        const bool bInside = sItem.compare(0, sRoot.size(), sRoot) == 0 &&
                             (sItem.size() == sRoot.size() || sItem[sRoot.size()] == '\\');
        if (bInside && sRoot.size() >= nBest) {
            nBest = sRoot.size();
            std::string sRest = sItem.substr(sRoot.size());
            std::replace(sRest.begin(), sRest.end(), '\\', '/');
            std::string sTypedRoot = sTyped;
            while (sTypedRoot.size() > 1 && sTypedRoot.back() == '/' && !sRest.empty())
                sTypedRoot.pop_back();
            sName = sTypedRoot + sRest;
        }
    }
    if (nBest == 0 && !OVF_WindowsToPosixPath(sItem.c_str(), sName))
        sName = sItem;
    return sName;
}

std::string TTerminalWindow::Describe(const TTransferEvent& event) const
{
    const std::string sItem = ItemName(event);
    switch (event.eCause) {
    case ETransferCause::HostCannotRead:
        return sItem.empty() ? "the host cannot read that drive" : sItem + ": the host cannot read it";
    case ETransferCause::NotFound: return sItem + ": no such file or folder on the host";
    case ETransferCause::Exists: return sItem + ": exists (use --replace all)";
    case ETransferCause::NoRemovePrivilege: return sItem + ": exists, and replacing needs the host's remove privilege";
    case ETransferCause::HostCannotCreate: return sItem + ": the host cannot create it";
    case ETransferCause::HostCannotRemove:
        return "cannot remove " + sItem +
               ": the host refused (read-only, in use, no remove privilege, or a folder holding items guests cannot see)";
    case ETransferCause::HostCannotWrite: return sItem + ": the host cannot write it";
    case ETransferCause::HostDiskFull: return sItem + ": the host's disk is full";
    case ETransferCause::NameTakenMeanwhile: return sItem + ": the name was taken on the host meanwhile";
    case ETransferCause::LocalCannotRead: return sItem + ": cannot read it";
    case ETransferCause::LocalCannotWrite: return sItem + ": cannot write it";
    case ETransferCause::LocalDiskFull: return sItem + ": the local disk is full";
    case ETransferCause::NameClash:
        if (event.bRemoteItem)
            return sItem + ": not copied: here it would be named " + event.sDetail + ", as another item of this copy is";
        return sItem + ": clashes on the host with " + event.sDetail +
               ", sent before it (the host does not tell names apart by case, and fits them to its rules)";
    case ETransferCause::NameFitted: return (event.bRemoteItem ? "received " : "sent ") + sItem + " as " + event.sDetail;
    case ETransferCause::SymbolicLink: return sItem + ": symbolic link";
    case ETransferCause::NameNotSendable:
        return (event.sDetail.empty() ? sItem : sItem + "/" + event.sDetail) + ": the host cannot hold this name";
    case ETransferCause::NotRegularFile: return "not a regular file: " + sItem;
    case ETransferCause::FolderExists: return "cannot create folder " + sItem + ": it exists";
    case ETransferCause::NoWritePrivilege: return "cannot create folder " + sItem + ": no write privilege";
    case ETransferCause::FolderNotMade:
        return "cannot create folder " + sItem + ": the host refused (does its parent exist?)";
    case ETransferCause::PathTooLong: return sItem + ": the path is too long";
    case ETransferCause::NoRoom: return sItem + ": not enough free space";
    case ETransferCause::ConnectionLost: return "the connection to the host was lost";
    case ETransferCause::UnknownMessage:
        return "the host sent a message that a guest never receives (code " + event.sDetail + "); the session is closed";
    case ETransferCause::SystemError: return "a system error ended the session";
    }
    return sItem;
}

int TTerminalWindow::AskReplace(const std::string& sName, bool)
{
    if (m_options.eReplace == EReplaceMode::All || m_bYesToAll)
        return ReplaceAnswer::kYesToAll;
    if (!m_bAskOnTerminal)
        return ReplaceAnswer::kNo;
    m_progress.Clear();
    for (;;) {
        std::fprintf(stderr, "Replace %s? [y]es, [n]o, [a]ll, [c]ancel: ", sName.c_str());
        std::fflush(stderr);
        std::string strAnswer;
        if (!std::getline(std::cin, strAnswer))
            return ReplaceAnswer::kCancel;
        switch (strAnswer.empty() ? ' ' : strAnswer[0]) {
        case 'y': case 'Y': return ReplaceAnswer::kYes;
        case 'n': case 'N': return ReplaceAnswer::kNo;
        case 'a': case 'A': m_bYesToAll = true; return ReplaceAnswer::kYesToAll;
        case 'c': case 'C': return ReplaceAnswer::kCancel;
        default: break;
        }
    }
}

void TTerminalWindow::SetStatusText(const std::string& sText)
{
    if (sText == LoadStringId(IDS_PREPARING_TO_COPY))
        return;
    m_progress.Item(sText);
}

std::string TTerminalWindow::ShownName(const std::string& sText) const
{
    // The engines name the file in the file layer's namespace, followed by its count; the terminal
    // names it as the user does: "C/dir/name" on the host, here as typed (or the POSIX path).
    // (A path too long for the window's text has lost its count, and is shown as it came.)
    const std::size_t nSuffix = sText.rfind(kCountSuffixStart);
    const std::string strPath = sText.substr(0, !sText.empty() && sText.back() == ')' ? nSuffix : std::string::npos);
    // The files of a get come from the host.
    return EscapedName(m_strVerb == "get" ? RemoteDisplayPath(strPath) : LocalName(strPath));
}

void TTerminalWindow::SetStatusTotal(std::uint64_t nTotal) { m_progress.Start(nTotal); }

void TTerminalWindow::UpdateStatus(std::uint64_t nDone) { m_progress.Update(nDone); }

void TTerminalWindow::CloseStatus() { m_progress.End(); }

void TTerminalWindow::ShowAdmitWait()
{
    if (m_options.bQuiet)
        return;
    std::fprintf(stderr, "vantry %s: waiting for the host to admit this guest...\n", m_strVerb.c_str());
}

void TTerminalWindow::RemoteRemoveDone()
{
    if (onRemoveDone)
        onRemoveDone();
}

void TTerminalWindow::RemoteNewFolderDone(bool bMade)
{
    if (onNewFolderDone)
        onNewFolderDone(bMade);
}

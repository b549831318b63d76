#include "TerminalWindow.h"

#include "GuestLocation.h"
#include "ListingFormat.h"
#include "OVFDrives.h"
#include "StringTable.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {
// The " (3 of 10)" the engines add to the file they show.
constexpr std::string_view kCountSuffixStart = " (";
} // namespace

TTerminalWindow::TTerminalWindow(TVantryGuestSession& session, const TGuestOptions& options, std::string strVerb,
                                 bool* pFailed)
    : m_engine(session), m_options(options), m_strVerb(std::move(strVerb)), m_pFailed(pFailed),
      m_progress(options, ::isatty(STDERR_FILENO) != 0)
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
    // The engines name the file in the file layer's namespace, followed by its count; the terminal
    // names it as the user does: "C/dir/name" on the host, the POSIX path here.
    // (A path too long for the window's text has lost its count, and is shown as it came.)
    if (sText == LoadStringId(IDS_PREPARING_TO_COPY))
        return;
    const std::size_t nSuffix = sText.rfind(kCountSuffixStart);
    const std::string strPath = sText.substr(0, !sText.empty() && sText.back() == ')' ? nSuffix : std::string::npos);
    std::string strShown;
    if (m_strVerb == "get") // the files come from the host
        strShown = RemoteDisplayPath(strPath);
    else if (!OVF_WindowsToPosixPath(strPath.c_str(), strShown))
        strShown = strPath;
    m_progress.Item(EscapedName(strShown));
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

#include "TerminalWindow.h"

#include "StringTable.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {
constexpr std::uint32_t kProgressIntervalMs = 250;

std::string RemainingText(std::int64_t nSeconds)
{
    if (nSeconds <= 0)
        return {};
    if (nSeconds < 60)
        return std::to_string(nSeconds) + " seconds remaining";
    if (nSeconds < 120)
        return "1 minute remaining";
    if (nSeconds < 3600)
        return std::to_string(nSeconds / 60) + " minutes remaining";
    return std::to_string(nSeconds / 3600) + " hours remaining";
}
} // namespace

TTerminalWindow::TTerminalWindow(TVantryGuestSession& session, const TGuestOptions& options, std::string strVerb,
                                 bool* pFailed)
    : m_engine(session), m_options(options), m_strVerb(std::move(strVerb)), m_pFailed(pFailed)
{
    m_bProgress = ::isatty(STDERR_FILENO) != 0;
    m_bAskOnTerminal = options.eReplace == EReplaceMode::Ask && ::isatty(STDIN_FILENO) != 0;
}

void TTerminalWindow::Fail(const std::string& strText)
{
    ClearProgressLine();
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
    ClearProgressLine();
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

void TTerminalWindow::SetStatusTotal(std::uint64_t nTotal)
{
    m_nTotal = nTotal;
    m_meter.Start(nTotal);
    m_nLastLine = 0;
    m_strRemaining.clear();
}

void TTerminalWindow::UpdateStatus(std::uint64_t nDone)
{
    if (const auto nSeconds = m_meter.Sample(nDone))
        m_strRemaining = RemainingText(*nSeconds);
    if (!m_bProgress)
        return;
    const std::uint32_t nNow = m_meter.ElapsedMs();
    if (m_bLineShown && nNow - m_nLastLine < kProgressIntervalMs)
        return;
    m_nLastLine = nNow;
    const unsigned nPercent = m_nTotal ? static_cast<unsigned>(std::min<std::uint64_t>(nDone * 100 / m_nTotal, 100)) : 100;
    std::string strFile = m_strStatusFile;
    if (strFile.size() > 40)
        strFile = "..." + strFile.substr(strFile.size() - 37);
    std::fprintf(stderr, "\r\033[K%s  %llu bytes  %u%%  %llu kb/sec  %s", strFile.c_str(),
                 static_cast<unsigned long long>(nDone), nPercent,
                 static_cast<unsigned long long>(m_meter.RateBytesPerSecond(nDone) / 1000), m_strRemaining.c_str());
    std::fflush(stderr);
    m_bLineShown = true;
}

void TTerminalWindow::ClearProgressLine()
{
    if (!m_bLineShown)
        return;
    std::fputs("\r\033[K", stderr);
    m_bLineShown = false;
}

void TTerminalWindow::CloseStatus() { ClearProgressLine(); }

void TTerminalWindow::ShowAdmitWait()
{
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

#include "ProgressDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {
constexpr std::uint64_t kRedrawMs = 200;
// The remaining time is an average over the whole copy so far, so that it does not jump with
// each packet; it is trusted after a second.
constexpr std::uint64_t kFirstEstimateMs = 1000;

std::size_t TerminalWidth()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}
} // namespace

TProgressDisplay::TProgressDisplay(const TGuestOptions& options, bool bTerminal, TShownName shownName)
    : m_bShow(bTerminal && !options.bQuiet), m_bVerbose(options.bVerbose), m_shownName(std::move(shownName))
{
}

std::uint64_t TProgressDisplay::MsSince(TClock::time_point start) const
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count());
}

void TProgressDisplay::Start(std::uint64_t nTotal)
{
    m_state = TProgressState{};
    m_strItem.clear();
    m_bItemShown = true;
    m_state.nTotal = nTotal;
    m_copyStart = TClock::now();
    m_bRunning = true;
    m_bAnyCopy = true;
}

void TProgressDisplay::Item(const std::string& strItem)
{
    m_strItem = strItem;
    m_bItemShown = false;
    if (m_bVerbose) {
        Clear();
        std::printf("%s\n", ShownItem().c_str());
        std::fflush(stdout);
    }
}

const std::string& TProgressDisplay::ShownItem()
{
    if (!m_bItemShown) {
        m_state.strItem = m_shownName(m_strItem);
        m_bItemShown = true;
    }
    return m_state.strItem;
}

void TProgressDisplay::Update(std::uint64_t nDone)
{
    m_state.nDone = nDone;
    m_state.nElapsedMs = MsSince(m_copyStart);
    if (m_state.nElapsedMs >= kFirstEstimateMs && nDone > 0) {
        const std::uint64_t nLeft = m_state.nTotal > nDone ? m_state.nTotal - nDone : 0;
        m_state.remaining = static_cast<std::uint64_t>(static_cast<double>(nLeft) * static_cast<double>(m_state.nElapsedMs) /
                                                       static_cast<double>(nDone) / 1000.0 + 0.5);
    }
    if (!m_bShow || (m_bLineShown && MsSince(m_lastDraw) < kRedrawMs))
        return;
    Draw();
}

void TProgressDisplay::Draw()
{
    m_lastDraw = TClock::now();
    ShownItem();
    std::fprintf(stderr, "\r\033[K%s", ProgressLine(m_state, TerminalWidth()).c_str());
    std::fflush(stderr);
    m_bLineShown = true;
}

void TProgressDisplay::End()
{
    if (!m_bRunning)
        return;
    m_bRunning = false;
    m_nBytesBefore += m_state.nDone;
    m_nMsBefore += MsSince(m_copyStart);
    Clear();
}

void TProgressDisplay::Clear()
{
    if (!m_bLineShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_bLineShown = false;
}

void TProgressDisplay::ShowSummary()
{
    End();
    if (!m_bShow || !m_bAnyCopy)
        return;
    std::fprintf(stderr, "%s\n", SummaryLine(m_nFilesCopied, m_nBytesBefore, m_nMsBefore).c_str());
    std::fflush(stderr);
}

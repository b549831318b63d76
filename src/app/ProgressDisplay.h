// A copy's progress on the terminal: one line redrawn on standard error (when it is a terminal
// and -q was not given), one line per file on standard output with -v, and a summary that stays
// once the verb ends. The figures cover every copy the verb ran.
#pragma once

#include "GuestOptions.h"
#include "ProgressText.h"

#include <chrono>
#include <cstdint>
#include <string>

class TProgressDisplay {
public:
    TProgressDisplay(const TGuestOptions& options, bool bTerminal);

    // A copy starts with nTotal bytes to move.
    void Start(std::uint64_t nTotal);
    // The file now being copied, as the user knows it.
    void Item(const std::string& strItem);
    // nDone bytes of this copy moved.
    void Update(std::uint64_t nDone);
    // This copy is over.
    void End();
    // Files that arrived whole (counted in the summary).
    void CountCopied(std::uint64_t nFiles) { m_nFilesCopied += nFiles; }
    // Takes the progress line off the screen before another line is written.
    void Clear();
    // The closing line, when a copy ran and progress is shown.
    void ShowSummary();

private:
    using TClock = std::chrono::steady_clock;
    std::uint64_t MsSince(TClock::time_point start) const;
    void Draw();

    bool m_bShow;    // the progress line and the summary
    bool m_bVerbose;
    bool m_bRunning = false;
    bool m_bAnyCopy = false;
    bool m_bLineShown = false;
    TProgressState m_state;
    TClock::time_point m_copyStart;
    TClock::time_point m_lastDraw;
    std::uint64_t m_nBytesBefore = 0; // moved by the copies already ended
    std::uint64_t m_nMsBefore = 0;
    std::uint64_t m_nFilesCopied = 0;
};

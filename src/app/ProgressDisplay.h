// A copy's progress on the terminal: one line redrawn on standard error (when it is a terminal
// and -q was not given), one line per file on standard output with -v, and a summary that stays
// once the verb ends. The figures cover every copy the verb ran.
#pragma once

#include "GuestOptions.h"
#include "ProgressText.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class TProgressDisplay {
public:
    // shownName turns an item as the engines name it into the name the user knows; it runs only
    // when the item is shown, not for every file.
    using TShownName = std::function<std::string(const std::string&)>;
    TProgressDisplay(const TGuestOptions& options, bool bTerminal, TShownName shownName);

    // A copy starts with nTotal bytes to move.
    void Start(std::uint64_t nTotal);
    // The file now being copied, as the engines name it.
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
    const std::string& ShownItem();

    bool m_bShow;    // the progress line and the summary
    bool m_bVerbose;
    bool m_bRunning = false;
    bool m_bAnyCopy = false;
    bool m_bLineShown = false;
    TShownName m_shownName;
    std::string m_strItem;     // as the engines name it
    bool m_bItemShown = true;  // m_state.strItem is the shown form of m_strItem
    TProgressState m_state;
    TClock::time_point m_copyStart;
    TClock::time_point m_lastDraw;
    std::uint64_t m_nBytesBefore = 0; // moved by the copies already ended
    std::uint64_t m_nMsBefore = 0;
    std::uint64_t m_nFilesCopied = 0;
};

// Runs a guest verb: connects to the location's host through the host application's guest
// half, opens the guest session with a terminal window, lists the host's volumes (and a
// folder), runs the verb's work from the event loop, and turns the end into an exit status.
#pragma once

#include "GuestConnection.h"
#include "GuestLocation.h"
#include "GuestOptions.h"
#include "TerminalWindow.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Exit statuses of the guest verbs.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSkipped = 3; // done, but items were left out

// What the copies of one run came to, over all the items named on the command line.
struct TCopyTotals {
    std::uint64_t nFilesCopied = 0;
    std::uint64_t nFilesFailed = 0;
    std::uint64_t nItemsSkipped = 0;
    std::size_t nNotCopied = 0; // left when a copy stopped
    bool bStopped = false;
};

class TGuestRun {
public:
    TGuestRun(TVantryGuestSession& rSession, TTerminalWindow& rWindow, std::function<void()> fnFinish)
        : session(rSession), window(rWindow), m_fnFinish(std::move(fnFinish)) {}
    // Ends the session; the exit status is non-zero when a failure was shown.
    void Finish() { m_fnFinish(); }

    TVantryGuestSession& session;
    TTerminalWindow& window;
    TCopyTotals totals;

private:
    std::function<void()> m_fnFinish;
};

// strListFirst: the remote folder listed before the work starts (empty: the volumes alone).
int RunGuestSession(int argc, char** argv, const char* pszVerb, const TGuestOptions& options,
                    const TGuestLocation& location, const std::string& strListFirst,
                    std::function<void(TGuestRun& run)> fnWork);

// The listed entry of that name (long or short name; one in another letter case when none has
// it exactly), or null.
const TRemoteEntry* FindListedEntry(const std::vector<TRemoteEntry>& entries, const std::string& strName);
// The password given by --password-file or $VANTRY_PASSWORD; *pbGiven is false when neither
// gives one. False (with *pError) when the password file cannot be read.
bool ReadGivenPassword(const TGuestOptions& options, std::string* pPassword, bool* pbGiven, std::string* pError);
// Where and how to connect for a location under the options; the password is not filled in.
void FillGuestTarget(const TGuestOptions& options, const TGuestLocation& location, TGuestTarget* pTarget);
// Prints the verb's usage error and returns 2.
int UsageError(const char* pszVerb, const std::string& strError);

// Throttles password guessing: logins from an address with refusals behind it are checked one
// at a time, each after a delay that doubles while the address keeps failing, and refusals
// from all addresses together are answered no faster than a fixed pace. An address with no
// refusals is checked at once, so a guest from elsewhere is served without waiting.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

class TLoginThrottle {
public:
    using TClock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kFirstDelay{1000};
    static constexpr std::chrono::milliseconds kLongestDelay{60000};
    // Between two refusals of any addresses.
    static constexpr std::chrono::milliseconds kOverallSpacing{100};
    // An address quiet for this long starts afresh.
    static constexpr std::chrono::minutes kForgetAfter{15};

    // When a login from strAddress that has just arrived may be checked; the turn is taken.
    TClock::time_point CheckTime(const std::string& strAddress, TClock::time_point now);
    // The login checked at `now` was refused: when the refusal is to be answered.
    TClock::time_point Refused(const std::string& strAddress, TClock::time_point now);
    // The login checked at `now` was accepted: the address starts afresh.
    void Accepted(const std::string& strAddress);
    // A login that gave up before its turn (its connection closed).
    void Abandoned(const std::string& strAddress);

    // The refusals behind an address, for the log.
    unsigned Failures(const std::string& strAddress) const;
    std::size_t TrackedAddresses() const { return m_addresses.size(); }

    // The address part of a peer name ("192.0.2.1:4000", "[::1]:4000").
    static std::string SourceAddress(const std::string& strPeer);

private:
    struct TAddress {
        unsigned nFailures = 0;
        unsigned nWaiting = 0;               // logins that have a turn and are not yet decided
        TClock::time_point nextCheck{};      // no check of this address before this
        TClock::time_point lastSeen{};
    };

    static std::chrono::milliseconds Delay(unsigned nFailures);
    void Forget(TClock::time_point now);

    std::map<std::string, TAddress> m_addresses;
    TClock::time_point m_nextRefusal{};
};

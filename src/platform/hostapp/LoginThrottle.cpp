#include "LoginThrottle.h"

#include <algorithm>

std::chrono::milliseconds TLoginThrottle::Delay(unsigned nFailures)
{
    if (nFailures == 0)
        return std::chrono::milliseconds(0);
    const unsigned nDoublings = std::min(nFailures - 1, 16u);
    return std::min(std::chrono::milliseconds(kFirstDelay.count() << nDoublings), kLongestDelay);
}

TLoginThrottle::TClock::time_point TLoginThrottle::CheckTime(const std::string& strAddress, TClock::time_point now)
{
    Forget(now);
    TAddress& address = m_addresses[strAddress];
    address.lastSeen = now;
    const TClock::time_point turn = std::max(now, address.nextCheck);
    // The turn after this one assumes that this one is refused too: logins of one address never
    // overlap, however many connections it opens.
    address.nextCheck = turn + Delay(address.nFailures + address.nWaiting + 1);
    ++address.nWaiting;
    return turn;
}

TLoginThrottle::TClock::time_point TLoginThrottle::Refused(const std::string& strAddress, TClock::time_point now)
{
    TAddress& address = m_addresses[strAddress];
    address.lastSeen = now;
    address.nWaiting = address.nWaiting > 0 ? address.nWaiting - 1 : 0;
    ++address.nFailures;
    const TClock::time_point answer = std::max(now + Delay(address.nFailures), m_nextRefusal);
    m_nextRefusal = answer + kOverallSpacing;
    address.nextCheck = std::max(address.nextCheck, answer);
    return answer;
}

void TLoginThrottle::Accepted(const std::string& strAddress)
{
    TAddress& address = m_addresses[strAddress];
    address.nWaiting = address.nWaiting > 0 ? address.nWaiting - 1 : 0;
    address.nFailures = 0;
    if (address.nWaiting == 0)
        address.nextCheck = TClock::time_point{};
}

void TLoginThrottle::Abandoned(const std::string& strAddress)
{
    const auto it = m_addresses.find(strAddress);
    if (it != m_addresses.end() && it->second.nWaiting > 0)
        --it->second.nWaiting;
}

unsigned TLoginThrottle::Failures(const std::string& strAddress) const
{
    const auto it = m_addresses.find(strAddress);
    return it == m_addresses.end() ? 0 : it->second.nFailures;
}

void TLoginThrottle::Forget(TClock::time_point now)
{
    std::erase_if(m_addresses, [now](const auto& item) {
        const TAddress& address = item.second;
        return address.nWaiting == 0 && address.nextCheck < now && now - address.lastSeen > kForgetAfter;
    });
}

std::string TLoginThrottle::SourceAddress(const std::string& strPeer)
{
    if (!strPeer.empty() && strPeer.front() == '[') {
        const std::size_t nEnd = strPeer.find(']');
        return nEnd == std::string::npos ? strPeer : strPeer.substr(1, nEnd - 1);
    }
    const std::size_t nColon = strPeer.rfind(':');
    return nColon == std::string::npos ? strPeer : strPeer.substr(0, nColon);
}

#include "ServeLog.h"

#include <cstdio>
#include <ctime>

namespace {
ELogLevel g_eLevel = ELogLevel::Info;
} // namespace

void SetServeLogLevel(ELogLevel eLevel) { g_eLevel = eLevel; }

void ServeLog(const std::string& strLine, ELogLevel eLevel)
{
    if (eLevel > g_eLevel)
        return;
    // A busy host logs many lines a second: the time is formatted once per second.
    static std::time_t lastTime = -1;
    static char szTime[32] = {};
    if (const std::time_t now = std::time(nullptr); now != lastTime) {
        std::tm tmNow {};
        localtime_r(&now, &tmNow);
        std::strftime(szTime, sizeof szTime, "%Y-%m-%d %H:%M:%S", &tmNow);
        lastTime = now;
    }
    std::fprintf(stderr, "vantry: %s %s\n", szTime, strLine.c_str());
    std::fflush(stderr);
}

std::string LogSafe(std::string_view str, std::size_t nMax)
{
    std::string strSafe;
    for (char c : str.substr(0, nMax))
        strSafe += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return strSafe;
}

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
    const std::time_t now = std::time(nullptr);
    char szTime[32] = {};
    std::tm tmNow {};
    localtime_r(&now, &tmNow);
    std::strftime(szTime, sizeof szTime, "%Y-%m-%d %H:%M:%S", &tmNow);
    std::fprintf(stderr, "vantry: %s %s\n", szTime, strLine.c_str());
    std::fflush(stderr);
}

std::string LogSafe(std::string_view str)
{
    std::string strSafe;
    for (char c : str.substr(0, 64))
        strSafe += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return strSafe;
}

#include "ProgressText.h"

#include <algorithm>
#include <cstdio>

std::string HumanBytes(std::uint64_t nBytes)
{
    if (nBytes < 1000)
        return std::to_string(nBytes) + " B";
    constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(nBytes);
    std::size_t nUnit = 0;
    for (value /= 1000; value >= 999.5 && nUnit + 1 < std::size(kUnits); value /= 1000)
        ++nUnit;
    char szText[32];
    std::snprintf(szText, sizeof szText, value < 9.995 ? "%.2f %s" : value < 99.95 ? "%.1f %s" : "%.0f %s", value,
                  kUnits[nUnit]);
    return szText;
}

std::string RateText(std::uint64_t nBytes, std::uint64_t nMs)
{
    if (nMs == 0)
        return "- MB/s";
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.1f MB/s", static_cast<double>(nBytes) / 1000.0 / static_cast<double>(nMs));
    return szText;
}

std::string ClockText(std::uint64_t nSeconds)
{
    char szText[32];
    if (nSeconds >= 3600)
        std::snprintf(szText, sizeof szText, "%llu:%02u:%02u", static_cast<unsigned long long>(nSeconds / 3600),
                      static_cast<unsigned>(nSeconds / 60 % 60), static_cast<unsigned>(nSeconds % 60));
    else
        std::snprintf(szText, sizeof szText, "%u:%02u", static_cast<unsigned>(nSeconds / 60), static_cast<unsigned>(nSeconds % 60));
    return szText;
}

std::string ProgressLine(const TProgressState& state, std::size_t nWidth)
{
    const unsigned nPercent =
        state.nTotal ? static_cast<unsigned>(std::min<std::uint64_t>(state.nDone * 100 / state.nTotal, 100)) : 100;
    std::string strFigures = "  " + HumanBytes(state.nDone) + " / " + HumanBytes(state.nTotal) + "  " +
                             std::to_string(nPercent) + "%  " + RateText(state.nDone, state.nElapsedMs);
    if (state.remaining)
        strFigures += "  " + ClockText(*state.remaining) + " left";
    if (strFigures.size() >= nWidth)
        return strFigures.substr(2, nWidth ? nWidth - 1 : 0);
    std::string strItem = state.strItem;
    const std::size_t nRoom = nWidth - 1 - strFigures.size();
    if (strItem.size() > nRoom && nRoom <= 3) {
        strItem.clear();
    } else if (strItem.size() > nRoom) {
        std::size_t nFrom = strItem.size() - (nRoom - 3);
        while (nFrom < strItem.size() && (static_cast<unsigned char>(strItem[nFrom]) & 0xC0) == 0x80)
            ++nFrom; // never start inside a UTF-8 character
        strItem = "..." + strItem.substr(nFrom);
    }
    return strItem + strFigures;
}

std::string SummaryLine(std::uint64_t nFiles, std::uint64_t nBytes, std::uint64_t nElapsedMs)
{
    return std::to_string(nFiles) + (nFiles == 1 ? " file, " : " files, ") + HumanBytes(nBytes) + " in " +
           ClockText((nElapsedMs + 500) / 1000) + " (" + RateText(nBytes, nElapsedMs) + ")";
}

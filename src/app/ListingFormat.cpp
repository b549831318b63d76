#include "ListingFormat.h"

#include "MacTime.h"

#include <cstdio>

namespace {
constexpr std::size_t kIsoLocalWidth = sizeof "2024-03-05T14:07:09+01:00" - 1;

// Bytes of the well-formed UTF-8 character at text[i] (overlong forms and surrogates refused), 0 if none.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t n) { return static_cast<unsigned char>(text[n]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    std::uint32_t nCode = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        nCode = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        nCode = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        nCode = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        nCode = (nCode << 6) | (byte(i + k) & 0x3F);
    }
    const bool bOverlong = (n == 3 && nCode < 0x800) || (n == 4 && nCode < 0x10000);
    if (bOverlong || (nCode >= 0xD800 && nCode <= 0xDFFF) || nCode > 0x10FFFF)
        return 0;
    return n;
}

std::string HexEscape(unsigned char c, const char* pszForm)
{
    char szText[8];
    std::snprintf(szText, sizeof szText, pszForm, c);
    return szText;
}

std::string FormatTime(const std::tm& fields, const char* pszForm)
{
    char szText[40];
    return std::strftime(szText, sizeof szText, pszForm, &fields) ? szText : std::string();
}

enum class EEscapeForm { Terminal, Json };

// Writes control characters (C0, DEL and the C1 range U+0080 to U+009F), backslashes and (for
// JSON) quotes as escapes; a byte that is not UTF-8 becomes "\xHH" for the terminal and U+FFFD
// in JSON, which must stay valid UTF-8.
std::string Escaped(std::string_view text, EEscapeForm eForm)
{
    const bool bJson = eForm == EEscapeForm::Json;
    std::string strText;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            strText += bJson ? std::string("\xEF\xBF\xBD") : HexEscape(c, "\\x%02x");
            ++i;
            continue;
        }
        const bool bC1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (bC1) {
            strText += bJson ? HexEscape(static_cast<unsigned char>(text[i + 1]), "\\u%04x")
                             : HexEscape(c, "\\x%02x") + HexEscape(static_cast<unsigned char>(text[i + 1]), "\\x%02x");
        } else if (c == '\\') {
            strText += "\\\\";
        } else if (c == '"' && bJson) {
            strText += "\\\"";
        } else if (c == '\n' || c == '\r' || c == '\t') {
            strText += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            strText += HexEscape(c, bJson ? "\\u%04x" : "\\x%02x");
        } else {
            strText.append(text.substr(i, n));
        }
        i += n;
    }
    return strText;
}

const char* KindWord(EListedKind eKind)
{
    switch (eKind) {
    case EListedKind::Volume: return "volume";
    case EListedKind::Folder: return "folder";
    case EListedKind::File: return "file";
    }
    return "file";
}
} // namespace

std::optional<std::time_t> MomentOfListedMacTime(std::uint32_t dwMacTime)
{
    if (dwMacTime == 0)
        return std::nullopt;
    FILETIME fileTime{};
    OVConvertMacTimeToFileTime(OVMacTimeToWireOrder(dwMacTime), &fileTime);
    const std::uint64_t nTicks = (std::uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    constexpr std::int64_t kFileTimeTo1970 = 11'644'473'600; // seconds from 1601 to 1970
    return static_cast<std::time_t>(std::int64_t(nTicks / 10'000'000) - kFileTimeTo1970);
}

std::string IsoLocalTime(std::time_t tMoment)
{
    std::tm fields{};
    if (!localtime_r(&tMoment, &fields))
        return {};
    // strftime's %z has no colon ("+0100"); ISO 8601's extended form wants "+01:00".
    std::string strText = FormatTime(fields, "%Y-%m-%dT%H:%M:%S%z");
    if (strText.size() == kIsoLocalWidth - 1)
        strText.insert(strText.size() - 2, ":");
    return strText;
}

std::string IsoUtcTime(std::time_t tMoment)
{
    std::tm fields{};
    return gmtime_r(&tMoment, &fields) ? FormatTime(fields, "%Y-%m-%dT%H:%M:%SZ") : std::string();
}

std::string EscapedName(std::string_view name) { return Escaped(name, EEscapeForm::Terminal); }

std::string JsonString(std::string_view text) { return "\"" + Escaped(text, EEscapeForm::Json) + "\""; }

std::string ListingLine(const TListedItem& item)
{
    const std::string strTime = item.modified ? IsoLocalTime(*item.modified) : std::string();
    char szColumns[96];
    std::snprintf(szColumns, sizeof szColumns, "%-6s %13llu %-*s  ", KindWord(item.eKind),
                  static_cast<unsigned long long>(item.nSize), static_cast<int>(kIsoLocalWidth),
                  strTime.empty() ? "-" : strTime.c_str());
    return szColumns + EscapedName(item.strName);
}

std::string ListingJson(const TListedItem& item)
{
    std::string strJson = "{\"name\":" + JsonString(item.strName) + ",\"kind\":\"" + KindWord(item.eKind) +
                          "\",\"size\":" + std::to_string(item.nSize) + ",\"modified\":";
    strJson += item.modified ? "\"" + IsoUtcTime(*item.modified) + "\"" : std::string("null");
    strJson += ",\"attributes\":[";
    constexpr struct {
        std::uint8_t nBit;
        const char* pszName;
    } kAttributes[] = {{0x01, "read-only"}, {0x02, "hidden"}, {0x04, "system"}, {0x20, "archive"}};
    const char* pszSeparator = "";
    for (const auto& attribute : kAttributes) {
        if (item.nAttributes & attribute.nBit) {
            strJson += pszSeparator + std::string("\"") + attribute.pszName + "\"";
            pszSeparator = ",";
        }
    }
    return strJson + "]}";
}

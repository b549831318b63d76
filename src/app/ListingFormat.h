// How `vantry ls` writes an entry: a line of fixed columns for people, or a JSON object per line
// for scripts. Dates carry their zone; names never carry raw control characters to a terminal.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

enum class EListedKind { Volume, Folder, File };

struct TListedItem {
    std::string strName;
    EListedKind eKind = EListedKind::File;
    std::uint64_t nSize = 0;              // bytes; the free bytes of a volume
    std::optional<std::time_t> modified; // none when the host sends no time
    std::uint8_t nAttributes = 0;        // 0x01 read-only, 0x02 hidden, 0x04 system, 0x20 archive
};

// The moment a listed Mac time (host order, counting this machine's wall clock) names; none for 0.
std::optional<std::time_t> MomentOfListedMacTime(std::uint32_t dwMacTime);

// "2024-03-05T14:07:09+01:00" in the local zone, and "2024-03-05T13:07:09Z".
std::string IsoLocalTime(std::time_t tMoment);
std::string IsoUtcTime(std::time_t tMoment);

// The name with control characters, backslashes and bytes that are not UTF-8 written as C
// escapes ("\n", "\\", "\x1b"), so that a name shows on one line and cannot drive the terminal.
std::string EscapedName(std::string_view name);
// A JSON string literal, quotes included: control characters as \u escapes, bytes that are not
// UTF-8 as U+FFFD.
std::string JsonString(std::string_view text);

// "file       1234 2024-03-05T14:07:09+01:00  name" (a "-" stands for a missing date).
std::string ListingLine(const TListedItem& item);
// {"name":…,"kind":…,"size":…,"modified":…|null,"attributes":[…]}
std::string ListingJson(const TListedItem& item);

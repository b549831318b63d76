// One selected item of a copy: its name in the source folder and its kind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct TCopyItem {
    std::string sName; // remote names are those of the remote listing
    bool bFolder = false;
    std::uint32_t dwModTime = 0; // a remote folder's Mac time (host order) when the listing gave one, else 0
    std::optional<std::uint64_t> nSize = std::nullopt; // a file's size, when its folder's listing gave it
};

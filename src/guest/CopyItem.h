// One selected item of a copy: its name in the source folder and its kind.
#pragma once

#include <string>

struct TCopyItem {
    std::string sName; // remote names are those of the remote listing
    bool bFolder = false;
};

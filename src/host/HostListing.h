// The folder listing under way: the search that kFTP_msgListFiles walks, one kFTP_msgAFile
// write per entry. Reset whole when a listing ends or another begins.
#pragma once

#include "LFN.h"
#include "WinTypes.h"

class THostListing {
public:
    THostListing() = default;
    ~THostListing() { Reset(); }
    THostListing(const THostListing&) = delete;
    THostListing& operator=(const THostListing&) = delete;

    // Starts the search of pszPattern; false when nothing matches.
    bool Begin(const char* pszPattern);
    // The next entry into Entry(); false (and the search closed) at the end.
    bool Next();
    WIN32_FIND_DATA& Entry() { return m_entry; }
    void Reset();

private:
    WIN32_FIND_DATA m_entry{};
    LFN_HANDLE m_hFind = 0; // 0 when no search is open
};

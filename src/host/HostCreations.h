// The empty files this session's kFTP_msgCreate made for uploads still to come. An upload may
// take such a name without the remove privilege, a pipelined one may take no other, and the
// one whose upload does not complete goes with it.
#pragma once

#include "OVFUploads.h"

#include <cstddef>
#include <deque>
#include <string>

class THostCreations {
public:
    // Creates the empty file; the answer to kFTP_msgCreate (0, -48 taken, 256 cannot be created).
    std::int16_t Create(const char* pszPath);
    // The identity of the file this session created at pszPath, when that file is still there,
    // empty and the same file; null otherwise.
    const OVFFileIdentity* Ours(const std::string& strPath);
    bool Remembers(const std::string& strPath) { return Find(strPath) != m_entries.end(); }
    // The path of the latest file created under this name, in whatever folder; empty when none.
    std::string Named(const std::string& strName) const;
    // The upload took the name (or gave up on it, bRemove: its empty file goes too).
    void Forget(const std::string& strPath, bool bRemove);

private:
    struct TEntry {
        std::string strPath;
        OVFFileIdentity identity;
    };
    std::deque<TEntry>::iterator Find(const std::string& strPath);
    static void RemoveIfOurs(const TEntry& entry);

    // A guest creates a batch ahead of its uploads; older entries than this many are forgotten
    // (their files stay, as any file created and never written).
    static constexpr std::size_t kRemembered = 64;
    std::deque<TEntry> m_entries;
};

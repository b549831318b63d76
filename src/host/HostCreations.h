// The empty files this session's kFTP_msgCreate made for uploads still to come. An upload may
// take such a name without the remove privilege, a pipelined one may take no other, and the
// ones whose uploads never completed go when the session or an abort ends them.
#pragma once

#include "OVFUploads.h"
#include "PipelineLimits.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

class THostCreations {
public:
    // Creates the empty file; the answer to kFTP_msgCreate (0, -48 taken, 256 cannot be created).
    std::int16_t Create(const char* pszPath);
    // The identity of the file this session created at pszPath, when that file is still there,
    // empty and the same file; null otherwise.
    const OVFFileIdentity* Ours(const std::string& strPath);
    bool Remembers(const std::string& strPath) const { return m_entries.contains(strPath); }
    // The identity of the file this session created at strPath, as created (not checked now).
    std::optional<OVFFileIdentity> Created(const std::string& strPath) const;
    // The path of the latest file created under this name, in whatever folder; empty when none.
    std::string Named(const std::string& strName) const;
    // An empty file is complete as it is: it stays when the uploads are swept.
    void Complete(const std::string& strPath);
    // The upload took the name (or gave up on it, bRemove: its empty file goes too).
    void Forget(const std::string& strPath, bool bRemove);
    // Removes every empty file still waiting for its data.
    void Sweep();

private:
    // A guest creates a batch ahead of its uploads, and each upload must find its create
    // remembered; older entries than this many are forgotten (their files stay, as any file
    // created and never written).
    static constexpr std::size_t kRemembered = 2 * kPipelinedCreatesAhead;

    struct TEntry {
        OVFFileIdentity identity;
        bool bComplete = false;
        std::uint64_t nSerial = 0; // which create made it: a path may be created again
    };
    static void RemoveIfOurs(const std::string& strPath, const TEntry& entry);
    // Paths in the order of their creates; a pair whose serial is not the entry's is stale.
    bool IsLive(const std::pair<std::string, std::uint64_t>& created) const;
    void ForgetOldest();

    std::unordered_map<std::string, TEntry> m_entries;
    std::deque<std::pair<std::string, std::uint64_t>> m_order;
    std::uint64_t m_nSerial = 0;
};

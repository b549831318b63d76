// Switches for tests: injected failures, the forced fallback resolution, index statistics.
// Tests run as root, where permission bits stop nothing; a fault injected here is the way to
// get a file that cannot be opened, written, removed or listed.
#pragma once

#include <cstdint>

enum class OVFOp {
    open,        // Open32, any mode
    openWrite,   // Open32 for writing or creating
    read, write, seek, flush, close, setLength, getLength, lock,
    rename,      // matched on the old name
    remove, getStatus, setStatus,
    findFirst,   // matched on the folder being listed
    findNext,    // matched on the folder being listed
    mkdir, rmdir, freeSpace, volumeName,
};

// From now on the next nCount calls (-1: every call until cleared) of op on pszPath fail with
// nError. The path is compared after lexical normalisation ("c:\A\\b\..\c" = "C:\A\C") and
// without regard to case; null or "" matches every path. Calls on an open handle match the
// name the handle was opened with.
void OVF_InjectFault(OVFOp op, const char* pszPath, int nError, int nCount = -1);
// A process that a test starts (a host serving a share) reads its faults once, at the first
// call that can fail, from VANTRY_OVF_FAULTS: "op:path:errno" entries separated by ';', op
// named as above ("open:C:\dir\f.txt:13;findFirst:C:\dir\sub:13"), each until cleared.
void OVF_ClearFaults();

// Forces the component-by-component walk (openat with O_NOFOLLOW) in place of openat2
// RESOLVE_BENEATH, as on kernels or sandboxes without openat2.
void OVF_ForceResolveFallback(bool bForce);
// True when resolution uses the walk (forced, or openat2 unavailable).
bool OVF_UsingResolveFallback();

// Disables the user.DOSATTRIB extended attribute, as on a file system without extended
// attributes.
void OVF_DisableAttributeStore(bool bDisable);
// Reads stored attributes by the entry's /proc path, as on kernels without getxattrat.
void OVF_ForceAttributeReadByPath(bool bForce);

struct TOVFIndexStats {
    std::uint64_t nBuilds = 0;          // folder indexes built or rebuilt
    std::uint64_t nInPlaceUpdates = 0;  // own changes applied to an index without rebuilding
};
TOVFIndexStats OVF_GetIndexStats();
// The most folders whose index is kept at once (least recently used is dropped first).
void OVF_SetIndexLimit(unsigned nFolders);

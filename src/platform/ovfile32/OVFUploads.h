// Files that receive an upload. The data goes into a temporary file in the destination folder,
// under a name this namespace cannot address (so no listing shows it and no request can name
// it), and takes its final name only once it is complete: an earlier file of that name stays
// as it was until then, and a broken upload leaves nothing behind.
//
// Each folder that receives temporaries is also noted in a journal folder of this user, under
// the process's number (which the temporaries' names carry too), so that a later process can
// remove the leftovers of one that ended without cleaning up.
#pragma once

#include "OVFTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// Which file a name leads to: the same device and inode are the same file, whatever its name.
struct OVFFileIdentity {
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
    bool operator==(const OVFFileIdentity&) const = default;
};

// Creates an empty file that takes the place of an upload until its data is complete, never
// opening one that is there: EEXIST when the name (in any case, or as an alias) is taken.
// Returns TRUE and the new file's identity, or FALSE with *pOsError set.
BOOL OVF_CreatePlaceholder(const char* pszPath, OVFFileIdentity* pIdentity, DWORD* pOsError);
// TRUE when pszPath names an empty regular file of that identity.
BOOL OVF_IsPlaceholder(const char* pszPath, const OVFFileIdentity& identity);
// The empty file is complete as it is (an empty upload): a sweep after this process has died
// leaves it alone. Without this, a sweep removes each empty file the process made that is
// still unchanged.
void OVF_SettlePlaceholder(const OVFFileIdentity& identity);
// A folder made to hold a copy until it is moved into place (POSIX path): a sweep after this
// process has died removes it when nothing is left in it but this process's temporaries.
void OVF_NoteStagingFolder(const char* pszPosixDir);
// The journal entry stays open while uploads come; this closes it until the next one (a
// session that ends leaves no descriptor of its own behind).
void OVF_CloseUploadJournal();

// When the hold of an upload's empty file on its name is checked: as the temporary is made and
// again as it takes the name, or only as it takes the name (for a caller that answers a lost
// name only then anyway: one lookup fewer per upload).
enum class OVFHoldCheck { AtOpenAndCommit, AtCommit };

// Creates the temporary beside pszFinalPath (whose folder must exist) and opens it for writing.
// Returns a handle for Write32 / Close32 and fills *pToken, or kOVF_invalid with *pOsError set.
// With pPlaceholder and AtOpenAndCommit, only while that empty file (OVF_CreatePlaceholder) holds
// the name: EEXIST otherwise.
DWORD OVF_OpenUploadTemp(const char* pszFinalPath, std::string* pToken, DWORD* pOsError,
                         const OVFFileIdentity* pPlaceholder = nullptr,
                         OVFHoldCheck eCheck = OVFHoldCheck::AtOpenAndCommit);
// Gives the closed temporary its final name, replacing a file of that name. With pPlaceholder,
// only that placeholder may be replaced: anything else at the name fails with EEXIST. Returns
// TRUE, or FALSE with *pOsError set (the temporary is then discarded).
BOOL OVF_CommitUploadTemp(const std::string& strToken, const char* pszFinalPath, DWORD* pOsError,
                          const OVFFileIdentity* pPlaceholder = nullptr);
// Removes the temporary (closed or not yet committed); nothing when it is gone already.
void OVF_DiscardUploadTemp(const std::string& strToken);
// Removes the temporaries that processes no longer running left behind, and the empty files
// they made for uploads that never came. Returns how many; *pRemoved, when given, gets their
// POSIX paths.
int OVF_RemoveUploadLeftovers(std::vector<std::string>* pRemoved = nullptr);
// At a clean exit: removes every temporary of this process that is still there (their handles
// must be closed) and this process's journal entry. Returns how many temporaries went.
int OVF_EndUploads();
// Makes the journal folder when it is missing and checks that it is this user's own and private.
// Returns why it cannot be used, empty when it can. Without $XDG_STATE_HOME and $HOME there is
// none: no journal is kept then.
std::string OVF_CheckUploadJournal();
// Where the journal lives; tests point it at a temporary folder. Empty: the default
// ($XDG_STATE_HOME or ~/.local/state)/vantry/uploads, a folder of mode 0700.
void OVF_SetUploadJournalFolder(const char* pszPosixDir);

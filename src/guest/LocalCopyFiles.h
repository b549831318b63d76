// The local side of the copy engines: whether a folder can be written, a received file that
// takes its name only once complete, counting and listing local trees, and the line-end rules
// of text files.
#pragma once

#include "CopyItem.h"
#include "OVFLeftOut.h"
#include "SizedListings.h"
#include "TFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The folder joined with a name, with one backslash between them.
std::string JoinLocalPath(const std::string& sFolder, const std::string& sName);

// Creates and deletes a test file in the folder, under up to five fresh "TMPnnnnn.TMP" names.
// True when one could be created, or when every name tried was taken.
bool IsFolderWritable(const std::string& sFolder);

// Local folders as the sizing pass listed them; about 30 MB of names at most.
using TLocalSizedListings = TSizedListings<TCopyItem>;
constexpr std::size_t kMostLocalSizedEntries = 256 * 1024;

// Files and bytes of a file or of a whole folder tree (64-bit), each folder's items going to
// pKeep. False when nothing is there or a folder cannot be listed.
bool CountLocalTree(const std::string& sPath, std::uint64_t* pnFiles, std::uint64_t* pnBytes, TLocalSizedListings* pKeep);
// The size of one file (64-bit); false when it cannot be read.
bool LocalFileSize(const std::string& sPath, std::uint64_t* pnBytes);
// The entries of a local folder that can be copied, hidden ones included, in the order the
// search gives them (as sized, when pSized kept them); what cannot be copied (links, names of
// no Windows-style form, special files) goes to pLeftOut.
bool LocalFolderItems(const std::string& sFolder, TLocalSizedListings* pSized, std::vector<TCopyItem>* pItems,
                      std::vector<TOVFLeftOut>* pLeftOut);

// Writes pData into pOut (room for 2 * nLength) with a line feed after every carriage return
// that has none; returns the bytes written. bAfterReturn carries, from one piece of a file to
// the next, whether the last byte was a carriage return.
std::size_t AddLineFeeds(const std::uint8_t* pData, std::size_t nLength, std::uint8_t* pOut, bool& bAfterReturn);
// Removes every line-feed byte in place; returns the bytes left.
std::size_t RemoveLineFeeds(std::uint8_t* pData, std::size_t nLength);
// Counts the line-feed bytes of an open file from its current position, then seeks back to the start.
std::uint64_t CountLineFeeds(TFile& file);

// A downloaded file: its data goes into a temporary file in the destination folder, under a
// name no listing shows, and replaces what is at the destination only when Commit runs. Until
// then an earlier file or folder of the name stays as it was; Discard (or destruction) leaves
// nothing behind.
class TReceivedFile {
public:
    TReceivedFile() = default;
    ~TReceivedFile() { Discard(); }
    TReceivedFile(const TReceivedFile&) = delete;
    TReceivedFile& operator=(const TReceivedFile&) = delete;

    // bReplacing: something is at the final path now, and must give way at Commit. Something
    // that appears there only while the data arrives is replaced by the rename if it is a file;
    // a folder makes Commit fail.
    bool Open(const std::string& sFinalPath, bool bReplacing);
    bool IsOpen() const { return !m_strToken.empty(); }
    // Raises CFileException when the data cannot be written.
    void Write(const void* pData, std::size_t nLength);
    // Gives the file its time (a Mac time, wire order) and its attributes, which it keeps when
    // it takes its name. False when they cannot be set (the data is still whole).
    bool Stamp(DWORD dwMacTime, BYTE bAttributes);
    enum class ECommit { Done, Failed, DiskFull };
    // Closes the temporary file and gives it the final name, replacing a file or folder there;
    // the file is discarded when that fails.
    ECommit Commit();
    void Discard();

private:
    TFile m_file;
    std::string m_strToken;
    std::string m_strFinalPath;
    bool m_bReplacing = false;
};

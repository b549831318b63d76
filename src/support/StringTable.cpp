#include "StringTable.h"

#include <algorithm>
#include <iterator>

namespace {
struct TStringEntry {
    int nId;
    const char* pszText;
};

constexpr TStringEntry kStrings[] = {
    {IDS_CANNOT_CREATE_FOLDER, "Unable to create the folder %1."},
    {IDS_SYSTEM_ERROR_CLOSING,
     "A system error has occured or there is insufficient memory to complete this operation.  Vantry is closing."},
    {IDS_UNABLE_TO_VANTRY, "Orvalis Pro is unable to Vantry files or folders."},
    {IDS_REMOTE_CREATE_PROBLEM, "There is a problem on the remote side creating one or more files being sent. Check "
                                "the destination and try again."},
    {IDS_FILE_OF_FILES, " (%ld of %ld)"},
    {IDS_CANNOT_COPY_FILE, "Cannot copy file\n%s\nThe file name you specified is invalid or too long."},
    {IDS_NO_VALID_SELECTIONS, "There were no valid selections for the desired operation."},
    {IDS_FREE_UP_SPACE, "You need to free up an additional %lu kbytes of disk space on the destination drive."},
    {IDS_CONFIRM_LOCAL_TO_REMOTE, "Confirm Local to Remote Copy"},
    {IDS_CONFIRM_REMOTE_TO_LOCAL, "Confirm Remote to Local Copy"},
    {IDS_FROM_LOCAL, "FROM Local: "},
    {IDS_FROM_REMOTE, "FROM Remote: "},
    {IDS_TO_REMOTE_FOLDER, "TO Remote folder: "},
    {IDS_TO_LOCAL_FOLDER, "TO Local folder: "},
    {IDS_CONFIRM_COPY_TEXT, "Are you sure you want to copy the following files and folders?"},
    {IDS_NO_COPY_PRIVILEGE, "You do not have the privileges to copy in that direction."},
    {IDS_SIZE_ERROR, "Unable to perform copy.  An error occurred trying to calculate the size of '%s'."},
    {IDS_REMOVE_ERROR, "An error occurred removing file %1."},
    {IDS_CONFIRM_LOCAL_REMOVE_TEXT, "Are you sure you want to remove the following\nLocal files and folders?\n\n"},
    {IDS_CONFIRM_REMOTE_REMOVE_TEXT, "Are you sure you want to remove the following\nRemote files and folders?\n\n"},
    {IDS_CONFIRM_LOCAL_REMOVE, "Confirm Local Remove"},
    {IDS_CONFIRM_REMOTE_REMOVE, "Confirm Remote Remove"},
    {IDS_STATUS_TITLE, "Vantry Files With "},
    {IDS_NO_REMOVE_PRIVILEGE, "You do not have permission to remove files on the remote computer."},
    {IDS_CONNECTION_LOST_CLOSING, "Vantry has unexpectedly lost its connection to the host computer.  Vantry is closing."},
    {IDS_PREPARING_TO_COPY, "Preparing to copy files..."},
    {IDS_DRIVE_UNREADABLE, "Unable to read from this disk drive.  If this is a floppy disk, try inserting the disk again."},
    {IDS_LOW_MEMORY_SELECTION, "Orvalis Pro encountered a low memory condition.  Please close some other running "
                               "applications. Your previously selected items shall not be highlighted."},
    {IDS_READ_ONLY_DELETE, "The file is a read-only file.\nAre you sure you want to delete?"},
    {IDS_NEW_FOLDER_TITLE, "Create New Folder"},
    {IDS_PARENT_FOLDER_ROW, ".."},
    {IDS_DEFAULT_FOLDER_NAME, "Folder"},
    {IDS_FOLDER_NOT_CREATED, "Folder was not created.  The Folder already exists or the disk is write-protected."},
    {IDS_DRIVE_NOT_READY,
     "Drive %1 is not ready.\n If it is a floppy drive please verify that a properly formatted diskette is inserted."},
    {IDS_FOLDER_NAME_TOO_LONG, "The folder name you entered is too long. Please choose a legal folder name."},
    {IDS_FOLDER_NAME_EMPTY, "The folder name field is empty. Please enter a folder name."},
    {IDS_FOLDER_NAME_CHARACTERS,
     "A folder name cannot contain any of the following characters:\n\n\\ / : * ? \" < > |\n\nPlease enter a new name."},
    {IDS_FOLDER_NAME_LENGTH_1, "The folder name ("},
    {IDS_FOLDER_NAME_LENGTH_2, ") you entered is too long.  Please choose a name with "},
    {IDS_FOLDER_NAME_LENGTH_3, " characters or less."},
    {IDS_ILLEGAL_FOLDER_NAME, "Illegal Folder name. Please choose another."},
    {IDS_WORKING_FOLDER_TOO_LONG, "Your Working folder path is too long to allow any folder creation in it."},
    {IDS_REMOTE_DISK_FULL, "The host's disk is full: the file being sent was not stored. Free some space there and try again."},
    {IDS_LOCAL_DISK_FULL, "The local disk is full: %1 was not stored. Free some space and try again."},
    {IDS_CAPTION_VANTRY, "VanTry"},
};

// Replaces the printf-style conversions of a table text ("%ld", "%lu", "%d") with the numbers given.
std::string FillNumbers(const char* pszText, std::initializer_list<long long> values)
{
    std::string sResult;
    auto itValue = values.begin();
    for (const char* p = pszText; *p; ++p) {
        if (*p == '%' && itValue != values.end()) {
            const char* pEnd = p + 1;
            while (*pEnd == 'l')
                ++pEnd;
            if (*pEnd == 'd' || *pEnd == 'u') {
                sResult += std::to_string(*itValue++);
                p = pEnd;
                continue;
            }
        }
        sResult += *p;
    }
    return sResult;
}
} // namespace

const char* LoadStringId(int nId)
{
    const auto* pEnd = std::end(kStrings);
    const auto* pFound = std::find_if(std::begin(kStrings), pEnd, [nId](const TStringEntry& e) { return e.nId == nId; });
    return pFound == pEnd ? nullptr : pFound->pszText;
}

std::string FormatStringId(int nId, std::string_view sArgument)
{
    const char* pszText = LoadStringId(nId);
    if (!pszText)
        return {};
    std::string sResult;
    for (const char* p = pszText; *p; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == 's')) {
            sResult += sArgument;
            ++p;
        } else {
            sResult += *p;
        }
    }
    return sResult;
}

std::string FormatStringIdNumber(int nId, long long nValue)
{
    const char* pszText = LoadStringId(nId);
    return pszText ? FillNumbers(pszText, {nValue}) : std::string();
}

std::string FormatStringIdNumbers(int nId, long long nFirst, long long nSecond)
{
    const char* pszText = LoadStringId(nId);
    return pszText ? FillNumbers(pszText, {nFirst, nSecond}) : std::string();
}

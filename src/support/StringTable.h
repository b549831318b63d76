// The module's string table: every user-visible text that is shown by id, and the few fixed
// texts that are shown without one. Both front ends (the window and the terminal) take their
// texts from here.
#pragma once

#include <string>
#include <string_view>

enum EStringId : int {
    IDS_CANNOT_CREATE_FOLDER = 249,      // "Unable to create the folder %1."
    IDS_SYSTEM_ERROR_CLOSING = 291,
    IDS_UNABLE_TO_VANTRY = 317,
    IDS_REMOTE_CREATE_PROBLEM = 318,
    IDS_FILE_OF_FILES = 319,             // " (%ld of %ld)"
    IDS_CANNOT_COPY_FILE = 320,          // "%s": the path
    IDS_NO_VALID_SELECTIONS = 404,
    IDS_FREE_UP_SPACE = 405,             // "%lu": kilobytes
    IDS_CONFIRM_LOCAL_TO_REMOTE = 407,
    IDS_CONFIRM_REMOTE_TO_LOCAL = 408,
    IDS_FROM_LOCAL = 409,
    IDS_FROM_REMOTE = 410,
    IDS_TO_REMOTE_FOLDER = 411,
    IDS_TO_LOCAL_FOLDER = 412,
    IDS_CONFIRM_COPY_TEXT = 413,
    IDS_NO_COPY_PRIVILEGE = 415,
    IDS_SIZE_ERROR = 417,                // "%s": the item
    IDS_REMOVE_ERROR = 423,              // "%1": the item
    IDS_CONFIRM_LOCAL_REMOVE_TEXT = 426,
    IDS_CONFIRM_REMOTE_REMOVE_TEXT = 427,
    IDS_CONFIRM_LOCAL_REMOVE = 428,
    IDS_CONFIRM_REMOTE_REMOVE = 429,
    IDS_STATUS_TITLE = 431,              // followed by the host name
    IDS_NO_REMOVE_PRIVILEGE = 432,
    IDS_CONNECTION_LOST_CLOSING = 433,
    IDS_PREPARING_TO_COPY = 435,
    IDS_DRIVE_UNREADABLE = 9055,
    IDS_LOW_MEMORY_SELECTION = 9057,
    IDS_READ_ONLY_DELETE = 9058,
    IDS_NEW_FOLDER_TITLE = 17014,
    IDS_PARENT_FOLDER_ROW = 17032,
    IDS_DEFAULT_FOLDER_NAME = 17034,
    IDS_FOLDER_NOT_CREATED = 17035,
    IDS_DRIVE_NOT_READY = 17036,         // "%1": "X:\"
    IDS_FOLDER_NAME_TOO_LONG = 17039,
    IDS_FOLDER_NAME_EMPTY = 17041,
    IDS_FOLDER_NAME_CHARACTERS = 17042,
    IDS_FOLDER_NAME_LENGTH_1 = 17043,
    IDS_FOLDER_NAME_LENGTH_2 = 17044,
    IDS_FOLDER_NAME_LENGTH_3 = 17045,
    IDS_ILLEGAL_FOLDER_NAME = 17046,
    IDS_WORKING_FOLDER_TOO_LONG = 17047,
    IDS_REMOTE_DISK_FULL = 17048,
    IDS_LOCAL_DISK_FULL = 17049,
    IDS_CAPTION_VANTRY = 40029,
};

// The text of a string id, or null when the table has none (a box for such an id shows nothing).
const char* LoadStringId(int nId);

// The text of nId with every "%1" (and the one "%s") replaced by sArgument; empty when unknown.
std::string FormatStringId(int nId, std::string_view sArgument);
// The text of nId with its one printf-style number ("%ld" or "%lu") filled in.
std::string FormatStringIdNumber(int nId, long long nValue);
// The text of nId with its two printf-style numbers filled in, in order.
std::string FormatStringIdNumbers(int nId, long long nFirst, long long nSecond);

// Texts shown without a string id.
namespace FixedText {
inline constexpr char kServiceName[] = "Vantry";
inline constexpr char kApplicationTitle[] = "Orvalis Pro";
inline constexpr char kIllegalMessageCaption[] = "Illegal Message in Vntrgst ReadResultCompletion";
inline constexpr char kDiskUnreadable[] = "Unable to read from this disk drive";
inline constexpr char kOneSessionOnly[] = "You can have only one vantry session";
inline constexpr char kUnknownName[] = "Unknown";
inline constexpr char kStatusWindowFailed[] = "Unable to display the status window";
} // namespace FixedText

// Message-box styles and answers, with the platform's values.
namespace MessageBoxStyle {
inline constexpr unsigned kOk = 0x0000;
inline constexpr unsigned kYesNo = 0x0004;
inline constexpr unsigned kIconStop = 0x0010;
inline constexpr unsigned kIconQuestion = 0x0020;
inline constexpr unsigned kIconExclamation = 0x0030;
inline constexpr unsigned kTaskModal = 0x2000;
} // namespace MessageBoxStyle

namespace MessageBoxAnswer {
inline constexpr int kNone = 0;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
} // namespace MessageBoxAnswer

// Answers of the replace prompt.
namespace ReplaceAnswer {
inline constexpr int kYes = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYesToAll = 6;
inline constexpr int kNo = 7;
} // namespace ReplaceAnswer

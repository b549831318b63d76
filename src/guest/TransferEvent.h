// What the guest side tells its front end about one item that failed or was left out, or about
// the end of the session: the kind, the item and the cause, beside the text the window shows.
// A window shows the text; a terminal front end words the event in its own way.
#pragma once

#include <string>

enum class ETransferEventKind {
    Failed,       // the item was not copied (or not listed)
    Skipped,      // the item was left out on purpose
    Renamed,      // the item was copied under another name (sDetail)
    SessionEnded, // the session stops (sItem is empty)
};

enum class ETransferCause {
    HostCannotRead,     // the host could not open the file or list the folder
    NotFound,           // nothing of that name on the host
    Exists,             // an item of that name exists and is kept
    NoRemovePrivilege,  // replacing needs the host's remove privilege
    HostCannotCreate,   // the host refused to create the file or folder
    HostCannotRemove,   // the host refused to remove the item
    HostCannotWrite,    // the host could not take the file's data or information
    HostDiskFull,       // the host's disk filled while it took the file
    NameTakenMeanwhile, // something took the name on the host after the guest created it: not sent
    LocalCannotRead,    // the local file or folder cannot be read
    LocalCannotWrite,   // the local file or folder cannot be written
    LocalDiskFull,      // the local disk filled while the file was written
    NameClash,          // another item of this copy has the name at the destination (sDetail)
    NameFitted,         // copied under the name in sDetail
    SymbolicLink,       // a local symbolic link: never followed
    NameNotSendable,    // a local name the host's namespace cannot hold (sDetail, in the folder sItem)
    NotRegularFile,     // a local pipe, socket or device
    FolderExists,       // a new folder's name is taken on the host
    NoWritePrivilege,   // the host did not grant writing
    FolderNotMade,      // the host refused the new folder otherwise
    PathTooLong,
    NoRoom,             // the destination has too little free space
    ConnectionLost,
    UnknownMessage,     // the host sent a code a guest never receives (sDetail: the code)
    SystemError,
};

struct TTransferEvent {
    ETransferEventKind eKind = ETransferEventKind::Failed;
    ETransferCause eCause = ETransferCause::HostCannotRead;
    // A pane path: "X:\dir\name" on the local side, the remote pane's form on the remote side.
    std::string sItem;
    bool bRemoteItem = false;
    std::string sDetail;
};

// What a host session did for its guest, or declined to do, as it tells the host application
// (HostServiceTable::ReportOperation), which keeps the record.
#pragma once

#include <cstdint>
#include <string_view>

enum class EHostOperation : std::uint8_t { List, Download, Upload, Remove, MakeFolder, SetInfo };

enum class EHostOutcome : std::uint8_t {
    Done,
    Refused, // not allowed, not there, or not possible as asked: the guest was told
    Failed,  // allowed, but the host could not do it (a full disk, a failed write)
    Aborted, // the guest stopped it
};

struct THostOperation {
    EHostOperation eOperation = EHostOperation::List;
    EHostOutcome eOutcome = EHostOutcome::Done;
    std::string_view strPath;   // in the module's namespace ("C:\dir\name")
    std::string_view strCause;  // why it was refused, failed or stopped; empty when done
    std::int16_t nResult = 0;   // the result the guest was answered (listings and downloads have none)
    std::uint64_t nBytes = 0;   // data bytes sent or received
    bool bReplaced = false;     // an upload took the place of an existing file
    bool bTree = false;         // a removal took a folder with everything in it
};

// The whole record of an operation that went as asked.
constexpr THostOperation OperationDone(EHostOperation eOperation, std::string_view strPath, std::uint64_t nBytes = 0,
                                       bool bReplaced = false)
{
    THostOperation operation;
    operation.eOperation = eOperation;
    operation.strPath = strPath;
    operation.nBytes = nBytes;
    operation.bReplaced = bReplaced;
    return operation;
}

// The record of an operation with any outcome, and what the guest was answered.
constexpr THostOperation OperationOutcome(EHostOperation eOperation, EHostOutcome eOutcome, std::string_view strPath,
                                          std::string_view strCause, std::int16_t nResult = 0,
                                          std::uint64_t nBytes = 0, bool bTree = false)
{
    THostOperation operation;
    operation.eOperation = eOperation;
    operation.eOutcome = eOutcome;
    operation.strPath = strPath;
    operation.strCause = strCause;
    operation.nResult = nResult;
    operation.nBytes = nBytes;
    operation.bTree = bTree;
    return operation;
}

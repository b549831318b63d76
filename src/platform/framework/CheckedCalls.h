// Checking wrappers over platform calls. A wrapper that sees its call fail stores the call's
// failure code in the module's last-failure variable and raises CNotSupportedException.
#pragma once

#include <cstddef>

// Failure codes, one per wrapped call.
enum EFailureCode : int {
    kFail_CreateWindowEx = 15,
    kFail_GetDlgItem = 33,
    kFail_GlobalAlloc = 44,
    kFail_GlobalFree = 47,
    kFail_GlobalLock = 48,
    kFail_GlobalReAlloc = 49,
};

// The module's last-failure variable: the code of the most recent failed wrapped call, 0 if none.
int GetLastFailureCode();
void SetLastFailureCode(int nCode);

// Stores nCode and raises CNotSupportedException when bOk is false.
void CheckCall(bool bOk, int nCode);

// The check routine: raises CMemoryException when bCondition is false.
void VCheck(bool bCondition);

// Movable memory blocks. The module keeps no lock counts: a block's address stays valid
// between lock and unlock, and only resizing may move it.
void* CheckedGlobalAlloc(std::size_t nBytes);
void* CheckedGlobalReAlloc(void* hBlock, std::size_t nBytes);
void* CheckedGlobalLock(void* hBlock);
void CheckedGlobalFree(void* hBlock);

// Test hook: the next call of the wrapper with this failure code fails once.
void InjectCallFailure(int nCode);

#include "CheckedCalls.h"

#include "Exceptions.h"

#include <cstdlib>

namespace {
int g_nLastFailure = 0;
int g_nInjectedFailure = 0;

bool TakeInjected(int nCode)
{
    if (g_nInjectedFailure != nCode)
        return false;
    g_nInjectedFailure = 0;
    return true;
}
} // namespace

int GetLastFailureCode() { return g_nLastFailure; }
void SetLastFailureCode(int nCode) { g_nLastFailure = nCode; }

void CheckCall(bool bOk, int nCode)
{
    if (bOk)
        return;
    g_nLastFailure = nCode;
    throw CNotSupportedException();
}

void VCheck(bool bCondition)
{
    if (!bCondition)
        throw CMemoryException();
}

void InjectCallFailure(int nCode) { g_nInjectedFailure = nCode; }

void* CheckedGlobalAlloc(std::size_t nBytes)
{
    void* p = TakeInjected(kFail_GlobalAlloc) ? nullptr : std::malloc(nBytes ? nBytes : 1);
    CheckCall(p != nullptr, kFail_GlobalAlloc);
    return p;
}

void* CheckedGlobalReAlloc(void* hBlock, std::size_t nBytes)
{
    void* p = TakeInjected(kFail_GlobalReAlloc) ? nullptr : std::realloc(hBlock, nBytes ? nBytes : 1);
    CheckCall(p != nullptr, kFail_GlobalReAlloc);
    return p;
}

void* CheckedGlobalLock(void* hBlock)
{
    CheckCall(hBlock != nullptr && !TakeInjected(kFail_GlobalLock), kFail_GlobalLock);
    return hBlock;
}

void CheckedGlobalFree(void* hBlock)
{
    CheckCall(!TakeInjected(kFail_GlobalFree), kFail_GlobalFree);
    std::free(hBlock);
}

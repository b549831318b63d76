#include "CheckedCalls.h"

#include "Exceptions.h"

#include <malloc.h>

#include <cstdint>
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
    CheckCall(!TakeInjected(kFail_GlobalReAlloc), kFail_GlobalReAlloc);
    std::size_t nWanted = nBytes ? nBytes : 1;
    // A block grows to twice what is asked, and keeps its place while it is at most three times
    // what is asked (and a few KiB): a list trimmed to fit after each record it gains moves now
    // and then, not each time.
    constexpr std::size_t kSlackKept = 4096;
    if (hBlock) {
        const std::size_t nRoom = malloc_usable_size(hBlock);
        if (nWanted <= nRoom && nRoom <= 3 * nWanted + kSlackKept)
            return hBlock;
        if (nWanted > nRoom && nWanted <= SIZE_MAX / 2)
            nWanted *= 2;
    }
    void* p = std::realloc(hBlock, nWanted);
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

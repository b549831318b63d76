#include "HList.h"

#include "CheckedCalls.h"

#include <algorithm>
#include <cstring>

namespace {
std::uint32_t Step(const HList* pList) { return std::max(kHListStep, pList->elementSize); }
} // namespace

std::int16_t HListAlloc(HList* pList, std::uint32_t nElementSize)
{
    *pList = HList{};
    pList->elementSize = nElementSize;
    const std::uint32_t nStep = Step(pList);
    pList->hBlock = CheckedGlobalAlloc(nStep);
    pList->capacity = nStep;
    return 0;
}

std::int16_t HListFree(HList* pList)
{
    if (!pList->hBlock)
        return 0;
    void* hBlock = pList->hBlock;
    *pList = HList{};
    CheckedGlobalFree(hBlock);
    return 0;
}

std::int16_t HListBegin(HList* pList)
{
    pList->pointer = pList->hBlock ? CheckedGlobalLock(pList->hBlock) : nullptr;
    return 0;
}

std::int16_t HListAdd(HList* pList, const void* pRecord)
{
    const std::uint64_t nNeeded = std::uint64_t(pList->count + 1) * pList->elementSize;
    if (pList->capacity < nNeeded) {
        const std::uint32_t nStep = Step(pList);
        std::uint64_t nCapacity = pList->capacity;
        while (nCapacity < nNeeded)
            nCapacity += nStep;
        CheckCall(nCapacity <= UINT32_MAX, kFail_GlobalReAlloc);
        pList->pointer = nullptr;
        pList->hBlock = CheckedGlobalReAlloc(pList->hBlock, nCapacity);
        pList->capacity = static_cast<std::uint32_t>(nCapacity);
        pList->pointer = CheckedGlobalLock(pList->hBlock);
    }
    std::memcpy(HListAt<std::uint8_t>(pList, pList->count), pRecord, pList->elementSize);
    ++pList->count;
    return 0;
}

std::int16_t HListRemove(HList* pList, std::uint32_t nIndex)
{
    if (nIndex >= pList->count)
        return 0;
    const std::size_t nTail = std::size_t(pList->count - nIndex - 1) * pList->elementSize;
    if (nTail)
        std::memmove(HListAt<std::uint8_t>(pList, nIndex), HListAt<std::uint8_t>(pList, nIndex + 1), nTail);
    --pList->count;
    return 0;
}

std::int16_t HListEnd(HList* pList)
{
    pList->pointer = nullptr;
    if (!pList->hBlock)
        return 0;
    std::uint32_t nSize = pList->count * pList->elementSize;
    if (nSize == 0)
        nSize = Step(pList);
    if (nSize != pList->capacity) {
        pList->hBlock = CheckedGlobalReAlloc(pList->hBlock, nSize);
        pList->capacity = nSize;
    }
    return 0;
}

// A growable array of fixed-size records in one movable block: selections, pane entries,
// volume records and copy queues are handed around as one header and scanned in place.
#pragma once

#include <cstdint>

struct HList {
    void* hBlock;           // the block, null when none
    void* pointer;          // the block's address while locked (between HListBegin and HListEnd), else null
    std::uint32_t elementSize;
    std::uint32_t count;
    std::uint32_t capacity; // bytes
};

inline constexpr std::uint32_t kHListStep = 1000;

std::int16_t HListAlloc(HList* pList, std::uint32_t nElementSize);
std::int16_t HListFree(HList* pList);
std::int16_t HListBegin(HList* pList);
std::int16_t HListAdd(HList* pList, const void* pRecord);
std::int16_t HListRemove(HList* pList, std::uint32_t nIndex);
std::int16_t HListEnd(HList* pList);

// Record nIndex of a locked list.
template <typename T>
T* HListAt(const HList* pList, std::uint32_t nIndex)
{
    return reinterpret_cast<T*>(static_cast<std::uint8_t*>(pList->pointer) + std::uint64_t(nIndex) * pList->elementSize);
}

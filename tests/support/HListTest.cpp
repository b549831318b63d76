#include "HList.h"

#include "CheckedCalls.h"
#include "Exceptions.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
std::vector<std::uint8_t> Record(std::uint32_t nSize, std::uint8_t nFill) { return std::vector<std::uint8_t>(nSize, nFill); }
} // namespace

TEST(HList, GrowsInStepsOfAtLeastOneElement)
{
    const struct {
        std::uint32_t nElement;
        int nAdds;
        std::uint32_t nCapacity;
    } cases[] = {
        {300, 3, 1000},  // three records fit the first step
        {300, 4, 2000},  // the fourth needs one more step
        {4000, 1, 4000}, // a step is one element when elements are larger
        {4000, 2, 8000},
        {10, 250, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nElement * 1000 + c.nAdds);
        HList list;
        HListAlloc(&list, c.nElement);
        EXPECT_EQ(list.capacity, std::max(1000u, c.nElement));
        HListBegin(&list);
        for (int i = 0; i < c.nAdds; ++i)
            HListAdd(&list, Record(c.nElement, static_cast<std::uint8_t>(i)).data());
        EXPECT_EQ(list.capacity, c.nCapacity);
        for (int i = 0; i < c.nAdds; ++i)
            ASSERT_EQ(*HListAt<std::uint8_t>(&list, i), static_cast<std::uint8_t>(i));
        HListEnd(&list);
        EXPECT_EQ(list.capacity, c.nElement * c.nAdds) << "shrunk to fit";
        EXPECT_EQ(list.pointer, nullptr);
        HListFree(&list);
    }
}

TEST(HList, AListTrimmedAfterEachRecordItGainsMovesOnlyNowAndThen)
{
    // As a pane's entries grow by one uploaded file at a time: each addition is a cycle.
    HList list;
    HListAlloc(&list, 300);
    int nMoves = 0;
    for (int i = 0; i < 20000; ++i) {
        const void* hBefore = list.hBlock;
        HListBegin(&list);
        HListAdd(&list, Record(300, static_cast<std::uint8_t>(i)).data());
        HListEnd(&list);
        nMoves += list.hBlock != hBefore;
        ASSERT_EQ(list.capacity, 300u * (i + 1));
    }
    EXPECT_LT(nMoves, 20) << nMoves;
    HListBegin(&list);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(*HListAt<std::uint8_t>(&list, i), static_cast<std::uint8_t>(i));
    HListEnd(&list);
    HListFree(&list);
}

TEST(HList, RemoveMovesLaterRecordsDownAndIgnoresOutOfRange)
{
    HList list;
    HListAlloc(&list, sizeof(int));
    HListBegin(&list);
    for (int i = 0; i < 5; ++i)
        HListAdd(&list, &i);
    HListRemove(&list, 1);
    HListRemove(&list, 3); // the last record: nothing to move
    HListRemove(&list, 3); // out of range now
    HListRemove(&list, 99);
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(*HListAt<int>(&list, 0), 0);
    EXPECT_EQ(*HListAt<int>(&list, 1), 2);
    EXPECT_EQ(*HListAt<int>(&list, 2), 3);
    HListEnd(&list);
    HListFree(&list);
}

TEST(HList, EmptyListKeepsOneStepAndFreeOfZeroedHeaderDoesNothing)
{
    HList list;
    HListAlloc(&list, 8);
    HListBegin(&list);
    HListEnd(&list);
    EXPECT_EQ(list.capacity, 1000u);
    HListFree(&list);
    EXPECT_EQ(list.hBlock, nullptr);
    HList zeroed{};
    EXPECT_EQ(HListFree(&zeroed), 0);
}

TEST(HList, FailedAllocationRaisesWithItsCodeAndLeavesOnlyTheElementSize)
{
    HList list;
    InjectCallFailure(kFail_GlobalAlloc);
    EXPECT_THROW(HListAlloc(&list, 12), CNotSupportedException);
    EXPECT_EQ(GetLastFailureCode(), kFail_GlobalAlloc);
    EXPECT_EQ(list.hBlock, nullptr);
    EXPECT_EQ(list.elementSize, 12u);
    EXPECT_EQ(list.capacity, 0u);
}

TEST(HList, FailedGrowthKeepsTheRecordsAlreadyThere)
{
    HList list;
    HListAlloc(&list, 500);
    HListBegin(&list);
    HListAdd(&list, Record(500, 1).data());
    HListAdd(&list, Record(500, 2).data());
    InjectCallFailure(kFail_GlobalReAlloc);
    EXPECT_THROW(HListAdd(&list, Record(500, 3).data()), CNotSupportedException);
    EXPECT_EQ(GetLastFailureCode(), kFail_GlobalReAlloc);
    EXPECT_EQ(list.count, 2u);
    HListFree(&list);
}

// The record list: growth across its steps, zero-filled records, reset, and every code
// for a pointer that is no live list.
#include "support/util/RecList.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string RecordAt(const RecList* list, int n) {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    if (RecList_Get(list, n, data, length) != 0) return "(error)";
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>(data[i]));
    return bytes;
}

TEST(RecList, RecordsSurviveGrowthAcrossManySteps) {
    // Small steps, so slots and data grow many times, also by more than one step at once.
    RecList* list = RecList_Create(3, 5);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        std::string record(static_cast<std::size_t>(i % 13), static_cast<char>('a' + i % 26));
        if (i == 17) record.assign(23, 'Z');  // longer than several data steps
        ASSERT_EQ(RecList_Append(list, record.data(), record.size()), 0) << i;
        expected.push_back(record);
    }
    ASSERT_EQ(RecList_Count(list), 40);
    std::string all;
    for (int n = 1; n <= 40; ++n) {
        EXPECT_EQ(RecordAt(list, n), expected[static_cast<std::size_t>(n - 1)]) << n;
        all += expected[static_cast<std::size_t>(n - 1)];
    }
    // The block holds the records one after the other.
    const std::uint8_t* block = nullptr;
    std::size_t total = 0;
    ASSERT_EQ(RecList_Data(list, block, total), 0);
    ASSERT_EQ(total, all.size());
    EXPECT_EQ(std::memcmp(block, all.data(), total), 0);
    RecList_Destroy(list);
}

TEST(RecList, DefaultsZeroRecordsAndRange) {
    RecList* list = RecList_Create(0, 0);
    ASSERT_NE(list, nullptr);
    const std::int32_t number = 0x01020304;
    ASSERT_EQ(RecList_Append(list, &number, sizeof number), 0);
    ASSERT_EQ(RecList_Append(list, nullptr, 5), 0);  // five zero bytes
    ASSERT_EQ(RecList_Append(list, nullptr, 0), 0);
    EXPECT_EQ(RecList_Count(list), 3);
    EXPECT_EQ(RecordAt(list, 2), std::string(5, '\0'));
    EXPECT_EQ(RecordAt(list, 3), "");

    const std::uint8_t* data = nullptr;
    std::size_t length = 99;
    EXPECT_EQ(RecList_Get(list, 0, data, length), kRecListGetOutOfRange);
    EXPECT_EQ(RecList_Get(list, -1, data, length), kRecListGetOutOfRange);
    EXPECT_EQ(RecList_Get(list, 4, data, length), kRecListGetOutOfRange);
    EXPECT_EQ(RecList_Get(list, INT_MAX, data, length), kRecListGetOutOfRange);
    EXPECT_EQ(length, 99u);

    // A record too large for the list is refused and changes nothing.
    EXPECT_EQ(RecList_Append(list, nullptr, std::size_t{INT_MAX} + 1), kRecListDataNotGrown);
    EXPECT_EQ(RecList_Count(list), 3);

    EXPECT_EQ(RecList_Create(-1, 0), nullptr);
    EXPECT_EQ(RecList_Create(0, -4096), nullptr);
    RecList_Destroy(list);
}

TEST(RecList, ResetEmptiesAndKeepsTheList) {
    RecList* list = RecList_Create(2, 4);
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(RecList_Append(list, "abcdef", 6), 0);
    ASSERT_EQ(RecList_Reset(list), 0);
    EXPECT_EQ(RecList_Count(list), 0);
    const std::uint8_t* block = nullptr;
    std::size_t total = 1;
    ASSERT_EQ(RecList_Data(list, block, total), 0);
    EXPECT_EQ(total, 0u);
    ASSERT_EQ(RecList_Append(list, "xyz", 3), 0);
    ASSERT_EQ(RecList_Append(list, "12345", 5), 0);
    EXPECT_EQ(RecordAt(list, 1), "xyz");
    EXPECT_EQ(RecordAt(list, 2), "12345");
    RecList_Destroy(list);
}

TEST(RecList, PointersThatAreNoLiveListGetTheirCodes) {
    RecList* destroyed = RecList_Create(0, 0);
    ASSERT_NE(destroyed, nullptr);
    ASSERT_EQ(RecList_Append(destroyed, "a", 1), 0);
    RecList_Destroy(destroyed);

    // Memory that was never a list: read through it, the magic would happen to be there.
    alignas(16) std::uint32_t fake[16] = {kRecListMagic, 1024, 4096};
    auto* notAList = reinterpret_cast<RecList*>(fake);

    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    for (RecList* list : {static_cast<RecList*>(nullptr), destroyed, notAList}) {
        EXPECT_EQ(RecList_Append(list, "a", 1), kRecListAppendInvalid);
        EXPECT_EQ(RecList_Count(list), 0);
        EXPECT_EQ(RecList_Get(list, 1, data, length), kRecListGetInvalid);
        EXPECT_EQ(RecList_Data(list, data, length), kRecListDataInvalid);
        EXPECT_EQ(RecList_Reset(list), kRecListResetInvalid);
        RecList_Destroy(list);  // left alone: no double free, no free of foreign memory
    }
    EXPECT_EQ(fake[0], kRecListMagic);
}

}  // namespace

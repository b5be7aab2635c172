#include "tools/keyrecv/KeyRecord.h"

#include <gtest/gtest.h>

TEST(KeyRecordLine, EveryMessageKindSurvivesTheTripThroughItsLine) {
    for (int m = 0; m <= static_cast<int>(KeyMessage::SysChar); ++m) {
        const KeyRecord record{static_cast<KeyMessage>(m), 0xE7, 0x4B, true, 0xFFFF, true, false, true, true};
        const std::optional<KeyRecord> back = ParseKeyRecord(FormatKeyRecord(record));
        ASSERT_TRUE(back.has_value()) << FormatKeyRecord(record);
        EXPECT_EQ(*back, record) << FormatKeyRecord(record);
    }
    EXPECT_EQ(FormatKeyRecord({KeyMessage::Char, 0, 0x1E, false, 0x00E9, false, true, false, false}),
              "CHAR vk=00 scan=1E ext=0 ch=00E9 shift=0 ctrl=1 alt=0 caps=0");
}

TEST(KeyRecordLine, OtherLinesAreNotRecords) {
    EXPECT_FALSE(ParseKeyRecord("# ready hwnd=0001002A pid=42"));
    EXPECT_FALSE(ParseKeyRecord(""));
    EXPECT_FALSE(ParseKeyRecord("KEYDOWN vk=41 scan=1E"));  // cut short
    EXPECT_FALSE(ParseKeyRecord("KEYPRESS vk=41 scan=1E ext=0 ch=0000 shift=0 ctrl=0 alt=0 caps=0"));
}

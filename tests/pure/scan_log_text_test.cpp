#include "delivery/ScanLogText.h"

#include <gtest/gtest.h>

using namespace scanlog;

// What is written reads back the same, whatever the barcode and title hold;
// a fetched barcode without a later row is the one the program ended on.
TEST(ScanLogText, RowsReadBackExactlyAndUnfinishedBarcodesAreFound) {
    const Row awkward{"r1-1", "2026-12-08T08:16:09+01:00", "a\"b,c\td\r\ne\xC3\xA9", Fetched, "Sheet1, \"Q4\"", 9};
    const Row plain{"r1-2", "2026-12-08T08:16:10+01:00", "4006381333931", Fetched, "Orders", 13};
    std::string file = std::string(ByteOrderMark) + HeaderRow + RowText(awkward) + RowText(plain);
    Row typed = awkward;
    typed.outcome = Typed;
    file += RowText(typed);

    const std::vector<Row> rows = ParseRows(file);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].barcode, awkward.barcode);
    EXPECT_EQ(rows[0].window, awkward.window);
    EXPECT_EQ(rows[0].length, 9u);
    EXPECT_EQ(rows[2].outcome, Typed);
    const std::vector<Row> unfinished = Unfinished(rows);
    ASSERT_EQ(unfinished.size(), 1u);
    EXPECT_EQ(unfinished[0].key, "r1-2");

    // A row cut off by a crash inside a quoted field is left out.
    EXPECT_EQ(ParseRows(file + "r1-3,x,\"cut").size(), 3u);
}

TEST(ScanLogText, TimesNamesAndRetention) {
    const ClockTime t{8, 16, 9, 2026, 12, 8};
    EXPECT_EQ(IsoTime(t, 60), "2026-12-08T08:16:09+01:00");
    EXPECT_EQ(IsoTime(t, -210), "2026-12-08T08:16:09-03:30");
    const auto parsed = ParseIsoTime(IsoTime(t, -210));
    ASSERT_TRUE(parsed);
    EXPECT_FALSE(parsed->OnAnotherDayThan(t));
    EXPECT_EQ(parsed->second, 9);
    EXPECT_FALSE(ParseIsoTime("2026-13-08T08:16:09+01:00"));

    EXPECT_EQ(FileName(t), "2026-12-08.csv");
    EXPECT_TRUE(Expired("2026-11-08.csv", t, 30));   // 30 days old
    EXPECT_FALSE(Expired("2026-11-09.csv", t, 30));  // 29
    EXPECT_TRUE(Expired("2025-12-31.csv", t, 30));   // across a year
    EXPECT_FALSE(Expired("notes.csv", t, 1));
    EXPECT_FALSE(Expired("2026-11-08.csv.bak", t, 1));
    EXPECT_EQ(RetentionWithin(0), 1u);
    EXPECT_EQ(RetentionWithin(99999), MaxRetentionDays);
}

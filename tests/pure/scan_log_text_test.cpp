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
    typed.typed = "=a|b<Tab>";  // what the rules made of it, formula-like
    typed.profile = "Sheet, \"Q4\"";
    file += RowText(typed);

    const std::vector<Row> rows = ParseRows(file);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].barcode, awkward.barcode);
    EXPECT_EQ(rows[0].window, awkward.window);
    EXPECT_EQ(rows[0].length, 9u);
    EXPECT_EQ(rows[2].outcome, Typed);
    EXPECT_EQ(rows[2].typed, typed.typed);
    EXPECT_EQ(rows[2].profile, typed.profile);
    const std::vector<Row> unfinished = Unfinished(rows);
    ASSERT_EQ(unfinished.size(), 1u);
    EXPECT_EQ(unfinished[0].key, "r1-2");

    // A row cut off by a crash inside a quoted field is left out.
    EXPECT_EQ(ParseRows(file + "r1-3,x,\"cut").size(), 3u);
    // Files written before the Keys, Typed or Profile column still read.
    EXPECT_EQ(ParseRows("Key,Time,Barcode,Outcome,Window,Length\r\nr0-1,t,B,fetched,,1\r\n").size(), 1u);
    EXPECT_EQ(ParseRows("Key,Time,Barcode,Outcome,Window,Length,Keys\r\nr0-1,t,B,typed,W,1,2 of 2\r\n").size(), 1u);
    EXPECT_EQ(ParseRows("Key,Time,Barcode,Outcome,Window,Length,Keys,Typed\r\nr0-1,t,B,typed,W,1,1 of 1,\r\n").size(),
              1u);
}

// What a spreadsheet would run as a formula is written as text behind a ',
// and reads back exactly; a barcode that itself begins with ' stays as it is.
TEST(ScanLogText, FormulaLikeFieldsAreNeutralisedAndReadBackExactly) {
    const std::vector<std::string> awkward = {"=1+2", "+31", "-5", "@SUM(A1)", "\tx", "\r=1", "'=1", "''+2",
                                              "=HYPERLINK(\"http://example.invalid/?x\",\"Click\")", "'plain", "a=b"};
    EXPECT_EQ(Field("=1+2"), "\"'=1+2\"");
    EXPECT_EQ(Field("'=1"), "\"''=1\"");
    EXPECT_EQ(Field("'plain"), "'plain");
    EXPECT_EQ(Field("a=b"), "a=b");
    for (const std::string& text : awkward) {
        const std::vector<Row> rows = ParseRows(std::string(HeaderRow) + RowText({"k", "t", text, Fetched, text, 1}));
        ASSERT_EQ(rows.size(), 1u) << text;
        EXPECT_EQ(rows[0].barcode, text);
        EXPECT_EQ(rows[0].window, text);
    }
}

// The next start lists each barcode by its last row: one whose first key had
// gone is never offered as not typed, and one typed whole (or again) is not
// offered at all.
TEST(ScanLogText, EachUnfinishedBarcodeIsOfferedByItsLastRow) {
    const auto row = [](const char* key, const char* outcome, const char* window = "", uint16_t typed = 0,
                        uint16_t total = 0) {
        return Row{key, "t", "B", outcome, window, 1, typed, total};
    };
    const std::vector<Row> rows = {row("a", Fetched), row("b", Fetched), row("c", Fetched), row("d", Fetched),
                                   row("e", Fetched), row("b", Typing, "Orders"), row("c", Typing, "Orders"),
                                   row("c", Typed, "Orders", 5, 5), row("d", PartlyTyped, "Orders", 4, 13),
                                   row("e", PartlyTyped, "Orders", 0, 13), row("f", Fetched),
                                   row("f", PartlyTyped, "X", 2, 3), row("f", TypedAgain, "Y", 3, 3)};
    const std::vector<Row> parsed = ParseRows(std::string(HeaderRow) + [&] {
        std::string text;
        for (const Row& r : rows) text += RowText(r);
        return text;
    }());
    const std::vector<Row> offered = Unfinished(parsed);
    ASSERT_EQ(offered.size(), 4u);
    EXPECT_EQ(*OfferText(offered[0]), "not typed (program ended)");
    EXPECT_EQ(*OfferText(offered[1]), "the program ended while typing it into Orders");
    EXPECT_EQ(*OfferText(offered[2]), "4 of 13 characters into Orders");
    EXPECT_EQ(*OfferText(offered[3]), "not typed");
    EXPECT_FALSE(OfferText(row("g", ProgramEnded)));
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

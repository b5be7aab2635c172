#include <gtest/gtest.h>

#include "delivery/AllowedPrograms.h"
#include "delivery/DeliveryRule.h"

namespace {

ForegroundView OtherProgram() { return {true, "Untitled - Notepad", "", false}; }
ForegroundView Settings(const char* page) { return {true, "Brontel Vask", page, false, true}; }
ForegroundView OurWindow(const char* title) { return {true, title, "", false, true}; }

}  // namespace

TEST(DecideDelivery, AnotherProgramInFrontIsTypedIntoAndClearsRawTrace) {
    for (int32_t raw : {0, 1}) {
        const DeliveryDecision d = DecideDelivery(OtherProgram(), raw, true);
        EXPECT_EQ(d.delivery, Delivery::Type);
        EXPECT_EQ(d.rawTrace, 0);
    }
    // Titles are compared exactly.
    EXPECT_EQ(DecideDelivery({true, "Brontel Vask ", "Trace", false}, 1, true).delivery, Delivery::Type);
    EXPECT_EQ(DecideDelivery({true, "brontel vask", "Trace", false}, 0, true).delivery, Delivery::Type);
    EXPECT_EQ(DecideDelivery({true, "", "", false}, 0, false).delivery, Delivery::Type);
}

TEST(DecideDelivery, OnlyOurOwnSheetIsTheSettingsWindow) {
    // Another program's window with the sheet's caption (a folder named after
    // the program, say) is typed into like any other.
    ForegroundView lookalike{true, "Brontel Vask", "Trace", false, false};
    for (int32_t raw : {0, 1}) {
        const DeliveryDecision d = DecideDelivery(lookalike, raw, true);
        EXPECT_EQ(d.delivery, Delivery::Type);
        EXPECT_EQ(d.rawTrace, 0);
    }
    // Every other window of ours holds the barcode: a typed Enter would answer
    // a message box, and the tray menu puts the hidden main window in front.
    for (const char* title : {"Confirm Exit", "Error", "BrontelVask", "", "Brontel Vask "}) {
        for (int32_t raw : {0, 1}) {
            const DeliveryDecision d = DecideDelivery(OurWindow(title), raw, true);
            EXPECT_EQ(d.delivery, Delivery::Leave) << title;
            EXPECT_EQ(d.rawTrace, 0) << title;
        }
    }
}

TEST(DecideDelivery, TracePageInFrontTracesByTheRawFlag) {
    DeliveryDecision d = DecideDelivery(Settings("Trace"), 1, true);
    EXPECT_EQ(d.delivery, Delivery::TraceRaw);
    EXPECT_EQ(d.rawTrace, 1);
    d = DecideDelivery(Settings("Trace"), 0, true);
    EXPECT_EQ(d.delivery, Delivery::TraceFormatted);
    EXPECT_EQ(d.rawTrace, 0);
}

TEST(DecideDelivery, TracePageWithoutALiveTextBoxLeavesTheBarcode) {
    for (int32_t raw : {0, 1}) {
        const DeliveryDecision d = DecideDelivery(Settings("Trace"), raw, false);
        EXPECT_EQ(d.delivery, Delivery::Leave);
        EXPECT_EQ(d.rawTrace, raw);
    }
}

TEST(DecideDelivery, SettingsOnAnotherPageLeavesTheBarcodeAndTheFlag) {
    for (const char* page : {"Format", "Connections", "About", "", "trace"}) {
        for (int32_t raw : {0, 1}) {
            const DeliveryDecision d = DecideDelivery(Settings(page), raw, true);
            EXPECT_EQ(d.delivery, Delivery::Leave) << page;
            EXPECT_EQ(d.rawTrace, raw) << page;
        }
    }
}

TEST(DecideDelivery, NoForegroundAHigherIntegrityWindowOrTheShellLeavesTheBarcode) {
    DeliveryDecision d = DecideDelivery({false, "", "", false}, 1, true);
    EXPECT_EQ(d.delivery, Delivery::Leave);
    EXPECT_EQ(d.rawTrace, 0);

    ForegroundView elevated = OtherProgram();
    elevated.higherIntegrity = true;
    d = DecideDelivery(elevated, 0, true);
    EXPECT_EQ(d.delivery, Delivery::Leave);
    EXPECT_EQ(d.rawTrace, 0);

    // The desktop or the taskbar in front (our sheet just closed): keys there are lost.
    ForegroundView desktop{true, "", "", false};
    desktop.shell = true;
    EXPECT_EQ(DecideDelivery(desktop, 0, true).delivery, Delivery::Leave);
}

TEST(OutranksUs, ComparesLevelsAndTreatsAnUnreadableForegroundAsHigher) {
    constexpr uint32_t Low = 0x1000, Medium = 0x2000, High = 0x3000, System = 0x4000;
    EXPECT_TRUE(OutranksUs(High, Medium));
    EXPECT_TRUE(OutranksUs(System, High));
    EXPECT_FALSE(OutranksUs(Medium, Medium));
    EXPECT_FALSE(OutranksUs(Low, Medium));
    EXPECT_FALSE(OutranksUs(Medium, High));
    EXPECT_TRUE(OutranksUs(std::nullopt, High));
    EXPECT_TRUE(OutranksUs(std::nullopt, std::nullopt));
    EXPECT_TRUE(OutranksUs(High, std::nullopt));
    EXPECT_FALSE(OutranksUs(Medium, std::nullopt));
}

TEST(AllowedPrograms, OnlyListedProgramsTakeBarcodesOnceAListIsInForce) {
    EXPECT_TRUE(ProgramAllowed("", "cmd.exe"));
    EXPECT_TRUE(ProgramAllowed("\n  \n", "cmd.exe")) << "a list of blank lines lists nothing";
    const std::string list = " EXCEL.EXE \r\nC:\\Program Files\\Order\\order.exe\n\nnotepad.exe";
    EXPECT_TRUE(ProgramAllowed(list, "excel.exe"));
    EXPECT_TRUE(ProgramAllowed(list, "D:\\Other\\Order.exe")) << "only the file name counts";
    EXPECT_TRUE(ProgramAllowed(list, "NOTEPAD.EXE"));
    EXPECT_FALSE(ProgramAllowed(list, "cmd.exe"));
    EXPECT_FALSE(ProgramAllowed(list, "excel.exe.evil.exe"));
    EXPECT_FALSE(ProgramAllowed(list, "")) << "a program whose name could not be read";
    EXPECT_FALSE(ProgramAllowed("order.exe", "C:\\Program Files\\Order\\")) << "a path without a file name";
    EXPECT_EQ(BarredProgramText("C:\\Windows\\System32\\cmd.exe"), "cmd.exe may not receive barcodes");
    EXPECT_EQ(BarredProgramText(""), "the program in front (its name cannot be read) may not receive barcodes");

    ForegroundView barred = OtherProgram();
    barred.barred = true;
    EXPECT_EQ(DecideDelivery(barred, 0, true).delivery, Delivery::Leave) << "it stays on the scanner";
}

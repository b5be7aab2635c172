#include <gtest/gtest.h>

#include "scanner/ScannerTexts.h"

using namespace scannertext;

namespace {

FoundDeviceRecord SerialRecord(const std::string& id, const std::string& port) {
    FoundDeviceRecord r;
    r.SetDeviceId(id);
    r.SetPortName(port);
    return r;
}

FoundDeviceRecord BluetoothRecord(const std::string& name, std::array<uint8_t, 6> address, int32_t kind) {
    FoundDeviceRecord r;
    r.SetBluetoothName(name);
    r.SetBluetoothAddress(address);
    r.SetDeviceKind(kind);
    return r;
}

bool NoLeadBytes(unsigned char) { return false; }
// Shift-JIS lead bytes (code page 932).
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

TEST(SerialPortText, DropsBackslashesAndPointsThenReplacesLowerCaseCom) {
    EXPECT_EQ(SerialPortText("\\\\.\\COM3"), "COM3");        // capitals stay
    EXPECT_EQ(SerialPortText("\\\\.\\com12"), " 12");
    EXPECT_EQ(SerialPortText("com"), " ");
    EXPECT_EQ(SerialPortText("cocomm"), "co m");             // left to right
    EXPECT_EQ(SerialPortText("comcom"), "  ");
    EXPECT_EQ(SerialPortText("commcom1"), " m 1");
    EXPECT_EQ(SerialPortText("c.om"), " ");                  // points go first
    EXPECT_EQ(SerialPortText("co\\m5"), " 5");
    EXPECT_EQ(SerialPortText("Com4"), "Com4");
    EXPECT_EQ(SerialPortText(""), "");
}

TEST(SerialEntryText, NamesDeviceIdAndPort) {
    EXPECT_EQ(SerialEntryText(SerialRecord("VX-0042", "\\\\.\\com7")), "Device ID: VX-0042 on Com  7.");
    EXPECT_EQ(SerialEntryText(SerialRecord("A1", "COM10")), "Device ID: A1 on Com COM10.");
    EXPECT_EQ(SerialEntryText(SerialRecord("", "")), "Device ID:  on Com .");
}

TEST(BluetoothEntryText, FormDependsOnDeviceKind) {
    const std::array<uint8_t, 6> address{0x00, 0x1a, 0xff, 0x07, 0xab, 0x10};
    EXPECT_EQ(BluetoothEntryText(BluetoothRecord("Vantu BT", address, 1)), "Vantu BT 00:1a:ff:07:ab:10");
    EXPECT_EQ(BluetoothEntryText(BluetoothRecord("Vantu BT", address, 2)), " Vantu BT 00:1a:ff:07:ab:10");
    EXPECT_EQ(BluetoothEntryText(BluetoothRecord("X", address, 0)), " X 00:1a:ff:07:ab:10");
    EXPECT_EQ(BluetoothEntryText(BluetoothRecord("", {}, 1)), " 00:00:00:00:00:00");
}

TEST(BluetoothEntryText, LongNameIsKeptWhole) {
    const std::string name(253, 'n');
    const std::string text = BluetoothEntryText(BluetoothRecord(name, {1, 2, 3, 4, 5, 6}, 1));
    EXPECT_EQ(text, name + " 01:02:03:04:05:06");
}

TEST(CountMessage, SingularPluralNoneAndNegative) {
    EXPECT_EQ(CountMessage(0), "No Scanners found.");
    EXPECT_EQ(CountMessage(1), "Found 1 Scanner.");
    EXPECT_EQ(CountMessage(2), "Found 2 Scanners.");
    EXPECT_EQ(CountMessage(12), "Found 12 Scanners.");
    EXPECT_EQ(CountMessage(-3), "Found -3 Scanners.");
    EXPECT_EQ(CountMessage(-32768), "Found -32768 Scanners.");
}

TEST(ListedEntryCount, AtMostEightAndNeverNegative) {
    EXPECT_EQ(ListedEntryCount(0), 0);
    EXPECT_EQ(ListedEntryCount(1), 1);
    EXPECT_EQ(ListedEntryCount(8), 8);
    EXPECT_EQ(ListedEntryCount(12), 8);
    EXPECT_EQ(ListedEntryCount(32767), 8);
    EXPECT_EQ(ListedEntryCount(-1), 0);
    EXPECT_EQ(ListedEntryCount(-32768), 0);
}

TEST(SearchMessages, RecordFailuresByCode) {
    EXPECT_EQ(RecordFailureMessage(0x20010041), "No Scanners found in list.");
    EXPECT_EQ(RecordFailureMessage(0x20010042), "Failed to get Scanner Information.");
    EXPECT_EQ(RecordFailureMessage(1), "Failed to get Scanner Information.");
}

TEST(SearchListing, FailedPassRepeatsThePreviousEntryAndColourFollowsTheLastPass) {
    using scannertext::ListSearch;
    const auto none = ListSearch("No Scanners found.", {});
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(none.status, "No Scanners found.");
    EXPECT_FALSE(none.statusIsError);

    const auto firstFailed = ListSearch("Found 2 Scanners.", {{0x20010099, "ignored"}, {0, "B"}});
    EXPECT_EQ(firstFailed.entries, (std::vector<std::string>{"", "B"}));
    EXPECT_EQ(firstFailed.status, "Failed to get Scanner Information.");  // the text stays
    EXPECT_FALSE(firstFailed.statusIsError);                              // the colour turns back

    const auto lastFailed = ListSearch("Found 3 Scanners.", {{0, "A"}, {0, "B"}, {vantu::NoScannersInList, ""}});
    EXPECT_EQ(lastFailed.entries, (std::vector<std::string>{"A", "B", "B"}));
    EXPECT_EQ(lastFailed.status, "No Scanners found in list.");
    EXPECT_TRUE(lastFailed.statusIsError);
}

TEST(SearchMessages, BluetoothCodesHaveTheirOwnTexts) {
    EXPECT_EQ(BluetoothSearchMessage(0x20010069, 3), "No Bluetooth drivers found.");
    EXPECT_EQ(BluetoothSearchMessage(0x20010037, 0), "No Bluetooth transmitter found.");
    EXPECT_EQ(BluetoothSearchMessage(0x20010070, 2), "No Bluetooth transmitter found.");
    EXPECT_EQ(BluetoothSearchMessage(0, 1), "Found 1 Scanner.");
    EXPECT_EQ(BluetoothSearchMessage(0x20010071, 0), "No Scanners found.");
    EXPECT_EQ(BluetoothSearchMessage(5, 4), "Found 4 Scanners.");

    EXPECT_FALSE(BluetoothResultCountsScanners(0x20010069));
    EXPECT_FALSE(BluetoothResultCountsScanners(0x20010037));
    EXPECT_FALSE(BluetoothResultCountsScanners(0x20010070));
    EXPECT_TRUE(BluetoothResultCountsScanners(0));
    EXPECT_TRUE(BluetoothResultCountsScanners(0x20010041));
}

TEST(ActivationMessages, FailureTextsByCode) {
    EXPECT_EQ(ActivationFailureMessage(2, false), "Please make sure that the Brontel Vask is connected.");
    EXPECT_EQ(ActivationFailureMessage(0x20010019, false), "Device is not connected.");
    EXPECT_EQ(ActivationFailureMessage(0x20010044, false), "Device is not connected.");
    EXPECT_EQ(ActivationFailureMessage(0x2001001A, false), "Port access denied.");
    EXPECT_EQ(ActivationFailureMessage(0x20010018, false), "Unable to activate Brontel Vask.");
    EXPECT_EQ(ActivationFailureMessage(1, false), "Unable to activate Brontel Vask.");
}

TEST(ActivationMessages, RetryingGivesTheShortTexts) {
    for (uint32_t code : {2u, 0x20010019u, 0x20010044u, 0x2001001Au, 7u})
        EXPECT_EQ(ActivationFailureMessage(code, true), "Scanner Not Connected") << code;
    EXPECT_EQ(ActivationSuccessMessage(true), "Scanner Connected");
    EXPECT_EQ(ActivationSuccessMessage(false), "Brontel Vask Activated, Scanner Connected");
}

TEST(DeactivationMessage, EmptyWhenNothingWasOpen) {
    EXPECT_EQ(DeactivationMessage(false, 0), "");
    EXPECT_EQ(DeactivationMessage(false, 5), "");
    EXPECT_EQ(DeactivationMessage(true, 0), "Brontel Vask Deactivated");
    EXPECT_EQ(DeactivationMessage(true, 0x20010019), "Failed to Deactive Scanner.");
}

TEST(CutOnCharacterBoundary, SingleByteCodePageCutsAtTheLimit) {
    EXPECT_EQ(CutOnCharacterBoundary(std::string(120, 'a'), 99, NoLeadBytes), std::string(99, 'a'));
    EXPECT_EQ(CutOnCharacterBoundary(std::string(99, 'a'), 99, NoLeadBytes), std::string(99, 'a'));
    EXPECT_EQ(CutOnCharacterBoundary("short", 99, NoLeadBytes), "short");
    EXPECT_EQ(CutOnCharacterBoundary("", 99, NoLeadBytes), "");
    // Bytes that would be lead bytes elsewhere are single characters here.
    EXPECT_EQ(CutOnCharacterBoundary(std::string(100, '\x82'), 99, NoLeadBytes), std::string(99, '\x82'));
}

TEST(CutOnCharacterBoundary, DoubleByteCharacterIsNeverSplit) {
    // 98 single bytes, then a two-byte character across bytes 99 and 100.
    const std::string pair = "\x82\xa0";
    std::string text = std::string(98, 'a') + pair + "z";
    EXPECT_EQ(CutOnCharacterBoundary(text, 99, ShiftJisLead), std::string(98, 'a'));
    // 97 single bytes and the pair end exactly at 99.
    text = std::string(97, 'a') + pair + "zz";
    EXPECT_EQ(CutOnCharacterBoundary(text, 99, ShiftJisLead), std::string(97, 'a') + pair);
    // A trail byte that looks like a lead byte is still a trail byte.
    std::string pairs;
    for (int i = 0; i < 60; ++i) pairs += "\x81\x81";
    const std::string cut = CutOnCharacterBoundary(pairs, 99, ShiftJisLead);
    EXPECT_EQ(cut.size(), 98u);
    // A lead byte at the very end of the text has no trail: it counts alone.
    EXPECT_EQ(CutOnCharacterBoundary("ab\x82", 99, ShiftJisLead), "ab\x82");
}

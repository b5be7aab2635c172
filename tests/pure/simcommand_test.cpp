#include <gtest/gtest.h>

#include "sdksim/SimCommand.h"

using namespace sdksim;
using Args = std::vector<std::string>;

namespace {

SimCommand Parse(const Args& args) {
    auto c = ParseCommand(args);
    EXPECT_TRUE(c) << c.error;
    return c ? *c.value : SimCommand{};
}

std::string ErrorOf(const Args& args) {
    auto c = ParseCommand(args);
    EXPECT_FALSE(c);
    return c.error;
}

}  // namespace

TEST(SimCommandLine, AddSerialWithOptionsInAnyOrder) {
    SimCommand c = Parse({"add-serial", "s1", "--device-id", "D7", "--port", "\\\\.\\COM3"});
    EXPECT_EQ(c.kind, CommandKind::AddSerial);
    EXPECT_EQ(c.name, "s1");
    EXPECT_EQ(c.port, "\\\\.\\COM3");
    EXPECT_EQ(c.deviceId, "D7");
    EXPECT_EQ(c.baudCode, 1);
    EXPECT_EQ(Parse({"add-serial", "s1", "--port", "COM3", "--device-id", "D", "--baud-code", "3"}).baudCode, 3);
}

TEST(SimCommandLine, AddSerialRefusesMissingOrBadValues) {
    EXPECT_NE(ErrorOf({"add-serial", "s1", "--port", "COM3"}).find("usage"), std::string::npos);
    EXPECT_NE(ErrorOf({"add-serial", "s1", "--port", "COM", "--device-id", "D"}).find("port number"), std::string::npos);
    EXPECT_NE(ErrorOf({"add-serial", "s1", "--port", "COM3", "--device-id", "D", "--speed", "1"}).find("unknown option"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"add-serial", "s1", "--port", "COM3", "--port", "COM4", "--device-id", "D"}).find("twice"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"add-serial", "s1", "--port", "COM3", "--device-id"}).find("needs a value"), std::string::npos);
    ErrorOf({"add-serial", "s1", "--port", "COM3", "--device-id", "D", "--baud-code", "fast"});
    ErrorOf({"add-serial", "s1", "--port", "COM3", "--device-id", "ABCDEFGHIJKL"});  // 12 > 11 bytes
    ErrorOf({"add-serial", "two words", "--port", "COM3", "--device-id", "D"});
    ErrorOf({"add-serial"});
}

TEST(SimCommandLine, AddBluetooth) {
    SimCommand c = Parse({"add-bluetooth", "b", "--bt-name", "Vantu BT", "--address", "00:1A:7d:da:71:13", "--kind", "2"});
    EXPECT_EQ(c.kind, CommandKind::AddBluetooth);
    EXPECT_EQ(c.btName, "Vantu BT");
    EXPECT_EQ(c.address[1], 0x1a);
    EXPECT_EQ(c.deviceKind, 2);
    EXPECT_EQ(Parse({"add-bluetooth", "b", "--address", "00:1A:7d:da:71:13", "--bt-name", ""}).deviceKind, 1);
    EXPECT_NE(ErrorOf({"add-bluetooth", "b", "--bt-name", "x", "--address", "00:1A:7d"}).find("--address"),
              std::string::npos);
    ErrorOf({"add-bluetooth", "b", "--bt-name", std::string(254, 'n'), "--address", "00:1A:7d:da:71:13"});
}

TEST(SimCommandLine, NameOnlyCommands) {
    EXPECT_EQ(Parse({"remove", "a"}).kind, CommandKind::Remove);
    EXPECT_EQ(Parse({"unplug", "a"}).kind, CommandKind::Unplug);
    EXPECT_EQ(Parse({"plug", "a"}).name, "a");
    EXPECT_EQ(Parse({"clear-faults", "*"}).name, "*");
    EXPECT_EQ(Parse({"status"}).name, "");
    EXPECT_EQ(Parse({"status", "a"}).name, "a");
    EXPECT_EQ(Parse({"reset"}).kind, CommandKind::Reset);
    ErrorOf({"remove"});
    ErrorOf({"plug", "a", "b"});
    ErrorOf({"unplug", "*"});
    ErrorOf({"reset", "now"});
    ErrorOf({"status", "a", "b"});
}

TEST(SimCommandLine, ScanTakesEscapedOrHexBarcodesAndRepeats) {
    SimCommand c = Parse({"scan", "a", "12\\r\\n", "x\\x41"});
    EXPECT_EQ(c.barcodes, (std::vector<std::string>{"12\r\n", "xA"}));
    EXPECT_EQ(c.repeat, 1u);
    SimCommand h = Parse({"scan", "a", "--hex", "0d0a", "ff00", "--repeat", "3"});
    EXPECT_EQ(h.barcodes, (std::vector<std::string>{"\r\n", std::string("\xff\0", 2)}));
    EXPECT_EQ(h.repeat, 3u);
    EXPECT_EQ(Parse({"scan", "a", "--", "--hex"}).barcodes, std::vector<std::string>{"--hex"});
    EXPECT_EQ(Parse({"scan", "a", std::string(1000, 'z')}).barcodes[0].size(), 1000u);
    ErrorOf({"scan", "a"});
    ErrorOf({"scan", "a", ""});
    ErrorOf({"scan", "a", "bad\\q"});
    ErrorOf({"scan", "a", "--hex", "abc"});
    ErrorOf({"scan", "a", "x", "--repeat", "0"});
    ErrorOf({"scan", "a", "x", "--repeat"});
    ErrorOf({"scan", "a", "x", "--repeat", "2", "--repeat", "3"});
}

TEST(SimCommandLine, FaultsForScannersAndSearches) {
    SimCommand open = Parse({"fault", "a", "open", "0x20010019"});
    EXPECT_EQ(open.call, FaultCall::Open);
    EXPECT_EQ(open.result, 0x20010019u);
    EXPECT_EQ(Parse({"fault", "a", "idmode", "5"}).call, FaultCall::IdMode);
    EXPECT_EQ(Parse({"fault", "a", "count", "5"}).call, FaultCall::Count);
    EXPECT_EQ(Parse({"fault", "a", "close", "5"}).call, FaultCall::Close);
    EXPECT_EQ(Parse({"fault", "*", "find", "0x20010069"}).call, FaultCall::Find);
    SimCommand info = Parse({"fault", "*", "info:2", "0x20010041"});
    EXPECT_EQ(info.call, FaultCall::Info);
    EXPECT_EQ(info.infoPass, 2u);
    ErrorOf({"fault", "a", "find", "1"});       // search calls belong to '*'
    ErrorOf({"fault", "*", "open", "1"});       // scanner calls need a scanner
    ErrorOf({"fault", "a", "open", "0xZZ"});
    ErrorOf({"fault", "*", "info:", "1"});
    ErrorOf({"fault", "*", "info:x", "1"});
    ErrorOf({"fault", "a", "open"});
    SimCommand delay = Parse({"fault", "a", "delay:fetch", "1500"});
    EXPECT_EQ(delay.call, FaultCall::Delay);
    EXPECT_EQ(delay.slowCall, SlowCall::Fetch);
    EXPECT_EQ(delay.result, 1500u);
    EXPECT_EQ(Parse({"fault", "a", "delay:download", "0"}).slowCall, SlowCall::Download);
    ErrorOf({"fault", "a", "delay:find", "10"});
    ErrorOf({"fault", "a", "delay:count", "0x10"});
    ErrorOf({"fault", "*", "delay:count", "10"});
}

TEST(SimCommandLine, TransferAndVersion) {
    EXPECT_EQ(Parse({"transfer", "a", "5"}).queries, 5u);
    ErrorOf({"transfer", "a", "-1"});
    ErrorOf({"transfer", "a"});
    EXPECT_FALSE(Parse({"version"}).setVersion);
    SimCommand v = Parse({"version", "9"});
    EXPECT_TRUE(v.setVersion);
    EXPECT_EQ(v.version, 9);
    ErrorOf({"version", "nine"});
}

TEST(SimCommandLine, UnknownOrMissingCommandShowsUsage) {
    EXPECT_NE(ErrorOf({}).find("add-serial NAME"), std::string::npos);
    EXPECT_NE(ErrorOf({"frobnicate"}).find("unknown command 'frobnicate'"), std::string::npos);
    EXPECT_EQ(Parse({"--help"}).kind, CommandKind::Help);
}

TEST(SimScanFile, OneEscapedBarcodePerLine) {
    auto p = ParseScanFile("first\r\n\nsecond\\tx\nlast");
    ASSERT_TRUE(p) << p.error;
    EXPECT_EQ(*p.value, (std::vector<std::string>{"first", "second\tx", "last"}));
    auto bad = ParseScanFile("ok\nbad\\q\n");
    ASSERT_FALSE(bad);
    EXPECT_NE(bad.error.find("line 2"), std::string::npos);
    EXPECT_TRUE(ParseScanFile("").value->empty());
}

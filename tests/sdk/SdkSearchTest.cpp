// Searches of the simulated SDK: ranges, port spellings, Bluetooth, the
// records' fields, the end of the list and the search faults.
#include <cstring>

#include "tests/sdk/SimDll.h"

namespace sim = testsupport::sim;

namespace {

class SdkSearch : public SimTest {};

FoundDeviceRecord Filled(uint8_t byte) {
    FoundDeviceRecord r;
    r.bytes.fill(byte);
    return r;
}

}  // namespace

TEST(SdkExports, TwelveCallsUnderTheirPlainNamesOnly) {
    ASSERT_TRUE(Dll().Complete());
    EXPECT_EQ(::GetProcAddress(Dll().module, "_VantuClose@4"), nullptr);
    EXPECT_EQ(::GetProcAddress(Dll().module, "VantuClose@4"), nullptr);
}

TEST_F(SdkSearch, SerialRangeMatchesThePortNumberInAnySpelling) {
    ASSERT_TRUE(sim::AddSerial("twelve", "COM12", "ID12", 2));
    ASSERT_TRUE(sim::AddSerial("three", "\\\\.\\COM3", "ID3"));
    ASSERT_TRUE(sim::AddSerial("five", "com5", "ID5", 0));
    ASSERT_TRUE(sim::AddBluetooth("bt", "Blue", "00:11:22:33:44:55"));

    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(1, 16, &found), 3);
    EXPECT_EQ(found[0].PortName(), "\\\\.\\COM3");
    EXPECT_EQ(found[0].DeviceId(), "ID3");
    EXPECT_EQ(found[0].BaudCode(), 1);
    EXPECT_EQ(found[1].PortName(), "com5");
    EXPECT_EQ(found[1].BaudCode(), 0);
    EXPECT_EQ(found[2].PortName(), "COM12");
    EXPECT_EQ(found[2].DeviceId(), "ID12");
    EXPECT_EQ(found[2].BaudCode(), 2);

    EXPECT_EQ(SerialSearch(3, 5), 2);
    EXPECT_EQ(SerialSearch(5, 5), 1);
    EXPECT_EQ(SerialSearch(6, 11), 0);
    EXPECT_EQ(SerialSearch(0, 0), 0);
    EXPECT_EQ(SerialSearch(12, 3), 0);
    ASSERT_TRUE(sim::Unplug("five"));
    EXPECT_EQ(SerialSearch(1, 16), 2);
    ASSERT_TRUE(sim::Plug("five"));
    ASSERT_TRUE(sim::Remove("three"));
    EXPECT_EQ(SerialSearch(1, 16), 2);
}

TEST_F(SdkSearch, TwelveScannersAreAllCountedAndListed) {
    for (int port = 1; port <= 12; ++port)
        ASSERT_TRUE(sim::AddSerial("s" + std::to_string(port), "COM" + std::to_string(port), "D"));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(1, 16, &found), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(found[i].PortName(), "COM" + std::to_string(i + 1));
}

TEST_F(SdkSearch, PassesBeyondTheFoundScannersAnswerNoScannersInList) {
    ASSERT_TRUE(sim::AddSerial("one", "COM2", "A"));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(1, 4, &found), 1);
    FoundDeviceRecord untouched = Filled(0xAB);
    EXPECT_EQ(Dll().GetFoundDeviceInfo(untouched.bytes.data()), vantu::NoScannersInList);
    EXPECT_EQ(Dll().GetFoundDeviceInfo(untouched.bytes.data()), vantu::NoScannersInList);
    EXPECT_EQ(untouched.bytes, Filled(0xAB).bytes);

    // A new search starts the passes again.
    ASSERT_EQ(SerialSearch(1, 4), 1);
    FoundDeviceRecord again;
    EXPECT_EQ(Dll().GetFoundDeviceInfo(again.bytes.data()), 0u);
    EXPECT_EQ(again.bytes, found[0].bytes);
}

TEST_F(SdkSearch, BluetoothFindsOnlyBluetoothScannersInTheOrderAdded) {
    ASSERT_TRUE(sim::AddBluetooth("first", "Vantu One", "00:1a:7d:da:71:13", 1));
    ASSERT_TRUE(sim::AddSerial("serial", "COM3", "S"));
    ASSERT_TRUE(sim::AddBluetooth("second", "Vantu Two", "0A:0B:0C:0D:0E:0F", 2));
    int16_t count = -1;
    uint32_t second = 0xFFFFFFFF;
    EXPECT_EQ(Dll().FindAllInRange(&count, &second), 0u);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(second, 0u);
    FoundDeviceRecord a, b, past;
    ASSERT_EQ(Dll().GetFoundDeviceInfo(a.bytes.data()), 0u);
    ASSERT_EQ(Dll().GetFoundDeviceInfo(b.bytes.data()), 0u);
    EXPECT_EQ(Dll().GetFoundDeviceInfo(past.bytes.data()), vantu::NoScannersInList);
    EXPECT_EQ(a.BluetoothName(), "Vantu One");
    EXPECT_EQ(a.BluetoothAddress(), (std::array<uint8_t, 6>{0x00, 0x1a, 0x7d, 0xda, 0x71, 0x13}));
    EXPECT_EQ(a.DeviceKind(), 1);
    EXPECT_EQ(a.PortName(), "");
    EXPECT_EQ(b.BluetoothName(), "Vantu Two");
    EXPECT_EQ(b.BluetoothAddress()[5], 0x0F);
    EXPECT_EQ(b.DeviceKind(), 2);
    ASSERT_TRUE(sim::Unplug("first"));
    EXPECT_EQ(Dll().FindAllInRange(&count, &second), 0u);
    EXPECT_EQ(count, 1);
}

TEST_F(SdkSearch, FindFaultIsTheResultWhileTheCountStillCounts) {
    ASSERT_TRUE(sim::AddBluetooth("bt", "B", "00:00:00:00:00:01"));
    ASSERT_TRUE(sim::AddSerial("s", "COM1", "S"));
    for (uint32_t code : {vantu::NoBluetoothDrivers, vantu::NoBluetoothTransmitter, vantu::NoBluetoothTransmitter2}) {
        ASSERT_TRUE(sim::Fault("*", "find", code));
        int16_t count = -1;
        uint32_t second = 0;
        EXPECT_EQ(Dll().FindAllInRange(&count, &second), code);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(Dll().FindAllOnCOMPorts(1, 2, &count), code);
        EXPECT_EQ(count, 1);
    }
    ASSERT_TRUE(sim::ClearFaults("*"));
    int16_t count = -1;
    uint32_t second = 0;
    EXPECT_EQ(Dll().FindAllInRange(&count, &second), 0u);
}

TEST_F(SdkSearch, PassFaultFailsThatPassAndUsesUpItsScanner) {
    for (int port = 1; port <= 3; ++port)
        ASSERT_TRUE(sim::AddSerial("s" + std::to_string(port), "COM" + std::to_string(port), "D"));
    ASSERT_TRUE(sim::Fault("*", "info:1", 0x20010041));
    ASSERT_TRUE(sim::Fault("*", "info:0", 7));
    ASSERT_TRUE(sim::Fault("*", "info:0", 0));  // 0 clears again
    ASSERT_EQ(SerialSearch(1, 3), 3);
    FoundDeviceRecord r0, r1 = Filled(0x5A), r2;
    EXPECT_EQ(Dll().GetFoundDeviceInfo(r0.bytes.data()), 0u);
    EXPECT_EQ(Dll().GetFoundDeviceInfo(r1.bytes.data()), 0x20010041u);
    EXPECT_EQ(Dll().GetFoundDeviceInfo(r2.bytes.data()), 0u);
    EXPECT_EQ(r0.PortName(), "COM1");
    EXPECT_EQ(r1.bytes, Filled(0x5A).bytes);  // a failed pass writes nothing
    EXPECT_EQ(r2.PortName(), "COM3");

    ASSERT_TRUE(sim::ClearFaults("*"));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(1, 3, &found), 3);
    EXPECT_EQ(found[1].PortName(), "COM2");
}

TEST_F(SdkSearch, NullOutputsAreRefused) {
    EXPECT_NE(Dll().FindAllOnCOMPorts(1, 2, nullptr), 0u);
    EXPECT_NE(Dll().FindAllInRange(nullptr, nullptr), 0u);
    EXPECT_NE(Dll().GetFoundDeviceInfo(nullptr), 0u);
}

// Connections of the simulated SDK: stored under the registry root, opened
// again by a later process, refused when absent, unplugged or held, owned by
// the process that opened them; closing; the open, ID-mode and close faults;
// the version.
#include <cstdio>
#include <fstream>

#include "sdk/VantuSdk.h"
#include "tests/sdk/SimDll.h"
#include "win/Scoped.h"

namespace sim = testsupport::sim;
using testsupport::ChildProcess;

namespace {

class SdkConnection : public SimTest {};

constexpr char ConnectionKey[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0\\Connections\\Brontel Vask";

// sdk-holder in another process, holding the connection until it is ended.
struct Holder {
    std::string report;
    ChildProcess process;
    vantu::Result result = 0xFFFFFFFF;
    vantu::Handle handle = 0;

    explicit Holder(DWORD holdMs) {
        char folder[MAX_PATH], file[MAX_PATH];
        ::GetTempPathA(MAX_PATH, folder);
        ::GetTempFileNameA(folder, "hld", 0, file);
        report = file;
        ::DeleteFileA(file);
        process = ChildProcess(testsupport::BinPath("sdk-holder.exe"), {std::to_string(holdMs), report});
    }
    ~Holder() { ::DeleteFileA(report.c_str()); }

    // Waits until the holder has reported its open.
    bool Opened() {
        return testsupport::WaitUntil([&] {
            std::ifstream in(report);
            return static_cast<bool>(in >> result >> handle);
        }, 15000);
    }
};

}  // namespace

TEST_F(SdkConnection, CreateStoresRecordAndModeUnderTheRootsOwnKey) {
    ASSERT_TRUE(sim::AddSerial("s", "\\\\.\\COM4", "DEV"));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(4, 4, &found), 1);
    ASSERT_EQ(Dll().CreateConnection(found[0].bytes.data(), vantu::ConnectionName, 4, HKEY_LOCAL_MACHINE), 0u);
    CreateConnectionFor(found[0], 4);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        win::UniqueKey key;
        ASSERT_EQ(::RegOpenKeyExA(root, ConnectionKey, 0, KEY_READ, key.put()), ERROR_SUCCESS);
        FoundDeviceRecord stored;
        DWORD type = 0, size = sizeof stored.bytes;
        ASSERT_EQ(::RegQueryValueExA(key.get(), "Record", nullptr, &type, stored.bytes.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(size, 316u);
        EXPECT_EQ(stored.bytes, found[0].bytes);
        DWORD mode = 0;
        size = sizeof mode;
        ASSERT_EQ(::RegQueryValueExA(key.get(), "Mode", nullptr, &type, reinterpret_cast<BYTE*>(&mode), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(mode, 4u);
    }
    EXPECT_NE(Dll().CreateConnection(found[0].bytes.data(), vantu::ConnectionName, 5, HKEY_CURRENT_USER), 0u);
    EXPECT_NE(Dll().CreateConnection(nullptr, vantu::ConnectionName, 4, HKEY_CURRENT_USER), 0u);
    EXPECT_NE(Dll().CreateConnection(found[0].bytes.data(), "", 4, HKEY_CURRENT_USER), 0u);

    // reset removes the stored connections too.
    ASSERT_TRUE(sim::Reset());
    win::UniqueKey gone;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, ConnectionKey, 0, KEY_READ, gone.put()), ERROR_SUCCESS);
}

TEST_F(SdkConnection, OpenAnswersTwoWithoutAStoredConnection) {
    vantu::Handle h = 77;
    EXPECT_EQ(Open(h), vantu::NoConnectionStored);
    EXPECT_EQ(h, 0u);
    AddConnectedSerial("s", 3);
    EXPECT_EQ(Dll().ConnectionOpen(&h, "Another Name", HKEY_CURRENT_USER), vantu::NoConnectionStored);
    EXPECT_EQ(Dll().ConnectionOpen(&h, vantu::ConnectionName, HKEY_LOCAL_MACHINE), vantu::NoConnectionStored);
    EXPECT_EQ(Open(h), 0u);
    EXPECT_NE(h, 0u);
}

TEST_F(SdkConnection, AConnectionMadeEarlierOpensInALaterProcess) {
    AddConnectedSerial("s", 6);
    Holder later(0);
    ASSERT_TRUE(later.Opened());
    EXPECT_EQ(later.result, 0u);
    EXPECT_NE(later.handle, 0u);
    EXPECT_EQ(later.process.Wait(15000), 0u);
}

TEST_F(SdkConnection, UnpluggedOrRemovedScannerIsNotConnected) {
    AddConnectedSerial("s", 3);
    ASSERT_TRUE(sim::Unplug("s"));
    vantu::Handle h = 0;
    EXPECT_EQ(Open(h), vantu::DeviceNotConnected);
    ASSERT_TRUE(sim::Plug("s"));
    EXPECT_EQ(Open(h), 0u);
    ASSERT_EQ(Dll().Close(h), 0u);
    ASSERT_TRUE(sim::Remove("s"));
    EXPECT_EQ(Open(h), vantu::DeviceNotConnected);
    // The same scanner added again (same port, same id) opens again.
    ASSERT_TRUE(sim::AddSerial("again", "\\\\.\\com3", "ID3"));
    EXPECT_EQ(Open(h), 0u);
}

TEST_F(SdkConnection, AHeldScannerIsDeniedUntilItsHolderCloses) {
    AddConnectedSerial("s", 3);
    vantu::Handle first = 0, second = 0;
    ASSERT_EQ(Open(first), 0u);
    EXPECT_EQ(Open(second), vantu::PortAccessDenied);
    EXPECT_EQ(second, 0u);
    ASSERT_EQ(Dll().Close(first), 0u);
    EXPECT_EQ(Open(second), 0u);
    EXPECT_NE(second, first);  // handle values are not reused
}

TEST_F(SdkConnection, AHandleBelongsToItsProcessAndEndsWithIt) {
    AddConnectedSerial("s", 3);
    Holder other(60000);
    ASSERT_TRUE(other.Opened());
    ASSERT_EQ(other.result, 0u);
    vantu::Handle mine = 0;
    EXPECT_EQ(Open(mine), vantu::PortAccessDenied);
    // The other process's handle value means nothing here.
    int16_t count = 0;
    EXPECT_NE(Dll().GetBarCodeCount(other.handle, &count), 0u);
    EXPECT_NE(Dll().Close(other.handle), 0u);
    EXPECT_EQ(Open(mine), vantu::PortAccessDenied);

    other.process.Kill();
    EXPECT_EQ(Open(mine), 0u);
}

TEST_F(SdkConnection, CloseEndsTheHandleOnce) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    EXPECT_EQ(Dll().Close(h), 0u);
    EXPECT_NE(Dll().Close(h), 0u);
    vantu::Result r = 0;
    Count(h, &r);
    EXPECT_NE(r, 0u);
    EXPECT_NE(Dll().RequestDownload(h), 0u);
    EXPECT_NE(Dll().SetBarCodeIDMode(h, 0), 0u);
    EXPECT_NE(Dll().SDKClearStoredBarcodes(h), 0u);
    EXPECT_NE(Dll().Close(0), 0u);
}

TEST_F(SdkConnection, OpenFaultDecidesTheOpen) {
    AddConnectedSerial("s", 3);
    for (uint32_t code : {vantu::DeviceNotConnected2, 0x12345678u, 2u}) {
        ASSERT_TRUE(sim::Fault("s", "open", code));
        vantu::Handle h = 0;
        EXPECT_EQ(Open(h), code);
        EXPECT_EQ(h, 0u);
    }
    ASSERT_TRUE(sim::ClearFaults("s"));
    vantu::Handle h = 0;
    EXPECT_EQ(Open(h), 0u);
}

TEST_F(SdkConnection, IdModeFaultDecidesTheIdModeCall) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    EXPECT_EQ(Dll().SetBarCodeIDMode(h, 0), 0u);
    ASSERT_TRUE(sim::Fault("s", "idmode", vantu::PortAccessDenied));
    EXPECT_EQ(Dll().SetBarCodeIDMode(h, 0), vantu::PortAccessDenied);
    ASSERT_TRUE(sim::ClearFaults("s"));
    EXPECT_EQ(Dll().SetBarCodeIDMode(h, 0), 0u);
}

TEST_F(SdkConnection, CloseFaultFailsTheCloseAndKeepsTheHandle) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0, other = 0;
    ASSERT_EQ(Open(h), 0u);
    ASSERT_TRUE(sim::Fault("s", "close", 0x20010099));
    EXPECT_EQ(Dll().Close(h), 0x20010099u);
    EXPECT_EQ(Count(h), 0);  // still usable
    EXPECT_EQ(Open(other), vantu::PortAccessDenied);
    ASSERT_TRUE(sim::Fault("s", "close", 0));
    EXPECT_EQ(Dll().Close(h), 0u);
    EXPECT_EQ(Open(other), 0u);
}

TEST_F(SdkConnection, CloseWorksAfterTheScannerWentAway) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    ASSERT_TRUE(sim::Unplug("s"));
    vantu::Result r = 0;
    Count(h, &r);
    EXPECT_EQ(r, vantu::DeviceNotConnected);
    ASSERT_TRUE(sim::Plug("s"));
    Count(h, &r);
    EXPECT_EQ(r, 0u);
    ASSERT_TRUE(sim::Remove("s"));
    Count(h, &r);
    EXPECT_EQ(r, vantu::DeviceNotConnected);
    EXPECT_EQ(Dll().Close(h), 0u);
}

TEST_F(SdkConnection, BluetoothConnectionOpensByAddress) {
    ASSERT_TRUE(sim::AddBluetooth("bt", "Blue", "00:1a:7d:da:71:13", 2));
    int16_t count = 0;
    uint32_t second = 0;
    ASSERT_EQ(Dll().FindAllInRange(&count, &second), 0u);
    ASSERT_EQ(count, 1);
    FoundDeviceRecord r;
    ASSERT_EQ(Dll().GetFoundDeviceInfo(r.bytes.data()), 0u);
    CreateConnectionFor(r, 9);
    vantu::Handle h = 0;
    EXPECT_EQ(Open(h), 0u);
    CreateConnectionFor(r, 4);  // the same record as a serial connection names no scanner
    ASSERT_EQ(Dll().Close(h), 0u);
    EXPECT_EQ(Open(h), vantu::DeviceNotConnected);
}

TEST_F(SdkConnection, VersionFollowsVaskSimThroughTheProgramsBinding) {
    ASSERT_TRUE(vantu::SdkLoaded());
    EXPECT_EQ(vantu::VantuAPIGetVersion(), 3);
    ASSERT_TRUE(sim::SetVersion(42));
    EXPECT_EQ(vantu::VantuAPIGetVersion(), 42);
    EXPECT_EQ(Dll().APIGetVersion(), 42);
    ASSERT_TRUE(sim::Reset());
    EXPECT_EQ(vantu::VantuAPIGetVersion(), 3);
}

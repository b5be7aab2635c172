// Scanner discovery against the simulated SDK: the searches' messages and
// colours, the list, FoundDevices and FoundDeviceNames, every failure row,
// restoring a list, and configuring the connection.
#include <gtest/gtest.h>

#include "config/Application.h"
#include "config/Identity.h"
#include "res/resource.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"
#include "tests/scanner/ScannerFixture.h"

using namespace scannertest;

namespace {

class Discovery : public ScannerTest {};

// Puts a search's records into the SDK's hands without reading any of them.
void PrimeSdkSearch(int first, int last, int expected) {
    int16_t count = 0;
    (void)vantu::VantuFindAllOnCOMPorts(first, last, &count);
    ASSERT_EQ(count, expected);
}

// The next record the SDK hands out, and its result.
vantu::Result NextRecord(FoundDeviceRecord& record) {
    return vantu::VantuGetFoundDeviceInfo(record.bytes.data());
}

}  // namespace

TEST_F(Discovery, ShowTextReplacesTextOrAppendsEntry) {
    HWND status = ::GetDlgItem(dialog_, IDC_STATUS_LINE);
    HWND list = ::GetDlgItem(dialog_, IDC_SCANNER_LIST);
    ShowText("first", status, ReplaceText);
    ShowText("second", status, ReplaceText);
    EXPECT_EQ(StatusText(dialog_), "second");
    ShowText("a", list, AppendEntry);
    ShowText("", list, AppendEntry);
    ShowText("c", list, AppendEntry);
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"a", "", "c"}));
}

TEST_F(Discovery, SerialSearchWithNothingFound) {
    AddSerial("far", "COM20", "F1");
    ScannerStateTestAccess::SetScannersFound(false);
    SearchSerialPorts(dialog_, 1, 16);
    EXPECT_EQ(StatusText(dialog_), "No Scanners found.");
    EXPECT_EQ(LastingStatus(), "No Scanners found.");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_TRUE(ListEntries(dialog_).empty());
    EXPECT_EQ(Scanner.ScannersFound(), 0);

    // A count of 0 leaves ScannersFound as an earlier search set it.
    Scanner.MarkScannersFound();
    SearchSerialPorts(dialog_, 1, 16);
    EXPECT_EQ(Scanner.ScannersFound(), 1);
}

TEST_F(Discovery, SerialSearchOfOneScannerIsSingular) {
    AddSerial("one", "\\\\.\\com3", "VX-7");
    Scanner.NameFound(5, "left over");
    Scanner.SelectFound(4);
    SearchSerialPorts(dialog_, 1, 16);
    EXPECT_EQ(StatusText(dialog_), "Found 1 Scanner.");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(Scanner.ScannersFound(), 1);
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"Device ID: VX-7 on Com  3."}));
    EXPECT_EQ(Scanner.FoundNames()[0], "Device ID: VX-7 on Com  3.");
    EXPECT_EQ(Scanner.FoundNames()[5], "");  // every slot cleared first
    EXPECT_EQ(Scanner.SelectedSlot(), 0);
    EXPECT_EQ(Scanner.FoundRecord(0).DeviceId(), "VX-7");
    EXPECT_EQ(Scanner.FoundRecord(0).PortName(), "\\\\.\\com3");
}

TEST_F(Discovery, TwelveScannersListEightInSdkOrder) {
    for (int port = 1; port <= 12; ++port)
        AddSerial("s" + std::to_string(port), "COM" + std::to_string(port), "ID" + std::to_string(port));
    SearchSerialPorts(dialog_, 1, 16);
    EXPECT_EQ(StatusText(dialog_), "Found 12 Scanners.");
    const auto entries = ListEntries(dialog_);
    ASSERT_EQ(entries.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const std::string expected = "Device ID: ID" + std::to_string(i + 1) + " on Com COM" + std::to_string(i + 1) + ".";
        EXPECT_EQ(entries[static_cast<size_t>(i)], expected);
        EXPECT_EQ(Scanner.FoundNames()[static_cast<size_t>(i)], expected);
        EXPECT_EQ(Scanner.FoundRecord(static_cast<size_t>(i)).DeviceId(), "ID" + std::to_string(i + 1));
    }
}

TEST_F(Discovery, PortRangeReachesTheSdk) {
    AddSerial("three", "COM3", "T3");
    AddSerial("four", "COM4", "T4");
    SearchSerialPorts(dialog_, 0, 3);   // first 0 still searches
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"Device ID: T3 on Com COM3."}));
    SearchSerialPorts(dialog_, 4, 4);
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"Device ID: T4 on Com COM4."}));
}

TEST_F(Discovery, BothPortsZeroSearchesNothingInTheSdk) {
    AddSerial("three", "COM3", "T3");
    PrimeSdkSearch(1, 16, 1);
    ScannerStateTestAccess::SetScannersFound(false);
    SearchSerialPorts(dialog_, 0, 0);
    EXPECT_EQ(StatusText(dialog_), "No Scanners found.");
    EXPECT_TRUE(ListEntries(dialog_).empty());
    EXPECT_EQ(Scanner.ScannersFound(), 0);
    // Had the SDK been asked, its last search would now be empty.
    FoundDeviceRecord record;
    EXPECT_EQ(NextRecord(record), 0u);
    EXPECT_EQ(record.DeviceId(), "T3");
}

TEST_F(Discovery, NegativeCountGivesPluralAndReadsNothing) {
    AddSerial("three", "COM3", "T3");
    PrimeSdkSearch(1, 16, 1);
    FoundDeviceRecord kept;
    kept.SetDeviceId("kept");
    Scanner.KeepFoundRecord(0, kept);
    Scanner.NameFound(0, "kept");
    ShowSearchListing(dialog_, ReadSearchRecords(scannertext::CountMessage(-3), -3, scannertext::SerialEntryText));
    EXPECT_EQ(StatusText(dialog_), "Found -3 Scanners.");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_TRUE(ListEntries(dialog_).empty());
    EXPECT_EQ(Scanner.FoundRecord(0).DeviceId(), "kept");
    FoundDeviceRecord record;
    EXPECT_EQ(NextRecord(record), 0u) << "a record was read for a negative count";
    EXPECT_EQ(record.DeviceId(), "T3");
}

TEST_F(Discovery, FailedFirstRecordGivesEmptyEntryInRed) {
    AddSerial("a", "COM1", "A1");
    AddSerial("b", "COM2", "B2");
    Sim({"fault", "*", "info:0", "0x20010099"});
    SearchSerialPorts(dialog_, 1, 16);
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"", "Device ID: B2 on Com COM2."}));
    EXPECT_EQ(Scanner.FoundNames()[0], "");
    // The failure text stays; the later good record turns the colour back.
    EXPECT_EQ(StatusText(dialog_), "Failed to get Scanner Information.");
    EXPECT_EQ(LastingStatus(), "Failed to get Scanner Information.");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    // The zeroed buffer went into slot 0.
    EXPECT_EQ(Scanner.FoundRecord(0).DeviceId(), "");
}

TEST_F(Discovery, FailedLaterRecordRepeatsThePreviousEntry) {
    AddSerial("a", "COM1", "A1");
    AddSerial("b", "COM2", "B2");
    AddSerial("c", "COM3", "C3");
    Sim({"fault", "*", "info:2", "0x20010041"});
    SearchSerialPorts(dialog_, 1, 16);
    const auto entries = ListEntries(dialog_);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2], entries[1]);
    EXPECT_EQ(entries[1], "Device ID: B2 on Com COM2.");
    EXPECT_EQ(Scanner.FoundNames()[2], entries[1]);
    EXPECT_EQ(StatusText(dialog_), "No Scanners found in list.");
    EXPECT_EQ(Scanner.StatusIsError(), 1);
    // The buffer still held record 1 when pass 2 failed.
    EXPECT_EQ(Scanner.FoundRecord(2).DeviceId(), "B2");
}

TEST_F(Discovery, BluetoothEntriesByDeviceKind) {
    AddBluetooth("k1", "Vantu One", "00:1a:7d:da:71:13", 1);
    AddBluetooth("k2", "Vantu Two", "0A:0B:0C:0D:0E:0F", 2);
    App.Settings.Update([](SettingsRecord& s) { s.mode = BluetoothMode; });
    SearchBluetooth(dialog_);
    EXPECT_EQ(StatusText(dialog_), "Found 2 Scanners.");
    EXPECT_EQ(ListEntries(dialog_),
              (std::vector<std::string>{"Vantu One 00:1a:7d:da:71:13", " Vantu Two 0a:0b:0c:0d:0e:0f"}));
    EXPECT_EQ(Scanner.ScannersFound(), 1);
    EXPECT_EQ(Scanner.StatusIsError(), 0);
}

TEST_F(Discovery, BluetoothDriverAndTransmitterCodes) {
    AddBluetooth("k1", "Vantu One", "00:1a:7d:da:71:13", 1);
    const struct {
        const char* code;
        const char* text;
    } rows[] = {
        {"0x20010069", "No Bluetooth drivers found."},
        {"0x20010037", "No Bluetooth transmitter found."},
        {"0x20010070", "No Bluetooth transmitter found."},
    };
    for (const auto& row : rows) {
        Sim({"fault", "*", "find", row.code});
        ScannerStateTestAccess::SetScannersFound(false);
        SearchBluetooth(dialog_);
        EXPECT_EQ(StatusText(dialog_), row.text) << row.code;
        EXPECT_EQ(LastingStatus(), row.text) << row.code;
        EXPECT_EQ(Scanner.StatusIsError(), 0) << row.code;
        EXPECT_EQ(Scanner.ScannersFound(), 0) << row.code;
        // The count is still used.
        EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"Vantu One 00:1a:7d:da:71:13"})) << row.code;
    }
    // Any other code gives the count message.
    Sim({"fault", "*", "find", "0x20010099"});
    SearchBluetooth(dialog_);
    EXPECT_EQ(StatusText(dialog_), "Found 1 Scanner.");
    EXPECT_EQ(Scanner.ScannersFound(), 1);
}

TEST_F(Discovery, RestoreKeepsPositionsAndReselects) {
    HWND list = ::GetDlgItem(dialog_, IDC_SCANNER_LIST);
    HWND activate = ::GetDlgItem(dialog_, IDC_ACTIVATE);
    ASSERT_FALSE(ItemEnabled(dialog_, IDC_ACTIVATE));
    scannertest::NameFoundScanners({"", "second", "third"});
    Scanner.SelectFound(1);
    RestoreDeviceList(list, activate);
    // Entry i still belongs to FoundDevices[i], also behind a failed first pass.
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"", "second", "third"}));
    EXPECT_EQ(ListSelection(dialog_), 1);
    EXPECT_TRUE(ItemEnabled(dialog_, IDC_ACTIVATE));
}

TEST_F(Discovery, RestoreOfNothingSelectsNothing) {
    HWND list = ::GetDlgItem(dialog_, IDC_SCANNER_LIST);
    HWND activate = ::GetDlgItem(dialog_, IDC_ACTIVATE);
    ShowText("already there", list, AppendEntry);
    RestoreDeviceList(list, activate);
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"already there"}));  // not emptied
    EXPECT_EQ(ListSelection(dialog_), LB_ERR);
    EXPECT_FALSE(ItemEnabled(dialog_, IDC_ACTIVATE));
}

TEST_F(Discovery, StoredDeviceBecomesSlotZero) {
    App.Settings.Update([](SettingsRecord& s) { s.DeviceInfo = "Device ID: VX-7 on Com  3."; });
    ShowStoredDevice(::GetDlgItem(dialog_, IDC_SCANNER_LIST));
    EXPECT_EQ(ListEntries(dialog_), (std::vector<std::string>{"Device ID: VX-7 on Com  3."}));
    EXPECT_EQ(Scanner.FoundNames()[0], "Device ID: VX-7 on Com  3.");
}

TEST_F(Discovery, ConfigureBeforeAnySearchCreatesNoConnection) {
    App.Settings.Update([](SettingsRecord& s) { s.DeviceInfo = "Device ID: OLD on Com  1."; });
    ShowStoredDevice(::GetDlgItem(dialog_, IDC_SCANNER_LIST));
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, 0, 0);
    ConfigureConnection(dialog_, BluetoothMode);
    EXPECT_EQ(StatusText(dialog_), "Activating, please wait...");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(App.Settings.Get().ActivatedScannerMode, BluetoothMode);
    EXPECT_EQ(App.Settings.Get().DeviceInfo, "Device ID: OLD on Com  1.");
    EXPECT_FALSE(ConnectionStored(HKEY_CURRENT_USER));
    EXPECT_FALSE(ConnectionStored(HKEY_LOCAL_MACHINE));
}

TEST_F(Discovery, ConfigureSelectedScannerStoresConnectionAndDeviceInfo) {
    AddSerial("a", "COM1", "A1");
    AddSerial("b", "COM2", "B2");
    SearchSerialPorts(dialog_, 1, 16);
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, 1, 0);
    ConfigureConnection(dialog_, SerialMode);
    EXPECT_EQ(Scanner.SelectedSlot(), 1);
    EXPECT_EQ(StatusText(dialog_), "Activating, please wait...");
    EXPECT_EQ(App.Settings.Get().ActivatedScannerMode, SerialMode);
    EXPECT_EQ(App.Settings.Get().DeviceInfo, "Device ID: B2 on Com COM2.");
    EXPECT_TRUE(ConnectionStored(HKEY_CURRENT_USER));
    EXPECT_TRUE(ConnectionStored(HKEY_LOCAL_MACHINE));  // the first call, result ignored
}

TEST_F(Discovery, ConfigureWithoutSelectionFails) {
    AddSerial("a", "COM1", "A1");
    AddSerial("b", "COM2", "B2");
    SearchSerialPorts(dialog_, 1, 16);
    App.Settings.Update([](SettingsRecord& s) {
        s.DeviceInfo = "before";
        s.ActivatedScannerMode = BluetoothMode;
    });
    ASSERT_EQ(ListSelection(dialog_), LB_ERR);
    ConfigureConnection(dialog_, SerialMode);
    EXPECT_EQ(StatusText(dialog_), "Configuration failed.");
    EXPECT_EQ(LastingStatus(), "Configuration failed.");
    EXPECT_EQ(Scanner.StatusIsError(), 1);
    EXPECT_EQ(App.Settings.Get().DeviceInfo, "before");
    EXPECT_EQ(App.Settings.Get().ActivatedScannerMode, BluetoothMode);
    EXPECT_FALSE(ConnectionStored(HKEY_CURRENT_USER));
}

TEST_F(Discovery, LongEntryIsCutTo99Bytes) {
    const std::string name(150, 'N');
    AddBluetooth("long", name, "01:02:03:04:05:06", 1);
    SearchBluetooth(dialog_);
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, 0, 0);
    ConfigureConnection(dialog_, BluetoothMode);
    EXPECT_EQ(ListEntries(dialog_)[0].size(), 150u + 18u);
    EXPECT_EQ(App.Settings.Get().DeviceInfo, std::string(99, 'N'));
}

// A non-volatile key cannot be made under a volatile one: the connection
// under that root then fails while the other root's succeeds.
class ConnectionRefusedUnder {
public:
    explicit ConnectionRefusedUnder(HKEY root) : root_(root) {
        (void)::RegDeleteTreeA(root_, Parent);
        HKEY key = nullptr;
        ok_ = ::RegCreateKeyExA(root_, Parent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) == ERROR_SUCCESS;
        if (key) ::RegCloseKey(key);
    }
    ~ConnectionRefusedUnder() { (void)::RegDeleteTreeA(root_, Parent); }
    bool ok() const { return ok_; }

private:
    static constexpr char Parent[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0\\Connections";
    HKEY root_;
    bool ok_ = false;
};

class ConfigurationResult : public Discovery {
protected:
    void SetUp() override {
        Discovery::SetUp();
        AddSerial("a", "COM1", "A1");
        SearchSerialPorts(dialog_, 1, 16);
        ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, 0, 0);
    }
    // Configures as an administrator or not; true when it succeeded.
    bool Configure(int administrator) {
        identity_test_seam::OverrideAdministrator(administrator);
        App.Settings.Update([](SettingsRecord& s) { s.DeviceInfo = "unchanged"; });
        ConfigureConnection(dialog_, SerialMode);
        if (StatusText(dialog_) == "Configuration failed.") {
            EXPECT_EQ(Scanner.StatusIsError(), 1);
            EXPECT_EQ(App.Settings.Get().DeviceInfo, "unchanged");
            return false;
        }
        EXPECT_EQ(StatusText(dialog_), "Activating, please wait...");
        EXPECT_EQ(Scanner.StatusIsError(), 0);
        EXPECT_EQ(App.Settings.Get().DeviceInfo, "Device ID: A1 on Com COM1.");
        return true;
    }
};

TEST_F(ConfigurationResult, MachineRefusedMattersOnlyToAnAdministrator) {
    ConnectionRefusedUnder refused(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(refused.ok());
    EXPECT_TRUE(Configure(0));
    ASSERT_FALSE(ConnectionStored(HKEY_LOCAL_MACHINE)) << "the registry accepted the machine's key";
    EXPECT_TRUE(ConnectionStored(HKEY_CURRENT_USER));
    EXPECT_FALSE(Configure(1));
}

TEST_F(ConfigurationResult, UserRefusedMattersOnlyToOthers) {
    ConnectionRefusedUnder refused(HKEY_CURRENT_USER);
    ASSERT_TRUE(refused.ok());
    EXPECT_FALSE(Configure(0));
    ASSERT_FALSE(ConnectionStored(HKEY_CURRENT_USER)) << "the registry accepted the user's key";
    EXPECT_TRUE(Configure(1));
    EXPECT_TRUE(ConnectionStored(HKEY_LOCAL_MACHINE));
}

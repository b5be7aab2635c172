#include "scanner/Discovery.h"

#include <vector>

#include "config/Application.h"
#include "config/Identity.h"
#include "res/resource.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"

static_assert(scannertext::NoConnectionStored == vantu::NoConnectionStored);
static_assert(scannertext::DeviceNotConnected == vantu::DeviceNotConnected);
static_assert(scannertext::DeviceNotConnected2 == vantu::DeviceNotConnected2);
static_assert(scannertext::PortAccessDenied == vantu::PortAccessDenied);
static_assert(scannertext::NoScannersInList == vantu::NoScannersInList);
static_assert(scannertext::NoBluetoothTransmitter == vantu::NoBluetoothTransmitter);
static_assert(scannertext::NoBluetoothTransmitter2 == vantu::NoBluetoothTransmitter2);
static_assert(scannertext::NoBluetoothDrivers == vantu::NoBluetoothDrivers);
static_assert(scannertext::MaxListedScanners == MaxFoundDevices);

namespace {

HWND ScannerList(HWND page) { return ::GetDlgItem(page, IDC_SCANNER_LIST); }
HWND StatusLine(HWND page) { return ::GetDlgItem(page, IDC_STATUS_LINE); }

// The list's selected entry as the SDK records are indexed, or -1.
int SelectedSlot(HWND list) {
    const LRESULT index = ::SendMessageA(list, LB_GETCURSEL, 0, 0);
    return (index >= 0 && index < MaxFoundDevices) ? static_cast<int>(index) : -1;
}

std::string ListEntryText(HWND list, int index) {
    const LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const LRESULT copied = ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(buffer.data()));
    return copied > 0 ? std::string(buffer.data(), static_cast<size_t>(copied)) : std::string();
}

// The three calls of one configuration; for an administrator the machine's
// connection decides, for anybody else the user's.
vantu::Result CreateConnections(const FoundDeviceRecord& record, int mode) {
    const void* bytes = record.bytes.data();
    (void)vantu::VantuCreateConnection(bytes, vantu::ConnectionName, mode, HKEY_LOCAL_MACHINE);
    vantu::Result result = vantu::VantuCreateConnection(bytes, vantu::ConnectionName, mode, HKEY_CURRENT_USER);
    if (IsAdministrator())
        result = vantu::VantuCreateConnection(bytes, vantu::ConnectionName, mode, HKEY_LOCAL_MACHINE);
    return result;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

void ShowText(const std::string& text, HWND control, int how) {
    if (how == AppendEntry)
        ::SendMessageA(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    else
        ::SetWindowTextA(control, text.c_str());
}

void ReportStatus(HWND page, const std::string& text, int isError) {
    App.StatusIsError = isError;
    App.ConnectionStatusText.Set(text);
    ShowText(text, StatusLine(page), ReplaceText);
}

void ClearFoundDevices() {
    for (auto& name : App.FoundDeviceNames) name.clear();
    App.SelectedDevice = 0;
}

void ShowSearchResult(HWND page, const std::string& message, int count, EntryTextFn entryText) {
    ReportStatus(page, message, 0);
    HWND list = ScannerList(page);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);

    // One buffer for all passes: a failed pass keeps what the buffer held.
    FoundDeviceRecord buffer{};
    std::string entry;
    const int passes = scannertext::ListedEntryCount(count);
    for (int i = 0; i < passes; ++i) {
        const vantu::Result result = vantu::VantuGetFoundDeviceInfo(buffer.bytes.data());
        App.FoundDevices[static_cast<size_t>(i)] = buffer;
        if (result == 0) {
            entry = entryText(buffer);
            App.StatusIsError = 0;
        } else {
            ReportStatus(page, scannertext::RecordFailureMessage(result), 1);
        }
        ShowText(entry, list, AppendEntry);
        App.FoundDeviceNames[static_cast<size_t>(i)] = entry;
    }
}

void SearchSerialPorts(HWND page, int firstPort, int lastPort) {
    ClearFoundDevices();
    int16_t count = 0;
    if (firstPort != 0 || lastPort != 0)
        (void)vantu::VantuFindAllOnCOMPorts(firstPort, lastPort, &count);
    if (count != 0) App.ScannersFound = 1;
    ShowSearchResult(page, scannertext::CountMessage(count), count, scannertext::SerialEntryText);
}

void SearchBluetooth(HWND page) {
    int16_t count = 0;
    uint32_t unused = 0;
    const vantu::Result result = vantu::VantuFindAllInRange(&count, &unused);
    ClearFoundDevices();
    if (scannertext::BluetoothResultCountsScanners(result) && count != 0) App.ScannersFound = 1;
    // The count is used as returned, also with a driver or transmitter code.
    ShowSearchResult(page, scannertext::BluetoothSearchMessage(result, count), count,
                     scannertext::BluetoothEntryText);
}

void RestoreDeviceList(HWND list, HWND activateButton) {
    int used = 0;
    for (int i = 0; i < MaxFoundDevices; ++i)
        if (!App.FoundDeviceNames[static_cast<size_t>(i)].empty()) used = i + 1;
    for (int i = 0; i < used; ++i)
        ShowText(App.FoundDeviceNames[static_cast<size_t>(i)], list, AppendEntry);
    if (used > 0 && App.SelectedDevice >= 0 && App.SelectedDevice < MaxFoundDevices) {
        ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(App.SelectedDevice), 0);
        ::EnableWindow(activateButton, TRUE);
    }
}

void ShowStoredDevice(HWND list) {
    ShowText(App.DeviceInfo, list, AppendEntry);
    App.FoundDeviceNames[0] = App.DeviceInfo;
}

void ConfigureConnection(HWND page, int mode) {
    HWND list = ScannerList(page);
    const int slot = SelectedSlot(list);
    App.SelectedDevice = slot;
    // Without a selected entry there is no record to hand over: a failure.
    const bool configured = slot >= 0 && (App.ScannersFound != 1 ||
        CreateConnections(App.FoundDevices[static_cast<size_t>(slot)], mode) == 0);
    if (!configured) {
        ReportStatus(page, scannertext::ConfigurationFailed, 1);
        return;
    }
    App.ActivatedScannerMode = mode;
    ReportStatus(page, scannertext::Activating, 0);
    const std::string entry = scannertext::CutOnCharacterBoundary(
        ListEntryText(list, slot), scannertext::MaxDeviceInfoBytes, IsAnsiLeadByte);
    if (App.ScannersFound == 1) App.DeviceInfo = entry;
}

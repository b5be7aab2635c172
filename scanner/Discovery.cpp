#include "scanner/Discovery.h"

#include <windows.h>

#include <vector>

#include "config/Application.h"
#include "config/Identity.h"
#include "scanner/ScannerState.h"
#include "scanner/SdkMissing.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"
#include "win/WinText.h"

static_assert(scannertext::MaxListedScanners == MaxFoundDevices);

namespace {

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

ScannerStatus SetScannerStatus(const std::string& text, bool isError) {
    Scanner.SetStatus(text, isError);
    return {text, isError};
}

void ClearFoundDevices() { Scanner.ForgetFound(); }

scannertext::SearchListing ReadSearchRecords(const std::string& message, int count, EntryTextFn entryText) {
    // One buffer for all passes: a failed pass keeps what the buffer held.
    FoundDeviceRecord buffer{};
    std::vector<scannertext::RecordPass> passes;
    const int listed = scannertext::ListedEntryCount(count);
    for (int i = 0; i < listed; ++i) {
        const vantu::Result result = vantu::VantuGetFoundDeviceInfo(buffer.bytes.data());
        Scanner.KeepFoundRecord(static_cast<size_t>(i), buffer);
        passes.push_back({result, result == 0 ? entryText(buffer) : std::string()});
    }
    scannertext::SearchListing listing = scannertext::ListSearch(message, passes);
    if (const std::string missing = StatusUnlessSdkMissing(listing.status); missing != listing.status) {
        listing.status = missing;
        listing.statusIsError = true;
    }
    for (size_t i = 0; i < listing.entries.size(); ++i) Scanner.NameFound(i, listing.entries[i]);
    (void)SetScannerStatus(listing.status, listing.statusIsError);
    return listing;
}

scannertext::SearchListing FindSerialScanners(int firstPort, int lastPort) {
    ClearFoundDevices();
    int16_t count = 0;
    if (firstPort != 0 || lastPort != 0)
        (void)vantu::VantuFindAllOnCOMPorts(firstPort, lastPort, &count);
    if (count != 0) Scanner.MarkScannersFound();
    return ReadSearchRecords(scannertext::CountMessage(count), count, scannertext::SerialEntryText);
}

scannertext::SearchListing FindBluetoothScanners() {
    int16_t count = 0;
    uint32_t unused = 0;
    const vantu::Result result = vantu::VantuFindAllInRange(&count, &unused);
    ClearFoundDevices();
    if (scannertext::BluetoothResultCountsScanners(result) && count != 0) Scanner.MarkScannersFound();
    // The count is used as returned, also with a driver or transmitter code.
    return ReadSearchRecords(scannertext::BluetoothSearchMessage(result, count), count,
                             scannertext::BluetoothEntryText);
}

DeviceList FoundDeviceList() {
    DeviceList list;
    const auto& names = Scanner.FoundNames();
    const int selected = Scanner.SelectedSlot();
    size_t used = 0;
    for (size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty()) used = i + 1;
    list.entries.assign(names.begin(), names.begin() + static_cast<long>(used));
    if (used > 0 && selected >= 0 && selected < MaxFoundDevices) list.selected = selected;
    return list;
}

std::string TakeStoredDevice() {
    const std::string stored = App.Settings.Get().DeviceInfo;
    Scanner.NameFound(0, stored);
    return stored;
}

ScannerStatus ConfigureSelectedScanner(int slot, const std::string& entry, int mode) {
    if (slot < 0 || slot >= MaxFoundDevices) slot = -1;
    Scanner.SelectFound(slot);
    // Without a selected entry there is no record to hand over: a failure.
    const bool configured = slot >= 0 && (!Scanner.ScannersFound() ||
        CreateConnections(Scanner.FoundRecord(static_cast<size_t>(slot)), mode) == 0);
    if (!configured) return SetScannerStatus(scannertext::ConfigurationFailed, true);
    const bool chosenFromSearch = Scanner.ScannersFound();
    App.Settings.Update([&](SettingsRecord& settings) {
        settings.ActivatedScannerMode = mode;
        if (chosenFromSearch)
            settings.DeviceInfo = scannertext::CutOnCharacterBoundary(entry, scannertext::MaxDeviceInfoBytes,
                                                                      win::IsAnsiLeadByte);
    });
    return SetScannerStatus(scannertext::Activating, false);
}

#include "pages/ScannerView.h"

#include <vector>

#include "res/resource.h"
#include "scanner/Activation.h"
#include "win/ListControls.h"

namespace {

HWND ScannerList(HWND page) { return ::GetDlgItem(page, IDC_SCANNER_LIST); }
HWND StatusLine(HWND page) { return ::GetDlgItem(page, IDC_STATUS_LINE); }

}  // namespace

std::string ListEntryText(HWND list, int index) { return win::ListBox(list).EntryText(index); }

void ShowText(const std::string& text, HWND control, int how) {
    if (how == AppendEntry)
        win::ListBox(control).Add(text);
    else
        ::SetWindowTextA(control, text.c_str());
}

void ShowSearchListing(HWND page, const scannertext::SearchListing& listing) {
    ShowText(listing.status, StatusLine(page), ReplaceText);
    HWND list = ScannerList(page);
    win::ListBox(list).Clear();
    for (const std::string& entry : listing.entries) ShowText(entry, list, AppendEntry);
}

void SearchSerialPorts(HWND page, int firstPort, int lastPort) {
    ShowSearchListing(page, FindSerialScanners(firstPort, lastPort));
}

void SearchBluetooth(HWND page) { ShowSearchListing(page, FindBluetoothScanners()); }

void RestoreDeviceList(HWND list, HWND activateButton) {
    const DeviceList found = FoundDeviceList();
    for (const std::string& entry : found.entries) ShowText(entry, list, AppendEntry);
    if (found.selected >= 0) {
        win::ListBox(list).Select(found.selected);
        ::EnableWindow(activateButton, TRUE);
    }
}

void ShowStoredDevice(HWND list) { ShowText(TakeStoredDevice(), list, AppendEntry); }

void ConfigureConnection(HWND page, int mode) {
    HWND list = ScannerList(page);
    const int selected = win::ListBox(list).Selected();
    const std::string entry = selected >= 0 ? ListEntryText(list, selected) : std::string();
    ShowText(ConfigureSelectedScanner(selected, entry, mode).text, StatusLine(page), ReplaceText);
}

int ActivateScanner(HWND dialog) {
    if (ActivateStoredConnection()) return 1;
    ShowText(Scanner.StatusText(), StatusLine(dialog), ReplaceText);
    return 0;
}

#include "pages/ScannerView.h"

#include <vector>

#include "res/resource.h"
#include "scanner/Activation.h"

namespace {

HWND ScannerList(HWND page) { return ::GetDlgItem(page, IDC_SCANNER_LIST); }
HWND StatusLine(HWND page) { return ::GetDlgItem(page, IDC_STATUS_LINE); }

}  // namespace

std::string ListEntryText(HWND list, int index) {
    const LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const LRESULT copied = ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(buffer.data()));
    return copied > 0 ? std::string(buffer.data(), static_cast<size_t>(copied)) : std::string();
}

void ShowText(const std::string& text, HWND control, int how) {
    if (how == AppendEntry)
        ::SendMessageA(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    else
        ::SetWindowTextA(control, text.c_str());
}

void ShowSearchListing(HWND page, const scannertext::SearchListing& listing) {
    ShowText(listing.status, StatusLine(page), ReplaceText);
    HWND list = ScannerList(page);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& entry : listing.entries) ShowText(entry, list, AppendEntry);
}

void SearchSerialPorts(HWND page, int firstPort, int lastPort) {
    ShowSearchListing(page, FindSerialScanners(firstPort, lastPort));
}

void SearchBluetooth(HWND page) { ShowSearchListing(page, FindBluetoothScanners()); }

void ShowSearchResult(HWND page, const std::string& message, int count, EntryTextFn entryText) {
    ShowSearchListing(page, ReadSearchRecords(message, count, entryText));
}

void RestoreDeviceList(HWND list, HWND activateButton) {
    const DeviceList found = FoundDeviceList();
    for (const std::string& entry : found.entries) ShowText(entry, list, AppendEntry);
    if (found.selected >= 0) {
        ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found.selected), 0);
        ::EnableWindow(activateButton, TRUE);
    }
}

void ShowStoredDevice(HWND list) { ShowText(TakeStoredDevice(), list, AppendEntry); }

void ConfigureConnection(HWND page, int mode) {
    HWND list = ScannerList(page);
    const auto selected = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
    const std::string entry = selected >= 0 ? ListEntryText(list, selected) : std::string();
    ShowText(ConfigureSelectedScanner(selected, entry, mode).text, StatusLine(page), ReplaceText);
}

int ActivateScanner(HWND dialog) {
    if (ActivateStoredConnection()) return 1;
    ShowText(Scanner.ConnectionStatusText.Get(), StatusLine(dialog), ReplaceText);
    return 0;
}

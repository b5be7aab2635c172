#include "pages/ConnectionsControls.h"

#include <optional>

#include "config/Application.h"
#include "pages/ConnectionsPageView.h"
#include "pages/PageProtocol.h"
#include "pages/ScannerView.h"
#include "res/resource.h"
#include "scanner/ScannerState.h"
#include "scanner/SdkMissing.h"

namespace connections {

namespace {

constexpr int PortChoices = 64;
constexpr int CaptionChars = 11;

void RestoreList(HWND page) { RestoreDeviceList(Item(page, IDC_SCANNER_LIST), Item(page, IDC_ACTIVATE)); }

void EnableIfSaid(HWND page, int id, std::optional<bool> on) {
    if (on) Enable(page, id, *on);
}

}  // namespace

HWND Item(HWND page, int id) { return ::GetDlgItem(page, id); }
void Enable(HWND page, int id, bool on) { ::EnableWindow(Item(page, id), on ? TRUE : FALSE); }
void ShowStatus(HWND page, const std::string& text) { ShowText(text, Item(page, IDC_STATUS_LINE), ReplaceText); }
void ShowLastingStatus(HWND page) { ShowStatus(page, Scanner.StatusText()); }
void SetActivateCaption(HWND page, const char* caption) { ::SetDlgItemTextA(page, IDC_ACTIVATE, caption); }
win::ListBox ScannerList(HWND page) { return win::ListBox(Item(page, IDC_SCANNER_LIST)); }
int ListCount(HWND page) { return ScannerList(page).Count(); }
void SelectListEntry(HWND page, int index) { ScannerList(page).Select(index); }

UINT PortValue(HWND page, int id) { return ::GetDlgItemInt(page, id, nullptr, FALSE); }

std::string ActivateCaptionText(HWND page) {
    char caption[CaptionChars + 1] = {};
    ::GetDlgItemTextA(page, IDC_ACTIVATE, caption, sizeof caption);
    return caption;
}

void ShowActivatedControls(HWND page) {
    SetActivateCaption(page, DeactivateCaption);
    Enable(page, IDC_FIND_SCANNERS, false);
    Enable(page, IDC_ACTIVATE, true);
    Enable(page, IDC_SCANNER_LIST, false);
}

void ShowConnectionState(HWND page) {
    const ConnectionsPageView view =
        ConnectionsPageViewFor(Scanner.Pending(), Scanner.Polled(), Scanner.ScannersFound());
    if (view.newState) Scanner.SetPending(*view.newState);
    if (view.lastingStatus) Scanner.SetStatusText(StatusUnlessSdkMissing(view.lastingStatus));
    if (view.clearStatusError) Scanner.SetStatusIsError(false);
    if (view.listOnlyStoredScanner)
        ShowText(Scanner.FoundNames()[0], Item(page, IDC_SCANNER_LIST), AppendEntry);
    else
        RestoreList(page);
    if (view.selectFirstEntry) SelectListEntry(page, 0);
    if (view.activateCaption) SetActivateCaption(page, view.activateCaption);
    EnableIfSaid(page, IDC_FIND_SCANNERS, view.findEnabled);
    EnableIfSaid(page, IDC_ACTIVATE, view.activateEnabled);
    EnableIfSaid(page, IDC_SCANNER_LIST, view.listEnabled);
    ShowLastingStatus(page);
}

void EnablePortBoxes(HWND page, bool on) {
    Enable(page, IDC_FROM_PORT, on);
    Enable(page, IDC_TO_PORT, on);
}

void SetMode(int mode) {
    App.Settings.Update([mode](SettingsRecord& settings) { settings.mode = mode; });
}

int Mode() { return App.Settings.Get().mode; }

void ShowTransport(HWND page) {
    if (Mode() == BluetoothMode) {
        ::CheckRadioButton(page, IDC_BLUETOOTH, IDC_SERIAL_PORTS, IDC_BLUETOOTH);
        EnablePortBoxes(page, false);
    } else {
        SetMode(SerialMode);
        EnablePortBoxes(page, true);
        ::CheckRadioButton(page, IDC_BLUETOOTH, IDC_SERIAL_PORTS, IDC_SERIAL_PORTS);
    }
}

void FillPortBoxes(HWND page) {
    const win::ComboBox fromPort(Item(page, IDC_FROM_PORT)), toPort(Item(page, IDC_TO_PORT));
    for (const win::ComboBox& box : {fromPort, toPort})
        for (int port = 1; port <= PortChoices; ++port) box.Add(std::to_string(port));
    fromPort.Select(0);
    toPort.Select(PortChoices - 1);
    App.Settings.Update([](SettingsRecord& settings) {
        if (settings.FromPort == 0) settings.FromPort = DefaultFromPort;
        if (settings.ToPort == 0) settings.ToPort = DefaultToPort;
    });
    const SettingsRecord settings = App.Settings.Get();
    fromPort.Select(settings.FromPort - 1);
    toPort.Select(settings.ToPort - 1);
}

}  // namespace connections

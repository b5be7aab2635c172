#include "pages/ConnectionsPage.h"

#include <commctrl.h>
#include <prsht.h>

#include <optional>
#include <string>

#include "pages/ConnectionsPageView.h"
#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "res/resource.h"
#include "scanner/Activation.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "win/Scoped.h"
#include "delivery/PollingThread.h"

RetryReportTarget ConnectionsWindow{nullptr};

namespace {

constexpr int PortChoices = 64;
constexpr int CaptionChars = 11;

HWND Item(HWND page, int id) { return ::GetDlgItem(page, id); }
void Enable(HWND page, int id, bool on) { ::EnableWindow(Item(page, id), on ? TRUE : FALSE); }
void ShowStatus(HWND page, const std::string& text) { ShowText(text, Item(page, IDC_STATUS_LINE), ReplaceText); }
void ShowLastingStatus(HWND page) { ShowStatus(page, Scanner.ConnectionStatusText.Get()); }
void SetActivateCaption(HWND page, const char* caption) { ::SetDlgItemTextA(page, IDC_ACTIVATE, caption); }
LRESULT ListCount(HWND page) { return ::SendDlgItemMessageA(page, IDC_SCANNER_LIST, LB_GETCOUNT, 0, 0); }
void SelectListEntry(HWND page, int index) {
    ::SendDlgItemMessageA(page, IDC_SCANNER_LIST, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// The number a port box shows, read as an unsigned decimal (0 when empty).
UINT PortValue(HWND page, int id) { return ::GetDlgItemInt(page, id, nullptr, FALSE); }

std::string ActivateCaptionText(HWND page) {
    char caption[CaptionChars + 1] = {};
    ::GetDlgItemTextA(page, IDC_ACTIVATE, caption, sizeof caption);
    return caption;
}

// The wait cursor while the page is busy inside a click; the arrow after.
class WaitCursor {
public:
    WaitCursor() { ::SetCursor(::LoadCursor(nullptr, IDC_WAIT)); }
    ~WaitCursor() { ::SetCursor(::LoadCursor(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

HBRUSH StatusLineBrush() {
    static const win::UniqueBrush brush(::CreateSolidBrush(StatusLineBackground));
    return brush.get();
}

// The activated state: Deactivate offered, searching and choosing locked.
void ShowActivatedControls(HWND page) {
    SetActivateCaption(page, scannertext::DeactivateCaption);
    Enable(page, IDC_FIND_SCANNERS, false);
    Enable(page, IDC_ACTIVATE, true);
    Enable(page, IDC_SCANNER_LIST, false);
}

void RestoreList(HWND page) { RestoreDeviceList(Item(page, IDC_SCANNER_LIST), Item(page, IDC_ACTIVATE)); }

// ---- creation ----

void EnableIfSaid(HWND page, int id, std::optional<bool> on) {
    if (on) Enable(page, id, *on);
}

void ShowConnectionState(HWND page) {
    const ConnectionsPageView view =
        ConnectionsPageViewFor(Scanner.State.load(), Scanner.ScannerConnected, Scanner.ScannersFound);
    if (view.newState) Scanner.State = *view.newState;
    if (view.lastingStatus) Scanner.ConnectionStatusText.Set(view.lastingStatus);
    if (view.clearStatusError) Scanner.StatusIsError = 0;
    if (view.listOnlyStoredScanner)
        ShowText(Scanner.FoundDeviceNames[0], Item(page, IDC_SCANNER_LIST), AppendEntry);
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
    for (int id : {IDC_FROM_PORT, IDC_TO_PORT}) {
        for (int port = 1; port <= PortChoices; ++port) {
            const std::string text = std::to_string(port);
            ::SendDlgItemMessageA(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    ::SendDlgItemMessageA(page, IDC_FROM_PORT, CB_SETCURSEL, 0, 0);
    ::SendDlgItemMessageA(page, IDC_TO_PORT, CB_SETCURSEL, PortChoices - 1, 0);
    App.Settings.Update([](SettingsRecord& settings) {
        if (settings.FromPort == 0) settings.FromPort = 1;
        if (settings.ToPort == 0) settings.ToPort = 16;
    });
    const SettingsRecord settings = App.Settings.Get();
    ::SendDlgItemMessageA(page, IDC_FROM_PORT, CB_SETCURSEL, static_cast<WPARAM>(settings.FromPort - 1), 0);
    ::SendDlgItemMessageA(page, IDC_TO_PORT, CB_SETCURSEL, static_cast<WPARAM>(settings.ToPort - 1), 0);
}

void OnInit(HWND page) {
    ConnectionsWindow = page;
    SheetPages.StartPage = ConnectionsPageIndex;
    ShowConnectionState(page);
    ShowTransport(page);
    FillPortBoxes(page);
    PageOnInit(page, ConnectionsPageIndex);
}

// ---- commands ----

void OnListSelection(HWND page) {
    Scanner.SelectedDevice = static_cast<int>(::SendDlgItemMessageA(page, IDC_SCANNER_LIST, LB_GETCURSEL, 0, 0));
    Enable(page, IDC_ACTIVATE, true);
    if (ListCount(page) > 1) Scanner.ConnectionStatusText.Set(" ");
    ShowLastingStatus(page);
}

// Ends the retry thread before the connection is touched (an attempt in
// progress finishes, no new one starts). The polling thread is stopped by
// ClearStoredBarcodes and DeactivateScanner, which close the connection only
// once it has let go of it.
void StopConnectionUsers() { (void)StopActivationRetry(INFINITE); }

void FindScanners(HWND page) {
    const UINT from = PortValue(page, IDC_FROM_PORT);
    const UINT to = PortValue(page, IDC_TO_PORT);
    if (from > to) {
        Scanner.StatusIsError = 1;
        ShowStatus(page, scannertext::InvalidPortSelection);
        return;
    }
    WaitCursor busy;
    StopConnectionUsers();
    ClearStoredBarcodes();
    const std::string closed = DeactivateScanner();
    Scanner.ScannerConnected = 0;
    ShowStatus(page, closed);
    Scanner.StatusIsError = 0;
    ShowStatus(page, scannertext::Searching);

    ::SendDlgItemMessageA(page, IDC_SCANNER_LIST, LB_RESETCONTENT, 0, 0);
    Enable(page, IDC_SCANNER_LIST, true);
    Enable(page, IDC_ACTIVATE, false);
    SetActivateCaption(page, scannertext::ActivateCaption);
    ClearFoundDevices();
    const int mode = Mode();
    if (mode == SerialMode)
        SearchSerialPorts(page, static_cast<int>(from), static_cast<int>(to));
    else if (mode == BluetoothMode)
        SearchBluetooth(page);
    if (ListCount(page) == 1) {
        SelectListEntry(page, 0);
        Enable(page, IDC_ACTIVATE, true);
    }
    DiscardPendingInput();
}

void Activate(HWND page) {
    ShowStatus(page, scannertext::Connecting);
    // The retry thread must not activate beside this click, and the previous
    // polling thread is stopped before its connection is cleared and closed.
    StopConnectionUsers();
    ClearStoredBarcodes();
    const std::string closed = DeactivateScanner();
    PollingWorker.Run = 1;
    Scanner.StatusIsError = 0;
    ShowStatus(page, closed);
    ConfigureConnection(page, Mode());
    if (!ActivateScanner(page)) return;
    Enable(page, IDC_SCANNER_LIST, false);
    SetActivateCaption(page, scannertext::DeactivateCaption);
    Enable(page, IDC_FIND_SCANNERS, false);
    ShowLastingStatus(page);
}

void Deactivate(HWND page) {
    // DeactivateScanner closes the connection only once the polling thread has let go of it.
    StopConnectionUsers();
    const std::string closed = DeactivateScanner();
    Scanner.StatusIsError = 0;
    Scanner.ConnectionStatusText.Set(closed);
    ShowStatus(page, closed);
    Scanner.ScannerConnected = 0;
    SetActivateCaption(page, scannertext::ActivateCaption);
    Enable(page, IDC_FIND_SCANNERS, true);
    Enable(page, IDC_SCANNER_LIST, true);
}

void ActivateOrDeactivate(HWND page) {
    WaitCursor busy;
    const std::string caption = ActivateCaptionText(page);
    if (caption == scannertext::ActivateCaption)
        Activate(page);
    else if (caption == scannertext::DeactivateCaption)
        Deactivate(page);
    DiscardPendingInput();
}

void OnCommand(HWND page, int id, int code) {
    switch (id) {
    case IDC_BLUETOOTH:
        if (code != BN_CLICKED) return;
        SetMode(BluetoothMode);
        EnablePortBoxes(page, false);
        PageChanged(page);
        break;
    case IDC_SERIAL_PORTS:
        if (code != BN_CLICKED) return;
        SetMode(SerialMode);
        EnablePortBoxes(page, true);
        PageChanged(page);
        break;
    case IDC_FROM_PORT:
    case IDC_TO_PORT: {
        if (code != CBN_SELCHANGE) return;
        const int port = static_cast<int>(PortValue(page, id));
        App.Settings.Update([id, port](SettingsRecord& settings) {
            if (id == IDC_FROM_PORT)
                settings.FromPort = port;
            else
                settings.ToPort = port;
        });
        PageChanged(page);
        break;
    }
    case IDC_SCANNER_LIST:
        if (code == LBN_SELCHANGE) OnListSelection(page);
        else if (code == LBN_SELCANCEL) Enable(page, IDC_ACTIVATE, false);
        break;
    case IDC_FIND_SCANNERS:
        if (code == BN_CLICKED) FindScanners(page);
        break;
    case IDC_ACTIVATE:
        if (code == BN_CLICKED) ActivateOrDeactivate(page);
        break;
    default:
        break;
    }
}

}  // namespace

void ShowRetryReport(HWND page, RetryReport report) {
    switch (report) {
    case RetryReport::Started:
        RememberSheetRect(::GetParent(page));
        ShowStatus(page, scannertext::ScannerNotConnected);
        SetActivateCaption(page, scannertext::ActivateCaption);
        break;
    case RetryReport::AttemptFailed:
        ShowLastingStatus(page);
        break;
    case RetryReport::Succeeded:
        RememberSheetRect(::GetParent(page));
        ShowStatus(page, scannertext::ScannerConnected);
        SelectListEntry(page, 0);
        ShowActivatedControls(page);
        break;
    }
}

namespace {

void OnNotify(HWND page, LPARAM lParam) {
    const UINT code = PageOnNotify(page, ConnectionsPageIndex, lParam);
    if (code == PSN_SETACTIVE && Scanner.ScannerConnected) {
        ShowActivatedControls(page);
        ShowLastingStatus(page);
    }
}

INT_PTR OnStatusColour(HWND page, HDC dc, HWND control) {
    if (control != Item(page, IDC_STATUS_LINE)) return 0;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, Scanner.StatusIsError ? StatusErrorColour : StatusTextColour);
    return reinterpret_cast<INT_PTR>(StatusLineBrush());
}

}  // namespace

void DiscardPendingInput() {
    MSG msg;
    bool removed = true;
    while (removed) {
        removed = false;
        while (::PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) removed = true;
        while (::PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) removed = true;
        while (::PeekMessageA(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) removed = true;
    }
}

INT_PTR CALLBACK ConnectionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_INITDIALOG:
            OnInit(page);
            return FALSE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wParam), HIWORD(wParam));
            return FALSE;
        case WM_NOTIFY:
            OnNotify(page, lParam);
            return FALSE;
        case WM_CTLCOLORSTATIC:
            return OnStatusColour(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case RetryReportMessage:
            ShowRetryReport(page, static_cast<RetryReport>(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        // Nothing may leave a dialog procedure; the page simply stays as it is.
        return FALSE;
    }
}

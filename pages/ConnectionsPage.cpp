#include "pages/ConnectionsPage.h"

#include <commctrl.h>
#include <prsht.h>

#include <optional>
#include <string>
#include <vector>

#include "pages/BusyPage.h"
#include "pages/CommandUpdates.h"
#include "pages/ConnectionsControls.h"
#include "pages/ConnectionsPageView.h"
#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "res/resource.h"
#include "scanner/SdkMissing.h"
#include "scanner/Activation.h"
#include "scanner/Discovery.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "win/Shielded.h"
#include "win/ListControls.h"
#include "win/Scoped.h"
#include "scanner/PageCommand.h"

namespace {

using namespace connections;

// The busy page, below.
void BeginBusy(HWND page);
void EndBusy();

HBRUSH StatusLineBrush() {
    static const win::UniqueBrush brush(::CreateSolidBrush(StatusLineBackground));
    return brush.get();
}

void OnInit(HWND page) {
    ConnectionsWindow = page;
    Sheet.StartPage = ConnectionsPageIndex;
    // While a command runs, the found scanners are the worker's: the page
    // shows them when the command's end comes.
    const bool busy = PageCommandRuns();
    if (!busy) ShowConnectionState(page);
    ShowTransport(page);
    FillPortBoxes(page);
    if (busy)
        BeginBusy(page);
    else
        EndBusy();  // left by a page that closed while its command ran
    PageOnInit(page, ConnectionsPageIndex);
}

// ---- the busy page ----
//
// A command's SDK calls run on the scanner worker (CommandUpdates.h). The
// page is busy from the click until the command's end comes back.

void EnableCommands(HWND page, bool on) {
    for (int id : {IDC_FIND_SCANNERS, IDC_ACTIVATE, IDC_SCANNER_LIST, IDC_BLUETOOTH, IDC_SERIAL_PORTS})
        Enable(page, id, on);
    EnablePortBoxes(page, on && Mode() == SerialMode);
}

std::optional<BusyPage> Busy;

void BeginBusy(HWND page) {
    Busy.emplace(page, [page](bool on) { EnableCommands(page, on); });
}

void EndBusy() { Busy.reset(); }

// The page that handed the running command over; a page opened while it
// runs shows the outcome from the scanner's state instead.
HWND CommandPage = nullptr;

// Hands a command to the worker; the page is busy until its end comes back.
void RunOnWorker(HWND page, PageCommand command) {
    ForgetUpdates();
    CommandPage = page;
    BeginBusy(page);
    if (!PostPageCommand(std::move(command), HandBackEnd)) EndBusy();  // the program is ending
}

// ---- the clicks ----

void OnListSelection(HWND page) {
    Scanner.SelectFound(ScannerList(page).Selected());
    Enable(page, IDC_ACTIVATE, true);
    if (ListCount(page) > 1) Scanner.SetStatusText(" ");
    ShowLastingStatus(page);
}

void FindScanners(HWND page) {
    const UINT from = PortValue(page, IDC_FROM_PORT);
    const UINT to = PortValue(page, IDC_TO_PORT);
    if (from > to) {
        Scanner.SetStatusIsError(true);
        ShowStatus(page, scannertext::InvalidPortSelection);
        return;
    }
    const int mode = Mode();
    RunOnWorker(page, [mode, from, to] {
        ReportsToThePage reports;
        return SearchForScanners(mode, static_cast<int>(from), static_cast<int>(to), reports);
    });
}

void Activate(HWND page) {
    ShowStatus(page, scannertext::Connecting);
    const int slot = ScannerList(page).Selected();
    const std::string entry = slot >= 0 ? ScannerList(page).EntryText(slot) : std::string();
    const int mode = Mode();
    RunOnWorker(page, [mode, slot, entry] {
        ReportsToThePage reports;
        return ActivateChosenScanner(mode, slot, entry, reports);
    });
}

void ActivateOrDeactivate(HWND page) {
    const std::string caption = ActivateCaptionText(page);
    if (caption == ActivateCaption)
        Activate(page);
    else if (caption == DeactivateCaption)
        RunOnWorker(page, [] {
            ReportsToThePage reports;
            return DeactivateTheScanner(reports);
        });
}

// ---- what comes back ----

// The controls after a command, once the page takes input again.
void ShowCommandEnd(HWND page, CommandEnd end) {
    EndBusy();
    const bool joinedLater = page != CommandPage;
    CommandPage = nullptr;
    // Only a page in a sheet shows the start-up outcome: the hidden start-up
    // instance leaves it for the sheet.
    if (joinedLater) {
        if (::GetParent(page)) ShowConnectionState(page);
        return;
    }
    switch (end) {
    case CommandEnd::Searched:
        SetActivateCaption(page, ActivateCaption);
        Enable(page, IDC_ACTIVATE, ListCount(page) == 1);
        if (ListCount(page) == 1) SelectListEntry(page, 0);
        break;
    case CommandEnd::Activated:
        ShowActivatedControls(page);
        ShowLastingStatus(page);
        break;
    case CommandEnd::NotActivated:
        break;
    case CommandEnd::Deactivated:
        SetActivateCaption(page, ActivateCaption);
        break;
    case CommandEnd::Failed:  // it threw: the page shows the scanner as it is
        ShowConnectionState(page);
        break;
    case CommandEnd::StartupActivationEnded:
    case CommandEnd::None:
        break;
    }
}

void ShowUpdate(HWND page, const PageUpdate& update) {
    if (update.status) ShowStatus(page, *update.status);
    if (update.entries) {
        ScannerList(page).Clear();
        for (const std::string& entry : *update.entries) ScannerList(page).Add(entry);
    }
    if (update.end != CommandEnd::None) ShowCommandEnd(page, update.end);
}

void TakeUpdates(HWND page) {
    for (const PageUpdate& update : TakeQueuedUpdates()) ShowUpdate(page, update);
}

void OnCommand(HWND page, int id, int code) {
    if (PageCommandRuns()) return;  // a command runs: nothing else may start
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
    // A click that reaches a button only as it was being disabled (a command
    // ending while the click was on its way) is no command: Find Scanners
    // would drop the barcodes waiting on an activated scanner.
    case IDC_FIND_SCANNERS:
        if (code == BN_CLICKED && ::IsWindowEnabled(Item(page, id))) FindScanners(page);
        break;
    case IDC_ACTIVATE:
        if (code == BN_CLICKED && ::IsWindowEnabled(Item(page, id))) ActivateOrDeactivate(page);
        break;
    default:
        break;
    }
}

}  // namespace

void ShowRetryReport(HWND page, RetryReport report, LPARAM generation) {
    // A stopped retry's report is never shown (every command stops the retry first).
    if (!IsCurrentRetryReport(generation)) return;
    switch (report) {
    case RetryReport::Started:
        RememberSheetRect(::GetParent(page));
        ShowStatus(page, StatusUnlessSdkMissing(scannertext::ScannerNotConnected));
        SetActivateCaption(page, ActivateCaption);
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

void ShowLinkChange(const char* text, bool isError) {
    Scanner.SetStatus(text, isError);
    if (HWND page = ConnectionsWindow.load()) (void)::PostMessageA(page, LinkChangeMessage, 0, 0);
}

namespace {

void OnNotify(HWND page, LPARAM lParam) {
    const UINT code = PageOnNotify(page, ConnectionsPageIndex, lParam);
    if (code == PSN_SETACTIVE && Scanner.Polled() && !PageCommandRuns()) {
        ShowActivatedControls(page);
        ShowLastingStatus(page);
    }
}

INT_PTR OnStatusColour(HWND page, HDC dc, HWND control) {
    if (control != Item(page, IDC_STATUS_LINE)) return 0;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, Scanner.StatusIsError() ? StatusErrorColour : StatusTextColour);
    return reinterpret_cast<INT_PTR>(StatusLineBrush());
}

}  // namespace

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
            ShowRetryReport(page, static_cast<RetryReport>(wParam), lParam);
            return TRUE;
        case LinkChangeMessage:
            // A command under way shows its own texts; its end shows the lasting one.
            if (!PageCommandRuns() && Scanner.Polled()) ShowLastingStatus(page);
            return TRUE;
        case CommandUpdateMessage:
            TakeUpdates(page);
            return TRUE;
        case WM_SETCURSOR:
            if (!PageCommandRuns()) return FALSE;
            ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
            ::SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        // Nothing may leave a dialog procedure; the page simply stays as it is.
        return FALSE;
    }
}

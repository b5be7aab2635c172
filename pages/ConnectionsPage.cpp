#include "pages/ConnectionsPage.h"

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "pages/ConnectionsPageView.h"
#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "res/resource.h"
#include "config/Guarded.h"
#include "scanner/Activation.h"
#include "scanner/Discovery.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "win/Shielded.h"
#include "win/ListControls.h"
#include "win/Scoped.h"
#include "scanner/PageCommand.h"

RetryReportTarget ConnectionsWindow{nullptr};

namespace {

constexpr int PortChoices = 64;
constexpr int CaptionChars = 11;

HWND Item(HWND page, int id) { return ::GetDlgItem(page, id); }
void Enable(HWND page, int id, bool on) { ::EnableWindow(Item(page, id), on ? TRUE : FALSE); }
void ShowStatus(HWND page, const std::string& text) { ShowText(text, Item(page, IDC_STATUS_LINE), ReplaceText); }
void ShowLastingStatus(HWND page) { ShowStatus(page, Scanner.StatusText()); }
void SetActivateCaption(HWND page, const char* caption) { ::SetDlgItemTextA(page, IDC_ACTIVATE, caption); }
win::ListBox ScannerList(HWND page) { return win::ListBox(Item(page, IDC_SCANNER_LIST)); }
int ListCount(HWND page) { return ScannerList(page).Count(); }
void SelectListEntry(HWND page, int index) { ScannerList(page).Select(index); }

// The number a port box shows, read as an unsigned decimal (0 when empty).
UINT PortValue(HWND page, int id) { return ::GetDlgItemInt(page, id, nullptr, FALSE); }

std::string ActivateCaptionText(HWND page) {
    char caption[CaptionChars + 1] = {};
    ::GetDlgItemTextA(page, IDC_ACTIVATE, caption, sizeof caption);
    return caption;
}

HBRUSH StatusLineBrush() {
    static const win::UniqueBrush brush(::CreateSolidBrush(StatusLineBackground));
    return brush.get();
}

// The activated state: Deactivate offered, searching and choosing locked.
void ShowActivatedControls(HWND page) {
    SetActivateCaption(page, DeactivateCaption);
    Enable(page, IDC_FIND_SCANNERS, false);
    Enable(page, IDC_ACTIVATE, true);
    Enable(page, IDC_SCANNER_LIST, false);
}

void RestoreList(HWND page) { RestoreDeviceList(Item(page, IDC_SCANNER_LIST), Item(page, IDC_ACTIVATE)); }

// The busy page, below.
void BeginBusy(HWND page);
void StopDroppingInput();

// ---- creation ----

void EnableIfSaid(HWND page, int id, std::optional<bool> on) {
    if (on) Enable(page, id, *on);
}

void ShowConnectionState(HWND page) {
    const ConnectionsPageView view =
        ConnectionsPageViewFor(Scanner.Pending(), Scanner.Polled(), Scanner.ScannersFound());
    if (view.newState) Scanner.SetPending(*view.newState);
    if (view.lastingStatus) Scanner.SetStatusText(view.lastingStatus);
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
        StopDroppingInput();  // left by a page that closed while its command ran
    PageOnInit(page, ConnectionsPageIndex);
}

// ---- commands ----
//
// A command's SDK calls run on the scanner worker. The page turns busy at
// the click: the wait cursor, no command usable, input meant for the sheet
// dropped. The worker hands back what the page shows, in order (each status
// text as it comes, the list, and at the end what the controls become), by
// queueing it here and posting CommandUpdateMessage to the newest page.

struct PageUpdate {
    std::optional<std::string> status;
    std::optional<std::vector<std::string>> entries;  // the scanner list's new entries
    CommandEnd end = CommandEnd::None;
};

Guarded<std::deque<PageUpdate>> PendingUpdates;

// On the worker: queues an update and tells the newest page.
void HandBack(PageUpdate update) {
    PendingUpdates.Update([&](std::deque<PageUpdate>& updates) { updates.push_back(std::move(update)); });
    if (HWND page = ConnectionsWindow.load()) (void)::PostMessageA(page, CommandUpdateMessage, 0, 0);
}
void HandBackStatus(const std::string& text) { HandBack({text, std::nullopt, CommandEnd::None}); }
void HandBackEnd(CommandEnd end) { HandBack({std::nullopt, std::nullopt, end}); }

// The worker's reports, queued for the newest page.
class ReportsToThePage : public CommandReports {
public:
    void Status(const std::string& text) override { HandBackStatus(text); }
    void Entries(const std::vector<std::string>& entries, const std::string* status) override {
        HandBack({status ? std::optional<std::string>(*status) : std::nullopt, entries, CommandEnd::None});
    }
};

// ---- the busy page ----

// Input meant for the sheet (or a page without one) is dropped while a
// command runs, whichever message loop takes it out of the queue.
win::UniqueHook BusyInputHook;

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

LRESULT CALLBACK DropInputForThePage(int code, WPARAM removed, LPARAM lParam) {
    win::Shielded([&] {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        const HWND page = ConnectionsWindow.load();
        if (code < 0 || !page || !IsInput(msg->message) || !msg->hwnd) return;
        const HWND top = ::GetAncestor(page, GA_ROOT);
        if (msg->hwnd == top || ::IsChild(top, msg->hwnd)) msg->message = WM_NULL;
    });
    return ::CallNextHookEx(nullptr, code, removed, lParam);
}

void EnableCommands(HWND page, bool on) {
    for (int id : {IDC_FIND_SCANNERS, IDC_ACTIVATE, IDC_SCANNER_LIST, IDC_BLUETOOTH, IDC_SERIAL_PORTS})
        Enable(page, id, on);
    EnablePortBoxes(page, on && Mode() == SerialMode);
}

void BeginBusy(HWND page) {
    EnableCommands(page, false);
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    if (!BusyInputHook)
        BusyInputHook.reset(::SetWindowsHookExA(WH_GETMESSAGE, DropInputForThePage, nullptr, ::GetCurrentThreadId()));
}

void StopDroppingInput() { BusyInputHook.reset(); }

void EndBusy(HWND page) {
    StopDroppingInput();
    DiscardPendingInput();
    EnableCommands(page, true);
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
}

// The page that handed the running command over; a page opened while it
// runs shows the outcome from the scanner's state instead.
HWND CommandPage = nullptr;

// Hands a command to the worker; the page is busy until its end comes back.
void RunOnWorker(HWND page, PageCommand command) {
    PendingUpdates.Update([](std::deque<PageUpdate>& updates) { updates.clear(); });
    CommandPage = page;
    BeginBusy(page);
    if (!PostPageCommand(std::move(command), HandBackEnd)) EndBusy(page);  // the program is ending
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
    EndBusy(page);
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
    std::deque<PageUpdate> updates;
    PendingUpdates.Update([&](std::deque<PageUpdate>& pending) { updates.swap(pending); });
    for (const PageUpdate& update : updates) ShowUpdate(page, update);
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

void ActivateStoredScannerAtStartup() {
    PendingUpdates.Update([](std::deque<PageUpdate>& updates) { updates.clear(); });
    CommandPage = nullptr;
    Scanner.SetPending(ConnectionState::ActivatingAtStartup);
    const bool posted = PostPageCommand(
        [] {
            if (ActivateStoredConnection(ActivationCause::Program)) {
                Scanner.SetPending(ConnectionState::ActivatedAtStartup);
            } else {
                Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
                (void)StartActivationRetry(ConnectionsWindow);
            }
            return CommandEnd::StartupActivationEnded;
        },
        HandBackEnd);
    if (!posted) Scanner.SetPending(ConnectionState::NothingPending);
}

void ShowRetryReport(HWND page, RetryReport report, LPARAM generation) {
    // A stopped retry's report is never shown (every command stops the retry first).
    if (!IsCurrentRetryReport(generation)) return;
    switch (report) {
    case RetryReport::Started:
        RememberSheetRect(::GetParent(page));
        ShowStatus(page, scannertext::ScannerNotConnected);
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

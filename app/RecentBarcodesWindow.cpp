#include "app/RecentBarcodesWindow.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "res/Messages.h"
#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/BarcodeRecords.h"
#include "delivery/OwnWindows.h"
#include "delivery/ScanLog.h"
#include "delivery/TraceText.h"
#include "delivery/Typist.h"
#include "delivery/WindowInFront.h"
#include "res/resource.h"
#include "win/Shielded.h"
#include "win/ListControls.h"
#include "win/Scoped.h"

namespace {

// Where the list's columns start, in dialog units from its inner left edge:
// for today's barcodes, and wider for the time when a barcode from another
// day shows its date. The headings stand at the same places. The list draws
// its entries itself, so a long window title ends in "..." at its column's
// edge instead of pushing the barcode out of line.
constexpr int ColumnStarts[] = {1, 43, 137};
constexpr int DatedColumnStarts[] = {1, 80, 174};
constexpr int ColumnGap = 3;
constexpr int RowHeight = 8;  // dialog units: one line of the dialog's font

// The template's layout in dialog units, which a larger window keeps at its
// edges: the list grows, the status line and the buttons stay at the bottom,
// Close at the right.
constexpr int Margin = 7;
constexpr int ListTop = 16;
constexpr int HeadingTop = 6;
constexpr int ListBottomGap = 44;    // from the list's bottom to the window's
constexpr int StatusFromBottom = 40;
constexpr int StatusHeight = 9;
constexpr int ButtonsFromBottom = 24;
constexpr int ButtonWidth = 62;
constexpr int ButtonHeight = 16;

// Type Again's barcodes while the user is to click the window they go into.
struct AwaitedWindow {
    std::vector<TypingJob> jobs;
    DWORD since = 0;
};
constexpr UINT_PTR NextWindowTimer = 1;
constexpr UINT NextWindowStepMs = 50;
constexpr DWORD NextWindowPatienceMs = 10000;

// What one Recent Barcodes window lists: owned by that window
// (GWLP_USERDATA) from WM_INITDIALOG until WM_NCDESTROY. User-interface
// thread only.
struct RecentList {
    std::deque<RecentBarcode> shown;      // the list's entries, newest first
    std::vector<RecentBarcode> arrived;   // reused for each copy out of the history
    uint64_t newestSeen = 0;              // the newest sequence listed
    uint64_t revisionSeen = 0;            // the history's revision last copied
    bool dated = false;                   // a listed barcode is from another day: its date shows
    std::optional<AwaitedWindow> awaiting;  // Type Again waits for the user to click a window
    HWND tip = nullptr;                   // the list's tooltip (owned by the window, goes with it)
    int tipEntry = -1;                    // the entry the tooltip shows
    std::string tipText;                  // its whole barcode, while the tooltip asks for it
    win::UniqueHook keyboardHook;         // the dialog's keys in any message loop
};

// What outlives one window, for the run: the window open now (at most one),
// the window in front as the tray menu opened, where the user last put the
// window and how large it was, and its smallest size (the template's).
// User-interface thread only.
struct RecentRun {
    HWND dialog = nullptr;
    HWND target = nullptr;
    std::optional<RECT> placement;
    SIZE smallest{};
};
RecentRun Recent;

RecentList* ListOf(HWND dialog) {
    return dialog ? reinterpret_cast<RecentList*>(::GetWindowLongPtrA(dialog, GWLP_USERDATA)) : nullptr;
}

HWND List() { return ::GetDlgItem(Recent.dialog, IDC_RECENT_LIST); }

void SetStatus(const std::string& text) { ::SetDlgItemTextA(Recent.dialog, IDC_RECENT_STATUS, text.c_str()); }

std::string Plural(size_t n, const char* one) {
    return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

void ReplaceLine(const win::ListBox& list, int index, const RecentBarcode& entry) {
    const bool selected = list.IsSelected(index);
    list.Delete(index);
    list.Insert(index, RecentBarcodeLine(entry, LocalClockNow()));
    if (selected) list.SetSelected(index, true);
}

// A listed barcode whose fate changed (typed, or typed only in part) gets its new line.
void UpdateListed(RecentList& data, const win::ListBox& list, const RecentBarcode& entry) {
    for (size_t i = 0; i < data.shown.size(); ++i) {
        if (data.shown[i].sequence != entry.sequence) continue;
        data.shown[i] = entry;
        ReplaceLine(list, static_cast<int>(i), entry);
        return;
    }
}

POINT Pixels(HWND dialog, int x, int y) {
    RECT r{0, 0, x, y};
    ::MapDialogRect(dialog, &r);
    return {r.right, r.bottom};
}

const int* ColumnStartsOf(const RecentList& data) { return data.dated ? DatedColumnStarts : ColumnStarts; }

void PlaceHeadings(HWND dialog, const RecentList& data) {
    const int* starts = ColumnStartsOf(data);
    const int ids[] = {IDC_RECENT_WINDOW_HEADING, IDC_RECENT_BARCODE_HEADING};
    for (size_t i = 0; i < std::size(ids); ++i) {
        const POINT at = Pixels(dialog, Margin + 1 + starts[i + 1], HeadingTop);
        ::SetWindowPos(::GetDlgItem(dialog, ids[i]), nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Whether a listed barcode is from another day than today: then the time
// column is wide enough for its date.
void FollowDates(HWND dialog, RecentList& data) {
    const ClockTime now = LocalClockNow();
    const bool dated = std::any_of(data.shown.begin(), data.shown.end(),
                                   [&now](const RecentBarcode& entry) { return entry.time.OnAnotherDayThan(now); });
    if (dated == data.dated) return;
    data.dated = dated;
    PlaceHeadings(dialog, data);
    ::InvalidateRect(::GetDlgItem(dialog, IDC_RECENT_LIST), nullptr, TRUE);
}

// New barcodes go on top; the oldest fall off the end beyond the history's
// size; listed ones whose fate changed are shown anew.
void TakeNewBarcodes(RecentList& data) {
    BarcodeHistoryNoticed();
    data.revisionSeen = BarcodeHistory().CopyChangedSince(data.revisionSeen, data.arrived);
    if (data.arrived.empty()) return;
    const win::ListBox list(List());
    ::SendMessageA(list.get(), WM_SETREDRAW, FALSE, 0);
    for (auto entry = data.arrived.rbegin(); entry != data.arrived.rend(); ++entry) {
        if (entry->sequence <= data.newestSeen) {
            UpdateListed(data, list, *entry);
            continue;
        }
        list.Insert(0, RecentBarcodeLine(*entry, LocalClockNow()));
        data.shown.push_front(*entry);
        data.newestSeen = entry->sequence;
    }
    while (data.shown.size() > RecentBarcodes::Capacity) {
        list.Delete(static_cast<int>(data.shown.size()) - 1);
        data.shown.pop_back();
    }
    ::SendMessageA(list.get(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list.get(), nullptr, TRUE);
    FollowDates(Recent.dialog, data);
}

// The selected entries, oldest first (the order they were scanned in).
std::vector<const RecentBarcode*> SelectedOldestFirst(const RecentList& data) {
    const std::vector<int> entries = win::ListBox(List()).SelectedEntries();
    std::vector<const RecentBarcode*> selected;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const auto index = static_cast<size_t>(*entry);
        if (index < data.shown.size()) selected.push_back(&data.shown[index]);
    }
    return selected;
}

bool PutOnClipboard(const std::u16string& text) {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    if (void* data = ::GlobalLock(memory)) {
        std::memcpy(data, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(Recent.dialog)) {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    const bool placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    if (!placed) ::GlobalFree(memory);  // the clipboard owns it only once placed
    return placed;
}

void CopySelected(const RecentList& data) {
    const std::vector<const RecentBarcode*> selected = SelectedOldestFirst(data);
    if (selected.empty()) return SetStatus("Select the barcodes to copy first.");
    if (!PutOnClipboard(ClipboardText(selected))) return SetStatus("The clipboard is in use: nothing copied.");
    SetStatus("Copied " + Plural(selected.size(), "barcode") + ".");
}

// Why nothing may be typed into the remembered window, or nullopt when it may.
std::optional<std::string> RefusalFor(HWND target) {
    if (!target) return "No other program's window was in front as the menu opened: nothing typed.";
    switch (CheckTypingTarget(target)) {
    case TypingTarget::Fine:
        return std::nullopt;
    case TypingTarget::Gone:
        return "The window that was in front has closed: nothing typed.";
    case TypingTarget::Ours:
        return "The window that was in front belongs to Brontel Vask: nothing typed.";
    case TypingTarget::Shell:
        return "No other program's window was in front as the menu opened: nothing typed.";
    case TypingTarget::HigherIntegrity:
        return "The window that was in front runs with higher rights: nothing typed.";
    }
    return std::nullopt;
}

void ShowAgainWith(const std::string& status) {
    ::ShowWindow(Recent.dialog, SW_SHOW);
    BringOwnWindowForward(Recent.dialog);
    SetStatus(status);
}

// Hides the window, brings the remembered window forward and hands the
// selected barcodes to the typist, oldest first, each shaped by the current
// format settings; the typist says how far it got (OnTypeAgainDone).
std::vector<TypingJob> JobsOf(const std::vector<const RecentBarcode*>& selected) {
    std::vector<TypingJob> jobs(selected.size());
    const FormatSettings format = App.Format();
    const TypingPace pace = TypingPaceWanted();
    for (size_t i = 0; i < selected.size(); ++i) {
        jobs[i].barcode.length = std::min<uint16_t>(selected[i]->length, sizeof jobs[i].barcode.bytes);
        std::memcpy(jobs[i].barcode.bytes, selected[i]->bytes, jobs[i].barcode.length);
        jobs[i].format = format;
        jobs[i].pace = pace;
        jobs[i].sequence = selected[i]->sequence;
    }
    return jobs;
}

// Hides the window and hands the barcodes to the typist for `target`. One
// still waiting to be typed is taken from the typist first, so that it goes
// only where the user asks; one being typed right now is left to finish.
void HandToTypist(std::vector<TypingJob> jobs, HWND target) {
    std::vector<uint64_t> sequences;
    for (const TypingJob& job : jobs) sequences.push_back(job.sequence);
    if (!records::ClaimForTypeAgain(sequences))
        return ShowAgainWith("A barcode chosen is being typed right now: type it again once it has been typed.");
    SetStatus("Typing " + Plural(jobs.size(), "barcode") + "...");
    {
        // Hiding may bring the sheet forward for a moment; the target follows.
        const QuietActivations quiet;
        ::ShowWindow(Recent.dialog, SW_HIDE);
    }
    ::SetForegroundWindow(target);
    SoleTypist.TypeAgain(std::move(jobs), target, Recent.dialog);
}

void StopWaitingForAWindow(RecentList& data, const std::string& status) {
    ::KillTimer(Recent.dialog, NextWindowTimer);
    data.awaiting.reset();
    SetStatus(status);
}

// With no window to type into, the user may click one: the next other
// program's window that comes forward within NextWindowPatienceMs, under the
// usual rules, takes the barcodes.
bool OfferTheNextWindow(RecentList& data, const std::string& refusal, std::vector<TypingJob>& jobs) {
    const std::string question = refusal + "\n\nType the " + Plural(jobs.size(), "barcode") +
                                 " into the next window you click instead?";
    if (::MessageBoxA(Recent.dialog, question.c_str(), "Type Again", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    data.awaiting = AwaitedWindow{std::move(jobs), ::GetTickCount()};
    ::SetTimer(Recent.dialog, NextWindowTimer, NextWindowStepMs, nullptr);
    SetStatus("Click the window to type into within 10 seconds (Esc cancels).");
    return true;
}

void WatchForTheNextWindow(RecentList& data) {
    if (!data.awaiting) return;
    const HWND front = ::GetForegroundWindow();
    if (front && front != Recent.dialog && CheckTypingTarget(front) == TypingTarget::Fine) {
        std::vector<TypingJob> jobs = std::move(data.awaiting->jobs);
        StopWaitingForAWindow(data, "");
        return HandToTypist(std::move(jobs), front);
    }
    if (::GetTickCount() - data.awaiting->since >= NextWindowPatienceMs)
        StopWaitingForAWindow(data, "No window was clicked within 10 seconds: nothing typed.");
}

void TypeAgain(RecentList& data) {
    const std::vector<const RecentBarcode*> selected = SelectedOldestFirst(data);
    if (selected.empty()) return SetStatus("Select the barcodes to type first.");
    std::vector<TypingJob> jobs = JobsOf(selected);
    const HWND target = Recent.target;
    if (const auto refusal = RefusalFor(target)) {
        if (!OfferTheNextWindow(data, *refusal, jobs)) SetStatus(*refusal);
        return;
    }
    HandToTypist(std::move(jobs), target);
}

const char* StopText(TypeAgainStop stop) {
    switch (stop) {
    case TypeAgainStop::WindowClosed: return "the window has closed";
    case TypeAgainStop::NotInFront: return "the window did not stay in front";
    case TypeAgainStop::NoFocus: return "the window lost the keyboard focus";
    case TypeAgainStop::ProgramEnding: return "the program is ending";
    case TypeAgainStop::None: break;
    }
    return "";
}

// What the typist actually typed: all, or how far it got and why it stopped.
void OnTypeAgainDone(size_t typed, size_t total, TypeAgainStop stop) {
    if (stop == TypeAgainStop::None && typed == total) return SetStatus("Typed " + Plural(typed, "barcode") + " again.");
    ShowAgainWith("Typed " + std::to_string(typed) + " of " + Plural(total, "barcode") + " again: " + StopText(stop) +
                  ".");
}

// The selected barcodes, or all when none is selected, oldest first, into a
// CSV file of the scan log's form that the user names.
void SaveAs(const RecentList& data) {
    std::vector<const RecentBarcode*> chosen = SelectedOldestFirst(data);
    if (chosen.empty())
        for (auto entry = data.shown.rbegin(); entry != data.shown.rend(); ++entry) chosen.push_back(&*entry);
    if (chosen.empty()) return SetStatus("There are no barcodes to save.");
    wchar_t path[MAX_PATH] = L"Recent Barcodes.csv";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Recent.dialog;
    dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&dialog)) return;
    if (!scanlog::SaveAs(path, chosen)) return SetStatus("The file could not be written: nothing saved.");
    SetStatus("Saved " + Plural(chosen.size(), "barcode") + ".");
}

// Explorer on the scan log's folder (made if need be).
void OpenScanLogFolder() {
    const std::wstring folder = scanlog::Folder();
    (void)::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (reinterpret_cast<INT_PTR>(::ShellExecuteW(Recent.dialog, L"open", folder.c_str(), nullptr, nullptr,
                                                  SW_SHOWNORMAL)) <= 32)
        SetStatus("The scan log's folder could not be opened.");
}

// Asks first: what is cleared cannot be typed again or copied.
void ClearAll(RecentList& data) {
    if (data.shown.empty()) return;
    const std::string question = "Forget the " + Plural(data.shown.size(), "barcode") +
                                 " listed here? They cannot be typed again or copied afterwards.";
    if (::MessageBoxA(Recent.dialog, question.c_str(), "Clear Recent Barcodes",
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    BarcodeHistory().Clear();
    win::ListBox(List()).Clear();
    data.shown.clear();
    SetStatus("Cleared.");
}

// The dialog's keys (Tab, access keys, Enter, Esc) and Ctrl+C, whichever
// message loop runs: the program's own, or a sheet's modal one, which knows
// nothing of this window.
LRESULT CALLBACK DialogKeys(int code, WPARAM removed, LPARAM lParam) {
    win::Shielded([&] {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        const RecentList* data = ListOf(Recent.dialog);
        if (code < 0 || removed != PM_REMOVE || !data || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST ||
            (msg->hwnd != Recent.dialog && !::IsChild(Recent.dialog, msg->hwnd)))
            return;
        if (msg->message == WM_KEYDOWN && msg->wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0) {
            CopySelected(*data);
            msg->message = WM_NULL;
        } else if (::IsDialogMessageA(Recent.dialog, msg)) {
            msg->message = WM_NULL;
        }
    });
    return ::CallNextHookEx(nullptr, code, removed, lParam);
}

int DialogUnitsToPixels(HWND dialog, int units) { return Pixels(dialog, units, 0).x; }

int RowPixels(HWND dialog) { return Pixels(dialog, 0, RowHeight).y; }

// One entry: its tab-separated fields in their columns, each cut with "..."
// where the next column begins.
void DrawEntry(HWND dialog, const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const bool selected = item.itemState & ODS_SELECTED;
    HDC dc = item.hDC;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    ::SetBkMode(dc, TRANSPARENT);

    const std::string line = win::ListBox(item.hwndItem).EntryText(static_cast<int>(item.itemID));
    const RecentList* data = ListOf(dialog);
    const int* starts = data ? ColumnStartsOf(*data) : ColumnStarts;
    size_t from = 0;
    for (size_t column = 0; column < std::size(ColumnStarts); ++column) {
        const size_t tab = column + 1 < std::size(ColumnStarts) ? line.find('\t', from) : std::string::npos;
        const std::string field = line.substr(from, tab == std::string::npos ? std::string::npos : tab - from);
        RECT cell = item.rcItem;
        cell.left = item.rcItem.left + DialogUnitsToPixels(dialog, starts[column]);
        if (column + 1 < std::size(ColumnStarts))
            cell.right = item.rcItem.left + DialogUnitsToPixels(dialog, starts[column + 1] - ColumnGap);
        ::DrawTextA(dc, field.c_str(), static_cast<int>(field.size()), &cell,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &item.rcItem);
}

// Once initialised (a window being made reports its template size first).
void RememberPlacement(HWND dialog) {
    if (!ListOf(dialog) || ::IsIconic(dialog) || ::IsZoomed(dialog)) return;
    RECT r{};
    if (::GetWindowRect(dialog, &r)) Recent.placement = r;
}

void Place(HWND dialog, int id, int left, int top, int width, int height) {
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The list takes what the window gains; the status line and the buttons keep
// their distance from the bottom, Close from the right.
void LayOut(HWND dialog) {
    RECT client{};
    if (!::GetClientRect(dialog, &client) || client.right == 0) return;
    const POINT margin = Pixels(dialog, Margin, ListTop);
    const POINT below = Pixels(dialog, 0, ListBottomGap);
    const POINT status = Pixels(dialog, StatusHeight, StatusFromBottom);
    const POINT button = Pixels(dialog, ButtonWidth, ButtonHeight);
    const int width = client.right - 2 * margin.x;
    Place(dialog, IDC_RECENT_LIST, margin.x, margin.y, width, client.bottom - margin.y - below.y);
    Place(dialog, IDC_RECENT_STATUS, margin.x, client.bottom - status.y, width, Pixels(dialog, 0, StatusHeight).y);
    const int buttonsTop = client.bottom - Pixels(dialog, 0, ButtonsFromBottom).y;
    for (int id : {IDC_RECENT_TYPE_AGAIN, IDC_RECENT_COPY, IDC_RECENT_CLEAR, IDC_RECENT_SAVE_AS, IDC_RECENT_LOG_FOLDER}) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(dialog, id), &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        Place(dialog, id, r.left, buttonsTop, r.right - r.left, button.y);
    }
    Place(dialog, IDCANCEL, client.right - margin.x - button.x, buttonsTop, button.x, button.y);
    ::InvalidateRect(dialog, nullptr, TRUE);
}

// The entry under the mouse, or -1.
int EntryUnderMouse(HWND list) {
    POINT at{};
    ::GetCursorPos(&at);
    ::ScreenToClient(list, &at);
    const LRESULT hit = ::SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
    return HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
}

// The mouse went onto another entry: the tooltip goes, and asks anew.
LRESULT CALLBACK ListFollowingTheMouse(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_MOUSEMOVE)
        win::Shielded([&] {
            RecentList* data = ListOf(::GetParent(list));
            if (!data || !data->tip) return;
            if (const int entry = EntryUnderMouse(list); entry != data->tipEntry) {
                data->tipEntry = entry;
                ::SendMessageA(data->tip, TTM_POP, 0, 0);
            }
        });
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(list, ListFollowingTheMouse, 0);
    return ::DefSubclassProc(list, message, wParam, lParam);
}

// A tooltip over the list shows the whole barcode under the mouse, which
// its column may show cut.
void AddBarcodeTooltip(HWND dialog, RecentList& data) {
    const HWND list = ::GetDlgItem(dialog, IDC_RECENT_LIST);
    data.tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                 ModuleInstance, nullptr);
    if (!data.tip) return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(data.tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageA(data.tip, TTM_SETMAXTIPWIDTH, 0, Pixels(dialog, 300, 0).x);
    (void)::SetWindowSubclass(list, ListFollowingTheMouse, 0, 0);
}

void OnTooltipAsks(RecentList& data, NMTTDISPINFOA& info) {
    const int entry = EntryUnderMouse(::GetDlgItem(Recent.dialog, IDC_RECENT_LIST));
    data.tipEntry = entry;
    data.tipText = entry >= 0 && static_cast<size_t>(entry) < data.shown.size()
                       ? RawDisplayText(data.shown[static_cast<size_t>(entry)].bytes,
                                        data.shown[static_cast<size_t>(entry)].length)
                       : std::string();
    info.lpszText = data.tipText.data();
}

// The newest barcode is selected, so Enter types it again at once.
void SelectNewest() {
    const win::ListBox list(List());
    if (list.Count() == 0) return;
    list.SetSelected(0, true);
    ::SendMessageA(list.get(), LB_SETCARETINDEX, 0, FALSE);
}

void OnInit(HWND dialog) {
    auto* data = new RecentList;
    ::SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    Recent.dialog = dialog;
    const HICON icon = ::LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_VASK));
    ::SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    RECT initial{};
    ::GetWindowRect(dialog, &initial);
    Recent.smallest = {initial.right - initial.left, initial.bottom - initial.top};
    if (const auto& r = Recent.placement)
        ::SetWindowPos(dialog, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top, SWP_NOZORDER);
    SetBarcodeHistoryListener(dialog, NewBarcodesMessage);
    TakeNewBarcodes(*data);
    SelectNewest();
    AddBarcodeTooltip(dialog, *data);
    data->keyboardHook.reset(::SetWindowsHookExA(WH_GETMESSAGE, DialogKeys, nullptr, ::GetCurrentThreadId()));
}

void OnDestroy(HWND dialog) {
    SetBarcodeHistoryListener(nullptr, 0);
    if (RecentList* data = ListOf(dialog)) data->keyboardHook.reset();
    if (Recent.dialog == dialog) Recent.dialog = nullptr;
}

// The window's last message: what it listed goes with it.
void OnFinalDestroy(HWND dialog) {
    delete ListOf(dialog);
    ::SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
}

bool OnCommand(HWND dialog, WORD id) {
    RecentList* data = ListOf(dialog);
    if (!data) return false;
    switch (id) {
    case IDC_RECENT_COPY: CopySelected(*data); return true;
    case IDC_RECENT_TYPE_AGAIN: TypeAgain(*data); return true;
    case IDC_RECENT_CLEAR: ClearAll(*data); return true;
    case IDC_RECENT_SAVE_AS: SaveAs(*data); return true;
    case IDC_RECENT_LOG_FOLDER: OpenScanLogFolder(); return true;
    case IDCANCEL:
        if (data->awaiting) {
            StopWaitingForAWindow(*data, "Cancelled: nothing typed.");
            return true;
        }
        RememberPlacement(dialog);
        ::DestroyWindow(dialog);
        return true;
    default: return false;
    }
}

INT_PTR HandleRecentMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case NewBarcodesMessage:
        if (RecentList* data = ListOf(dialog)) TakeNewBarcodes(*data);
        return TRUE;
    case WM_TIMER:
        if (wParam == NextWindowTimer)
            if (RecentList* data = ListOf(dialog)) WatchForTheNextWindow(*data);
        return TRUE;
    case TypeAgainDoneMessage:
        OnTypeAgainDone(LOWORD(wParam), HIWORD(wParam), static_cast<TypeAgainStop>(lParam));
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_MOVE:
        RememberPlacement(dialog);
        return FALSE;
    case WM_SIZE:
        LayOut(dialog);
        RememberPlacement(dialog);
        return FALSE;
    case WM_GETMINMAXINFO:
        if (Recent.smallest.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {Recent.smallest.cx, Recent.smallest.cy};
        }
        return FALSE;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(RowPixels(dialog));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == TTN_GETDISPINFOA)
            if (RecentList* data = ListOf(dialog)) OnTooltipAsks(*data, *reinterpret_cast<NMTTDISPINFOA*>(lParam));
        return FALSE;
    case WM_DRAWITEM:
        DrawEntry(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    case WM_NCDESTROY:
        OnFinalDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK RecentBarcodesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleRecentMessage(dialog, message, wParam, lParam);
    } catch (...) {
        // Nothing may leave a dialog procedure; the window goes on as it was.
        return FALSE;
    }
}

}  // namespace

void RememberWindowInFront(HWND window) { Recent.target = window; }

void CloseRecentBarcodes() {
    if (Recent.dialog) ::DestroyWindow(Recent.dialog);
}

void ShowRecentBarcodes() {
    if (!Recent.dialog) {
        if (!::CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_RECENT_BARCODES), nullptr,
                                  RecentBarcodesProc, 0))
            return;
    } else if (!::IsWindowVisible(Recent.dialog)) {
        SetStatus("");  // hidden by "Type Again": its outcome belongs to that time
    }
    ::ShowWindow(Recent.dialog, SW_SHOW);
    BringOwnWindowForward(Recent.dialog);
    ::SetFocus(List());
}

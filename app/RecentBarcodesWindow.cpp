#include "app/RecentBarcodesWindow.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "app/RecentBarcodesExport.h"
#include "app/RecentBarcodesList.h"
#include "app/RecentStatus.h"
#include "app/Shell.h"
#include "app/TypeAgainFlow.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/OwnWindows.h"
#include "res/Messages.h"
#include "res/resource.h"
#include "win/Scoped.h"
#include "win/Shielded.h"

namespace {

// The template's layout in dialog units, which a larger window keeps at its
// edges: the list grows, the status line and the buttons stay at the bottom,
// Close at the right.
constexpr int Margin = 7;
constexpr int ListBottomGap = 44;    // from the list's bottom to the window's
constexpr int StatusFromBottom = 40;
constexpr int StatusHeight = 9;
constexpr int ButtonsFromBottom = 24;
constexpr int ButtonWidth = 62;
constexpr int ButtonHeight = 16;

// The property that tells the Recent Barcodes window among the thread's
// windows, from WM_INITDIALOG until WM_DESTROY.
constexpr char WindowMark[] = "Brontel Vask Recent Barcodes";

// What one Recent Barcodes window holds: owned by that window
// (GWLP_USERDATA) from WM_INITDIALOG until WM_NCDESTROY.
struct RecentWindow {
    RecentBarcodesList list;
    TypeAgainFlow typeAgain;
    SIZE smallest{};               // the template's size, which the window keeps at least
    win::UniqueHook keyboardHook;  // the dialog's keys in any message loop
};

// What outlives one window, for the run: the window in front as the tray
// menu opened, and where the user last put the window and how large it was.
// User-interface thread only.
struct RecentRun {
    HWND target = nullptr;
    std::optional<RECT> placement;
};
RecentRun Run;

// The window's data while it is the Recent Barcodes window, else nullptr.
RecentWindow* WindowData(HWND dialog) {
    if (!dialog || !::GetPropA(dialog, WindowMark)) return nullptr;
    return reinterpret_cast<RecentWindow*>(::GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (!::GetPropA(window, WindowMark)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The open window (there is at most one, of this thread), or nullptr.
HWND OpenWindow() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMarked, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The selected barcodes, or all when none is selected, oldest first, into a
// CSV file of the scan log's form.
void SaveAs(HWND dialog, const RecentBarcodesList& list) {
    std::vector<const RecentBarcode*> chosen = list.SelectedOldestFirst();
    if (chosen.empty()) chosen = list.AllOldestFirst();
    std::vector<RecentBarcode> copies;
    copies.reserve(chosen.size());
    for (const RecentBarcode* barcode : chosen) copies.push_back(*barcode);
    SaveBarcodesAs(dialog, copies);
}

// Asks first: what is cleared cannot be typed again or copied.
void ClearAll(HWND dialog, RecentBarcodesList& list) {
    if (list.Size() == 0) return;
    const std::string question = "Forget the " + Plural(list.Size(), "barcode") +
                                 " listed here? They cannot be typed again or copied afterwards.";
    if (::MessageBoxA(dialog, question.c_str(), "Clear Recent Barcodes", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
        return;
    BarcodeHistory().Clear();
    list.Clear();
    SetRecentStatus(dialog, "Cleared.");
}

// The dialog's keys (Tab, access keys, Enter, Esc) and Ctrl+C, whichever
// message loop runs: the program's own, or a sheet's modal one, which knows
// nothing of this window. Alt+B goes to the list, the access key its
// "Barcode" heading had before the list had a header of its own.
LRESULT CALLBACK DialogKeys(int code, WPARAM removed, LPARAM lParam) {
    win::Shielded([&] {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (code < 0 || removed != PM_REMOVE || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return;
        const HWND dialog = ::GetAncestor(msg->hwnd, GA_ROOT);
        RecentWindow* data = WindowData(dialog);
        if (!data) return;
        if (msg->message == WM_KEYDOWN && msg->wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0) {
            CopyBarcodes(dialog, data->list.SelectedOldestFirst());
            msg->message = WM_NULL;
        } else if (msg->message == WM_SYSKEYDOWN && msg->wParam == 'B') {
            ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(data->list.Window()), TRUE);
            msg->message = WM_NULL;
        } else if (::IsDialogMessageA(dialog, msg)) {
            msg->message = WM_NULL;
        }
    });
    return ::CallNextHookEx(nullptr, code, removed, lParam);
}

POINT Pixels(HWND dialog, int x, int y) {
    RECT r{0, 0, x, y};
    ::MapDialogRect(dialog, &r);
    return {r.right, r.bottom};
}

// Once initialised (a window being made reports its template size first).
void RememberPlacement(HWND dialog) {
    if (!WindowData(dialog) || ::IsIconic(dialog) || ::IsZoomed(dialog)) return;
    RECT r{};
    if (::GetWindowRect(dialog, &r)) Run.placement = r;
}

void Place(HWND dialog, int id, int left, int top, int width, int height) {
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The list takes what the window gains (its window column the width); the
// status line and the buttons keep their distance from the bottom, Close
// from the right.
void LayOut(HWND dialog) {
    RECT client{};
    if (!::GetClientRect(dialog, &client) || client.right == 0) return;
    const POINT margin = Pixels(dialog, Margin, Margin);
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
    if (RecentWindow* data = WindowData(dialog)) data->list.FollowWidth();
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void OnInit(HWND dialog) {
    auto* data = new RecentWindow;
    ::SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    ::SetPropA(dialog, WindowMark, dialog);
    const HICON icon = ::LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_VASK));
    ::SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    RECT initial{};
    ::GetWindowRect(dialog, &initial);
    data->smallest = {initial.right - initial.left, initial.bottom - initial.top};
    data->list.Attach(::GetDlgItem(dialog, IDC_RECENT_LIST));
    if (const auto& r = Run.placement)
        ::SetWindowPos(dialog, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top, SWP_NOZORDER);
    SetBarcodeHistoryListener(dialog, NewBarcodesMessage);
    data->list.TakeNewBarcodes();
    data->list.SelectNewest();  // so that Enter types the newest again at once
    data->keyboardHook.reset(::SetWindowsHookExA(WH_GETMESSAGE, DialogKeys, nullptr, ::GetCurrentThreadId()));
}

void OnDestroy(HWND dialog) {
    SetBarcodeHistoryListener(nullptr, 0);
    if (RecentWindow* data = WindowData(dialog)) data->keyboardHook.reset();
    ::RemovePropA(dialog, WindowMark);
}

// The window's last message: what it held goes with it.
void OnFinalDestroy(HWND dialog) {
    delete reinterpret_cast<RecentWindow*>(::GetWindowLongPtrA(dialog, GWLP_USERDATA));
    ::SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
}

bool OnCommand(HWND dialog, WORD id) {
    RecentWindow* data = WindowData(dialog);
    if (!data) return false;
    switch (id) {
    case IDC_RECENT_COPY: CopyBarcodes(dialog, data->list.SelectedOldestFirst()); return true;
    case IDC_RECENT_TYPE_AGAIN:
        data->typeAgain.Start(dialog, data->list.SelectedOldestFirst(), Run.target);
        return true;
    case IDC_RECENT_CLEAR: ClearAll(dialog, data->list); return true;
    case IDC_RECENT_SAVE_AS: SaveAs(dialog, data->list); return true;
    case IDC_RECENT_LOG_FOLDER: OpenScanLogFolder(dialog); return true;
    case IDCANCEL:
        if (data->typeAgain.Waiting()) {
            data->typeAgain.Cancel(dialog);
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
        if (RecentWindow* data = WindowData(dialog)) data->list.TakeNewBarcodes();
        return TRUE;
    case WM_TIMER:
        if (wParam == TypeAgainFlow::NextWindowTimer)
            if (RecentWindow* data = WindowData(dialog)) data->typeAgain.OnTimer(dialog);
        return TRUE;
    case TypeAgainDoneMessage:
        TypeAgainFlow::OnDone(dialog, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY:
        if (RecentWindow* data = WindowData(dialog)) return data->list.OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        return FALSE;
    case WM_MOVE:
        RememberPlacement(dialog);
        return FALSE;
    case WM_SIZE:
        LayOut(dialog);
        RememberPlacement(dialog);
        return FALSE;
    case WM_GETMINMAXINFO:
        if (RecentWindow* data = WindowData(dialog)) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {data->smallest.cx, data->smallest.cy};
        }
        return FALSE;
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

void RememberWindowInFront(HWND window) { Run.target = window; }

void CloseRecentBarcodes() {
    if (const HWND dialog = OpenWindow()) ::DestroyWindow(dialog);
}

void ShowRecentBarcodes() {
    HWND dialog = OpenWindow();
    if (!dialog) {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&classes);
        dialog = ::CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_RECENT_BARCODES), nullptr,
                                      RecentBarcodesProc, 0);
        if (!dialog) return;
    } else if (!::IsWindowVisible(dialog)) {
        SetRecentStatus(dialog, "");  // hidden by "Type Again": its outcome belongs to that time
    }
    ::ShowWindow(dialog, SW_SHOW);
    BringOwnWindowForward(dialog);
    ::SetFocus(::GetDlgItem(dialog, IDC_RECENT_LIST));
}

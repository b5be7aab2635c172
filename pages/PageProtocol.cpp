#include "pages/PageProtocol.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "config/Application.h"
#include "config/SettingsStore.h"
#include "config/UserOptions.h"
#include "pages/SheetPlace.h"

SheetState Sheet;

namespace {

// The sheet is a page's parent; the hidden start-up Connections dialog has none.
HWND SheetOf(HWND page) { return ::GetParent(page); }

BOOL CALLBACK GreyInputControl(HWND control, LPARAM) {
    char kind[16] = "";
    ::GetClassNameA(control, kind, sizeof kind);
    const bool groupBox = (::GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    if ((::lstrcmpiA(kind, "Button") == 0 && !groupBox) || ::lstrcmpiA(kind, "Edit") == 0 ||
        ::lstrcmpiA(kind, "ComboBox") == 0 || ::lstrcmpiA(kind, "ListBox") == 0)
        ::EnableWindow(control, FALSE);
    return TRUE;
}

// A locked page shows its settings greyed and takes no input at all, also
// from a control that its own code enables again later.
void LockPage(HWND page) {
    ::EnumChildWindows(page, GreyInputControl, 0);
    ::EnableWindow(page, FALSE);
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoA(monitor, &info)) {
        const RECT& w = info.rcWork;
        reinterpret_cast<std::vector<sheetplace::ScreenRect>*>(areas)->push_back({w.left, w.top, w.right, w.bottom});
    }
    return TRUE;
}

std::vector<sheetplace::ScreenRect> WorkAreas() {
    std::vector<sheetplace::ScreenRect> areas;
    (void)::EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

// Where the sheet opens: the stored place, unless no monitor shows enough of
// its title bar to grab it (the monitor it was last on may be gone).
sheetplace::ScreenPoint SheetPlace(HWND sheet) {
    const SettingsRecord settings = App.Settings.Get();
    const sheetplace::ScreenPoint stored{settings.LeftPosition, settings.TopPosition};
    RECT r{};
    if (!::GetWindowRect(sheet, &r)) return stored;
    const int titleBar = ::GetSystemMetrics(SM_CYCAPTION) + ::GetSystemMetrics(SM_CYFRAME) +
                         ::GetSystemMetrics(SM_CXPADDEDBORDER);
    return sheetplace::PlaceSheet(stored, r.right - r.left, r.bottom - r.top, WorkAreas(), titleBar);
}

// After a save: a run that could not read its settings at start-up takes the
// stored place once it can (the sheet stood at the default place, which the
// user never chose), so the sheet goes there rather than saving its own
// place over it at the next notification.
void FollowStoredPlace(HWND sheet) {
    RECT r{};
    if (!sheet || !::GetWindowRect(sheet, &r)) return;
    const SettingsRecord settings = App.Settings.Get();
    if (r.left == settings.LeftPosition && r.top == settings.TopPosition) return;
    const sheetplace::ScreenPoint place = SheetPlace(sheet);
    ::SetWindowPos(sheet, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void RememberSheetRect(HWND sheet) {
    RECT r{};
    if (!sheet || !::GetWindowRect(sheet, &r)) return;
    App.Settings.Update([&r](SettingsRecord& settings) {
        settings.LeftPosition = r.left;
        settings.TopPosition = r.top;
    });
}

void PageOnInit(HWND page, PageIndex index) {
    Sheet.StartPage = index;
    HWND sheet = SheetOf(page);
    if (!sheet) return;
    if (index != AboutPageIndex && index != TracePageIndex && SettingsLocked()) LockPage(page);
    const sheetplace::ScreenPoint place = SheetPlace(sheet);
    ::SetWindowPos(sheet, HWND_NOTOPMOST, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

UINT PageOnNotify(HWND page, PageIndex index, LPARAM lParam) {
    RememberSheetRect(SheetOf(page));
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return 0;
    const UINT code = header->code;
    switch (code) {
    case PSN_SETACTIVE:
        Sheet.StartPage = index;
        break;
    case PSN_KILLACTIVE:
        (void)App.WithSettings(SaveSettings);  // reports nothing; a failed save keeps the record in memory
        FollowStoredPlace(SheetOf(page));
        break;
    case PSN_QUERYCANCEL:
        Sheet.Cancelled = true;
        break;
    default:
        break;
    }
    return code;
}

void PageChanged(HWND page) {
    HWND sheet = SheetOf(page);
    if (sheet && !SettingsLocked()) PropSheet_Changed(sheet, page);
}

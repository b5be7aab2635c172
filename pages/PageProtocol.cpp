#include "pages/PageProtocol.h"

#include <commctrl.h>
#include <prsht.h>

#include "config/Application.h"
#include "config/Registry.h"

namespace {

// The sheet is a page's parent; the hidden start-up Connections dialog has none.
HWND SheetOf(HWND page) { return ::GetParent(page); }

void RememberSheetRect(HWND sheet) {
    RECT r{};
    if (sheet && ::GetWindowRect(sheet, &r)) App.StoreSheetRect(r);
}

}  // namespace

void PageOnInit(HWND page, PageIndex index) {
    App.StartPage = index;
    HWND sheet = SheetOf(page);
    if (!sheet) return;
    ::SetWindowPos(sheet, HWND_NOTOPMOST, App.LeftPosition, App.TopPosition, 0, 0,
                   SWP_NOSIZE | SWP_SHOWWINDOW);
}

UINT PageOnNotify(HWND page, PageIndex index, LPARAM lParam) {
    RememberSheetRect(SheetOf(page));
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return 0;
    const UINT code = header->code;
    switch (code) {
    case PSN_SETACTIVE:
        App.StartPage = index;
        break;
    case PSN_KILLACTIVE:
        (void)SaveSettings();  // reports nothing; a failed save keeps the record in memory
        break;
    case PSN_QUERYCANCEL:
        App.SheetCancelled = 1;
        break;
    default:
        break;
    }
    return code;
}

void PageChanged(HWND page) {
    HWND sheet = SheetOf(page);
    if (sheet) PropSheet_Changed(sheet, page);
}

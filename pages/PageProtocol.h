// What every page of the settings sheet does towards the sheet: on
// initialisation, on each sheet notification, and after each edit.
#pragma once

#include <windows.h>

enum PageIndex : int {
    AboutPageIndex = 0,
    ConnectionsPageIndex = 1,
    OptionsPageIndex = 2,
    TracePageIndex = 3,
    FormatPageIndex = 4,
};

// What the pages keep of the sheet: the page shown last, whether the user
// cancelled it, and the right and bottom of its rectangle (its left and top
// are the settings' LeftPosition and TopPosition, where the next sheet opens).
// User-interface thread only: the retry thread reaches the page by a posted
// message, never the sheet.
struct SheetPageState {
    int StartPage = 0;
    bool Cancelled = false;
    int SheetRight = 0;
    int SheetBottom = 0;
};
extern SheetPageState SheetPages;

// Stores where the sheet is now: left and top into the settings, right and
// bottom into SheetPages. Nothing when there is no sheet.
void RememberSheetRect(HWND sheet);

// WM_INITDIALOG: StartPage becomes index; the sheet (the page's parent) moves
// to LeftPosition, TopPosition with its size kept (or fully onto the nearest
// monitor when no monitor shows enough of its title bar there, see
// sheetplace::PlaceSheet), is shown and put at the top of the non-topmost
// windows. A page without a parent is left alone.
void PageOnInit(HWND page, PageIndex index);

// WM_NOTIFY: stores the sheet's rectangle, then PSN_SETACTIVE sets StartPage,
// PSN_KILLACTIVE saves the settings (and moves the sheet to the stored place
// when that save brought in stored settings that start-up could not read),
// PSN_QUERYCANCEL sets SheetCancelled.
// Returns the notification code so a page can add its own handling.
UINT PageOnNotify(HWND page, PageIndex index, LPARAM lParam);

// After the user changed a setting on the page: enables "S&ave Settings".
void PageChanged(HWND page);

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

// What the pages keep of the sheet: the page shown last, where the next sheet
// opens, and whether the user cancelled it. User-interface thread only.
struct SheetPageState {
    int StartPage = 0;
    bool Cancelled = false;
};
extern SheetPageState SheetPages;

// WM_INITDIALOG: StartPage becomes index; the sheet (the page's parent) moves
// to LeftPosition, TopPosition with its size kept (or fully onto the nearest
// monitor when no monitor shows enough of its title bar there, see
// shell::PlaceSheet), is shown and put at the top of the non-topmost
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

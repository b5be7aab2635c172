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

// The settings sheet, in one place: whether one is open, its window (stale
// once it has closed), whether the next one opens on About, the page shown
// last, and whether the user cancelled it. Its place on screen is the
// settings' LeftPosition and TopPosition, which the settings file keeps for
// the next start. User-interface thread only: the retry thread reaches a page
// by a posted message, never the sheet.
struct SheetState {
    bool Open = false;
    HWND Window = nullptr;
    bool OpenAtAbout = false;
    int StartPage = 0;
    bool Cancelled = false;
};
extern SheetState Sheet;

// Stores where the sheet is now (its left and top) into the settings.
// Nothing when there is no sheet.
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

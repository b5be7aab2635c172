// The shell's decisions, free of windows: which page a new sheet opens on,
// what a closed sheet's result means, whether a scanner is stored, and where
// the sheet opens.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace shell {

// The page the sheet opens on: Connections while a start-up activation
// outcome (ConnectionState 2 or 3) waits to be shown and Activate is set;
// else About once after the tray's "&About" (openAtAbout is then cleared);
// else the page shown last.
int ChooseStartPage(int activate, int connectionState, int& openAtAbout, int startPage);

// What ShowSettingsSheet does once the sheet has closed.
struct SheetClosing {
    bool clearOpen = false;        // SheetOpen becomes 0
    bool clearCancelled = false;   // SheetCancelled becomes 0
    bool askToExit = false;        // the "Confirm Exit" question follows
};

// result: what the sheet returned; cancelled: SheetCancelled; replaced: the
// tray's "&About" destroyed this sheet and already ran a new one, which has
// settled SheetOpen itself. A sheet that could not be created (any result but
// 0, 1 and 2) clears SheetOpen, so the tray can open a sheet again.
SheetClosing OnSheetClosed(intptr_t result, int cancelled, bool replaced);

// A stored scanner text that is empty after trimming white space at both
// ends means that no scanner is stored.
bool HasStoredScanner(std::string_view deviceInfo);

// A rectangle in screen pixels, right and bottom exclusive.
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The top left corner of a window.
struct ScreenPoint {
    int x = 0, y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// Where the sheet (width by height) opens when stored is where it was last
// seen (a monitor may have gone since). When a piece of its title bar at least
// half the bar's height tall and twice that wide lies on one of the work
// areas, the user can grab it: the sheet stays exactly at stored. Otherwise
// it moves fully onto the nearest work area (the one that holds most of it,
// else the closest one), as near to stored as fits; a sheet larger than that
// area goes to the area's top or left edge. No work area at all: stored.
ScreenPoint PlaceSheet(ScreenPoint stored, int width, int height, std::span<const ScreenRect> workAreas,
                       int titleBarHeight);

}  // namespace shell

// Where the settings sheet opens, free of windows: the page protocol places
// the sheet with it when a page starts and after a save.
#pragma once

#include <span>

namespace sheetplace {

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

}  // namespace sheetplace

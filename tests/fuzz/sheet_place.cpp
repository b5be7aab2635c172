// Where the settings sheet opens: stored positions and monitor layouts from
// anywhere in the int range. The sheet stays where it was when the user can
// grab its title bar there, and otherwise ends fully on a work area (at its
// top or left edge when larger), without overflow; a sheet once placed stays
// where it is.
//
// Input: stored left and top, width and height (positive ints), title bar
// height (a byte), then up to six work areas of four ints each.
#include <algorithm>
#include <vector>

#include "pages/SheetPlace.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using sheetplace::ScreenPoint;
using sheetplace::ScreenRect;

// A work area from two corners anywhere in the int range: never empty.
ScreenRect AreaOf(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (x1 == x2) x1 == INT32_MAX ? --x1 : ++x2;
    if (y1 == y2) y1 == INT32_MAX ? --y1 : ++y2;
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The sheet's extent along one axis lies within the area's, or starts at its
// low edge when it does not fit.
bool FitsAxis(int64_t start, int64_t size, int64_t low, int64_t high) {
    if (size >= high - low) return start == low;
    return start >= low && start + size <= high;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const ScreenPoint stored{in.Integer<int32_t>(), in.Integer<int32_t>()};
    const int width = std::max(1, in.Integer<int32_t>() & 0x7FFFFFFF);
    const int height = std::max(1, in.Integer<int32_t>() & 0x7FFFFFFF);
    const int titleBar = in.Byte();
    std::vector<ScreenRect> areas;
    while (areas.size() < 6 && in.Left() >= 16)
        areas.push_back(AreaOf(in.Integer<int32_t>(), in.Integer<int32_t>(), in.Integer<int32_t>(),
                               in.Integer<int32_t>()));

    const ScreenPoint placed = sheetplace::PlaceSheet(stored, width, height, areas, titleBar);
    if (areas.empty()) {
        FUZZ_CHECK(placed == stored, "moved to %d,%d without work areas", placed.x, placed.y);
        return 0;
    }
    if (!(placed == stored)) {
        const bool onAnArea = std::any_of(areas.begin(), areas.end(), [&](const ScreenRect& a) {
            return FitsAxis(placed.x, width, a.left, a.right) && FitsAxis(placed.y, height, a.top, a.bottom);
        });
        FUZZ_CHECK(onAnArea, "%dx%d at %d,%d moved to %d,%d, which is on no work area of %zu", width, height,
                   stored.x, stored.y, placed.x, placed.y, areas.size());
    }
    // Placed again, a sheet that fits on every work area stays. (One larger
    // than its area sits at the area's edge with its title bar perhaps off
    // it, and another area may then hold more of it.)
    const bool fitsEverywhere = std::all_of(areas.begin(), areas.end(), [&](const ScreenRect& a) {
        return int64_t{width} < int64_t{a.right} - a.left && int64_t{height} < int64_t{a.bottom} - a.top &&
               titleBar < int64_t{a.bottom} - a.top;
    });
    if (!fitsEverywhere) return 0;
    const ScreenPoint again = sheetplace::PlaceSheet(placed, width, height, areas, titleBar);
    FUZZ_CHECK(again == placed, "%dx%d placed at %d,%d, then moved on to %d,%d", width, height, placed.x, placed.y,
               again.x, again.y);
    return 0;
}

#include "pages/SheetPlace.h"

#include <gtest/gtest.h>

namespace {

using sheetplace::PlaceSheet;
using sheetplace::ScreenPoint;
using sheetplace::ScreenRect;

TEST(SheetPlace, StaysWhereTheTitleBarCanBeGrabbedElseMovesFullyOntoTheNearestWorkArea) {
    constexpr int W = 400, H = 300, Bar = 23;
    const ScreenRect one[] = {{0, 0, 1280, 870}};
    auto place = [&](int x, int y, std::span<const ScreenRect> areas) {
        return PlaceSheet({x, y}, W, H, areas, Bar);
    };
    // On screen, also partly: exactly as stored.
    for (ScreenPoint p : {ScreenPoint{250, 200}, ScreenPoint{-12, 50}, ScreenPoint{1200, 100},
                          ScreenPoint{100, -5}, ScreenPoint{-340, 850}})
        EXPECT_EQ(place(p.x, p.y, one), p) << p.x << "," << p.y;
    // Too little of the title bar to grab: moved, only as far as needed.
    EXPECT_EQ(place(1250, 100, one), (ScreenPoint{880, 100}));  // 30 pixels of it
    EXPECT_EQ(place(100, -20, one), (ScreenPoint{100, 0}));     // 3 rows of it
    EXPECT_EQ(place(5000, -3000, one), (ScreenPoint{880, 0}));
    EXPECT_EQ(place(2147483647, -2147483647 - 1, one), (ScreenPoint{880, 0}));
    // Two monitors: the nearest one takes it.
    const ScreenRect two[] = {{0, 0, 1280, 870}, {1280, -200, 2560, 824}};
    EXPECT_EQ(place(5000, -3000, two), (ScreenPoint{2160, -200}));
    EXPECT_EQ(place(-3000, 500, two), (ScreenPoint{0, 500}));
    EXPECT_EQ(place(1500, -100, two), (ScreenPoint{1500, -100})) << "on the second monitor";
    // Larger than the work area: its top left corner; no work area: as stored.
    EXPECT_EQ(PlaceSheet({5000, 5000}, 2000, 1000, one, Bar), (ScreenPoint{0, 0}));
    EXPECT_EQ(place(5000, -3000, {}), (ScreenPoint{5000, -3000}));
}

}  // namespace

#include "pages/SheetPlace.h"

#include <algorithm>
#include <cstdint>

namespace sheetplace {

namespace {

// Stored positions come from the settings file and may be anything: the
// arithmetic is done in 64 bits.
struct Box {
    int64_t left, top, right, bottom;
};

Box BoxOf(const ScreenRect& r) { return {r.left, r.top, r.right, r.bottom}; }

int64_t Width(const Box& b) { return std::max<int64_t>(0, b.right - b.left); }
int64_t Height(const Box& b) { return std::max<int64_t>(0, b.bottom - b.top); }

Box Intersection(const Box& a, const Box& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

int64_t SharedArea(const Box& a, const Box& b) {
    Box r = Intersection(a, b);
    return Width(r) * Height(r);
}

// Squared distance between two boxes that do not meet (0 when they do). A
// gap may reach 2^33 pixels, whose square overflows 64 bits: a double holds it.
double SquaredGap(const Box& a, const Box& b) {
    const auto dx = static_cast<double>(std::max<int64_t>({0, b.left - a.right, a.left - b.right}));
    const auto dy = static_cast<double>(std::max<int64_t>({0, b.top - a.bottom, a.top - b.bottom}));
    return dx * dx + dy * dy;
}

bool TitleBarCanBeGrabbed(const Box& window, std::span<const ScreenRect> workAreas, int titleBarHeight) {
    const Box bar{window.left, window.top, window.right, window.top + titleBarHeight};
    const int64_t minHeight = std::max(1, titleBarHeight / 2);
    const int64_t minWidth = std::min<int64_t>(std::max(1, 2 * titleBarHeight), std::max<int64_t>(1, Width(bar)));
    for (const ScreenRect& area : workAreas) {
        Box visible = Intersection(bar, BoxOf(area));
        if (Width(visible) >= minWidth && Height(visible) >= minHeight) return true;
    }
    return false;
}

Box NearestArea(const Box& window, std::span<const ScreenRect> workAreas) {
    Box nearest = BoxOf(workAreas.front());
    for (const ScreenRect& candidate : workAreas) {
        Box area = BoxOf(candidate);
        int64_t shared = SharedArea(window, area), best = SharedArea(window, nearest);
        if (shared > best || (shared == 0 && best == 0 && SquaredGap(window, area) < SquaredGap(window, nearest)))
            nearest = area;
    }
    return nearest;
}

// The start that keeps [start, start + size) inside [low, high), as near to
// start as fits; low when it cannot fit.
int64_t FitInto(int64_t start, int64_t size, int64_t low, int64_t high) {
    if (size >= high - low) return low;
    return std::clamp(start, low, high - size);
}

}  // namespace

ScreenPoint PlaceSheet(ScreenPoint stored, int width, int height, std::span<const ScreenRect> workAreas,
                       int titleBarHeight) {
    const Box window{stored.x, stored.y, int64_t{stored.x} + width, int64_t{stored.y} + height};
    if (workAreas.empty() || TitleBarCanBeGrabbed(window, workAreas, titleBarHeight)) return stored;
    const Box area = NearestArea(window, workAreas);
    // Both lie within the area, so they fit an int.
    return {static_cast<int>(FitInto(window.left, width, area.left, area.right)),
            static_cast<int>(FitInto(window.top, height, area.top, area.bottom))};
}

}  // namespace sheetplace

// How a resizable dialog's controls follow its size: each control keeps its
// distance from the right or the bottom edge, or takes the width or height
// the dialog gains, as its anchors say. The template's size is the smallest.
#pragma once

#include <windows.h>

#include <span>
#include <vector>

namespace dialoglayout {

enum Anchor : unsigned {
    MoveRight = 1,  // keeps its distance from the right edge
    MoveDown = 2,   // keeps its distance from the bottom
    GrowWide = 4,   // takes the width gained
    GrowTall = 8,   // takes the height gained
};

struct Rule {
    int id;
    unsigned anchors;
};

class Layout {
public:
    // At WM_INITDIALOG: where the template put each control named, and its size.
    void Take(HWND dialog, std::span<const Rule> rules);
    // At WM_SIZE.
    void Follow(HWND dialog) const;
    // At WM_GETMINMAXINFO.
    void Limit(MINMAXINFO& info) const;

private:
    struct Placed {
        HWND control;
        unsigned anchors;
        RECT rect;  // in the client area, as the template placed it
    };
    std::vector<Placed> placed_;
    SIZE client_{};    // the client area as the template made it
    SIZE smallest_{};  // the window as the template made it
};

}  // namespace dialoglayout

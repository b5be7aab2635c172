// How the Barcode Rules dialog's controls follow its size: the rules text
// takes what the dialog gains, the rows under it keep their distance from
// the bottom, the sample and preview fields take the width, the buttons keep
// their distance from the right. The template's size is the smallest.
#pragma once

#include <windows.h>

#include <vector>

namespace rulesdialog {

class Layout {
public:
    // At WM_INITDIALOG: where the template put each control, and its size.
    void Take(HWND dialog);
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

}  // namespace rulesdialog

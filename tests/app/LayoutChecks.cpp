#include "tests/app/LayoutChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "tests/support/Process.h"

namespace apptest {

using testsupport::Capture;
using testsupport::ClassNameOf;
using testsupport::WaitUntil;
using testsupport::WindowTextOf;

namespace {

std::vector<Control> ControlsOf(HWND page) {
    std::vector<Control> controls;
    for (HWND w = ::GetWindow(page, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(w)) continue;
        Control c{w, ClassNameOf(w), WindowTextOf(w), ::GetWindowLongA(w, GWL_STYLE), {}};
        ::GetWindowRect(w, &c.rect);
        controls.push_back(c);
    }
    return controls;
}

bool IsGroupBox(const Control& c) {
    return c.className == "Button" && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

std::string Describe(const Control& c) {
    return c.className + " \"" + c.text + "\" (" + std::to_string(::GetDlgCtrlID(c.window)) + ")";
}

std::string WithoutAccessMarks(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

// The size the text needs in the dialogs' font ("MS Shell Dlg" 8): on one
// line, or broken into lines of at most wrapWidth pixels.
SIZE TextSize(const std::string& text, int wrapWidth = 0) {
    const std::string shown = WithoutAccessMarks(text);
    HDC dc = ::GetDC(nullptr);
    const int height = -::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font = ::CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 10000, 0};
    ::DrawTextA(dc, shown.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Room for the text inside a control: check boxes and radio buttons lose
// their box, push buttons their border.
int TextRoom(const Control& c) {
    const int width = c.rect.right - c.rect.left;
    if (c.className != "Button") return width;
    const LONG type = c.style & BS_TYPEMASK;
    if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON || type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
        return width - ::GetSystemMetrics(SM_CXMENUCHECK) - 4;
    return width - 4;
}

bool HasText(const Control& c) {
    if (c.text.empty()) return false;
    if (c.className == "Static") return (c.style & SS_TYPEMASK) <= SS_RIGHT || (c.style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP;
    return c.className == "Button" && !IsGroupBox(c);
}

// Statics that break their text into lines: the lines must fit in height.
bool WrapsText(const Control& c) {
    const LONG type = c.style & SS_TYPEMASK;
    return c.className == "Static" && type <= SS_RIGHT && !(c.style & SS_CENTERIMAGE);
}

}  // namespace

int TextWidth(const std::string& text) { return TextSize(text).cx; }

// Whether the control shows its whole text; the last pixel column of a
// glyph's advance is blank, so one pixel over still shows every stroke.
void ExpectTextFits(const Control& c) {
    if (WrapsText(c)) {
        const SIZE needed = TextSize(c.text, TextRoom(c));
        EXPECT_LE(needed.cy, c.rect.bottom - c.rect.top + 1) << Describe(c) << " lines do not fit";
        return;
    }
    EXPECT_LE(TextWidth(c.text), TextRoom(c) + 1) << Describe(c) << " text does not fit";
}

namespace {

// Where a control draws: a static that breaks its text into lines uses only
// the lines' height of its rectangle.
RECT InkRect(const Control& c) {
    RECT r = c.rect;
    if (WrapsText(c)) r.bottom = std::min<LONG>(r.bottom, r.top + TextSize(c.text, TextRoom(c)).cy);
    return r;
}

// Rectangles that share more than a pixel's strip.
bool Overlap(const RECT& a, const RECT& b) {
    RECT both{};
    if (!::IntersectRect(&both, &a, &b)) return false;
    return both.right - both.left > 2 && both.bottom - both.top > 2;
}

}  // namespace

void SaveIfWanted(const Capture& capture, const std::string& name) {
    if (auto dir = testsupport::ScreenshotDir()) {
        EXPECT_TRUE(testsupport::SaveBmp(capture, *dir + "\\" + name + ".bmp")) << name;
    }
}

// Distinct colours: a drawn dialog has text, borders and faces.
size_t ColourCount(const Capture& capture) {
    std::set<uint32_t> colours(capture.pixels.begin(), capture.pixels.end());
    return colours.size();
}

// Every visible control of a window lies inside it, shows its whole text and
// overlaps no other (group boxes aside).
void ExpectControlsFit(HWND window) {
    RECT outer{};
    ::GetWindowRect(window, &outer);
    std::vector<Control> controls = ControlsOf(window);
    EXPECT_FALSE(controls.empty());
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& a = controls[i];
        RECT inside{};
        ::IntersectRect(&inside, &a.rect, &outer);
        // Up to 2 dialog units (4 pixels) may stand over the edge.
        EXPECT_GE(inside.right - inside.left + 4, a.rect.right - a.rect.left) << Describe(a) << " clipped";
        EXPECT_GE(inside.bottom - inside.top + 4, a.rect.bottom - a.rect.top) << Describe(a) << " clipped";
        if (HasText(a)) ExpectTextFits(a);
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control& b = controls[j];
            if (IsGroupBox(a) || IsGroupBox(b)) continue;
            EXPECT_FALSE(Overlap(InkRect(a), InkRect(b))) << Describe(a) << " overlaps " << Describe(b);
        }
    }
}

// A key pressed and released as the keyboard would, into whatever has the focus.
void PressKey(BYTE key, bool ctrl) {
    if (ctrl) ::keybd_event(VK_CONTROL, 0x1D, 0, 0);
    ::keybd_event(key, static_cast<BYTE>(::MapVirtualKeyA(key, 0)), 0, 0);
    ::keybd_event(key, static_cast<BYTE>(::MapVirtualKeyA(key, 0)), KEYEVENTF_KEYUP, 0);
    if (ctrl) ::keybd_event(VK_CONTROL, 0x1D, KEYEVENTF_KEYUP, 0);
    ::Sleep(200);
}

// An access key (Alt+key) pressed into whatever has the focus.
void PressAccessKey(BYTE key) {
    ::keybd_event(VK_MENU, 0x38, 0, 0);
    ::keybd_event(key, static_cast<BYTE>(::MapVirtualKeyA(key, 0)), 0, 0);
    ::keybd_event(key, static_cast<BYTE>(::MapVirtualKeyA(key, 0)), KEYEVENTF_KEYUP, 0);
    ::keybd_event(VK_MENU, 0x38, KEYEVENTF_KEYUP, 0);
}

HWND FocusOfForeground() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

// The focus is on control or inside it (the edit box of a combo box).
bool FocusIn(HWND control) {
    const HWND focus = FocusOfForeground();
    return focus && (focus == control || ::IsChild(control, focus));
}

// Wine without a window manager may hand the focus back, a moment later, to
// the window that had it before: a condition counts once it has held a while.
bool WaitUntilSteady(const std::function<bool()>& condition, DWORD steadyMs, DWORD timeoutMs) {
    DWORD since = 0;
    bool holding = false;
    return WaitUntil([&] {
        if (!condition()) return holding = false;
        if (!holding) since = ::GetTickCount();
        holding = true;
        return ::GetTickCount() - since >= steadyMs;
    }, timeoutMs);
}

// Clicks a control as the user would, again when the focus went elsewhere,
// with its window brought forward first as the user would do.
bool ClickUntilItHasTheFocus(HWND control) {
    const HWND window = ::GetAncestor(control, GA_ROOT);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            ::SetForegroundWindow(window);
            (void)WaitUntilSteady([window] { return ::GetForegroundWindow() == window; }, 300, 3000);
        }
        if (!testsupport::RealClick(control)) return false;
        if (WaitUntilSteady([control] { return FocusOfForeground() == control; }, 300, 3000)) return true;
    }
    return false;
}

}  // namespace apptest

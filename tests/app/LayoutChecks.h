// What the layout tests check of a window of the program, seen from another
// process: its controls lie inside it, show their whole texts and overlap no
// other; and the keyboard as a user presses it. Shared by the layout tests
// of the sheet, Recent Barcodes and Barcode Rules.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/UiDriver.h"

namespace apptest {

struct Control {
    HWND window;
    std::string className;
    std::string text;
    LONG style;
    RECT rect;  // screen coordinates
};

// The width of a text in the dialogs' font ("MS Shell Dlg" 8), on one line.
int TextWidth(const std::string& text);

// Whether the control shows its whole text.
void ExpectTextFits(const Control& c);

// Every visible control of a window lies inside it, shows its whole text and
// overlaps no other (group boxes aside).
void ExpectControlsFit(HWND window);

// Saved as NAME.bmp in the folder VASK_SCREENSHOT_DIR names, when set.
void SaveIfWanted(const testsupport::Capture& capture, const std::string& name);

// Distinct colours: a drawn dialog has text, borders and faces.
size_t ColourCount(const testsupport::Capture& capture);

// A key pressed and released as the keyboard would, into whatever has the focus.
void PressKey(BYTE key, bool ctrl = false);
// An access key (Alt+key) pressed into whatever has the focus.
void PressAccessKey(BYTE key);
HWND FocusOfForeground();
// The focus is on control or inside it (the edit box of a combo box).
bool FocusIn(HWND control);

// Wine without a window manager may hand the focus back, a moment later, to
// the window that had it before: a condition counts once it has held a while.
bool WaitUntilSteady(const std::function<bool()>& condition, DWORD steadyMs, DWORD timeoutMs);

// Clicks a control as the user would, again when the focus went elsewhere,
// with its window brought forward first as the user would do.
bool ClickUntilItHasTheFocus(HWND control);

}  // namespace apptest

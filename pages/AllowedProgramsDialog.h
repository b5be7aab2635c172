// The Allowed Programs dialog, opened from the Format page: the programs
// that may receive barcodes (the user's "AllowedPrograms", UserOptions.h),
// one image file name to a line. OK saves the list for the user; the polling
// thread and the typist read it for the next barcode. An administrator's
// list is shown, not edited.
#pragma once

#include <windows.h>

// Shows the dialog over `owner` until it is closed; true when OK saved the
// list. "Use the Program in Front" adds the program of `programWindow`, the
// window that was in front before ours (none: the button is greyed).
bool ShowAllowedPrograms(HWND owner, HWND programWindow);

// The Profiles dialog, opened from the Format page: the profiles
// (config/Profiles.h), each program's own format, rules, keystrokes and pace,
// in a list on the left, the selected one's fields on the right with a
// preview of the newest barcode typed its way. OK saves them all for the
// user; an administrator's profiles are shown, not edited.
#pragma once

#include <windows.h>

// Shows the dialog over `owner` until it is closed; true when OK saved the
// profiles. "Use the Program in Front" and Add take the program of
// `programWindow`, the window that was in front before ours.
bool ShowProfiles(HWND owner, HWND programWindow);

// A balloon over an edit field, saying why what it holds is not what was
// typed. The edit control's own (EM_SHOWBALLOONTIP) where the system has
// one; otherwise a balloon tooltip of the page's, which goes at the field's
// next edit, when the focus enters another field, or after a few seconds.
// User-interface thread.
#pragma once

#include <windows.h>

#include <string>

// Shows the balloon with its title and text, pointing at the field.
void ShowFieldBalloon(HWND field, const std::wstring& title, const std::wstring& text);

// Takes the page's balloon away, if one shows.
void HideFieldBalloon(HWND page);

// The page's WM_TIMER: true when it was the balloon's, which then goes.
bool OnFieldBalloonTimer(HWND page, WPARAM timer);

// The page's WM_DESTROY: its balloon goes with it.
void DropFieldBalloon(HWND page);

// The combo boxes of the format settings, as the Format page and the
// Profiles window show them: the strip count, and a prefix or suffix token
// among the token names (a stored token of its own added as an item).
#pragma once

#include <windows.h>

#include <string>

#include "win/ListControls.h"

namespace pages {

void ShowStripCount(const win::ComboBox& combo, int strip);
void ShowStoredToken(const win::ComboBox& combo, const std::string& stored);

// What the user typed into a token box: the first character of its edit
// field (one or two bytes in the ANSI code page), or the empty text.
std::string TypedToken(HWND combo);

}  // namespace pages

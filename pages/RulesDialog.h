// The Barcode Rules dialog, opened from the Format page: the text under
// "BarcodeRules" (UserOptions.h) edited with its errors shown as the user
// types, and a sample barcode previewed as it would be typed. OK saves the
// text for the user; the typist reads it for the next barcode.
#pragma once

#include <windows.h>

// Shows the dialog over `owner` until it is closed; true when OK saved it.
bool ShowBarcodeRules(HWND owner);

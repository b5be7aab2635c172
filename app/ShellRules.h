// The shell's decisions, free of windows: which page a new sheet opens on,
// what a closed sheet's result means, whether a scanner is stored. Where the
// sheet opens is the page protocol's (pages/SheetPlace.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "scanner/ConnectionState.h"

namespace shell {

// The page the sheet opens on: Connections while a start-up activation
// outcome (activated or failed at start-up) waits to be shown and Activate is set;
// else About once after the tray's "&About" (openAtAbout is then cleared);
// else the page shown last.
int ChooseStartPage(int activate, ConnectionState connectionState, bool& openAtAbout, int startPage);

// What ShowSettingsSheet does once the sheet has closed.
struct SheetClosing {
    bool clearOpen = false;        // SheetOpen becomes 0
    bool clearCancelled = false;   // SheetCancelled becomes 0
};

// result: what the sheet returned; cancelled: SheetCancelled; replaced: the
// tray's "&About" destroyed this sheet and already ran a new one, which has
// settled SheetOpen itself. A sheet that could not be created (any result but
// 0, 1 and 2) clears SheetOpen, so the tray can open a sheet again.
SheetClosing OnSheetClosed(intptr_t result, bool cancelled, bool replaced);

// A stored scanner text that is empty after trimming white space at both
// ends means that no scanner is stored.
bool HasStoredScanner(std::string_view deviceInfo);

}  // namespace shell

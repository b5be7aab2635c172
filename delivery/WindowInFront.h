// What is in front, as the typing decisions need it: the window, its title,
// whether it is ours, whether it may take our synthesised input, whether
// anything in front has the keyboard focus. Read without sending any window
// a message, so the polling thread and the typist never wait for the
// user-interface thread.
#pragma once

#include <windows.h>

#include "delivery/DeliveryRule.h"

// A window, its title, whether it is ours, its first child's title (only when
// it is ours with the settings title) and whether its process outranks ours
// (only for another program's window).
ForegroundView ObserveWindow(HWND window);

// Whether a window's process runs at a higher integrity level than ours, which
// makes the system drop our synthesised input. A process we may not query
// counts as higher (see OutranksUs).
bool WindowOutranksUs(HWND window);

// Whether synthesised keystrokes may go to a window: it exists, belongs to
// another program that is not the shell's desktop or taskbar, and its
// process does not outrank ours.
// Barred: its program is not on the list of programs allowed to receive barcodes.
enum class TypingTarget { Fine, Gone, Ours, Shell, HigherIntegrity, Barred };
TypingTarget CheckTypingTarget(HWND window);

// The image file name of the window's process ("cmd.exe"); empty when it
// cannot be read.
std::string WindowProgram(HWND window);

// The first window under `ours` in the order on screen that belongs to
// another program and is no window of the shell: the program that was in
// front before ours came; nullptr when there is none.
HWND ProgramWindowBehind(HWND ours);

// Whether the window's program is kept from barcodes by the list of allowed
// programs in force (UserOptions.h); never while no list is in force.
bool WindowBarred(HWND window);

// The window in front, and whether its thread has a window with the
// keyboard focus (a window being brought forward may not have it yet: keys
// sent then arrive as system keys, which programs ignore). One look, asked
// before every key.
struct FrontWindow {
    HWND window = nullptr;
    bool hasFocus = false;
};
FrontWindow LookAtFront();

// Wine has no integrity levels: tests put their own answer in place of
// WindowOutranksUs. nullptr restores the real one.
using IntegrityProbe = bool (*)(HWND window);
void SetIntegrityProbe(IntegrityProbe probe);

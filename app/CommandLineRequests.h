// A command from the command line travels from the new start to the copy
// already running in the same session as one sent message, the way a second
// start's hand-over does: CommandLineMessage with the command in wParam,
// answered with the running copy's state code.
#pragma once

#include <windows.h>

#include "app/CommandLine.h"

// The new start: hands the command to the running copy and returns the exit
// code. /exit waits until that copy has ended.
int SendCommandToRunningCopy(cmdline::Command command, const char* windowClass, const char* windowTitle);

// The running copy's main window: carries the command out (pause and resume
// through setPaused; /exit posts WM_CLOSE, the ordered shutdown without a
// question) and answers the state code.
LRESULT AnswerCommandLine(WPARAM command, void (*setPaused)(bool));

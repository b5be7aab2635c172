// The program's own window messages, in one place so that no two collide.
#pragma once

#include <windows.h>

// The tray icon's callback message. A fixed number: a second start of any
// version sends it to the running program to hand over.
inline constexpr UINT TrayCallbackMessage = 201;

// Posted by the activation retry thread to its report target; wParam is a
// RetryReport, lParam the retry's generation (IsCurrentRetryReport). The
// scanner's status text and state are already set when it arrives.
inline constexpr UINT RetryReportMessage = WM_APP + 1;

// Posted to a Type Again batch's report window when it ends: wParam
// MAKEWPARAM(typed, total), lParam a TypeAgainStop.
inline constexpr UINT TypeAgainDoneMessage = WM_APP + 20;

// Posted to the newest Connections page when the scanner worker has handed
// back something for it to show.
inline constexpr UINT CommandUpdateMessage = WM_APP + 21;

// Posted to the About page by the scanner worker with the SDK's version in
// wParam.
inline constexpr UINT SdkVersionMessage = WM_APP + 22;

// Posted to Recent Barcodes when the history has new entries or ends.
inline constexpr UINT NewBarcodesMessage = WM_APP + 23;

// Posted to the newest Connections page when the polling thread's scanner
// was lost or answers again.
inline constexpr UINT LinkChangeMessage = WM_APP + 24;

// Sent by a start with a command line (/pause, /resume, /exit, /status) to
// the copy already running; wParam a cmdline::Command, answered with the
// state code. A fixed number, as the tray's: later versions send it too.
inline constexpr UINT CommandLineMessage = WM_APP + 30;

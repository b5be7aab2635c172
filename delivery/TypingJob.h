// One barcode on its way into a window, and the typing of it key by key,
// each key only while the window may take it. The typist's thread
// (Typist.h) is the only caller of ContinueTyping.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "delivery/BarcodeJob.h"

// How often a wait for a window to take keys looks again.
inline constexpr DWORD TargetRecheckMs = 20;


// Types the rest of the job, each key only while a window that may take it
// is in front with the keyboard focus, none of ours is coming forward and
// (for a job that follows it) typing is not paused: before the first key any
// other program's window that takes our input, from then on only
// job.window. Before the first key into a window the barcode's record says
// so (BarcodeRecords.h), on disk; a polled barcode that Type Again took
// meanwhile is not typed (false, job.taken). Keeps the job's pace: its key
// delay between two keys (the delay after the last is AfterBarcode's).
// Waits while no window may take keys; false,
// with the job left where it stopped, when keepRunning() turns false during
// such a wait or the key delay, or the wait lasts longer than patienceMs.
bool ContinueTyping(TypingJob& job, const std::function<bool()>& keepRunning, DWORD patienceMs = INFINITE);

// The typist, once a barcode typed whole is on record: the key turn is
// handed over if a delay follows, the window lags behind or one of our
// windows waits for it; then the delay after the barcode, cut short when
// keepRunning() turns false.
void AfterBarcode(const TypingJob& job, const std::function<bool()>& keepRunning);

// The typist, before it waits for work: lets the window read the keys still
// on their way, then hands the key turn back (KeyTurn.h).
void HandOverKeyTurn();

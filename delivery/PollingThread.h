// Threads: StartPollingThread (user-interface or activation retry thread) runs PollBarcodes on
// a new thread kept in App.PollingThread; it types and sends messages to the Trace control.
// It stops within one cycle when App.PollingThreadRun is 0 or a newer polling thread is started.
#pragma once

#include <windows.h>

// Makes sure the previous polling thread has ended (a newer start tells it to
// stop even though PollingThreadRun is 1 again), then starts PollBarcodes for
// App and keeps its handle in App.PollingThread. False, with no thread
// started, when the previous one did not end in time or the start failed.
bool StartPollingThread();

// Waits at most timeoutMs for a thread to end while still handling messages
// sent to the calling thread's windows, so a worker that is sending one of
// them a message cannot deadlock the wait. True when the thread has ended
// (or there is none).
bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs);

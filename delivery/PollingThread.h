// Threads: StartPollingThread (the scanner worker or the activation retry thread) runs
// PollBarcodes on a new thread kept in PollingWorker; it fetches each barcode, hands it to the
// typist (Typist.h) and appends to the Trace control.
// It stops within one cycle when PollingWorker is asked to stop, a newer polling thread is started,
// or its stopper handed it the close.
//
// The thread alone makes SDK calls on its connection while it runs. The connection is closed
// only after the thread has ended: by whoever stops it, or, when it is still inside an SDK call
// as the stopper's wait ends, by the thread itself as its last call (HandCloseToPollingThread).
#pragma once

#include <windows.h>

#include "delivery/ScannerLink.h"
#include "sdk/VantuSdkAbi.h"
#include "win/WorkerThread.h"

// The polling thread; its run flag is set for a thread that starts, and
// cleared by whoever stops it.
extern win::WorkerThread PollingWorker;

// Makes sure the previous polling thread has ended (a newer start tells it to
// stop), then starts PollBarcodes on `connection` in PollingWorker, for an
// activation the user or the program made (`cause`). False,
// with no thread started and its run flag cleared, when the
// previous one did not end in time or the start failed.
bool StartPollingThread(vantu::Handle connection, ActivationCause cause);

// For a stopper whose wait for the polling thread ran out: when the newest
// polling thread still works on `connection`, it closes it as it ends, and
// the caller must not touch it again (true). False when no running thread
// uses it: the caller closes it.
bool HandCloseToPollingThread(vantu::Handle connection);

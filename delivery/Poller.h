// The polling thread's work: every 100 ms ask the scanner SDK how many
// barcodes are ready and deliver each one by what is in front, typed into
// another program's window or written into the Trace page (DeliveryRule.h).
// Runs on the polling thread (PollingThread.h starts and stops it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "delivery/DeliveryRule.h"
#include "sdk/VantuSdkAbi.h"

class Application;

// One barcode as fetched from the scanner, not terminated.
struct FetchedBarcode {
    uint8_t bytes[vantu::BarcodeBufferSize] = {};
    uint16_t length = 0;
};

// The foreground window, its title, whether it is ours, its first child's
// title (only when it is ours with the settings title) and whether its
// process outranks ours (only for another program's window).
ForegroundView ObserveForeground();

// Whether a window's process runs at a higher integrity level than ours, which
// makes the system drop our synthesised input. A process we may not query
// counts as higher (see OutranksUs).
bool WindowOutranksUs(HWND window);

// Whether synthesised keystrokes may go to a window: it exists, belongs to
// another program and its process does not outrank ours.
enum class TypingTarget { Fine, Gone, Ours, HigherIntegrity };
TypingTarget CheckTypingTarget(HWND window);

// Types one barcode shaped by the format settings (prefix, the barcode
// without its first `strip` bytes, two suffixes) into the focus window. The
// polling thread and "Type Again" take turns: one barcode's keys never mix
// with another's.
void TypeFormattedBarcode(const Application& app, const uint8_t* bytes, size_t length);

// Wine has no integrity levels: tests put their own answer in place of
// WindowOutranksUs. nullptr restores the real one.
using IntegrityProbe = bool (*)(HWND window);
void SetIntegrityProbe(IntegrityProbe probe);

// Appends text at the end of a rich edit control, not undoable. When it would
// pass the control's text limit, the oldest text is dropped first, so the
// newest barcode always shows. Returns whether all of the text went in. The
// calls are messages sent to the control, so each waits for the thread that
// owns it.
bool AppendTrace(HWND traceWindow, const std::string& text);

// Takes the next barcode off the scanner. False when the SDK handed over
// nothing (the call failed and reported no bytes).
bool FetchBarcode(vantu::Handle connection, FetchedBarcode& barcode);

enum class DeliveryOutcome {
    Delivered,     // fetched and typed or traced
    Held,          // nothing in front can take it: it stays on the scanner
    NothingReady,  // the scanner had no barcode to hand over
};

// Decides, and if the barcode can be delivered now, fetches and delivers the
// next one from the connection.
DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection);

// The polling loop on one connection, which it alone uses while it runs: asks
// the scanner for its stored barcodes, then polls until keepRunning() is false
// (checked before every query and between barcodes). A download in progress
// answers the count query with "transfer in progress" and counts as none ready.
void PollBarcodes(Application& app, vantu::Handle connection, const std::function<bool()>& keepRunning);

// The polling thread's work: every 100 ms ask the scanner SDK how many
// barcodes are ready and deliver each one by what is in front, typed into
// another program's window or written into the Trace page (DeliveryRule.h).
// Runs on the polling thread (PollingThread.h starts and stops it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/FormatSettings.h"
#include "delivery/DeliveryRule.h"
#include "sdk/VantuSdkAbi.h"

class Application;

// One barcode as fetched from the scanner, not terminated.
struct FetchedBarcode {
    uint8_t bytes[vantu::BarcodeBufferSize] = {};
    uint16_t length = 0;
};

// A window, its title, whether it is ours, its first child's title (only when
// it is ours with the settings title) and whether its process outranks ours
// (only for another program's window). ObserveForeground: the foreground one.
ForegroundView ObserveWindow(HWND window);
ForegroundView ObserveForeground();

// One fetched barcode on its way into another program's window, typed piece
// by piece (prefix, barcode, two suffixes) so that it can pause where one of
// our own windows came forward and go on from there. A barcode that has left
// the scanner is typed whole, once: when the polling thread is stopped in
// such a pause, the next polling thread types the rest first.
struct TypingJob {
    FetchedBarcode barcode;
    FormatSettings format;
    int piece = 0;          // 0 prefix, 1 barcode, 2 first suffix, 3 second suffix, 4 done
    size_t bytesTyped = 0;  // of the barcode piece
};

// Whether a window's process runs at a higher integrity level than ours, which
// makes the system drop our synthesised input. A process we may not query
// counts as higher (see OutranksUs).
bool WindowOutranksUs(HWND window);

// Whether synthesised keystrokes may go to a window: it exists, belongs to
// another program and its process does not outrank ours.
enum class TypingTarget { Fine, Gone, Ours, HigherIntegrity };
TypingTarget CheckTypingTarget(HWND window);

// Types one barcode shaped by the format settings (prefix, the barcode
// without its first `strip` bytes, two suffixes) into the focus window, each
// key only while another program's window that takes our input is in front.
// The polling thread and "Type Again" take turns: one barcode's keys never mix
// with another's. False when it stopped before the end (no fit window in
// front for 2 s) or did not get its turn within 2 s.
bool TypeFormattedBarcode(const Application& app, const uint8_t* bytes, size_t length);

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

// Types the rest of the job, each key only while another program's window
// that takes our input is in front (waiting while it is not); `accepted` is a
// window already found fit, taken again without a second look while it stays
// in front. False, with the job left where it stopped, when keepRunning()
// turns false first.
bool ContinueTyping(TypingJob& job, const std::function<bool()>& keepRunning, HWND accepted = nullptr);

// Decides, and if the barcode can be delivered now, fetches and delivers the
// next one from the connection. A barcode whose typing was stopped is left in
// `unfinished`.
DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection,
                                   const std::function<bool()>& keepRunning,
                                   std::optional<TypingJob>& unfinished);

// The polling loop on one connection, which it alone uses while it runs: first
// types the rest of an unfinished barcode, asks the scanner for its stored
// barcodes, then polls until keepRunning() is false (checked before every
// query and between barcodes). A download in progress answers the count query
// with "transfer in progress" and counts as none ready. `unfinished` belongs to
// one polling thread at a time.
void PollBarcodes(Application& app, vantu::Handle connection, const std::function<bool()>& keepRunning,
                  std::optional<TypingJob>& unfinished);

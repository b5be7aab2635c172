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
#include "delivery/ScannerLink.h"
#include "delivery/Typist.h"
#include "delivery/WindowInFront.h"
#include "sdk/VantuSdkAbi.h"

class Application;

// Appends text (in the ANSI code page, or UTF-8) at the end of a rich edit
// control, not undoable. When it would
// pass the control's text limit, the oldest text is dropped first, so the
// newest barcode always shows. Returns whether all of the text went in. The
// calls are messages sent to the control, so each waits for the thread that
// owns it.
bool AppendTrace(HWND traceWindow, const std::string& text, UINT codePage = CP_ACP);

// Appends what the formatted trace shows of a barcode: what would be typed,
// the barcode rules in force applied (or that a rule skips it).
bool AppendFormattedTrace(HWND traceWindow, const FetchedBarcode& barcode, const FormatSettings& format);

// Takes the next barcode off the scanner. False when the SDK handed over
// nothing (the call failed and reported no bytes).
bool FetchBarcode(vantu::Handle connection, FetchedBarcode& barcode);

enum class DeliveryOutcome {
    Delivered,     // fetched and typed or traced
    Held,          // nothing in front can take it: it stays on the scanner
    NothingReady,  // the scanner had no barcode to hand over
};

// Decides, and if the barcode can be delivered now, fetches and delivers the
// next one from the connection: a barcode to type is handed to the typist
// and waited for until it is typed or keepRunning() turns false (then it
// stays with the typist, Typist.h).
DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection,
                                   const std::function<bool()>& keepRunning);

// The polling loop on one connection, which it alone uses while it runs:
// waits until the typist has no barcode in hand, asks the scanner for its
// stored barcodes, then polls until keepRunning() is false (checked before
// every query and between barcodes). A download in progress answers the count
// query with "transfer in progress" and counts as none ready.
//
// Three failed count queries in a row mark the link lost (Link.Lost); the
// scanner is then asked twice a second, and when it answers again a new
// download is requested, so a batch collected meanwhile comes unasked. An
// activation the program made that finds barcodes waiting pauses typing
// (Link.Paused, Link.HeldAtStart) until the user resumes it.
void PollBarcodes(Application& app, vantu::Handle connection, ActivationCause cause,
                  const std::function<bool()>& keepRunning);

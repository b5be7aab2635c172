// What the polling thread does with the next barcode, decided from what is in
// front before the barcode is fetched. Plain C++: no Windows headers.
//
// A barcode leaves the scanner when it is fetched, so it is fetched only for a
// window that can take it: another program's window that accepts synthesised
// input, or the program's own settings window on its Trace page. Any other
// window of ours (a message box, the tray menu, the hidden main window) never
// gets keystrokes: a typed Enter would answer "Confirm Exit". Otherwise the
// barcode stays on the scanner and is delivered in a later cycle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

constexpr char SettingsWindowTitle[] = "Brontel Vask";  // the settings sheet's caption
constexpr char TracePageTitle[] = "Trace";             // the Trace page's caption

// Integrity levels (the RID of the mandatory label) a program normally runs at.
constexpr uint32_t MediumIntegrityLevel = 0x2000;

enum class Delivery {
    Type,            // fetch and type it into the foreground window
    TraceRaw,        // fetch and append its raw text to the trace
    TraceFormatted,  // fetch and append the text that would be typed
    Leave,           // do not fetch: it stays on the scanner
};

struct ForegroundView {
    bool exists = false;              // false: no foreground window (locked, secure desktop)
    std::string title;                // the foreground window's title
    std::string firstChildTitle;      // read only for our own window with the settings title
    bool higherIntegrity = false;     // its process outranks ours: input would be dropped
    bool ours = false;                // it belongs to this process
    bool shell = false;               // the desktop, the taskbar or another untitled window of the shell
    bool barred = false;              // its program is not on the list of programs allowed to receive barcodes
    std::string program;              // its program's image file name, read only while such a list is in force
};

struct DeliveryDecision {
    Delivery delivery = Delivery::Leave;
    int32_t rawTrace = 0;  // the new value of the raw-trace flag
};

// Whether keys may be typed into the window: another program's, allowed to
// receive barcodes, that accepts our input; never the shell's own windows
// (the desktop, the taskbar), where keys are lost.
bool TakesTypedKeys(const ForegroundView& foreground);

// rawTrace is the current raw-trace flag (1 = the Trace page shows raw data);
// traceExists tells whether the Trace page's text box is a live window.
DeliveryDecision DecideDelivery(const ForegroundView& foreground, int32_t rawTrace, bool traceExists);

// Whether the foreground window's process outranks ours. A level that could
// not be read counts as higher: leaving the barcode on the scanner never loses
// it, while typing into a window that drops the input would. Our own level, if
// unreadable, is taken as medium, the level of an ordinary program.
bool OutranksUs(std::optional<uint32_t> foregroundLevel, std::optional<uint32_t> ownLevel);

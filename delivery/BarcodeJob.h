// One barcode on its way into a window: what the typist keeps of it, its
// pieces and their keys, and what a barcode's record is told of it
// (BarcodeRecords.h). The typing of it is TypingJob.h's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "config/FormatSettings.h"
#include "config/TypingPace.h"
#include "delivery/KeyPlan.h"
#include "delivery/TypedUnits.h"
#include "sdk/VantuSdkAbi.h"

class BarcodeShaper;

// One barcode as fetched from the scanner, not terminated.
struct FetchedBarcode {
    uint8_t bytes[vantu::BarcodeBufferSize] = {};
    uint16_t length = 0;
};

// One barcode on its way into a window, typed piece by piece (prefix,
// barcode, two suffixes) so that it can pause between two keys and go on
// from there.
struct TypingJob {
    FetchedBarcode barcode;
    FormatSettings format;
    uint64_t sequence = 0;  // in the history; 0: not remembered
    // The barcode piece: what the strip setting and the shaping leave of the
    // barcode. Made once, before the first key (ShapeJob, TypingJob.h), with
    // `shaper`: for a polled barcode the one in force at its fetch, for Type
    // Again the one in force at the click; none types every byte as it is.
    std::shared_ptr<const BarcodeShaper> shaper;
    TypedUnits units;
    bool shaped = false;
    int piece = 0;          // 0 prefix, 1 barcode, 2 first suffix, 3 second suffix, 4 done
    size_t unitsTyped = 0;  // of the barcode piece
    HWND window = nullptr;  // the window that took the first key (or, for "Type Again", the only one allowed)
    HWND intended = nullptr;  // the window in front when the barcode was fetched for it
    std::string windowTitle;
    TypingPace pace;
    Keystrokes keystrokes = Keystrokes::Characters;
    std::string profile;  // the profile that shapes and types it (UTF-8); empty: the default
    bool followsPause = false;  // the user's Pause Typing stops it between two keys (not "Type Again")
    bool again = false;         // a "Type Again" copy of barcode `sequence`
    HWND begunIn = nullptr;     // the window its record says it is being typed into
    bool taken = false;         // Type Again took it before its first key: none of it may go
};

// Makes the job's barcode piece (job.units) with its shaper, once. The
// shaping's outcome, for a skip rule: a skipped job types nothing at all.
struct ShapedBarcode;
void ShapeJob(TypingJob& job, ShapedBarcode* outcome = nullptr);

inline constexpr int PieceCount = 4;  // prefix, barcode, first suffix, second suffix

// The prefix's or a suffix's token and its Ctrl flag (piece 0, 2 or 3).
const std::string& TokenOfPiece(const FormatSettings& format, int piece);
int CtrlOfPiece(const FormatSettings& format, int piece);
// Keys of one piece: the barcode's units, or one key for a token ("None": none).
size_t KeysOfPiece(const TypingJob& job, int piece);

// Keys of the job in all, and those typed so far.
uint16_t KeysInAll(const TypingJob& job);
uint16_t KeysTyped(const TypingJob& job);

// Back to the key `unit` of the job (0: its first): the keys from there on
// went into a window of ours, not the barcode's.
void RewindTo(TypingJob& job, uint16_t unit);

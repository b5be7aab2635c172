// The scan log's text: one CSV file a day ("YYYY-MM-DD.csv"), UTF-8 with a
// byte-order mark, RFC 4180 quoting, one row when a barcode is fetched and
// one more for what became of it, both keyed by the barcode's key (the run
// and its sequence number), so that a program that ended between the two
// leaves a record. Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/RecentBarcodes.h"

namespace scanlog {

inline constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
inline constexpr char HeaderRow[] = "Key,Time,Barcode,Outcome,Window,Length,Keys,Typed,Profile\r\n";

// What became of a barcode, as its row says.
inline constexpr char Fetched[] = "fetched";
inline constexpr char Typing[] = "typing";  // its first key is about to go into the row's window
inline constexpr char Typed[] = "typed";
inline constexpr char Traced[] = "traced";
inline constexpr char PartlyTyped[] = "partly typed";
inline constexpr char ProgramEnded[] = "not typed (program ended)";
inline constexpr char TypedAgain[] = "typed again";  // whole, by Type Again
inline constexpr char SkippedByRule[] = "skipped by rule";  // a barcode rule said not to type it

inline constexpr uint32_t DefaultRetentionDays = 30;
inline constexpr uint32_t MaxRetentionDays = 3650;

struct Row {
    std::string key;      // "<run>-<sequence>"
    std::string time;     // ISO 8601 local time with its offset
    std::string barcode;  // UTF-8
    std::string outcome;
    std::string window;   // UTF-8; the window that took the barcode's first key
    uint32_t length = 0;  // the barcode's bytes
    uint16_t keysTyped = 0;  // of a typed or partly typed barcode: keys into the window, of keysTotal
    uint16_t keysTotal = 0;
    // What the barcode rules made of it, in the trace's notation (UTF-8);
    // empty when no rules were in force and it was typed as it is.
    std::string typed;
    std::string profile;  // UTF-8; the profile that typed it, empty for the default
};

// Each byte as the character it is typed as (U+0000..U+00FF), in UTF-8;
// BarcodeBytes turns it back.
std::string TypedText(const uint8_t* bytes, size_t length);
std::vector<uint8_t> BarcodeBytes(std::string_view utf8);
// What the log says became of a barcode of that fate.
const char* OutcomeText(BarcodeFate fate);

// One field, quoted when it holds a quote, comma, tab, CR or LF (quotes
// doubled). A field that a spreadsheet would take for a formula (it begins
// with =, +, -, @, a tab or a CR) is written quoted behind a ' so that it
// shows as text; so is one that would otherwise read back as such a field.
std::string Field(std::string_view text);
// One row, ending in CRLF.
std::string RowText(const Row& row);
// "2026-12-08T08:16:09+01:00": the local time and its offset from UTC in minutes.
std::string IsoTime(const ClockTime& local, int offsetMinutes);
// The local time an IsoTime text names; nullopt for anything else.
std::optional<ClockTime> ParseIsoTime(std::string_view text);
// "2026-12-08.csv"
std::string FileName(const ClockTime& day);
// Whether a file of that name holds a day at least `days` days before today;
// false for any name not of FileName's form.
bool Expired(std::string_view fileName, const ClockTime& today, uint32_t days);
// The retention a stored value asks for, within 1..MaxRetentionDays.
uint32_t RetentionWithin(uint32_t days);

// The rows of a file's text (a leading byte-order mark and the header row
// skipped); a row that does not parse is skipped. Rows of six columns
// (before Keys), seven (before Typed) and eight (before Profile) read too. A field that Field marked
// with a ' reads back without it.
std::vector<Row> ParseRows(std::string_view text);
// What the next start lists for a barcode whose last row is `last`: nullopt
// when it needs no offer (typed whole, traced, offered already), else "not
// typed (program ended)" (no key had gone), "the program ended while typing
// it into TITLE", "4 of 13 characters into TITLE" or "not typed".
std::optional<std::string> OfferText(const Row& last);
// The last rows of the barcodes that the next start lists (OfferText), in
// the order of their first rows.
std::vector<Row> Unfinished(const std::vector<Row>& rows);

}  // namespace scanlog

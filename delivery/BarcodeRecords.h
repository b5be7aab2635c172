// Every barcode that leaves the scanner has one record, from its fetch to its
// end, and this is its one owner: only these operations change a record.
// A record is fetched, then typing (its first key went into a window), or
// taken by Type Again while it waited; it ends typed whole, partly typed
// ("4 of 13", "not typed": its window closed, a new activation or the exit
// came first), typed again whole, or traced. Recent Barcodes shows the
// records (BarcodeHistory.h), and the scan log gets every change. So that no
// barcode is lost whatever ends the program, the records not typed whole are
// also kept in a small per-user file, "Unfinished Barcodes.csv" beside the
// scan log's folder, emptied as they end; the next start lists them.
//
// Threads: the polling thread records fetches, the typist the typing and the
// ends (their rows are written to disk on those threads); the user-interface
// thread only claims records for Type Again, which takes the records' small
// lock and never one held across a disk call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "delivery/BarcodeJob.h"

namespace records {

// A barcode fetched to be typed: listed in Recent Barcodes, and its
// "fetched" row on disk before this returns. `typed`: what the barcode rules
// made of it (the trace's notation), empty when none were in force;
// `profile`: the name of the profile that types it (UTF-8), empty for the
// default. Its sequence number (0: the history is turned off, and it has no
// record).
uint64_t Fetched(const FetchedBarcode& barcode, std::string_view typed = {}, std::string_view profile = {});
// Barcode rule `rule` (from 0) said not to type barcode `sequence`: it ends
// "skipped by rule", listed and logged, and is never offered again.
void Skipped(uint64_t sequence, size_t rule);
// A barcode written into the Trace page: listed, and logged as traced.
void Traced(const FetchedBarcode& barcode);

// Before the first key of barcode `sequence` goes into the window titled
// `title`: its "typing" row on disk. For a polled barcode (again false),
// false when Type Again has taken it meanwhile: none of it may be typed then.
bool BeginTyping(uint64_t sequence, std::string_view title, bool again);
// A polled barcode ends: typed whole when keysTyped == keysTotal, else
// listed as partly typed and kept for the next start.
void Ended(uint64_t sequence, std::string_view title, uint16_t keysTyped, uint16_t keysTotal);
// Whether Type Again has taken the polled barcode `sequence` before its first key.
bool TakenByTypeAgain(uint64_t sequence);

// Type Again wants these barcodes: false, taking none, when one of them is
// being typed right now. Otherwise each one still waiting for its first key
// is taken from the typist: only Type Again types it.
bool ClaimForTypeAgain(const std::vector<uint64_t>& sequences);
// How far Type Again got with barcode `sequence`: whole when keysTyped ==
// keysTotal (it is done), else it stays unfinished. `typed`: what the rules
// in force at the click made of it, when any were.
void TypedAgain(uint64_t sequence, std::string_view title, uint16_t keysTyped, uint16_t keysTotal,
                std::string_view typed = {});

// At start-up, before any barcode is fetched: lists in Recent Barcodes what
// earlier runs left unfinished (and logs it as "not typed (program ended)"),
// then deletes the scan log's expired files.
void OfferWhatEarlierRunsLeft();

}  // namespace records

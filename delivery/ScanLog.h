// The scan log on disk (its text: ScanLogText.h), when the user or a policy
// has switched it on: %LOCALAPPDATA%\Brontel Vask\Scan Log\YYYY-MM-DD.csv,
// private to the user as that folder is. A fetched barcode's row is written
// and flushed before its first key goes out; its outcome follows as a second
// row. A full disk or a locked file never stops the typing: the trouble is
// kept for the tray to tell once.
//
// Threads: the polling thread logs fetched and traced barcodes, the typist
// their outcomes (through BarcodeHistory.h); one lock keeps each row whole.
// Start-up runs on the user-interface thread before any polling starts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "delivery/RecentBarcodes.h"
#include "delivery/ScanLogText.h"

namespace scanlog {

// "ScanLog" (1: on; 0, the default: off) and "ScanLogDays" (the retention,
// 1-3650, 30 by default) among the user options and policies.
inline constexpr char OnValue[] = "ScanLog";
inline constexpr char DaysValue[] = "ScanLogDays";

bool Wanted();
uint32_t RetentionDays();
// The log's folder (made when the first row is written).
std::wstring Folder();

// A barcode just fetched (flushed to disk before this returns; only the
// benchmark asks for no flush) or written into the Trace page, and what
// became of a fetched one.
void LogFetched(uint64_t sequence, const uint8_t* bytes, size_t length, bool flush = true);
void LogTraced(uint64_t sequence, const uint8_t* bytes, size_t length);
void LogOutcome(const RecentBarcode& settled);

// At start-up: deletes the files past the retention, and hands back the
// barcodes the log says were fetched by an earlier run and never typed (the
// newest two files are read); each gets a row saying so, so that the next
// start does not list it again.
std::vector<Row> TakeUnfinishedOfEarlierRuns();
// Writes the barcodes to a CSV file of the log's form at `path` (replacing
// it); false when it could not be written whole.
bool SaveAs(const std::wstring& path, const std::vector<const RecentBarcode*>& barcodes);

// Why the log could not be written, once: nullopt when all went well or it
// was told already.
std::optional<std::string> TakeTrouble();

}  // namespace scanlog

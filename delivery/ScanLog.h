// The scan log on disk (its text: ScanLogText.h), when the user or a policy
// has switched it on: %LOCALAPPDATA%\Brontel Vask\Scan Log\YYYY-MM-DD.csv,
// private to the user as that folder is. Every change of a barcode's record
// (BarcodeRecords.h) is a row; a fetched barcode's row is on disk before its
// first key goes out. A full disk or a locked file never stops the typing:
// the trouble is kept for the tray to tell once.
//
// Threads: the polling thread and the typist append rows (one lock keeps
// each whole); the scanner worker deletes the expired files at start-up; the
// user-interface thread only reads the trouble, which takes no lock of theirs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
// %LOCALAPPDATA%\Brontel Vask: the user's own files of the program; empty
// when the system cannot say where that is.
std::wstring UserFolder();
// The log's folder in it (made when the first row is written); empty with it.
std::wstring Folder();

// The key of this run's barcode `sequence`: the run (its start and
// process) and the number, so that keys of two runs on one day never meet.
std::string KeyOf(uint64_t sequence);
// The local time now as IsoTime writes it; its date and time in `local`.
std::string IsoNow(ClockTime* local = nullptr);
// A window title in the system's code page, in UTF-8.
std::string Utf8Title(std::string_view ansiTitle);

// Appends the row to today's file when the log is on, flushed to disk
// before this returns when asked.
void Append(const Row& row, bool flush);
// Deletes the files past the retention; nothing when the folder is unknown.
void DeleteExpired();
// Writes the barcodes to a CSV file of the log's form at `path` (replacing
// it); false when it could not be written whole.
bool SaveAs(const std::wstring& path, const std::vector<const RecentBarcode*>& barcodes);

// Why the log could not be written, once: nullopt when all went well or it
// was told already.
std::optional<std::string> TakeTrouble();

}  // namespace scanlog

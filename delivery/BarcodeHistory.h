// The run's history of fetched barcodes (RecentBarcodes.h): what the Recent
// Barcodes window shows of the barcode records (BarcodeRecords.h).
//
// Threads: the polling thread and the typist add and settle entries through
// the records; each takes the ring's lock for one entry's copy and posts
// (never sends) a message to the listening window, so it never waits for the
// user-interface thread. The user-interface thread sets the listener and
// copies out on that message.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "delivery/RecentBarcodes.h"

RecentBarcodes& BarcodeHistory();

// The window that hears of new barcodes with `message` (nullptr: nobody). At
// most one such message waits in its queue at a time.
void SetBarcodeHistoryListener(HWND window, UINT message);
// The listener calls this on the message before it copies out, so that a
// barcode added from then on posts the message again.
void BarcodeHistoryNoticed();

// The local time and date now.
ClockTime LocalClockNow();

// Lists a barcode with the local time (or `time`) and tells the listener;
// returns its sequence number (0 while the history is turned off). Only the
// barcode records (BarcodeRecords.h) add and settle entries.
uint64_t AddToHistory(std::string_view destination, const uint8_t* bytes, size_t length, BarcodeFate fate,
                      const ClockTime* time = nullptr, std::string_view typed = {}, std::string_view profile = {});
// Shows what became of a listed barcode (nothing when Clear has forgotten
// it) and tells the listener.
void SettleInHistory(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped = 0,
                     uint16_t keysTotal = 0);

// For the polling benchmark only: its figures with the history turned off.
namespace history_bench_seam {
void SetEnabled(bool enabled);
}

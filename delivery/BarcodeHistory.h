// The run's history of fetched barcodes (RecentBarcodes.h) and how the
// polling thread hands each one over.
//
// Threads: the polling thread calls RememberBarcode for each barcode it
// fetched, the typist SettleBarcode once it is typed or given up; it takes the ring's lock for one entry's copy and posts (never
// sends) a message to the listening window, so it never waits for the
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

// Remembers a fetched barcode with the local time and tells the listener;
// returns its sequence number (0 while the history is turned off).
uint64_t RememberBarcode(std::string_view destination, const uint8_t* bytes, size_t length,
                         BarcodeFate fate = BarcodeFate::Typed);
// Records what became of a remembered barcode and tells the listener.
void SettleBarcode(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped = 0,
                   uint16_t keysTotal = 0);

// At start-up, with the scan log on: lists the barcodes an earlier run
// fetched and never typed ("not typed (program ended)").
void ListUnfinishedOfEarlierRuns();

// For the polling benchmark only: its figures with the history turned off.
namespace history_bench_seam {
void SetEnabled(bool enabled);
}

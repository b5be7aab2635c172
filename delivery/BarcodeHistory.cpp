#include "delivery/BarcodeHistory.h"

#include <atomic>
#include <vector>

#include "delivery/ScanLog.h"

namespace {

RecentBarcodes History;
std::atomic<HWND> Listener{nullptr};
std::atomic<UINT> ListenerMessage{0};
std::atomic<bool> NoticePending{false};
std::atomic<bool> Enabled{true};

}  // namespace

RecentBarcodes& BarcodeHistory() { return History; }

void SetBarcodeHistoryListener(HWND window, UINT message) {
    ListenerMessage = message;
    Listener = window;
    NoticePending = false;
}

void BarcodeHistoryNoticed() { NoticePending = false; }

namespace {

void TellListener() {
    const HWND listener = Listener.load();
    if (listener && !NoticePending.exchange(true)) {
        if (!::PostMessageA(listener, ListenerMessage.load(), 0, 0)) NoticePending = false;
    }
}

}  // namespace

static ClockTime ClockOf(const SYSTEMTIME& local) {
    return {static_cast<uint8_t>(local.wHour), static_cast<uint8_t>(local.wMinute), static_cast<uint8_t>(local.wSecond),
            local.wYear, static_cast<uint8_t>(local.wMonth), static_cast<uint8_t>(local.wDay)};
}

ClockTime LocalClockNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return ClockOf(now);
}

uint64_t RememberBarcode(std::string_view destination, const uint8_t* bytes, size_t length, BarcodeFate fate) {
    if (!Enabled.load(std::memory_order_relaxed)) return 0;
    const ClockTime time = LocalClockNow();
    const uint64_t sequence = History.Add(time, destination, bytes, length, fate);
    if (fate == BarcodeFate::Typing) scanlog::LogFetched(sequence, bytes, length);
    if (fate == BarcodeFate::Traced) scanlog::LogTraced(sequence, bytes, length);
    TellListener();
    return sequence;
}

void SettleBarcode(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped,
                   uint16_t keysTotal) {
    RecentBarcode settled;
    if (!History.Settle(sequence, fate, destination, keysTyped, keysTotal, &settled)) return;
    scanlog::LogOutcome(settled);
    TellListener();
}

void ListUnfinishedOfEarlierRuns() {
    for (const scanlog::Row& row : scanlog::TakeUnfinishedOfEarlierRuns()) {
        const std::vector<uint8_t> bytes = scanlog::BarcodeBytes(row.barcode);
        const ClockTime time = scanlog::ParseIsoTime(row.time).value_or(LocalClockNow());
        (void)History.Add(time, {}, bytes.data(), bytes.size(), BarcodeFate::Unfinished);
    }
    TellListener();
}

namespace history_bench_seam {
void SetEnabled(bool enabled) { Enabled = enabled; }
}  // namespace history_bench_seam

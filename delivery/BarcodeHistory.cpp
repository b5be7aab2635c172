#include "delivery/BarcodeHistory.h"

#include <atomic>

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

uint64_t AddToHistory(std::string_view destination, const uint8_t* bytes, size_t length, BarcodeFate fate,
                      const ClockTime* time, std::string_view typed, std::string_view profile) {
    if (!Enabled.load(std::memory_order_relaxed)) return 0;
    const uint64_t sequence = History.Add(time ? *time : LocalClockNow(), destination, bytes, length, fate, typed, profile);
    TellListener();
    return sequence;
}

void SettleInHistory(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped,
                     uint16_t keysTotal) {
    if (History.Settle(sequence, fate, destination, keysTyped, keysTotal)) TellListener();
}

namespace history_bench_seam {
void SetEnabled(bool enabled) { Enabled = enabled; }
}  // namespace history_bench_seam

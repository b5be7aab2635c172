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

void RememberBarcode(std::string_view destination, const uint8_t* bytes, size_t length) {
    if (!Enabled.load(std::memory_order_relaxed)) return;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const ClockTime time{static_cast<uint8_t>(now.wHour), static_cast<uint8_t>(now.wMinute),
                         static_cast<uint8_t>(now.wSecond)};
    (void)History.Add(time, destination, bytes, length);
    const HWND listener = Listener.load();
    if (listener && !NoticePending.exchange(true)) {
        if (!::PostMessageA(listener, ListenerMessage.load(), 0, 0)) NoticePending = false;
    }
}

namespace history_bench_seam {
void SetEnabled(bool enabled) { Enabled = enabled; }
}  // namespace history_bench_seam

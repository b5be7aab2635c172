// What the Trace page shares with the polling thread: the page's text box,
// into which the polling thread writes, and the display mode.
//
// Threads: the Trace page (user-interface thread) sets TraceWindow when it is
// created and RawTrace with every message it handles; the polling thread reads
// both for every barcode and clears RawTrace while the sheet is not in front.
// Both are lock-free atomics, read and written whole; for RawTrace the last
// writer wins. TraceSource, the page's own choice, is the user-interface
// thread's alone.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

struct TraceState {
    std::atomic<HWND> TraceWindow{nullptr};  // the page's rich edit control; none before the page was first shown
    std::atomic<int32_t> RawTrace{0};        // 1: raw scanner data; 0: what would be typed
    int TraceSource = 0;                     // the page's buttons: 1 "&Scanner", 0 "&Vask"
};

static_assert(std::atomic<HWND>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);

// The program's one trace.
extern TraceState Trace;

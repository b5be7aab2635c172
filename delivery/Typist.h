// The typist: the one thread that sends every key the program types, one
// barcode at a time. Polled barcodes, "Type Again" and the rest of a barcode
// at the exit all go through it, so the keys of two barcodes never mix.
//
// A barcode goes whole into one window. The window that takes its first key
// is the only one that gets the rest: when typing pauses (one of our windows
// came forward), the rest waits until that window is in front again with the
// keyboard focus. When that window closes, or a new activation or the exit
// comes first, the rest is typed nowhere; the history lists the barcode as
// partly typed, and the user may type it again, whole.
//
// Threads: the polling thread hands over barcodes (Type) and waits for
// them; the user-interface thread hands over "Type Again" batches and hears
// of their end by a posted message, and starts and ends the typist. The
// typist never sends a message to a window of ours.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "delivery/TypingJob.h"
#include "res/Messages.h"
#include "win/WorkerThread.h"

// Why a "Type Again" batch stopped before its end.
enum class TypeAgainStop : int {
    None = 0,         // all typed
    WindowClosed,     // the window has closed
    NotInFront,       // another window came to the front
    NoFocus,          // the window in front has no keyboard focus
    ProgramEnding,    // the program is ending
    SkippedByRule,    // the rest was typed; a barcode rule skips the others
};


class Typist {
public:
    Typist() = default;
    Typist(const Typist&) = delete;
    Typist& operator=(const Typist&) = delete;

    // Polling thread: hands over one fetched barcode and waits until it has
    // been typed (true) or keepRunning() turns false (false: it stays with
    // the typist and goes on as described above).
    bool Type(TypingJob job, const std::function<bool()>& keepRunning);
    // Waits until no barcode is in hand; false when keepRunning() turns false first.
    bool WaitUntilEmptyHanded(const std::function<bool()>& keepRunning);
    // A new activation: the rest of a barcode whose typing began and paused
    // is typed nowhere (listed as partly typed). One not yet begun stays.
    void GiveUpStartedBarcode();

    // "Type Again": types each barcode whole into `target`, oldest first,
    // each key while target is in front with the focus (waiting up to
    // TypeAgainPatienceMs for it), then posts TypeAgainDoneMessage to
    // reportTo. A barcode in hand whose window is not in front lets the batch
    // go first.
    void TypeAgain(std::vector<TypingJob> jobs, HWND target, HWND reportTo);
    static constexpr DWORD TypeAgainPatienceMs = 2000;

    // The exit: the barcode in hand may still be finished (its own window
    // back in front) within ms; then it is given up, waiting batches are
    // dropped, and the thread ends. True once it has ended.
    bool FinishAndEnd(DWORD ms);

    // False once the exit has begun: no barcode may be fetched for it then.
    bool Accepting() const { return !ending_.load(); }

    // The window a barcode in hand waits for (the one that took its first
    // keys, else the one it was fetched for); none when nothing waits.
    HWND AwaitedWindow() const { return awaited_.load(); }

    // For tests: nothing in hand and no batch waiting.
    bool Idle() const;

private:
    struct Batch {
        std::vector<TypingJob> jobs;
        HWND target = nullptr;
        HWND reportTo = nullptr;
    };

    bool EnsureRunning();
    static DWORD WINAPI Main(void* self);
    void Run();
    bool NextWork(std::unique_lock<std::mutex>& lock);
    void TypeInHand(std::unique_lock<std::mutex>& lock);
    static void Settle(const TypingJob& job, bool typed);
    void RunBatch(Batch& batch);
    bool KeepWaitingInHand();
    bool EndReached() const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<TypingJob> inHand_;
    bool inHandWaits_ = false;      // paused in a wait that a batch may use
    std::deque<Batch> batches_;
    std::atomic<bool> giveUpStarted_{false};
    std::atomic<bool> ending_{false};
    std::atomic<DWORD> endBy_{0};
    std::atomic<HWND> awaited_{nullptr};
    win::WorkerThread thread_;
};

// The program's one typist.
extern Typist SoleTypist;

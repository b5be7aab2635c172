#include "delivery/TypingJob.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <utility>

#include "delivery/BarcodeRecords.h"
#include "delivery/KeyPlan.h"
#include "delivery/KeySender.h"
#include "delivery/KeyStamp.h"
#include "delivery/KeyTurn.h"
#include "delivery/OwnWindows.h"
#include "delivery/ScannerLink.h"
#include "delivery/WindowInFront.h"

namespace {

// The pace is kept by a fine clock: the tick count moves in steps of about
// 16 ms, as coarse as the delays themselves.
using PaceClock = std::chrono::steady_clock;

DWORD MsSince(PaceClock::time_point then) {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(PaceClock::now() - then).count());
}

constexpr DWORD ReadPatienceMs = 150;  // a window slower to read is busy: typing goes on
constexpr DWORD HandBackPatienceMs = 300;  // for our own window to take what landed there
// Keys left unread after a barcode before the typist waits for them to be
// read: how far a fast typist may run ahead of a slow window, and so how long
// a window of ours may have to wait for the turn.
constexpr unsigned MostUnreadEvents = 96;

// Keys sent to another program wait in its input queue until it reads them,
// and one of our windows coming forward meanwhile would take them (Wine
// drops them). Each answer to a sent message means that the window's thread
// has been back in its message loop once more, and so has taken one more
// message if one was waiting. Two answers an event (the key, and the
// character it became) cover what a key left queued, with room to spare:
// an answer comes while the loop is still taking its message, and under
// Wine a window that loses the keyboard drops what it had not taken. Each
// answer costs the window a turn of its loop, nearly as much as a key (the
// poll benchmark prices it). A window that takes longer than ReadPatienceMs
// to answer is busy, and is not waited for.
void LetTheWindowRead(HWND window, unsigned eventsSent) {
    for (unsigned n = 0; window && n < 2 * eventsSent; ++n) {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ReadPatienceMs, &answer)) return;
    }
}

// The keys on their way, while the typist holds the key turn (KeyTurn.h):
// where they went and how many events. The typist's thread only.
struct KeysOnTheirWay {
    HWND window = nullptr;
    unsigned events = 0;
};
KeysOnTheirWay Unread;

void NoteSent(HWND window, unsigned events) {
    if (events == 0) return;
    if (Unread.window != window) {
        LetTheWindowRead(Unread.window, Unread.events);  // typing goes on into another window
        Unread = {window, 0};
    }
    Unread.events += events;
}

// Asked before every key. Before the job's first key, any other program's
// window that takes our input will do (the one that took the previous look
// is accepted again at the cost of one call); from then on only the job's
// window. While none may take keys (our tray menu, the "Confirm Exit" box,
// the sheet, no window, no focus) or one of ours is wanted or coming, it
// waits, so that a key meant for another program never answers one of ours.
// The key turn is kept from key to key and from barcode to barcode; it is
// handed over, once the window has read what was sent, when one of ours
// wants it, before a wait (the key delay, the delay after a barcode, no
// window to type into, no barcode) and when the window lags too far behind.
class KeyTarget {
public:
    KeyTarget(TypingJob& job, const std::function<bool()>& keepRunning, DWORD patienceMs)
        : job_(job), keepRunning_(keepRunning), patienceMs_(patienceMs) {}

    // The stamp of this call's keys (KeyStamp.h).
    uint16_t Tag() const { return tag_; }

    // The unit to type again from, once: keys from it on landed in a window
    // of ours and were handed back.
    std::optional<uint16_t> TakeRewind() { return std::exchange(rewindTo_, std::nullopt); }

    bool WaitUntilReady(unsigned eventsSent) {
        if (rewindTo_) return false;  // stopped already, to type again from there
        Sent(eventsSent);
        if (TakeHandedBack()) return false;
        if (!KeepThePace()) return false;
        const DWORD start = ::GetTickCount();
        for (;;) {
            if (TheKeyTurn().OursWaiting()) HandOverKeyTurn();
            if (MayType()) {
                const HWND window = job_.window ? job_.window : candidate_;
                if (job_.begunIn != window) {
                    // The first key into this window: on record first, on
                    // disk; then the window in front is looked at again.
                    if (!records::BeginTyping(job_.sequence, job_.window ? job_.windowTitle : candidateTitle_,
                                              job_.again))
                        return job_.taken = true, false;
                    job_.begunIn = window;
                    continue;
                }
                TakeAsTheJobsWindow();
                lastKeyAt_ = PaceClock::now();
                return true;
            }
            HandOverKeyTurn();
            if (CheckpointFound() && TakeHandedBack()) return false;
            if (!keepRunning_() || ::GetTickCount() - start >= patienceMs_) return false;
            ::Sleep(TargetRecheckMs);
        }
    }

    // The last key has been sent; the key turn is kept (AfterBarcode). False
    // when keys landed in a window of ours and must be typed again
    // (TakeRewind).
    bool Finish(unsigned eventsSent) {
        Sent(eventsSent);
        (void)CheckpointFound();
        return !TakeHandedBack();
    }

private:
    void Sent(unsigned events) {
        NoteSent(job_.window, events);
        sentSinceCheckpoint_ |= events > 0;
    }

    // Waits out the key delay since this call's previous key, the key turn
    // handed over meanwhile; false when keepRunning() turns false.
    bool KeepThePace() {
        const DWORD delay = job_.pace.keyDelayMs;
        if (!lastKeyAt_ || delay == 0) return true;
        HandOverKeyTurn();
        for (;;) {
            const DWORD since = MsSince(*lastKeyAt_);
            if (since >= delay) return true;
            if (!keepRunning_()) return false;
            ::Sleep(std::min(delay - since, TargetRecheckMs));
        }
    }

    bool MayType() {
        if (job_.followsPause && Link.Paused.load()) return false;
        const FrontWindow front = LookAtFront();
        const HWND foreground = front.window;
        if (foreground != candidate_) {
            const ForegroundView view = ObserveWindow(foreground);
            if (view.ours) TheKeyTurn().OursInFront();
            const bool fit = job_.window ? foreground == job_.window && !view.ours : TakesTypedKeys(view);
            candidate_ = fit ? foreground : nullptr;
            candidateTitle_ = fit ? view.title : std::string();
        }
        return candidate_ && front.hasFocus && TheKeyTurn().TakeForKey();
    }

    void TakeAsTheJobsWindow() {
        if (job_.window) return;
        job_.window = candidate_;
        job_.windowTitle = candidateTitle_;
    }

    // Keys handed back from our windows: typing stops, to go on from the first.
    bool TakeHandedBack() {
        if (const std::optional<uint16_t> unit = TakeHandedBackKey(tag_)) rewindTo_ = unit;
        return rewindTo_.has_value();
    }

    // With a window of ours in front and keys sent since the last look, waits
    // until every key of ours that went there has been handed back.
    bool CheckpointFound() {
        if (!sentSinceCheckpoint_ || !ObserveWindow(::GetForegroundWindow()).ours) return false;
        sentSinceCheckpoint_ = false;
        return AwaitHandBacks(tag_, HandBackPatienceMs);
    }

    static uint16_t NextTag() {
        static std::atomic<uint16_t> tags{0};
        return static_cast<uint16_t>(++tags % KeyTags);
    }

    TypingJob& job_;
    const std::function<bool()>& keepRunning_;
    const DWORD patienceMs_;
    const uint16_t tag_ = NextTag();
    std::optional<uint16_t> rewindTo_;
    bool sentSinceCheckpoint_ = false;
    HWND candidate_ = nullptr;
    std::string candidateTitle_;
    std::optional<PaceClock::time_point> lastKeyAt_;  // when this call's previous key went
};

// After a barcode: its delay, cut short when keepRunning() turns false.
void WaitAfterBarcode(DWORD delay, const std::function<bool()>& keepRunning) {
    const PaceClock::time_point start = PaceClock::now();
    for (DWORD since = 0; since < delay && keepRunning(); since = MsSince(start))
        ::Sleep(std::min(delay - since, TargetRecheckMs));
}

bool TypePiece(const KeySender& keys, TypingJob& job) {
    if (job.piece != 1) return keys.TypeToken(TokenOfPiece(job.format, job.piece), CtrlOfPiece(job.format, job.piece));
    const size_t from = std::min(job.unitsTyped, job.units.size());
    job.unitsTyped = from + keys.TypeUnits(job.units.data() + from, job.units.size() - from);
    return job.unitsTyped >= job.units.size();
}

}  // namespace

void HandOverKeyTurn() {
    if (!TheKeyTurn().HeldByTypist()) return;
    LetTheWindowRead(Unread.window, Unread.events);
    Unread = {};
    TheKeyTurn().Release();
}

bool ContinueTyping(TypingJob& job, const std::function<bool()>& keepRunning, DWORD patienceMs) {
    ShapeJob(job);
    KeyTarget target(job, keepRunning, patienceMs);
    KeySender keys([&target](unsigned eventsSent) { return target.WaitUntilReady(eventsSent); });
    keys.TypeAs(job.keystrokes);
    for (;;) {
        for (; job.piece < PieceCount; ++job.piece) {
            keys.StampWith(target.Tag(), KeysTyped(job));
            if (!TypePiece(keys, job)) break;
        }
        const bool whole = job.piece >= PieceCount && target.Finish(keys.EventsSinceGate());
        if (const std::optional<uint16_t> unit = target.TakeRewind()) {
            RewindTo(job, *unit);
            continue;
        }
        if (!whole) return false;
        break;
    }
    return true;
}

void AfterBarcode(const TypingJob& job, const std::function<bool()>& keepRunning) {
    if (job.pace.barcodeDelayMs > 0 || Unread.events > MostUnreadEvents || TheKeyTurn().OursWaiting())
        HandOverKeyTurn();
    WaitAfterBarcode(job.pace.barcodeDelayMs, keepRunning);
}

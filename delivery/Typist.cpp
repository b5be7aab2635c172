#include "delivery/Typist.h"

#include "delivery/BarcodeHistory.h"
#include "delivery/KeyPlan.h"
#include "delivery/KeySender.h"
#include "delivery/OwnWindows.h"
#include "delivery/ScannerLink.h"
#include "delivery/WindowInFront.h"

Typist SoleTypist;


namespace {

constexpr DWORD TargetRecheckMs = 20;
constexpr int PieceCount = 4;  // prefix, barcode, first suffix, second suffix
constexpr DWORD ReadPatienceMs = 150;  // a window slower to read is busy: typing goes on

// Keys sent to another program wait in its input queue until it reads them,
// and one of our windows coming forward meanwhile would take them (Wine
// drops them). Each answer to a sent message means that the window's thread
// has gone back to its message loop once more, having taken one more
// message: two answers an event (the key, and the character it became)
// cover what a key left queued. The key turn is held meanwhile, so the wait
// is bounded: our windows wait for it.
void LetTheWindowRead(HWND window, unsigned eventsSent) {
    const DWORD start = ::GetTickCount();
    for (unsigned n = 0; window && n < 2 * eventsSent; ++n) {
        const DWORD spent = ::GetTickCount() - start;
        DWORD_PTR answer = 0;
        if (spent >= ReadPatienceMs ||
            !::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ReadPatienceMs - spent, &answer))
            return;
    }
}

// Asked before every key. Before the job's first key, any other program's
// window that takes our input will do (the one that took the previous look
// is accepted again at the cost of one call); from then on only the job's
// window. While none may take keys (our tray menu, the "Confirm Exit" box,
// the sheet, no window, no focus) or one of ours is coming forward, it
// waits, so that a key meant for another program never answers one of ours.
// A key found free to go keeps the key turn until it has been sent (the
// next call, or the end).
class KeyTarget {
public:
    KeyTarget(TypingJob& job, const std::function<bool()>& keepRunning, DWORD patienceMs)
        : job_(job), keepRunning_(keepRunning), patienceMs_(patienceMs) {}

    bool WaitUntilReady(unsigned eventsSent) {
        LetTheWindowRead(job_.window, eventsSent);
        keyTurn_.Release();  // the previous key has been sent and read
        const DWORD start = ::GetTickCount();
        for (;;) {
            keyTurn_.Take();
            if (MayType()) {
                TakeAsTheJobsWindow();
                return true;
            }
            keyTurn_.Release();
            if (!keepRunning_() || ::GetTickCount() - start >= patienceMs_) return false;
            ::Sleep(TargetRecheckMs);
        }
    }

    // The last key has been sent: the key turn is kept until it has been read.
    void Finish(unsigned eventsSent) { LetTheWindowRead(job_.window, eventsSent); }

private:
    bool MayType() {
        const HWND foreground = ::GetForegroundWindow();
        bool oursInFront = false;
        if (foreground != candidate_) {
            const ForegroundView view = ObserveWindow(foreground);
            oursInFront = view.ours;
            const bool fit = job_.window ? foreground == job_.window && !view.ours : TakesTypedKeys(view);
            candidate_ = fit ? foreground : nullptr;
            candidateTitle_ = fit ? view.title : std::string();
        }
        return !OwnWindowComing(oursInFront) && candidate_ && HasKeyboardFocus();
    }

    void TakeAsTheJobsWindow() {
        if (job_.window) return;
        job_.window = candidate_;
        job_.windowTitle = candidateTitle_;
    }

    TypingJob& job_;
    const std::function<bool()>& keepRunning_;
    const DWORD patienceMs_;
    HWND candidate_ = nullptr;
    std::string candidateTitle_;
    KeyTurn keyTurn_;
};

bool HasKey(const std::string& token) {
    const NamedToken* named = FindNamedToken(token);
    return !named || named->virtualKey != 0;
}

const std::string& TokenOfPiece(const FormatSettings& format, int piece) {
    return piece == 0 ? format.PrefixChar : piece == 2 ? format.SuffixFirstChar : format.SuffixSecondChar;
}

int CtrlOfPiece(const FormatSettings& format, int piece) {
    return piece == 0 ? format.PrefixCharCtrl : piece == 2 ? format.SuffixFirstCharCtrl : format.SuffixSecondCharCtrl;
}

size_t BarcodeKeys(const TypingJob& job) { return TypedRange(job.barcode.length, job.format.strip, 0).count; }

size_t KeysOfPiece(const TypingJob& job, int piece) {
    return piece == 1 ? BarcodeKeys(job) : HasKey(TokenOfPiece(job.format, piece)) ? 1 : 0;
}

bool TypePiece(const KeySender& keys, TypingJob& job) {
    if (job.piece != 1) return keys.TypeToken(TokenOfPiece(job.format, job.piece), CtrlOfPiece(job.format, job.piece));
    const ByteRange range = TypedRange(job.barcode.length, job.format.strip, 0);
    const auto from = static_cast<int>(range.first + job.bytesTyped);
    job.bytesTyped += keys.TypeBarcode(job.barcode.bytes, job.barcode.length, from, 0);
    return job.bytesTyped >= range.count;
}

uint16_t Clamp16(size_t n) { return static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n); }

// Why a "Type Again" barcode could not go on into its window.
TypeAgainStop StopReason(HWND target) {
    if (!::IsWindow(target)) return TypeAgainStop::WindowClosed;
    if (::GetForegroundWindow() != target) return TypeAgainStop::NotInFront;
    return TypeAgainStop::NoFocus;
}

}  // namespace

uint16_t KeysInAll(const TypingJob& job) {
    size_t keys = 0;
    for (int piece = 0; piece < PieceCount; ++piece) keys += KeysOfPiece(job, piece);
    return Clamp16(keys);
}

uint16_t KeysTyped(const TypingJob& job) {
    size_t keys = 0;
    for (int piece = 0; piece < job.piece && piece < PieceCount; ++piece) keys += KeysOfPiece(job, piece);
    if (job.piece == 1) keys += job.bytesTyped;
    return Clamp16(keys);
}

bool ContinueTyping(TypingJob& job, const std::function<bool()>& keepRunning, DWORD patienceMs) {
    KeyTarget target(job, keepRunning, patienceMs);
    const KeySender keys([&target](unsigned eventsSent) { return target.WaitUntilReady(eventsSent); });
    for (; job.piece < PieceCount; ++job.piece)
        if (!TypePiece(keys, job)) return false;
    target.Finish(keys.EventsSinceGate());
    return true;
}

// ---------------------------------------------------------------- the thread

// Under the lock. The thread starts with the first barcode to type; after
// the exit nothing starts it again.
bool Typist::EnsureRunning() {
    if (ending_) return false;
    return thread_ || thread_.Start(Main, this);
}

DWORD WINAPI Typist::Main(void* self) {
    try {
        static_cast<Typist*>(self)->Run();
    } catch (...) {
        // Nothing may leave a thread routine; the typist ends.
    }
    return 0;
}

// The exit's deadline has passed (the tick count wraps, so the difference decides).
bool Typist::EndReached() const { return ending_ && ::GetTickCount() - endBy_.load() < 0x80000000u; }

void Typist::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (NextWork(lock)) {
        if (!batches_.empty() && (!inHand_ || inHandWaits_)) {
            Batch batch = std::move(batches_.front());
            batches_.pop_front();
            lock.unlock();
            RunBatch(batch);
            lock.lock();
            inHandWaits_ = false;  // its window may be back: look again
        } else {
            TypeInHand(lock);
        }
    }
    if (inHand_) SettleInHand(false);
    for (const Batch& batch : batches_)
        (void)::PostMessageA(batch.reportTo, TypeAgainDoneMessage, MAKEWPARAM(0, batch.jobs.size()),
                             static_cast<LPARAM>(TypeAgainStop::ProgramEnding));
    batches_.clear();
}

// Waits for work; false when the thread is to end.
bool Typist::NextWork(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (ending_ && (!inHand_ || EndReached())) return false;
        if (!batches_.empty() || (inHand_ && !inHandWaits_)) return true;
        if (inHand_) {
            changed_.wait_for(lock, std::chrono::milliseconds(TargetRecheckMs));
            inHandWaits_ = false;  // a paused barcode looks at the window in front again
        } else {
            changed_.wait(lock);  // idle: nothing to look at until work comes
        }
    }
}

// Asked while the barcode in hand waits for its window. A waiting batch goes
// first unless it is for the window that has taken the first keys already:
// its keys would land in the middle of the barcode.
bool Typist::KeepWaitingInHand() {
    if (giveUpStarted_ || EndReached()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const HWND window = inHand_->window;
    awaited_ = window ? window : inHand_->intended;
    if (window && !::IsWindow(window)) return false;
    return batches_.empty() || (window && window == batches_.front().target);
}

void Typist::TypeInHand(std::unique_lock<std::mutex>& lock) {
    TypingJob& job = *inHand_;
    lock.unlock();
    const bool typed = ContinueTyping(job, [this] { return KeepWaitingInHand(); });
    if (!job.window) giveUpStarted_ = false;  // not begun: a give-up concerns only a begun barcode
    const bool givenUp = !typed && job.window && (giveUpStarted_ || EndReached() || !::IsWindow(job.window));
    lock.lock();
    if (typed || givenUp) {
        SettleInHand(typed);
        inHand_.reset();
        awaited_ = nullptr;
        changed_.notify_all();
    } else {
        inHandWaits_ = true;  // a batch may go first; then this one looks again
    }
}

void Typist::SettleInHand(bool typed) {
    const TypingJob& job = *inHand_;
    giveUpStarted_ = false;
    if (typed) {
        SettleBarcode(job.sequence, BarcodeFate::Typed, job.windowTitle);
        ++Link.Typed;
        Link.NoteTyped(job.windowTitle);
    } else {
        SettleBarcode(job.sequence, BarcodeFate::PartlyTyped, job.windowTitle, KeysTyped(job), KeysInAll(job));
    }
}

void Typist::RunBatch(Batch& batch) {
    size_t typed = 0;
    TypeAgainStop stop = TypeAgainStop::None;
    for (TypingJob& job : batch.jobs) {
        job.window = batch.target;
        if (EndReached()) {
            stop = TypeAgainStop::ProgramEnding;
            break;
        }
        if (!ContinueTyping(job, [this] { return !EndReached(); }, TypeAgainPatienceMs)) {
            stop = EndReached() ? TypeAgainStop::ProgramEnding : StopReason(batch.target);
            break;
        }
        ++typed;
    }
    (void)::PostMessageA(batch.reportTo, TypeAgainDoneMessage, MAKEWPARAM(typed, batch.jobs.size()),
                         static_cast<LPARAM>(stop));
}

bool Typist::Type(TypingJob job, const std::function<bool()>& keepRunning) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Only one fetched barcode is ever in hand: the caller waited for the
    // last. Should one still be there, or the program be ending, this one is
    // listed, never dropped unseen.
    if (inHand_ || !EnsureRunning()) {
        SettleBarcode(job.sequence, BarcodeFate::PartlyTyped, {}, 0, KeysInAll(job));
        return false;
    }
    awaited_ = job.intended;
    inHand_ = std::move(job);
    inHandWaits_ = false;
    giveUpStarted_ = false;
    changed_.notify_all();
    while (inHand_) {
        if (!keepRunning()) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(TargetRecheckMs));
    }
    return true;
}

bool Typist::WaitUntilEmptyHanded(const std::function<bool()>& keepRunning) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (inHand_) {
        if (!keepRunning()) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(TargetRecheckMs));
    }
    return true;
}

void Typist::GiveUpStartedBarcode() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inHand_) giveUpStarted_ = true;
    changed_.notify_all();
}

void Typist::TypeAgain(std::vector<TypingJob> jobs, HWND target, HWND reportTo) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EnsureRunning()) {
        (void)::PostMessageA(reportTo, TypeAgainDoneMessage, MAKEWPARAM(0, jobs.size()),
                             static_cast<LPARAM>(TypeAgainStop::ProgramEnding));
        return;
    }
    batches_.push_back(Batch{std::move(jobs), target, reportTo});
    changed_.notify_all();
}

bool Typist::FinishAndEnd(DWORD ms) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        endBy_ = ::GetTickCount() + ms;
        ending_ = true;
        changed_.notify_all();
    }
    if (!thread_.Join(ms + TargetRecheckMs * 5)) return false;
    thread_.reset();
    return true;
}

bool Typist::Idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !inHand_ && batches_.empty();
}

#include "delivery/Typist.h"

#include "delivery/BarcodeRecords.h"
#include "delivery/KeyTurn.h"
#include "delivery/ScannerLink.h"
#include "delivery/ShapedTrace.h"
#include "delivery/WindowInFront.h"

Typist SoleTypist;

namespace {

// Why a "Type Again" barcode could not go on into its window.
TypeAgainStop StopReason(HWND target) {
    if (!::IsWindow(target)) return TypeAgainStop::WindowClosed;
    if (::GetForegroundWindow() != target) return TypeAgainStop::NotInFront;
    return TypeAgainStop::NoFocus;
}

}  // namespace

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
    std::optional<TypingJob> last = std::move(inHand_);
    inHand_.reset();
    std::deque<Batch> dropped = std::move(batches_);
    batches_.clear();
    lock.unlock();
    HandOverKeyTurn();
    if (last && !last->taken) Settle(*last, false);
    for (Batch& batch : dropped) {
        for (TypingJob& job : batch.jobs) {
            ShapeJob(job);
            records::TypedAgain(job.sequence, {}, 0, KeysInAll(job));
        }
        (void)::PostMessageA(batch.reportTo, TypeAgainDoneMessage, MAKEWPARAM(0, batch.jobs.size()),
                             static_cast<LPARAM>(TypeAgainStop::ProgramEnding));
    }
}

// Waits for work; false when the thread is to end.
bool Typist::NextWork(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (ending_ && (!inHand_ || EndReached())) return false;
        if (!batches_.empty() || (inHand_ && !inHandWaits_)) return true;
        if (inHand_) {
            changed_.wait_for(lock, std::chrono::milliseconds(TargetRecheckMs));
            inHandWaits_ = false;  // a paused barcode looks at the window in front again
        } else if (TheKeyTurn().HeldByTypist()) {
            // Keys are still on their way: the next barcode, if it comes at
            // once, follows them; otherwise they are read and the turn goes.
            changed_.wait_for(lock, std::chrono::milliseconds(TargetRecheckMs));
            if (batches_.empty() && !inHand_) {
                lock.unlock();
                HandOverKeyTurn();
                lock.lock();
            }
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
    if (!window && records::TakenByTypeAgain(inHand_->sequence)) return inHand_->taken = true, false;
    return batches_.empty() || (window && window == batches_.front().target);
}

void Typist::TypeInHand(std::unique_lock<std::mutex>& lock) {
    TypingJob& job = *inHand_;
    lock.unlock();
    const bool typed = ContinueTyping(job, [this] { return KeepWaitingInHand(); });
    if (!job.window) giveUpStarted_ = false;  // not begun: a give-up concerns only a begun barcode
    const bool givenUp = !typed && job.window && (giveUpStarted_ || EndReached() || !::IsWindow(job.window));
    if (typed || givenUp) {
        giveUpStarted_ = false;
        Settle(job, typed);  // on disk, outside the lock that Type Again takes
        if (typed) AfterBarcode(job, [this] { return !giveUpStarted_ && !EndReached(); });
    }
    lock.lock();
    if (typed || givenUp || job.taken) {
        // Taken by Type Again before its first key: its record is Type Again's now.
        inHand_.reset();
        awaited_ = nullptr;
        changed_.notify_all();
    } else {
        inHandWaits_ = true;  // a batch may go first; then this one looks again
    }
}

void Typist::Settle(const TypingJob& job, bool typed) {
    records::Ended(job.sequence, job.windowTitle, typed ? KeysInAll(job) : KeysTyped(job), KeysInAll(job));
    if (!typed) return;
    ++Link.Typed;
    Link.NoteTyped(job.windowTitle);
}

void Typist::RunBatch(Batch& batch) {
    size_t typed = 0;
    TypeAgainStop stop = TypeAgainStop::None;
    const std::string title = ObserveWindow(batch.target).title;
    size_t skipped = 0;
    for (TypingJob& job : batch.jobs) {
        job.window = batch.target;
        job.windowTitle = title;
        job.again = true;
        // The rules in force at the click shape it here, off the user's thread.
        ShapedBarcode shaped;
        ShapeJob(job, &shaped);
        if (shaped.skipped) {
            records::Skipped(job.sequence, *shaped.skippedBy);
            ++skipped;
            continue;
        }
        if (stop == TypeAgainStop::None && EndReached()) stop = TypeAgainStop::ProgramEnding;
        if (stop == TypeAgainStop::None && !ContinueTyping(job, [this] { return !EndReached(); }, TypeAgainPatienceMs))
            stop = EndReached() ? TypeAgainStop::ProgramEnding : StopReason(batch.target);
        // Each barcode's record hears how far it got, those never begun too.
        const bool whole = stop == TypeAgainStop::None;
        records::TypedAgain(job.sequence, title, whole ? KeysInAll(job) : KeysTyped(job), KeysInAll(job),
                            ChangedTypedText(job.barcode.bytes, job.barcode.length, job.format.strip, job.units));
        typed += whole;
        if (whole) AfterBarcode(job, [this] { return !EndReached(); });
    }
    if (stop == TypeAgainStop::None && skipped > 0) stop = TypeAgainStop::SkippedByRule;
    (void)::PostMessageA(batch.reportTo, TypeAgainDoneMessage, MAKEWPARAM(typed, batch.jobs.size()),
                         static_cast<LPARAM>(stop));
}

bool Typist::Type(TypingJob job, const std::function<bool()>& keepRunning) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Only one fetched barcode is ever in hand: the caller waited for the
    // last. Should one still be there, or the program be ending, this one is
    // listed, never dropped unseen.
    if (inHand_ || !EnsureRunning()) {
        lock.unlock();
        ShapeJob(job);
        records::Ended(job.sequence, {}, 0, KeysInAll(job));
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

#include "delivery/PollingThread.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "config/Application.h"
#include "delivery/Poller.h"
#include "delivery/ScannerLink.h"
#include "delivery/Typist.h"
#include "sdk/VantuSdk.h"

win::WorkerThread PollingWorker;
LinkState Link;

namespace {

// Long enough for the previous thread to finish the barcode it is typing.
constexpr DWORD PreviousThreadWaitMs = 3000;

// Each start takes a new generation; a thread runs only while its own is the
// newest, so an older thread stops although the run flag was set again.
std::atomic<uint32_t> NewestGeneration{0};
std::mutex StartMutex;  // activation may run on the retry thread as well

enum LeaseState : int {
    Polling,     // the thread may be inside an SDK call on the connection
    Ended,       // the thread makes no more calls: whoever stops it closes
    CloseOnEnd,  // the stopper gave up waiting: the thread closes as it ends
};

// One polling thread's hold on its connection, shared by the thread and its starter.
struct PollingLease {
    Application* app;
    uint32_t generation;
    vantu::Handle connection;
    ActivationCause cause;
    std::atomic<int> state{Polling};
};

// The newest thread's lease; guarded by StartMutex.
std::shared_ptr<PollingLease> NewestLease;

void EndLease(PollingLease& lease) {
    int expected = Polling;
    if (!lease.state.compare_exchange_strong(expected, Ended)) (void)vantu::VantuClose(lease.connection);
}

DWORD WINAPI PollingThreadMain(void* parameter) {
    const std::unique_ptr<std::shared_ptr<PollingLease>> owned(static_cast<std::shared_ptr<PollingLease>*>(parameter));
    PollingLease& lease = **owned;
    Application& app = *lease.app;
    const uint32_t generation = lease.generation;
    Link.Waiting = -1;  // not counted yet
    Link.PolledBy = generation;
    try {
        // A thread whose stopper gave up waiting (it closes as it ends) stops
        // whatever the run flag says.
        PollBarcodes(app, lease.connection, lease.cause, [&lease, generation] {
            return PollingWorker.ShouldRun() && NewestGeneration.load() == generation &&
                   lease.state.load() == Polling;
        });
    } catch (...) {
        // Nothing to report to: the thread ends and the barcodes stay on the scanner.
    }
    // A newer thread has the link already: its state stays.
    uint32_t mine = generation;
    if (Link.PolledBy.compare_exchange_strong(mine, 0)) {
        Link.Lost = false;
        Link.Held = false;
    }
    EndLease(lease);
    return 0;
}

// The polling thread may be sending this thread a message while we wait for the lock.
std::unique_lock<std::mutex> LockHandlingSentMessages(std::mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    while (!lock.owns_lock()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        win::HandleSentMessages();
        (void)lock.try_lock();
    }
    return lock;
}

}  // namespace

bool StartPollingThread(vantu::Handle connection, ActivationCause cause) {
    // An activation that finishes after the exit began starts nothing.
    if (!SoleTypist.Accepting()) return false;
    const auto lock = LockHandlingSentMessages(StartMutex);
    const uint32_t generation = NewestGeneration.fetch_add(1) + 1;
    if (!PollingWorker.Join(PreviousThreadWaitMs)) return false;

    auto lease = std::make_shared<PollingLease>();
    lease->app = &App;
    lease->generation = generation;
    lease->connection = connection;
    lease->cause = cause;
    auto ticket = std::make_unique<std::shared_ptr<PollingLease>>(lease);
    // The run flag is set for a thread that starts, and for no other.
    if (!PollingWorker.Start(PollingThreadMain, ticket.get())) return false;
    (void)ticket.release();  // the thread owns it now
    NewestLease = std::move(lease);
    return true;
}

bool HandCloseToPollingThread(vantu::Handle connection) {
    const auto lock = LockHandlingSentMessages(StartMutex);
    if (!NewestLease || NewestLease->connection != connection) return false;
    int expected = Polling;
    return NewestLease->state.compare_exchange_strong(expected, CloseOnEnd);
}

#include "delivery/PollingThread.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "config/Application.h"
#include "delivery/Poller.h"

namespace {

// Long enough for the previous thread to finish the barcode it is typing.
constexpr DWORD PreviousThreadWaitMs = 3000;

// Each start takes a new generation; a thread runs only while its own is the
// newest, so an older thread stops although PollingThreadRun was set to 1 again.
std::atomic<uint32_t> NewestGeneration{0};
std::mutex StartMutex;  // activation may run on the retry thread as well

struct PollingTicket {
    Application* app;
    uint32_t generation;
};

DWORD WINAPI PollingThreadMain(void* parameter) {
    const std::unique_ptr<PollingTicket> ticket(static_cast<PollingTicket*>(parameter));
    Application& app = *ticket->app;
    const uint32_t generation = ticket->generation;
    try {
        PollBarcodes(app, [&app, generation] {
            return app.PollingThreadRun.load() != 0 && NewestGeneration.load() == generation;
        });
    } catch (...) {
        // Nothing to report to: the thread ends and the barcodes stay on the scanner.
    }
    return 0;
}

void HandleSentMessages() {
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// The polling thread may be sending this thread a message while we wait for the lock.
std::unique_lock<std::mutex> LockHandlingSentMessages(std::mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    while (!lock.owns_lock()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        HandleSentMessages();
        (void)lock.try_lock();
    }
    return lock;
}

}  // namespace

bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs) {
    if (!thread) return true;
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        HandleSentMessages();
    }
}

bool StartPollingThread() {
    const auto lock = LockHandlingSentMessages(StartMutex);
    const uint32_t generation = NewestGeneration.fetch_add(1) + 1;
    if (!WaitForThreadEnd(App.PollingThread.get(), PreviousThreadWaitMs)) return false;

    auto ticket = std::make_unique<PollingTicket>(PollingTicket{&App, generation});
    const HANDLE thread = ::CreateThread(nullptr, 0, PollingThreadMain, ticket.get(), 0, nullptr);
    if (!thread) return false;
    (void)ticket.release();  // the thread owns it now
    App.PollingThread.reset(thread);
    return true;
}

// The owner of one worker thread: its handle and id, the run flag the worker
// reads, and a bounded join that keeps handling messages sent to the joining
// thread's windows, so a worker that is sending one of them a message cannot
// deadlock the join. Start and join from one thread (the user-interface
// thread, or the thread that starts the polling thread under its lock). The
// run flag is set only for a thread that starts, and cleared by whoever asks
// it to stop (the worker itself, too, when its work is done).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "win/Scoped.h"

namespace win {

// Handles the messages other threads are sending to the calling thread.
void HandleSentMessages();

// Waits at most timeoutMs (INFINITE allowed) for a thread to end while still
// handling messages sent to the calling thread's windows. True when the
// thread has ended (or there is none).
bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs);

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Sets the run flag and starts routine(parameter); the new thread
    // replaces the one kept before (which must have ended). False, with the
    // flag cleared and the old one kept, when no thread could be made.
    bool Start(LPTHREAD_START_ROUTINE routine, void* parameter);
    // The worker keeps going while this holds.
    bool ShouldRun() const { return run_.load() != 0; }
    // For a call the worker makes that checks the flag itself.
    const std::atomic<int32_t>* RunFlag() const { return &run_; }
    // Asks the worker to stop.
    void RequestStop() { run_ = 0; }
    // Asks, then joins.
    bool Stop(DWORD maxWaitMs) {
        RequestStop();
        return Join(maxWaitMs);
    }
    // True once the thread has ended (or none was started) within maxWaitMs.
    bool Join(DWORD maxWaitMs) const { return WaitForThreadEnd(handle_.get(), maxWaitMs); }
    // Forgets an ended thread.
    void reset() {
        handle_.reset();
        id_ = 0;
    }

    HANDLE get() const { return handle_.get(); }
    DWORD Id() const { return id_; }
    explicit operator bool() const { return static_cast<bool>(handle_); }

private:
    std::atomic<int32_t> run_{0};
    UniqueHandle handle_;
    std::atomic<DWORD> id_{0};
};

}  // namespace win

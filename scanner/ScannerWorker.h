// The scanner worker: the one thread that makes the SDK calls the user asks
// for (searches, configuration, activation, deactivation, clearing stored
// barcodes, the SDK's version) and the shutdown's close. The user-interface
// thread hands it a command and goes on; a command reports back only by
// posting to a window, and the window shows the report on its own thread.
// Commands run one at a time, in the order they were handed over.
//
// Threads: Post, Busy and End are called by the user-interface thread; the
// commands run on the worker.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "win/WorkerThread.h"

class ScannerWorker {
public:
    using Command = std::function<void()>;

    ScannerWorker() = default;
    ScannerWorker(const ScannerWorker&) = delete;
    ScannerWorker& operator=(const ScannerWorker&) = delete;

    // Queues a command (the thread starts with the first one). False once the
    // worker has been told to end.
    bool Post(Command command);
    // A command runs or waits.
    bool Busy() const { return pending_.load() > 0; }
    // The shutdown: drops the commands still waiting, queues `last` and ends
    // after it (Join waits for that).
    void End(Command last);
    // Waits at most ms for a thread already told to end.
    bool Join(DWORD ms) const { return thread_.Join(ms); }

private:
    static DWORD WINAPI Main(void* self);
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Command> commands_;
    bool ending_ = false;
    std::atomic<int> pending_{0};
    win::WorkerThread thread_;
};

// The program's one scanner worker.
extern ScannerWorker ScannerCommands;

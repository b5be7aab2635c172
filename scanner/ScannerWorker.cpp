#include "scanner/ScannerWorker.h"

#include "win/Shielded.h"

ScannerWorker ScannerCommands;

bool ScannerWorker::Post(Command command) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ending_) return false;
    if (!thread_ && !thread_.Start(Main, this)) return false;
    ++pending_;
    commands_.push_back(std::move(command));
    changed_.notify_all();
    return true;
}

void ScannerWorker::End(Command last) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ending_) return;
    ending_ = true;
    pending_ -= static_cast<int>(commands_.size());
    commands_.clear();
    if (!thread_ && !thread_.Start(Main, this)) return;
    ++pending_;
    commands_.push_back(std::move(last));
    changed_.notify_all();
}

DWORD WINAPI ScannerWorker::Main(void* self) {
    win::Shielded([self] { static_cast<ScannerWorker*>(self)->Run(); });
    return 0;
}

void ScannerWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !commands_.empty(); });
        Command command = std::move(commands_.front());
        commands_.pop_front();
        lock.unlock();
        try {
            command();
        } catch (...) {
            // Nothing may leave the thread; the command simply ends.
        }
        lock.lock();
        --pending_;
        if (ending_ && commands_.empty()) return;
    }
}

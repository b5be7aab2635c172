// Starting and stopping the real programs from a test, as another process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// Folder of the running test program: build/bin, where every binary lands.
std::string BinDir();
std::string BinPath(const std::string& file);

// Quotes one argument for a Windows command line.
std::string QuoteArgument(const std::string& arg);

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // standard output and standard error together
};

// Runs a program to its end (bounded by timeoutMs) and collects its output.
RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     DWORD timeoutMs = 30000);

// A started program, ended (if still running) when this object goes away.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::string& exe, const std::vector<std::string>& args,
                 const std::string& workingDir = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_; }
    // Waits for the end; returns the exit code, or nullopt-like 0xFFFFFFFF on timeout.
    DWORD Wait(DWORD timeoutMs);
    bool Running() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The resident private memory (RssAnon, KiB) of the running Wine process
// whose command line names exePath, read from /proc through drive Z:; -1
// when there is none. (Wine leaves PrivateUsage at 0.)
long ResidentPrivateKiB(const std::string& exePath);

// Polls pred every 20 ms until it holds or timeoutMs passes.
template <typename Pred>
bool WaitUntil(Pred pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (::GetTickCount() - start >= timeoutMs) return pred();
        ::Sleep(20);
    }
}

}  // namespace testsupport

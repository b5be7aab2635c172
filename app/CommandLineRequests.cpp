#include "app/CommandLineRequests.h"

#include "app/Shell.h"
#include "delivery/ScannerLink.h"
#include "res/Messages.h"
#include "scanner/ScannerState.h"
#include "win/Scoped.h"

namespace {

// The running copy may still be starting (its mutex made, its window not yet).
constexpr DWORD FindWindowMs = 10000;
constexpr DWORD AnswerMs = 10000;
// As long as the removal gives a copy to end in order.
constexpr DWORD EndMs = 20000;

HWND FindRunningWindow(const char* windowClass, const char* windowTitle) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND window = ::FindWindowA(windowClass, windowTitle)) return window;
        if (::GetTickCount() - start >= FindWindowMs) return nullptr;
        ::Sleep(50);
    }
}

bool ScannerConnected() { return Link.PolledBy.load() != 0 && Scanner.Polled() && !Link.Lost.load(); }

}  // namespace

int SendCommandToRunningCopy(cmdline::Command command, const char* windowClass, const char* windowTitle) {
    const HWND running = FindRunningWindow(windowClass, windowTitle);
    if (!running) return cmdline::NoAnswer;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(running, &processId);
    const win::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(running, CommandLineMessage, static_cast<WPARAM>(command), 0, SMTO_ABORTIFHUNG,
                               AnswerMs, &answer))
        return cmdline::NoAnswer;
    if (command != cmdline::Command::Exit) return static_cast<int>(answer);
    if (!process) return cmdline::NoAnswer;
    return ::WaitForSingleObject(process.get(), EndMs) == WAIT_OBJECT_0 ? cmdline::Ended : cmdline::NoAnswer;
}

LRESULT AnswerCommandLine(WPARAM command, void (*setPaused)(bool)) {
    switch (static_cast<cmdline::Command>(command)) {
    case cmdline::Command::Pause:
        setPaused(true);
        break;
    case cmdline::Command::Resume:
        setPaused(false);
        break;
    case cmdline::Command::Exit:
        (void)::PostMessageA(MainWindow, WM_CLOSE, 0, 0);
        break;
    case cmdline::Command::Status:
    case cmdline::Command::None:
    case cmdline::Command::Logon:
        break;
    }
    return cmdline::StateCode(ScannerConnected(), Link.Paused.load());
}

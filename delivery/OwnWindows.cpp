#include "delivery/OwnWindows.h"

#include <atomic>

namespace {

// Recursive: "Type Again" types on the thread that also owns our windows.
std::recursive_mutex KeyTurnMutex;
// When the last announcement was made (GetTickCount, never 0); 0 when none waits.
std::atomic<DWORD> OwnWindowAnnouncedAt{0};
// The thread that owns our windows and announces them. Its own keys ("Type
// Again") cannot meet one of its windows on the way: it does one or the other.
std::atomic<DWORD> AnnouncingThread{0};

LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_ACTIVATE) AnnounceOwnWindow();
    return ::CallNextHookEx(nullptr, code, window, details);
}

}  // namespace

std::unique_lock<std::recursive_mutex> TakeKeyTurn() { return std::unique_lock(KeyTurnMutex); }

void AnnounceOwnWindow() {
    const auto turn = TakeKeyTurn();
    AnnouncingThread = ::GetCurrentThreadId();
    OwnWindowAnnouncedAt = ::GetTickCount() | 1;
}

void BringOwnWindowForward(HWND window) {
    AnnounceOwnWindow();
    ::SetForegroundWindow(window);
}

bool OwnWindowComing(bool oursInFront) {
    DWORD at = OwnWindowAnnouncedAt.load();
    if (at == 0 || ::GetCurrentThreadId() == AnnouncingThread.load()) return false;
    if (!oursInFront && ::GetTickCount() - at < OwnWindowPatienceMs) return true;
    OwnWindowAnnouncedAt.compare_exchange_strong(at, 0);
    return false;
}

OwnWindowWatch::OwnWindowWatch()
    : hook_(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId())) {}

OwnWindowWatch::~OwnWindowWatch() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
}

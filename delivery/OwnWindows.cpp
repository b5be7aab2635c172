#include "delivery/OwnWindows.h"

#include <atomic>

namespace {

// Recursive: "Type Again" types on the thread that also owns our windows.
std::recursive_mutex KeyTurnMutex;
// When the last announcement was made (GetTickCount, never 0); 0 when none waits.
std::atomic<DWORD> OwnWindowAnnouncedAt{0};

LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_ACTIVATE) AnnounceOwnWindow();
    return ::CallNextHookEx(nullptr, code, window, details);
}

}  // namespace

std::unique_lock<std::recursive_mutex> TakeKeyTurn() { return std::unique_lock(KeyTurnMutex); }

void AnnounceOwnWindow() {
    const auto turn = TakeKeyTurn();
    OwnWindowAnnouncedAt = ::GetTickCount() | 1;
}

void BringOwnWindowForward(HWND window) {
    AnnounceOwnWindow();
    ::SetForegroundWindow(window);
}

bool OwnWindowComing(bool oursInFront) {
    DWORD at = OwnWindowAnnouncedAt.load();
    if (at == 0) return false;
    if (!oursInFront && ::GetTickCount() - at < OwnWindowPatienceMs) return true;
    OwnWindowAnnouncedAt.compare_exchange_strong(at, 0);
    return false;
}

OwnWindowWatch::OwnWindowWatch()
    : hook_(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId())) {}

OwnWindowWatch::~OwnWindowWatch() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
}

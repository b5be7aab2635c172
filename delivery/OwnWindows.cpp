#include "delivery/OwnWindows.h"

#include <atomic>

namespace {

std::mutex KeyTurnMutex;
// Announcements waiting for the turn: the typist lets them have it before
// its next key (the mutex itself is not fair, and the typist would take it
// again key after key while our window waits).
std::atomic<int> AnnouncementsWaiting{0};
// When the last announcement was made (GetTickCount, never 0); 0 when none waits.
std::atomic<DWORD> OwnWindowAnnouncedAt{0};
// When a window of ours last found a key on its way (GetTickCount, never 0);
// the typist lets it go first while it asks again.
std::atomic<DWORD> OwnWindowWantedAt{0};
thread_local int QuietDepth = 0;

bool OwnWindowWanted() {
    const DWORD at = OwnWindowWantedAt.load();
    return at != 0 && ::GetTickCount() - at < OwnWindowWantedMs;
}

LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_ACTIVATE && QuietDepth == 0) AnnounceOwnWindow();
    return ::CallNextHookEx(nullptr, code, window, details);
}

}  // namespace

void KeyTurn::Take() {
    while (AnnouncementsWaiting.load() > 0 || OwnWindowWanted()) ::Sleep(1);
    lock_ = std::unique_lock(KeyTurnMutex);
}

void KeyTurn::Release() {
    if (lock_.owns_lock()) lock_.unlock();
}

void AnnounceOwnWindow() {
    ++AnnouncementsWaiting;
    {
        const std::lock_guard<std::mutex> turn(KeyTurnMutex);
        OwnWindowAnnouncedAt = ::GetTickCount() | 1;
    }
    --AnnouncementsWaiting;
}

bool TryAnnounceOwnWindow() {
    const std::unique_lock<std::mutex> turn(KeyTurnMutex, std::try_to_lock);
    if (!turn.owns_lock()) {
        OwnWindowWantedAt = ::GetTickCount() | 1;
        return false;
    }
    OwnWindowAnnouncedAt = ::GetTickCount() | 1;
    OwnWindowWantedAt = 0;
    return true;
}

void BringOwnWindowForward(HWND window) {
    AnnounceOwnWindow();
    ::SetForegroundWindow(window);
}

void ForgetOwnWindowAnnouncement() { OwnWindowAnnouncedAt = 0; }

QuietActivations::QuietActivations() { ++QuietDepth; }
QuietActivations::~QuietActivations() { --QuietDepth; }

bool OwnWindowComing(bool oursInFront) {
    DWORD at = OwnWindowAnnouncedAt.load();
    if (at == 0) return false;
    if (!oursInFront && ::GetTickCount() - at < OwnWindowPatienceMs) return true;
    OwnWindowAnnouncedAt.compare_exchange_strong(at, 0);
    return false;
}

OwnWindowWatch::OwnWindowWatch()
    : hook_(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId())) {}

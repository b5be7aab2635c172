#include "delivery/OwnWindows.h"

#include <atomic>

namespace {

std::mutex KeyTurnMutex;
// When the last announcement was made (GetTickCount, never 0); 0 when none waits.
std::atomic<DWORD> OwnWindowAnnouncedAt{0};
// A window of ours whose activation was put off while a key was on its way,
// and the window that makes it again once the key has gone.
std::atomic<HWND> PutOffActivation{nullptr};
std::atomic<HWND> Messenger{nullptr};
constexpr UINT ActivateAgainMessage = WM_APP + 30;
constexpr char MessengerClass[] = "BrontelVaskOwnWindowWatch";
thread_local int QuietDepth = 0;

// The key has gone: a put-off activation is made now, on the thread that
// owns the window (the hook sees it again).
void MakePutOffActivation() {
    const HWND window = PutOffActivation.exchange(nullptr);
    const HWND messenger = Messenger.load();
    if (window && messenger) (void)::PostMessageA(messenger, ActivateAgainMessage, reinterpret_cast<WPARAM>(window), 0);
}

LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_ACTIVATE && QuietDepth == 0 && !AnnounceOwnWindow()) {
        PutOffActivation = reinterpret_cast<HWND>(window);
        // The key may have gone between the look and now: nothing would make it again.
        if (KeyTurnMutex.try_lock()) {
            KeyTurnMutex.unlock();
            MakePutOffActivation();
        }
        return 1;  // not now
    }
    return ::CallNextHookEx(nullptr, code, window, details);
}

LRESULT CALLBACK MessengerProc(HWND messenger, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ActivateAgainMessage) {
        const auto window = reinterpret_cast<HWND>(wParam);
        if (::IsWindow(window) && ::IsWindowVisible(window)) ::SetForegroundWindow(window);
        return 0;
    }
    return ::DefWindowProcA(messenger, message, wParam, lParam);
}

}  // namespace

void KeyTurn::Take() { lock_ = std::unique_lock(KeyTurnMutex); }

void KeyTurn::Release() {
    if (!lock_.owns_lock()) return;
    lock_.unlock();
    MakePutOffActivation();
}

bool AnnounceOwnWindow() {
    OwnWindowAnnouncedAt = ::GetTickCount() | 1;
    if (!KeyTurnMutex.try_lock()) return false;
    KeyTurnMutex.unlock();
    return true;
}

void BringOwnWindowForward(HWND window) {
    if (AnnounceOwnWindow())
        ::SetForegroundWindow(window);
    else
        PutOffActivation = window;  // made once the key has gone
}

QuietActivations::QuietActivations() { ++QuietDepth; }
QuietActivations::~QuietActivations() { --QuietDepth; }

bool OwnWindowComing(bool oursInFront) {
    DWORD at = OwnWindowAnnouncedAt.load();
    if (at == 0) return false;
    if (!oursInFront && ::GetTickCount() - at < OwnWindowPatienceMs) return true;
    OwnWindowAnnouncedAt.compare_exchange_strong(at, 0);
    return false;
}

OwnWindowWatch::OwnWindowWatch() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = MessengerProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = MessengerClass;
    (void)::RegisterClassA(&wc);
    messenger_.reset(
        ::CreateWindowA(MessengerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
    Messenger = messenger_.get();
    hook_.reset(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId()));
}

OwnWindowWatch::~OwnWindowWatch() { Messenger = nullptr; }

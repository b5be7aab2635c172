#include "delivery/OwnWindows.h"

#include <atomic>

#include "delivery/KeyStamp.h"

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

// An activation the program did not ask for (a click on our window, another
// program's SetForegroundWindow) is under way already: by now the window that
// had the keys has lost them, and waiting here would only hold our window up.
// The typist sends no key from now on, and a key already on its way that
// lands in our window is handed back (BeforeMessage).
LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_ACTIVATE && QuietDepth == 0) OwnWindowAnnouncedAt = ::GetTickCount() | 1;
    return ::CallNextHookEx(nullptr, code, window, details);
}

// The lowest unit handed back, with its tag: (tag << 16) | (unit + 1); 0: none.
std::atomic<uint32_t> HandedBack{0};
std::atomic<uint32_t> CheckpointsSeen{0};

bool IsModifierOrLock(WPARAM key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           (key >= VK_LSHIFT && key <= VK_RMENU);
}

void NoteHandedBack(const MSG& message, uintptr_t stamp) {
    const uint16_t tag = TagOfKey(stamp), unit = UnitOfKey(stamp);
    if (unit == CheckpointUnit) {
        ++CheckpointsSeen;
        return;
    }
    // A key's press is what types it; its release and the modifiers around it type nothing.
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) || IsModifierOrLock(message.wParam))
        return;
    const uint32_t mine = (static_cast<uint32_t>(tag) << 16) | (unit + 1u);
    uint32_t seen = HandedBack.load();
    while ((seen == 0 || (seen >> 16) != tag || (seen & 0xFFFF) > (mine & 0xFFFF)) &&
           !HandedBack.compare_exchange_weak(seen, mine)) {
    }
}

// A key press or release as the keyboard (or SendInput) makes it. The
// extra information belongs to these alone: a character posted by
// TranslateMessage or by another program would show what the last of them
// carried.
bool IsKeyEvent(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

// Every message our windows' thread takes passes here first: a key of the
// typist's becomes a message nobody acts on, and goes back to the typist.
LRESULT CALLBACK BeforeMessage(int code, WPARAM removal, LPARAM message) {
    if (code == HC_ACTION) {
        MSG& taken = *reinterpret_cast<MSG*>(message);
        const auto stamp = static_cast<uintptr_t>(::GetMessageExtraInfo());
        if (IsKeyEvent(taken.message) && IsOurKey(stamp)) {
            if (removal == PM_REMOVE) NoteHandedBack(taken, stamp);
            taken.message = WM_NULL;
        }
    }
    return ::CallNextHookEx(nullptr, code, removal, message);
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
    : activations_(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId())),
      messages_(::SetWindowsHookExA(WH_GETMESSAGE, BeforeMessage, nullptr, ::GetCurrentThreadId())) {}

std::optional<uint16_t> TakeHandedBackKey(uint16_t tag) {
    uint32_t seen = HandedBack.load();
    while (seen != 0 && (seen >> 16) == tag % KeyTags) {
        if (HandedBack.compare_exchange_weak(seen, 0)) return static_cast<uint16_t>((seen & 0xFFFF) - 1);
    }
    return std::nullopt;
}

bool AwaitHandBacks(uint16_t tag, DWORD ms) {
    const uint32_t before = CheckpointsSeen.load();
    constexpr BYTE NoKey = 0xFF;  // a key-up of no key: it types nothing wherever it lands
    ::keybd_event(NoKey, 0, KEYEVENTF_KEYUP, KeyStamp(tag, CheckpointUnit));
    const DWORD start = ::GetTickCount();
    while (CheckpointsSeen.load() == before) {
        if (::GetTickCount() - start >= ms) return false;
        ::Sleep(5);
    }
    return true;
}

#include "delivery/OwnWindows.h"

#include <atomic>
#include <utility>

#include "delivery/KeyStamp.h"
#include "delivery/KeyTurn.h"
#include "win/Shielded.h"

namespace {

thread_local int QuietDepth = 0;

// An activation the program did not ask for (another program's
// SetForegroundWindow, a box) is under way already: by now the window that
// had the keys has lost them, and waiting here would only hold our window
// up. The typist sends no key from now on, and a key already on its way that
// lands in our window is handed back (BeforeMessage).
LRESULT CALLBACK BeforeActivation(int code, WPARAM window, LPARAM details) {
    win::Shielded([&] {
        if (code == HCBT_ACTIVATE && QuietDepth == 0) TheKeyTurn().NoteActivation();
    });
    return ::CallNextHookEx(nullptr, code, window, details);
}

// A window of ours to bring forward once the keys on their way have been
// read (one clicked, or one the program brings forward), and the timer that
// asks for the turn again. Our windows' thread only.
HWND WindowToComeForward = nullptr;
UINT_PTR ComeForwardTimer = 0;
constexpr UINT AskAgainEveryMs = 10;

void CALLBACK BringWaitingWindowForward(HWND, UINT, UINT_PTR, DWORD) {
    win::Shielded([] {
        if (::IsWindow(WindowToComeForward) && !TheKeyTurn().TryAnnounce()) return;
        ::KillTimer(nullptr, std::exchange(ComeForwardTimer, 0));
        if (::IsWindow(WindowToComeForward)) ::SetForegroundWindow(WindowToComeForward);
        WindowToComeForward = nullptr;
    });
}

void BringForwardOnceRead(HWND window) {
    WindowToComeForward = window;
    if (!ComeForwardTimer) ComeForwardTimer = ::SetTimer(nullptr, 0, AskAgainEveryMs, BringWaitingWindowForward);
}

bool IsButtonPress(WPARAM message) {
    switch (message) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_XBUTTONDOWN:
    case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN: case WM_NCXBUTTONDOWN:
        return true;
    default:
        return false;
    }
}

bool OursInFront() {
    return ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr) == ::GetCurrentThreadId();
}

// A press of a mouse button on a window of ours that another program's
// window is in front of would bring ours forward there and then, with keys
// of ours perhaps still unread by that program. While keys are on their way
// the press is taken out, and our window comes forward as soon as they have
// been read (a matter of milliseconds): the press itself only brings it
// forward, as a click on a busy window would.
bool PutOffPress(int code, WPARAM message, LPARAM details) {
    if (code < 0 || !IsButtonPress(message) || OursInFront()) return false;
    const HWND clicked = ::GetAncestor(reinterpret_cast<const MOUSEHOOKSTRUCT*>(details)->hwnd, GA_ROOT);
    if (!clicked || TheKeyTurn().TryAnnounce()) return false;
    BringForwardOnceRead(clicked);
    return true;
}

LRESULT CALLBACK BeforeMouse(int code, WPARAM message, LPARAM details) {
    if (win::Shielded([&] { return PutOffPress(code, message, details); }, [] { return false; })) return 1;
    return ::CallNextHookEx(nullptr, code, message, details);
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
    win::Shielded([&] {
        if (code != HC_ACTION) return;
        MSG& taken = *reinterpret_cast<MSG*>(message);
        const auto stamp = static_cast<uintptr_t>(::GetMessageExtraInfo());
        if (IsKeyEvent(taken.message) && IsOurKey(stamp)) {
            if (removal == PM_REMOVE) NoteHandedBack(taken, stamp);
            taken.message = WM_NULL;
        }
    });
    return ::CallNextHookEx(nullptr, code, removal, message);
}

}  // namespace

bool TryAnnounceOwnWindow() { return TheKeyTurn().TryAnnounce(); }

void BringOwnWindowForward(HWND window) {
    if (TheKeyTurn().TryAnnounce())
        ::SetForegroundWindow(window);
    else
        BringForwardOnceRead(window);
}

void ForgetOwnWindowAnnouncement() { TheKeyTurn().Forget(); }

QuietActivations::QuietActivations() { ++QuietDepth; }
QuietActivations::~QuietActivations() { --QuietDepth; }

OwnWindowWatch::OwnWindowWatch()
    : activations_(::SetWindowsHookExA(WH_CBT, BeforeActivation, nullptr, ::GetCurrentThreadId())),
      clicks_(::SetWindowsHookExA(WH_MOUSE, BeforeMouse, nullptr, ::GetCurrentThreadId())),
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

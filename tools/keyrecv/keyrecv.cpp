// keyrecv.exe LOGFILE [--fields N | --key-codes]: a window that takes the keyboard focus
// and records, in order, every key and character message it receives, one
// line per message appended to LOGFILE (see KeyRecord.h for the line). The
// first line is "# ready hwnd=XXXXXXXX pid=N". Writes go straight to the
// file, so a reader sees each message as soon as it has been handled.
// WM_CLOSE ends it; posting KeyReceiverTakeFocusMessage brings it forward
// with the focus. The window also shows the tail of the characters received.
//
// With --fields N (1 to 9) the window is a form instead, as a business
// program's dialog is: N edit fields (control ids KeyReceiverFirstField
// onwards) where Tab moves the focus to the next field, the last back to
// the first, and selects its text, as a dialog does. The keys and
// characters sent to the fields are recorded too; each field's text is read
// with WM_GETTEXT.
//
// With --key-codes it reads key codes as a console, a remote-desktop client
// or a terminal emulator does: only key presses of the keyboard layout make
// characters; Unicode character events (VK_PACKET) are dropped.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tools/keyrecv/KeyRecord.h"
#include "win/Scoped.h"

namespace {

constexpr wchar_t ClassName[] = L"VaskKeyReceiver";  // KeyReceiverClassName
win::UniqueFile Log;
std::wstring Shown;  // tail of the received characters, for the eye
constexpr size_t ShownLimit = 400;

void WriteLine(const std::string& line) {
    const std::string withEnd = line + "\n";
    DWORD written = 0;
    (void)::WriteFile(Log.get(), withEnd.data(), static_cast<DWORD>(withEnd.size()), &written, nullptr);
}

bool Pressed(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }

std::optional<KeyMessage> RecordedMessage(UINT message) {
    switch (message) {
    case WM_KEYDOWN: return KeyMessage::KeyDown;
    case WM_KEYUP: return KeyMessage::KeyUp;
    case WM_SYSKEYDOWN: return KeyMessage::SysKeyDown;
    case WM_SYSKEYUP: return KeyMessage::SysKeyUp;
    case WM_CHAR: return KeyMessage::Char;
    case WM_SYSCHAR: return KeyMessage::SysChar;
    default: return std::nullopt;
    }
}

KeyRecord Describe(KeyMessage kind, WPARAM wParam, LPARAM lParam) {
    const bool isChar = kind == KeyMessage::Char || kind == KeyMessage::SysChar;
    KeyRecord r;
    r.message = kind;
    r.virtualKey = isChar ? 0 : static_cast<uint8_t>(wParam);
    r.character = isChar ? static_cast<uint16_t>(wParam) : 0;
    r.scanCode = static_cast<uint8_t>((lParam >> 16) & 0xFF);
    r.extended = ((lParam >> 24) & 1) != 0;
    r.shift = Pressed(VK_SHIFT);
    r.ctrl = Pressed(VK_CONTROL);
    r.alt = Pressed(VK_MENU);
    r.capsLock = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    return r;
}

// The text is repainted at most every RepaintMs: painting after every
// character would make the receiver's speed depend on how the input is paced.
constexpr UINT_PTR RepaintTimer = 1;
constexpr UINT RepaintMs = 100;
bool ShownChanged = false;

void ShowCharacter(wchar_t c) {
    Shown += c < 0x20 ? L'\x00B7' : c;  // control characters as a middle dot
    if (Shown.size() > ShownLimit) Shown.erase(0, Shown.size() - ShownLimit);
    ShownChanged = true;
}

void RepaintIfChanged(HWND window) {
    if (!ShownChanged) return;
    ShownChanged = false;
    ::InvalidateRect(window, nullptr, TRUE);
}

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    RECT area;
    ::GetClientRect(window, &area);
    ::InflateRect(&area, -8, -8);
    ::DrawTextW(dc, Shown.c_str(), static_cast<int>(Shown.size()), &area, DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    ::EndPaint(window, &ps);
}

bool RefusingFocus = false;
DWORD MsPerKeyMessage = 0;

// The form's fields (none without --fields) and the one that had the focus
// last, which gets it back when the window does, as in a dialog.
int FieldCount = 0;
HWND LastField = nullptr;

void TakeFocus(HWND window) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
    ::SetFocus(LastField ? LastField : window);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (std::optional<KeyMessage> kind = RecordedMessage(message)) {
        WriteLine(FormatKeyRecord(Describe(*kind, wParam, lParam)));
        if (*kind == KeyMessage::Char) ShowCharacter(static_cast<wchar_t>(wParam));
        if (MsPerKeyMessage) ::Sleep(MsPerKeyMessage);
        // System keys are not passed on: Alt alone would open the window menu
        // and swallow the keys that follow.
        return 0;
    }
    switch (message) {
    case KeyReceiverTakeFocusMessage: TakeFocus(window); return 0;
    case KeyReceiverRefuseFocusMessage:
        RefusingFocus = wParam != 0;
        ::SetFocus(RefusingFocus ? nullptr : window);
        return 0;
    case KeyReceiverReadSlowlyMessage: MsPerKeyMessage = static_cast<DWORD>(wParam); return 0;
    case WM_SETFOCUS:
        // Activation gives the window the focus (Wine does so itself): let go of it at once,
        // or hand it on to the field that had it.
        if (RefusingFocus) ::SetFocus(nullptr);
        else if (LastField) ::SetFocus(LastField);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_SETFOCUS) LastField = reinterpret_cast<HWND>(lParam);
        return 0;
    case WM_PAINT: Paint(window); return 0;
    case WM_TIMER: RepaintIfChanged(window); return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

HWND CreateReceiverWindow(HINSTANCE instance) {
    // A Unicode window: WM_CHAR then carries the UTF-16 unit itself, not its
    // conversion to the ANSI code page.
    WNDCLASSW wc{};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = ClassName;
    if (!::RegisterClassW(&wc)) return nullptr;
    return ::CreateWindowExW(0, ClassName, L"Vask Key Receiver", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             120, 120, 640, 320, nullptr, nullptr, instance, nullptr);
}

bool CreateFields(HWND window, HINSTANCE instance) {
    const HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < FieldCount; ++i) {
        const HWND field = ::CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 12, 12 + 32 * i, 600,
            24, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(KeyReceiverFirstField + i)), instance, nullptr);
        if (!field) return false;
        ::SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (i == 0) LastField = field;
    }
    return true;
}

// A key or character message for one of the fields, recorded as the
// window's own are.
void RecordFieldMessage(HWND window, const MSG& msg) {
    if (msg.hwnd == window || !::IsChild(window, msg.hwnd)) return;
    if (std::optional<KeyMessage> kind = RecordedMessage(msg.message))
        WriteLine(FormatKeyRecord(Describe(*kind, msg.wParam, msg.lParam)));
}

bool OpenLog(const char* path) {
    Log = win::UniqueFile(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!Log) return false;
    ::SetFilePointer(Log.get(), 0, nullptr, FILE_END);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !OpenLog(argv[1])) return 2;
    const bool keyCodesOnly = argc == 3 && std::string(argv[2]) == "--key-codes";
    if (argc == 4 && std::string(argv[2]) == "--fields") FieldCount = std::atoi(argv[3]);
    if (argc != 2 && !keyCodesOnly && (FieldCount < 1 || FieldCount > 9)) return 2;
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HWND window = CreateReceiverWindow(instance);
    if (!window || !CreateFields(window, instance)) return 3;
    ::SetTimer(window, RepaintTimer, RepaintMs, nullptr);
    TakeFocus(window);
    char ready[64];
    std::snprintf(ready, sizeof ready, "# ready hwnd=%08lX pid=%lu",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
                  static_cast<unsigned long>(::GetCurrentProcessId()));
    WriteLine(ready);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (FieldCount) {
            RecordFieldMessage(window, msg);
            if (::IsDialogMessageW(window, &msg)) continue;  // Tab moves between the fields
        }
        const bool packet = (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_PACKET;
        if (!(keyCodesOnly && packet)) ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

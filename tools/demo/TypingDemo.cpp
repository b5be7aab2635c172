// vask-typing-demo.exe [--exit-after MS]: opens a window with a multi-line
// edit box and types a few sample barcodes into it through KeySender with the
// default format settings (barcode, then Enter), as the polling thread does.
// Prints what was typed and what arrived; exit code 0 when they agree.
//
// Threads: the user-interface thread owns the window and its message loop;
// one typing thread (TypingThread) types the samples, then posts
// TypingDoneMessage. The window closes a moment after that, or at the
// --exit-after deadline; closing sets the thread's stop flag and joins it.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "config/FormatSettings.h"
#include "delivery/KeySender.h"

namespace {

const char* const Samples[] = {"4006381333931", "ABC-12345", "9780201379624", "Vask 2.1"};
constexpr UINT TypingDoneMessage = WM_APP + 1;
constexpr UINT_PTR DeadlineTimer = 1, AfterTypingTimer = 2;
constexpr DWORD PauseBetweenBarcodesMs = 600;
constexpr int EditId = 100;

class TypingThread {
public:
    explicit TypingThread(HWND notify) : notify_(notify), thread_([this] { Run(); }) {}
    ~TypingThread() {
        stop_ = true;
        thread_.join();
    }
    TypingThread(const TypingThread&) = delete;
    TypingThread& operator=(const TypingThread&) = delete;

private:
    void Run() {
        try {
            TypeSamples();
        } catch (...) {
        }
        ::PostMessageA(notify_, TypingDoneMessage, 0, 0);
    }

    void TypeSamples() {
        const FormatSettings format;  // defaults: no prefix, Enter after
        const KeySender keys;
        ::Sleep(PauseBetweenBarcodesMs);
        for (const char* barcode : Samples) {
            if (stop_) return;
            keys.TypeToken(format.PrefixChar, format.PrefixCharCtrl);
            keys.TypeBarcode(reinterpret_cast<const uint8_t*>(barcode), std::strlen(barcode), format.strip, 0);
            keys.TypeToken(format.SuffixFirstChar, format.SuffixFirstCharCtrl);
            keys.TypeToken(format.SuffixSecondChar, format.SuffixSecondCharCtrl);
            ::Sleep(PauseBetweenBarcodesMs);
        }
    }

    HWND notify_;
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: starts after the members it uses
};

struct Demo {
    HWND edit = nullptr;
    std::string arrived;
};
Demo TheDemo;

std::string ExpectedText() {
    std::string text;
    for (const char* barcode : Samples) text += std::string(barcode) + "\r\n";
    return text;
}

std::string Visible(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\r') continue;
        shown += c == '\n' ? std::string(" | ") : std::string(1, c);
    }
    return shown;
}

void Finish(HWND window) {
    char text[4096] = {};
    ::GetWindowTextA(TheDemo.edit, text, sizeof text);
    TheDemo.arrived = text;
    ::DestroyWindow(window);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        ::MoveWindow(TheDemo.edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        ::SetFocus(TheDemo.edit);
        return 0;
    case TypingDoneMessage:
        ::SetTimer(window, AfterTypingTimer, 500, nullptr);
        return 0;
    case WM_TIMER:
        Finish(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

HWND CreateDemoWindow(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DemoProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VaskTypingDemo";
    if (!::RegisterClassA(&wc)) return nullptr;
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, "Brontel Vask typing demo",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 160, 160, 520, 300, nullptr, nullptr,
                                    instance, nullptr);
    if (!window) return nullptr;
    TheDemo.edit = ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                         ES_WANTRETURN,
                                     0, 0, 0, 0, window, reinterpret_cast<HMENU>(EditId), instance, nullptr);
    ::SendMessageA(TheDemo.edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    RECT client;
    ::GetClientRect(window, &client);
    ::MoveWindow(TheDemo.edit, 0, 0, client.right, client.bottom, TRUE);
    return window;
}

DWORD ExitAfterMs(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--exit-after") == 0) return static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    return 15000;
}

}  // namespace

int main(int argc, char** argv) {
    HWND window = CreateDemoWindow(::GetModuleHandleA(nullptr));
    if (!window) {
        std::printf("could not create the demo window\n");
        return 2;
    }
    ::SetForegroundWindow(window);
    ::SetFocus(TheDemo.edit);
    ::SetTimer(window, DeadlineTimer, ExitAfterMs(argc, argv), nullptr);

    std::printf("Typing %zu sample barcodes into the demo window, each followed by Enter...\n",
                sizeof Samples / sizeof *Samples);
    {
        TypingThread typist(window);
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    const std::string expected = ExpectedText();
    std::printf("typed:   %s\narrived: %s\n", Visible(expected).c_str(), Visible(TheDemo.arrived).c_str());
    const bool same = TheDemo.arrived == expected;
    std::printf("%s\n", same ? "all keystrokes arrived" : "the text that arrived differs");
    return same ? 0 : 1;
}

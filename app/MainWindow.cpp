#include "app/MainWindow.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "app/CommandLineRequests.h"
#include "app/PutOffCommands.h"
#include "app/RecentBarcodesWindow.h"
#include "app/Shutdown.h"
#include "app/SettingsSheet.h"
#include "app/Shell.h"
#include "app/TrayStatus.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "delivery/OwnWindows.h"
#include "delivery/PollingThread.h"
#include "delivery/ScannerLink.h"
#include "delivery/Typist.h"
#include "delivery/WindowInFront.h"
#include "pages/PageProtocol.h"
#include "res/resource.h"
#include "scanner/Activation.h"
#include "scanner/ScannerWorker.h"

HINSTANCE ModuleInstance = nullptr;
HWND MainWindow = nullptr;
win::UniqueHandle InstanceMutex;
char WindowClassName[100] = "";
char WindowTitle[100] = "";

namespace {

// The overlapped-window style with the minimised and maximised flags; the
// window is never shown.
constexpr DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_MINIMIZE | WS_MAXIMIZE;
static_assert(MainWindowStyle == 0x21CF0000);
constexpr char ExitQuestion[] = "Do you really wish to exit the program?";
constexpr char ExitCaption[] = "Confirm Exit";

// Set once the shutdown has begun: a second request, a second start's
// hand-over and the tray's commands are ignored from then on. User-interface
// thread only.
bool ShutdownBegun = false;

// Set while "Confirm Exit" waits for its answer, and while the tray menu is
// open. The tray and a second start's hand-over then open nothing (they bring
// the question forward): a window opened inside the question's or the menu's
// message loop would hold up the answer or the menu's command until that
// window closed. User-interface thread only.
bool ExitQuestionOpen = false;
bool TrayMenuOpen = false;

// The tray icon's look, tip and balloons. User-interface thread only.
TrayStatus TrayNow;
constexpr UINT_PTR TrayRefreshTimer = 2;

// "&Pause Typing": barcodes stay on the scanner until "Resume Ty&ping".
void SetPaused(bool pause) {
    Link.Paused = pause;
    if (!pause) Link.HeldAtStart = 0;
    TrayNow.Refresh();
}

void TogglePause() { SetPaused(!Link.Paused.load()); }

BOOL CALLBACK RaiseIfExitQuestion(HWND window, LPARAM) {
    char caption[32] = "";
    ::GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(caption, ExitCaption) != 0) return TRUE;
    BringOwnWindowForward(window);
    return FALSE;
}

void BringExitQuestionForward() { ::EnumThreadWindows(::GetCurrentThreadId(), RaiseIfExitQuestion, 0); }

// Sent by the shell to every top-level window when the taskbar (and with it
// the notification area) has been created again, e.g. after it crashed.
UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void BringSheetForward() {
    if (Sheet.Window) BringOwnWindowForward(Sheet.Window);
}

// "&About": a sheet on another page is replaced by one that opens on About.
void ShowAboutPage() {
    // Only an open sheet is destroyed: the handle of a closed one is stale.
    if (Sheet.Open && Sheet.Window && ::DestroyWindow(Sheet.Window)) Sheet.Open = false;
    Sheet.OpenAtAbout = true;
    OpenOrRaiseSheet();
}

bool BringsWindowForward(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) return Sheet.Open || ExitQuestionOpen;
    return mouseMessage == WM_LBUTTONDBLCLK || mouseMessage == WM_RBUTTONDOWN;
}

void OnTrayNotification(LPARAM mouseMessage) {
    if (ShutdownBegun || TrayMenuOpen) return;
    // A click on the balloon that says barcodes wait: typing resumes, into
    // the window in front, under the usual rules.
    if (mouseMessage == NIN_BALLOONUSERCLICK) {
        if (TrayNow.BalloonOffersResume() && Link.Paused.load()) TogglePause();
        return;
    }
    if (BringsWindowForward(mouseMessage) && !OwnWindowMayComeNow(TrayCallbackMessage, 0, mouseMessage)) return;
    if (ExitQuestionOpen) {
        if (mouseMessage == WM_LBUTTONDOWN || mouseMessage == WM_LBUTTONDBLCLK || mouseMessage == WM_RBUTTONDOWN)
            BringExitQuestionForward();
        return;
    }
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        BringSheetForward();
        break;
    case WM_LBUTTONDBLCLK:
        OpenOrRaiseSheet();
        break;
    case WM_RBUTTONDOWN: {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        // "Type Again" types into the window the user was working in.
        RememberWindowInFront(::GetForegroundWindow());
        if (!ShowTrayMenu(MainWindow, cursor))
            ::MessageBoxA(MainWindow, "Popup Menu is not loaded", "Error", MB_OK);
        break;
    }
    default:
        break;
    }
}

void EndProgram();

// Asks "Do you really wish to exit the program?" (No is the default button):
// true on Yes. False also when the question cannot show now (the shutdown
// has begun, it is up already, or it is put off until a key on its way to
// another program has gone; then it comes by itself).
bool AskToExit() {
    if (ShutdownBegun || ExitQuestionOpen) return false;
    // Put off while a key is on its way: asked again then, as the tray's Exit.
    if (!OwnWindowMayComeNow(WM_COMMAND, IDM_EXIT, 0)) return false;
    ExitQuestionOpen = true;
    const int answer = ::MessageBoxA(nullptr, ExitQuestion, ExitCaption, MB_YESNO | MB_DEFBUTTON2);
    ExitQuestionOpen = false;
    return answer == IDYES && !ShutdownBegun;
}

// The tray's Exit, and the sheet's: on Yes the program ends.
void AskAndExit() {
    if (AskToExit()) EndProgram();
}

// Returns false for commands left to default processing.
bool OnMenuCommand(WORD command) {
    if (ShutdownBegun || ExitQuestionOpen) return true;
    const bool opensWindow = command == IDM_OPEN || command == IDM_ABOUT || command == IDM_RECENT_BARCODES;
    if (opensWindow && !OwnWindowMayComeNow(WM_COMMAND, command, 0)) return true;
    switch (command) {
    case IDM_OPEN:
        OpenOrRaiseSheet();
        return true;
    case IDM_EXIT:
        AskAndExit();
        return true;
    case IDM_ABOUT:
        ShowAboutPage();
        return true;
    case IDM_RECENT_BARCODES:
        ShowRecentBarcodes();
        return true;
    case IDM_PAUSE_TYPING:
        TogglePause();
        return true;
    default:
        return false;
    }
}

// The only way out of the program, once: save the settings, close our
// windows, stop the threads within one bound, leave the tray, hand the
// single-instance mutex back. The waits handle messages sent to us, which
// the guard above turns away.
void ShutDown() {
    if (ShutdownBegun) return;
    ShutdownBegun = true;
    ForgetPutOffCommands();
    (void)::KillTimer(MainWindow, TrayRefreshTimer);
    SaveSettingsNow();
    CloseOwnWindows();
    StopThreads();
    TrayNow.Remove();
    if (InstanceMutex) ::ReleaseMutex(InstanceMutex.get());
}

// Exit, logoff, an installer's WM_CLOSE: the shutdown, then the end of the loop.
void EndProgram() {
    ShutDown();
    if (MainWindow && ::IsWindow(MainWindow)) ::DestroyWindow(MainWindow);
}

LRESULT HandleMainWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE;  // nothing to ask: the shutdown needs no answer from the user
    case WM_ENDSESSION:
        // Complete when this returns: the system may end the process any time after.
        if (wParam) EndProgram();
        return 0;
    case WM_CLOSE:
        EndProgram();
        return 0;
    case TrayCallbackMessage:
        OnTrayNotification(lParam);
        return 0;
    case CommandLineMessage:
        return ShutdownBegun ? 0 : AnswerCommandLine(wParam, SetPaused);
    case WM_TIMER:
        if (wParam == TrayRefreshTimer) {
            if (!ShutdownBegun) TrayNow.Refresh();
            return 0;
        }
        if (wParam != RetryPutOffTimer) break;
        RetryPutOffCommands();
        return 0;
    case WM_COMMAND:
        if (OnMenuCommand(LOWORD(wParam))) return 0;
        break;
    case WM_DESTROY:
        ShutDown();
        ::PostQuitMessage(0);
        return 0;
    default:
        if (message == TaskbarCreatedMessage() && message != 0) {
            (void)TrayNow.Add(window);
            return 0;
        }
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_VASK));
    wc.hIconSm = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_VASK));
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = WindowClassName;
    return ::RegisterClassExA(&wc);
}

BOOL CreateMainWindow(HINSTANCE instance) {
    ModuleInstance = instance;
    MainWindow = ::CreateWindowExA(0, WindowClassName, WindowTitle, MainWindowStyle, CW_USEDEFAULT, 0,
                                   CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (!MainWindow) return FALSE;
    (void)::SetTimer(MainWindow, TrayRefreshTimer, TrayStatus::RefreshEveryMs, nullptr);
    return TrayNow.Add(MainWindow);
}

BOOL ShowTrayMenu(HWND window, POINT point) {
    win::UniqueMenu menu(::LoadMenuA(ModuleInstance, MAKEINTRESOURCEA(IDR_TRAYMENU)));
    if (!menu) return FALSE;
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    if (!popup) return FALSE;
    // Open, bold, is what a double click on the icon does.
    (void)::SetMenuDefaultItem(popup, IDM_OPEN, FALSE);
    // While paused the item offers to resume, as the paused balloon says.
    char resume[64] = "";
    if (Link.Paused.load() && ::LoadStringA(ModuleInstance, IDS_RESUME_TYPING, resume, sizeof resume) > 0)
        (void)::ModifyMenuA(popup, IDM_PAUSE_TYPING, MF_BYCOMMAND | MF_STRING, IDM_PAUSE_TYPING, resume);
    const HWND before = ::GetForegroundWindow();
    // A popup menu closes when the user clicks elsewhere only if its owner is
    // the foreground window; a tray program has no window in front, so it
    // must bring its (hidden) window forward first.
    BringOwnWindowForward(window);
    TrayMenuOpen = true;
    const auto command = static_cast<WORD>(
        ::TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, point.x, point.y, 0, window, nullptr));
    TrayMenuOpen = false;
    // Lets the menu close properly when it is opened again right away.
    ::PostMessageA(window, WM_NULL, 0, 0);
    if (command != 0) (void)::PostMessageA(window, WM_COMMAND, command, 0);
    // Closed without a choice, or with one that opens no window: the window
    // the user was working in comes back, rather than our hidden one holding
    // the keys (resumed barcodes go into it).
    const bool opensNothing = command == 0 || command == IDM_PAUSE_TYPING;
    if (opensNothing && before && before != window && ::IsWindow(before) && ::GetForegroundWindow() == window)
        (void)::SetForegroundWindow(before);
    return TRUE;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMainWindowMessage(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may leave a window procedure; the program goes on.
        return 0;
    }
}

void OpenOrRaiseSheet() {
    if (Sheet.Open)
        BringSheetForward();
    else
        ShowSettingsSheet();
}

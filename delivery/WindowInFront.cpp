#include "delivery/WindowInFront.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "config/UserOptions.h"
#include "delivery/AllowedPrograms.h"
#include "win/Scoped.h"
#include "win/Token.h"
#include "win/WinText.h"

namespace {

constexpr int TitleBufferSize = 50;  // titles are compared with short fixed names

std::atomic<IntegrityProbe> CurrentIntegrityProbe{nullptr};

// Read without sending the window a message: the settings window belongs to
// the user-interface thread, which may be busy.
std::string ShortTitle(HWND window) {
    wchar_t wide[TitleBufferSize] = {};
    const int length = window ? ::InternalGetWindowText(window, wide, TitleBufferSize) : 0;
    if (length <= 0) return {};
    return win::WideToAnsi(std::wstring(wide, static_cast<size_t>(length)));
}

std::optional<uint32_t> ProcessIntegrityLevel(HANDLE process) {
    win::UniqueHandle token;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.put())) return std::nullopt;
    const std::vector<BYTE> buffer = win::TokenInformation(token.get(), TokenIntegrityLevel);
    if (buffer.size() < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (!sid || !::IsValidSid(sid)) return std::nullopt;
    const UCHAR parts = *::GetSidSubAuthorityCount(sid);
    if (parts == 0) return std::nullopt;
    return *::GetSidSubAuthority(sid, parts - 1);
}

std::optional<uint32_t> OwnIntegrityLevel() {
    static const std::optional<uint32_t> level = ProcessIntegrityLevel(::GetCurrentProcess());
    return level;
}

std::optional<uint32_t> WindowIntegrityLevel(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return std::nullopt;
    if (processId == ::GetCurrentProcessId()) return OwnIntegrityLevel();
    // Limited query is granted across integrity levels; a refusal means a
    // process of another account or the system.
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    return ProcessIntegrityLevel(process.get());
}

bool IntegrityOutranksUs(HWND window) {
    const IntegrityProbe probe = CurrentIntegrityProbe.load();
    return probe ? probe(window) : WindowOutranksUs(window);
}

// The shell's own windows: the desktop, the taskbar and the notification
// area, and any other window of the shell's process without a title (Wine's
// virtual desktop is such a window). A titled window of that process (a
// folder window) is an ordinary program's.
bool IsShellWindow(HWND window, DWORD processId, const std::string& title) {
    if (window == ::GetDesktopWindow() || window == ::GetShellWindow()) return true;
    char className[32] = {};
    ::GetClassNameA(window, className, sizeof className);
    const std::string name = className;
    if (name == "Shell_TrayWnd" || name == "Shell_SecondaryTrayWnd" || name == "Progman" || name == "WorkerW")
        return true;
    DWORD shellProcess = 0;
    if (HWND shell = ::GetShellWindow()) ::GetWindowThreadProcessId(shell, &shellProcess);
    if (!shellProcess)
        if (HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr)) ::GetWindowThreadProcessId(tray, &shellProcess);
    return shellProcess != 0 && processId == shellProcess && title.empty();
}

}  // namespace

FrontWindow LookAtFront() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    // The foreground thread's active window is the window in front.
    if (!::GetGUIThreadInfo(0, &info)) return {::GetForegroundWindow(), false};
    return {info.hwndActive, info.hwndFocus != nullptr};
}

bool WindowOutranksUs(HWND window) {
    return OutranksUs(WindowIntegrityLevel(window), OwnIntegrityLevel());
}

TypingTarget CheckTypingTarget(HWND window) {
    if (!window || !::IsWindow(window)) return TypingTarget::Gone;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == ::GetCurrentProcessId()) return TypingTarget::Ours;
    if (IsShellWindow(window, processId, ShortTitle(window))) return TypingTarget::Shell;
    if (IntegrityOutranksUs(window)) return TypingTarget::HigherIntegrity;
    return WindowBarred(window) ? TypingTarget::Barred : TypingTarget::Fine;
}

std::string WindowProgram(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return {};
    const win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
    return std::string(ProgramFileName(win::WideToUtf8(std::wstring(path, size))));
}

HWND ProgramWindowBehind(HWND ours) {
    for (HWND window = ::GetWindow(ours, GW_HWNDNEXT); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER)) continue;
        const TypingTarget target = CheckTypingTarget(window);
        if (target != TypingTarget::Ours && target != TypingTarget::Shell && target != TypingTarget::Gone &&
            !ShortTitle(window).empty())
            return window;
    }
    return nullptr;
}

bool WindowBarred(HWND window) {
    const UserText allowed = ReadUserText(AllowedProgramsValue);
    return AnyProgramListed(allowed.text) && !ProgramAllowed(allowed.text, WindowProgram(window));
}

void SetIntegrityProbe(IntegrityProbe probe) { CurrentIntegrityProbe = probe; }

ForegroundView ObserveWindow(HWND foreground) {
    ForegroundView view;
    if (!foreground) return view;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(foreground, &processId);
    // Gone meanwhile: whose it was is unknown, so it counts as none.
    if (processId == 0) return view;
    view.exists = true;
    view.title = ShortTitle(foreground);
    view.ours = processId == ::GetCurrentProcessId();
    view.shell = !view.ours && IsShellWindow(foreground, processId, view.title);
    if (view.ours) {
        if (view.title == SettingsWindowTitle) view.firstChildTitle = ShortTitle(::GetWindow(foreground, GW_CHILD));
    } else {
        view.higherIntegrity = IntegrityOutranksUs(foreground);
        if (!view.shell) {
            const UserText allowed = ReadUserText(AllowedProgramsValue);
            if (AnyProgramListed(allowed.text)) {
                view.program = WindowProgram(foreground);
                view.barred = !ProgramAllowed(allowed.text, view.program);
            }
        }
    }
    return view;
}

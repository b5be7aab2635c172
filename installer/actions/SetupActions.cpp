// Custom actions of the installer package (vask-setup-actions.dll, carried in
// the package's Binary table, never installed). Both run in the uninstalling
// user's own context, before the files are removed.
#include <windows.h>

namespace {

// The hidden main window of a running VaskSW.exe (class, then title).
constexpr char MainWindowClass[] = "Brontel Vask";
constexpr char MainWindowTitle[] = "BrontelVask";
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char RunValue[] = "Brontel Vask";
// The program stops its worker threads (at most 400 ms) and saves its
// settings; the rest of the wait is room for a busy machine.
constexpr DWORD OrderlyEndMs = 20000;

}  // namespace

extern "C" {

// Ends a running VaskSW.exe the way its own Exit does: the main window is
// closed, and its destruction saves the settings, removes the tray icon and
// ends the message loop. Only a program that has not ended after the wait is
// terminated, so that the uninstall never stops half way.
UINT __stdcall CloseRunningProgram(ULONG_PTR /*installHandle*/) {
    HWND main = ::FindWindowA(MainWindowClass, MainWindowTitle);
    if (!main) return ERROR_SUCCESS;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(main, &processId);
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    if (!process) return ERROR_SUCCESS;
    if (::WaitForSingleObject(process, OrderlyEndMs) == WAIT_TIMEOUT) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 5000);
    }
    ::CloseHandle(process);
    return ERROR_SUCCESS;
}

// Deletes the uninstalling user's start-with-Windows value, after the
// program has ended (its shutdown writes the value when the box is ticked).
// Other users' values are out of reach of this user's uninstall.
UINT __stdcall RemoveRunValue(ULONG_PTR /*installHandle*/) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        ::RegDeleteValueA(key, RunValue);
        ::RegCloseKey(key);
    }
    return ERROR_SUCCESS;
}

}  // extern "C"

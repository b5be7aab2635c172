// Custom actions of the installer package (vask-setup-actions.dll, carried in
// the package's Binary table, never installed). See BrontelVask.wxs for when
// each runs; each writes its steps to the installation's log.
//   CloseRunningPrograms  deferred, in the system's context (no impersonation),
//                         before the files are removed: every VaskSW.exe of
//                         the install folder, in any session, is asked to
//                         close through the global close-request event
//   RemoveRunValue        commit, as the installing user: that user's
//                         start-with-Windows value, only once the removal
//                         has succeeded
//   NoteRunningProgram    immediate, before an upgrade removes the older
//                         version: is a copy running in the installing
//                         user's session?
//   StartProgramAgain     immediate, after the upgrade: starts that copy again
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <tlhelp32.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "app/CloseRequestWatch.h"
#include "config/RunKey.h"
#include "win/Scoped.h"
#include "win/Token.h"

namespace {

constexpr char ProgramName[] = "VaskSW.exe";
constexpr char RestartProperty[] = "VaskRestart";
// The program stops its worker threads (within its own shutdown bound) and saves its
// settings; the rest of the wait is room for a busy machine.
constexpr DWORD OrderlyEndMs = 20000;
constexpr DWORD ForcedEndMs = 5000;
// A program that has ended may hold its file a moment longer (a virus
// scanner, or Wine while it tears the process down): RemoveFiles, which
// follows at once, would then leave it for a restart.
constexpr DWORD FileReleaseMs = 5000;

struct MsiRecord {
    MSIHANDLE handle;
    explicit MsiRecord(UINT fields) : handle(::MsiCreateRecord(fields)) {}
    ~MsiRecord() { if (handle) ::MsiCloseHandle(handle); }
    MsiRecord(const MsiRecord&) = delete;
    MsiRecord& operator=(const MsiRecord&) = delete;
};

void Log(MSIHANDLE install, const std::string& text) {
    MsiRecord record(1);
    if (!record.handle) return;
    // Field 0 is a template: the text goes in field 1, unformatted.
    ::MsiRecordSetStringA(record.handle, 0, "Brontel Vask: [1]");
    ::MsiRecordSetStringA(record.handle, 1, text.c_str());
    (void)::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.handle);
}

std::string Property(MSIHANDLE install, const char* name) {
    DWORD size = 0;
    char none[1] = "";
    if (::MsiGetPropertyA(install, name, none, &size) != ERROR_MORE_DATA) return {};
    std::string value(++size, '\0');
    if (::MsiGetPropertyA(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return value;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct RunningCopy {
    DWORD id = 0;
    DWORD session = 0;
    win::UniqueHandle process;
};

// Every VaskSW.exe whose image lies directly in folder, in any session.
std::vector<RunningCopy> FindRunningCopies(std::string folder) {
    std::vector<RunningCopy> found;
    if (folder.empty()) return found;
    if (folder.back() != '\\') folder += '\\';
    const std::string expected = Lower(folder + ProgramName);
    win::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return found;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (Lower(entry.szExeFile) != Lower(ProgramName)) continue;
        RunningCopy copy;
        copy.id = entry.th32ProcessID;
        copy.process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         copy.id));
        if (!copy.process) continue;
        char image[MAX_PATH * 2] = {};
        DWORD size = sizeof image;
        if (!::QueryFullProcessImageNameA(copy.process.get(), 0, image, &size) || Lower(image) != expected) continue;
        (void)::ProcessIdToSessionId(copy.id, &copy.session);
        found.push_back(std::move(copy));
    }
    return found;
}

DWORD RemainingMs(DWORD start, DWORD total) {
    const DWORD spent = ::GetTickCount() - start;
    return spent >= total ? 0 : total - spent;
}

// Waits until the file could be deleted: no process maps it any longer.
bool WaitUntilFileFree(const std::string& path, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        win::UniqueFile file(::CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || ::GetLastError() != ERROR_SHARING_VIOLATION) return true;
        if (RemainingMs(start, timeoutMs) == 0) return false;
        ::Sleep(50);
    }
}

// Sets the close request of each user whose copies run, and the one event
// that copies of version 2.1 watch; returns the events set.
std::vector<win::UniqueHandle> SendCloseRequests(MSIHANDLE install, const std::vector<RunningCopy>& copies) {
    std::set<std::string> names{CloseRequestEventName};
    for (const RunningCopy& copy : copies)
        if (const std::string user = win::ProcessUserSidText(copy.process.get()); !user.empty())
            names.insert(CloseRequestEventNameFor(user));
    std::vector<win::UniqueHandle> set;
    for (const std::string& name : names) {
        win::UniqueHandle request(::OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str()));
        if (request && ::SetEvent(request.get()))
            set.push_back(std::move(request));
        else if (name != CloseRequestEventName)
            Log(install, "no close request could be sent to " + name + " (error " + std::to_string(::GetLastError()) + ")");
    }
    return set;
}

}  // namespace

extern "C" {

// CustomActionData: the install folder. Asks every running copy to close the
// way its own Exit does (settings saved, tray icon removed), waits up to 20 s
// for the copies of the install folder, and only then ends those left, so
// that the removal never stops half way and never needs a restart for them.
UINT __stdcall CloseRunningPrograms(MSIHANDLE install) {
    const std::string folder = Property(install, "CustomActionData");
    std::vector<RunningCopy> copies = FindRunningCopies(folder);
    Log(install, "found " + std::to_string(copies.size()) + " running " + ProgramName + " in " + folder);
    if (copies.empty()) return ERROR_SUCCESS;
    for (const RunningCopy& copy : copies)
        Log(install, "found process " + std::to_string(copy.id) + " in session " + std::to_string(copy.session));

    std::vector<win::UniqueHandle> requests = SendCloseRequests(install, copies);
    if (!requests.empty()) Log(install, "asked every copy to close");

    const DWORD start = ::GetTickCount();
    for (RunningCopy& copy : copies) {
        if (::WaitForSingleObject(copy.process.get(), RemainingMs(start, OrderlyEndMs)) == WAIT_OBJECT_0) {
            DWORD code = 0;
            (void)::GetExitCodeProcess(copy.process.get(), &code);
            Log(install, "closed in order: process " + std::to_string(copy.id) + ", exit code " + std::to_string(code));
            continue;
        }
        const bool ended = ::TerminateProcess(copy.process.get(), 1) &&
                           ::WaitForSingleObject(copy.process.get(), ForcedEndMs) == WAIT_OBJECT_0;
        Log(install, std::string(ended ? "ended by force" : "could not end") + ": process " + std::to_string(copy.id));
    }
    // A copy started later must not find the request still standing.
    for (const win::UniqueHandle& request : requests) (void)::ResetEvent(request.get());
    copies.clear();
    std::string program = folder;
    if (!program.empty() && program.back() != '\\') program += '\\';
    program += ProgramName;
    if (!WaitUntilFileFree(program, FileReleaseMs)) Log(install, program + " is still in use");
    return ERROR_SUCCESS;
}

// Deletes the installing user's start-with-Windows value. A commit action:
// it runs only when the removal has succeeded, after the program has ended
// (its shutdown writes the value when the box is ticked). Other users' values
// are out of reach of this user's removal.
UINT __stdcall RemoveRunValue(MSIHANDLE install) {
    win::UniqueKey key;
    LONG result = ::RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_SET_VALUE, key.put());
    if (result == ERROR_SUCCESS) result = ::RegDeleteValueA(key.get(), RunValueName);
    if (result == ERROR_SUCCESS)
        Log(install, "Run value removed");
    else
        Log(install, "no Run value removed (" + std::to_string(result) + ")");
    return ERROR_SUCCESS;
}

// Before an upgrade removes the older version: a copy of the install folder
// running in this session (the installing user's) is noted, to start again.
UINT __stdcall NoteRunningProgram(MSIHANDLE install) {
    DWORD session = 0;
    (void)::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    for (const RunningCopy& copy : FindRunningCopies(Property(install, "INSTALLDIR"))) {
        if (copy.session != session) continue;
        Log(install, "process " + std::to_string(copy.id) + " runs in this session: it starts again after the upgrade");
        (void)::MsiSetPropertyA(install, RestartProperty, "1");
        break;
    }
    return ERROR_SUCCESS;
}

UINT __stdcall StartProgramAgain(MSIHANDLE install) {
    const std::string folder = Property(install, "INSTALLDIR");
    std::string commandLine = "\"" + folder + ProgramName + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                         &started)) {
        Log(install, "started again: process " + std::to_string(started.dwProcessId));
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    } else {
        Log(install, "could not start " + commandLine + " again (error " + std::to_string(::GetLastError()) + ")");
    }
    return ERROR_SUCCESS;
}

}  // extern "C"

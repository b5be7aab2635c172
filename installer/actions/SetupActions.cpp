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
//   NoteRunningCopies     immediate, before an upgrade removes the older
//                         version or a removal closes the copies: the copies
//                         running, in any session, handed to the two below
//   StartClosedCopies     commit after an upgrade, and rollback of a removal
//                         that fails or is cancelled, in the system's
//                         context: starts each closed copy again in its own
//                         session as its own user
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
#include "installer/actions/StartInSession.h"
#include "win/Scoped.h"
#include "win/Token.h"

namespace {

constexpr char ProgramName[] = "VaskSW.exe";
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
    std::string user;  // the SID; empty when the process's token cannot be read
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
        copy.user = win::ProcessUserSidText(copy.process.get());
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
        if (!copy.user.empty()) names.insert(CloseRequestEventNameFor(copy.user));
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
        Log(install, "found process " + std::to_string(copy.id) + " in session " + std::to_string(copy.session) +
                         " of user " + (copy.user.empty() ? "(unknown)" : copy.user));

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
        Log(install, std::string(ended ? "ended by force" : "could not end") + ": process " + std::to_string(copy.id) +
                         " in session " + std::to_string(copy.session) + " of user " +
                         (copy.user.empty() ? "(unknown)" : copy.user) + ", with any barcode it held");
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

// Before an upgrade removes the older version, or a removal closes the
// copies: every copy of the install folder running now, in any session, is
// handed to the actions that start the closed copies again (after the
// upgrade; when the removal fails or is cancelled). Their CustomActionData is
// the property of their own name.
UINT __stdcall NoteRunningCopies(MSIHANDLE install) {
    const std::string folder = Property(install, "INSTALLDIR");
    std::vector<ClosedCopy> noted;
    for (const RunningCopy& copy : FindRunningCopies(folder)) {
        Log(install, "process " + std::to_string(copy.id) + " in session " + std::to_string(copy.session) +
                         " is closed by this installation and starts again after it or if it fails");
        noted.push_back({copy.session, copy.user});
    }
    if (noted.empty()) return ERROR_SUCCESS;
    const std::string data = ClosedCopiesData(noted, folder);
    (void)::MsiSetPropertyA(install, "StartClosedCopies", data.c_str());
    (void)::MsiSetPropertyA(install, "StartClosedCopiesOnRollback", data.c_str());
    return ERROR_SUCCESS;
}

// CustomActionData from NoteRunningCopies. In the system's context, so it
// reaches every session whoever runs msiexec.
UINT __stdcall StartClosedCopies(MSIHANDLE install) {
    std::vector<ClosedCopy> copies;
    std::string folder;
    if (!ReadClosedCopiesData(Property(install, "CustomActionData"), copies, folder)) return ERROR_SUCCESS;
    if (folder.back() != '\\') folder += '\\';
    // A copy that was never closed (an older version's removal that left it)
    // is not started twice: a second start would only open its settings.
    std::set<DWORD> running;
    for (const RunningCopy& copy : FindRunningCopies(folder)) running.insert(copy.session);
    std::set<std::pair<DWORD, std::string>> started;
    for (const ClosedCopy& copy : copies) {
        if (!started.emplace(copy.session, copy.user).second) continue;
        if (running.count(copy.session))
            Log(install, "a copy runs in session " + std::to_string(copy.session) + " already: not started again");
        else
            Log(install, StartInSession(copy, folder, ProgramName));
    }
    return ERROR_SUCCESS;
}

}  // extern "C"

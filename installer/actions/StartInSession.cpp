#include "installer/actions/StartInSession.h"

#include <userenv.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstdlib>

#include "win/Scoped.h"
#include "win/Token.h"

namespace {

// The interactive desktop of a session: never the desktop that the installer
// runs on (session 0's under SYSTEM, where nobody would see the program).
char InteractiveDesktop[] = "winsta0\\default";

std::string TokenUserSidText(HANDLE token) {
    const std::vector<BYTE> user = win::TokenInformation(token, TokenUser);
    if (user.empty()) return {};
    return win::SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

std::string Error(const char* what, DWORD code) { return std::string(what) + " (error " + std::to_string(code) + ")"; }

struct EnvironmentBlock {
    void* block = nullptr;
    explicit EnvironmentBlock(HANDLE token) {
        if (!::CreateEnvironmentBlock(&block, token, FALSE)) block = nullptr;
    }
    ~EnvironmentBlock() {
        if (block) ::DestroyEnvironmentBlock(block);
    }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
};

std::string Started(const PROCESS_INFORMATION& started, DWORD session, const char* how) {
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return "started again: process " + std::to_string(started.dwProcessId) + " in session " + std::to_string(session) +
           " " + how;
}

}  // namespace

std::string ClosedCopiesData(const std::vector<ClosedCopy>& copies, const std::string& folder) {
    std::string data;
    for (const ClosedCopy& copy : copies) {
        if (!data.empty()) data += ';';
        data += std::to_string(copy.session) + ' ' + copy.user;
    }
    return data + '|' + folder;
}

bool ReadClosedCopiesData(const std::string& data, std::vector<ClosedCopy>& copies, std::string& folder) {
    const size_t bar = data.find('|');
    if (bar == std::string::npos || bar + 1 == data.size()) return false;
    folder = data.substr(bar + 1);
    copies.clear();
    for (size_t start = 0; start < bar;) {
        const size_t end = std::min(data.find(';', start), bar);
        const std::string entry = data.substr(start, end - start);
        const size_t space = entry.find(' ');
        if (space == std::string::npos || space == 0) return false;
        char* digitsEnd = nullptr;
        const unsigned long session = std::strtoul(entry.c_str(), &digitsEnd, 10);
        if (digitsEnd != entry.c_str() + space) return false;
        copies.push_back({static_cast<DWORD>(session), entry.substr(space + 1)});
        start = end + 1;
    }
    return true;
}

std::string StartInSession(const ClosedCopy& copy, const std::string& folder, const char* program) {
    std::string commandLine = "\"" + folder + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = InteractiveDesktop;
    PROCESS_INFORMATION started{};

    HANDLE raw = nullptr;
    if (::WTSQueryUserToken(copy.session, &raw)) {
        const win::UniqueHandle token(raw);
        const std::string user = TokenUserSidText(token.get());
        if (!copy.user.empty() && user != copy.user)
            return "not started again in session " + std::to_string(copy.session) + ": it ran as " + copy.user +
                   ", the session's user is " + user + "; it starts at that user's next logon";
        const EnvironmentBlock environment(token.get());
        if (!::CreateProcessAsUserA(token.get(), nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                    environment.block ? CREATE_UNICODE_ENVIRONMENT : 0, environment.block,
                                    folder.c_str(), &startup, &started))
            return Error(("could not start " + commandLine + " again in session " + std::to_string(copy.session)).c_str(),
                         ::GetLastError());
        return Started(started, copy.session, ("as " + user).c_str());
    }

    // Only SYSTEM holds the right to another session's user token. Without
    // it, only a copy of the installer's own session can be started, as the
    // installer's user.
    const DWORD tokenError = ::GetLastError();
    DWORD ownSession = 0;
    (void)::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession);
    if (copy.session != ownSession)
        return Error(("no user token for session " + std::to_string(copy.session) +
                      "; the copy starts at its user's next logon").c_str(),
                     tokenError);
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &started))
        return Error(("could not start " + commandLine + " again").c_str(), ::GetLastError());
    return Started(started, copy.session, "as the installing user");
}

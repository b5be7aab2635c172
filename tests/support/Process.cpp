#include "tests/support/Process.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

namespace testsupport {

std::string BinDir() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

std::string BinPath(const std::string& file) { return BinDir() + "\\" + file; }

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') { ++backslashes; continue; }
        if (c == '"') quoted.append(backslashes * 2 + 1, '\\');
        else quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

static std::string CommandLine(const std::string& exe, const std::vector<std::string>& args) {
    std::string line = QuoteArgument(exe);
    for (const std::string& a : args) line += " " + QuoteArgument(a);
    return line;
}

// Appends whatever the pipe holds now, without waiting for more.
static void DrainPipe(HANDLE pipe, std::string& output) {
    char buffer[4096];
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) return;
        output.append(buffer, got);
    }
}

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args, DWORD timeoutMs) {
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::string line = CommandLine(exe, args);
    BOOL ok = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi);
    ::CloseHandle(writeEnd);
    if (!ok) { ::CloseHandle(readEnd); return result; }

    // Read while the program runs, and stop at its end rather than at the
    // pipe's end: a Wine service started by the program may inherit the pipe
    // and keep it open long after the program has gone.
    const DWORD start = ::GetTickCount();
    bool ended = false;
    for (;;) {
        ended = ::WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0;
        DrainPipe(readEnd, result.output);
        if (ended || ::GetTickCount() - start >= timeoutMs) break;
    }
    ::CloseHandle(readEnd);
    if (ended)
        ::GetExitCodeProcess(pi.hProcess, &result.exitCode);
    else
        ::TerminateProcess(pi.hProcess, 0xFFFFFFFF);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return result;
}

ChildProcess::ChildProcess(const std::string& exe, const std::vector<std::string>& args,
                           const std::string& workingDir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = CommandLine(exe, args);
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
        ::CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        id_ = pi.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    Kill();
    if (process_) ::CloseHandle(process_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        if (process_) ::CloseHandle(process_);
        process_ = std::exchange(other.process_, nullptr);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

DWORD ChildProcess::Wait(DWORD timeoutMs) {
    if (!process_) return 0xFFFFFFFF;
    if (::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

bool ChildProcess::Running() const {
    return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill() {
    if (Running()) {
        ::TerminateProcess(process_, 0xFFFFFFFF);
        ::WaitForSingleObject(process_, 5000);
    }
}

namespace {

// Lower case, forward slashes as backslashes, no drive: Z: is the Unix root.
std::string ComparablePath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (path.size() > 2 && path[1] == ':') path.erase(0, 2);
    return path;
}

std::string ProcStatusPathOf(const std::string& exePath) {
    const std::string wanted = ComparablePath(exePath);
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::string result;
    do {
        if (!std::isdigit(static_cast<unsigned char>(found.cFileName[0]))) continue;
        const std::string folder = std::string("Z:\\proc\\") + found.cFileName;
        FILE* file = std::fopen((folder + "\\cmdline").c_str(), "rb");
        if (!file) continue;
        char line[1024] = {};
        const size_t n = std::fread(line, 1, sizeof line - 1, file);
        std::fclose(file);
        if (ComparablePath(std::string(line, strnlen(line, n))).find(wanted) != std::string::npos)
            result = folder + "\\status";
    } while (result.empty() && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return result;
}

}  // namespace

long ResidentPrivateKiB(const std::string& exePath) {
    const std::string status = ProcStatusPathOf(exePath);
    FILE* file = status.empty() ? nullptr : std::fopen(status.c_str(), "r");
    if (!file) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "RssAnon: %ld", &kib) == 1) break;
    std::fclose(file);
    return kib;
}

}  // namespace testsupport

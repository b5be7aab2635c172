// The typing demo types its samples into its own edit box and reports what
// arrived; it must end by itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "win/Scoped.h"

namespace {

struct DemoRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs the demo with its output in a temporary file rather than a pipe: a
// Wine service started by the demo's first window could inherit a pipe and
// keep it open, so its end would never be seen. The wait is bounded.
DemoRun RunDemo(const std::vector<std::string>& args, DWORD timeoutMs = 30000) {
    DemoRun run;
    char dir[MAX_PATH] = {}, path[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    if (!::GetTempFileNameA(dir, "vdm", 0, path)) return run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    {
        win::UniqueFile out(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!out) return run;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = out.get();
        PROCESS_INFORMATION pi{};
        std::string line = testsupport::QuoteArgument(testsupport::BinPath("vask-typing-demo.exe"));
        for (const std::string& a : args) line += " " + testsupport::QuoteArgument(a);
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return run;
        win::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        if (::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(process.get(), &run.exitCode);
        else
            ::TerminateProcess(process.get(), 0xFFFFFFFF);
    }
    win::UniqueFile in(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (in && ::ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    in.reset();
    ::DeleteFileA(path);
    return run;
}

}  // namespace

TEST(TypingDemo, TypesItsSamplesIntoItsWindowAndEndsByItself) {
    const DemoRun run = RunDemo({});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("arrived: 4006381333931 | ABC-12345 | 9780201379624 | Vask 2.1 | "),
              std::string::npos)
        << run.output;
}

TEST(TypingDemo, StopsAtTheDeadlineAndReportsTheShortfall) {
    const DemoRun run = RunDemo({"--exit-after", "300"});
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("the text that arrived differs"), std::string::npos) << run.output;
}

// vask-sim.exe as a user meets it: exit codes and messages for bad input,
// the status lines, scan files, and names that must stay unique.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/sdk/SimDll.h"

#include <psapi.h>  // after windows.h

namespace sim = testsupport::sim;
using Args = std::vector<std::string>;

namespace {

class VaskSimTool : public SimTest {};

// Points this process and the vask-sim runs it starts at a folder of its own
// for as long as it lives.
class OwnSimulatorFolder {
public:
    OwnSimulatorFolder() {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vask-sim-tool-" + std::to_string(::GetCurrentProcessId());
        DWORD n = ::GetEnvironmentVariableA("VASK_SIM_DIR", previous_, MAX_PATH);
        hadPrevious_ = n > 0 && n < MAX_PATH;
        ::SetEnvironmentVariableA("VASK_SIM_DIR", folder_.c_str());
    }
    ~OwnSimulatorFolder() { ::SetEnvironmentVariableA("VASK_SIM_DIR", hadPrevious_ ? previous_ : nullptr); }
    std::string StateFile() const { return folder_ + "\\state.txt"; }

private:
    std::string folder_;
    char previous_[MAX_PATH] = {};
    bool hadPrevious_ = false;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The most private memory the process used while it ran, sampled.
SIZE_T PeakPrivateBytes(testsupport::ChildProcess& process, DWORD timeoutMs) {
    SIZE_T peak = 0;
    const DWORD start = ::GetTickCount();
    while (process.Running() && ::GetTickCount() - start < timeoutMs) {
        PROCESS_MEMORY_COUNTERS counters{};
        if (::GetProcessMemoryInfo(process.handle(), &counters, sizeof counters))
            peak = std::max({peak, counters.PagefileUsage, counters.PeakPagefileUsage});
        ::Sleep(2);
    }
    return peak;
}

}  // namespace

TEST_F(VaskSimTool, BadCommandLinesExitNonzeroWithAMessage) {
    ASSERT_TRUE(sim::AddSerial("s", "COM3", "ID"));
    const std::vector<Args> bad = {
        {},
        {"frobnicate"},
        {"add-serial", "x", "--port", "COM4"},
        {"add-serial", "x", "--port", "nonumber", "--device-id", "D"},
        {"add-serial", "x", "--port", "COM4", "--device-id", "D", "--baud-code", "fast"},
        {"add-bluetooth", "b", "--bt-name", "B", "--address", "00:11:22"},
        {"add-bluetooth", "b", "--bt-name", "B"},
        {"scan", "s"},
        {"scan", "s", "bad\\q"},
        {"scan", "s", "--hex", "0"},
        {"scan", "s", "x", "--repeat", "0"},
        {"fault", "s", "find", "1"},
        {"fault", "*", "open", "1"},
        {"fault", "s", "open", "0x1G"},
        {"fault", "*", "info:-1", "1"},
        {"transfer", "s", "many"},
        {"remove"},
        {"version", "x"},
    };
    for (const Args& args : bad) {
        testsupport::RunResult r = sim::Run(args);
        std::string line;
        for (const std::string& a : args) line += a + " ";
        EXPECT_EQ(r.exitCode, 2u) << line;
        EXPECT_NE(r.output.find("vask-sim: "), std::string::npos) << line << "-> " << r.output;
    }
}

TEST_F(VaskSimTool, CommandsOnMissingOrTakenScannersFailWithExitOne) {
    ASSERT_TRUE(sim::AddSerial("s", "\\\\.\\COM3", "ID"));
    ASSERT_TRUE(sim::AddBluetooth("b", "B", "00:11:22:33:44:55"));
    const std::vector<std::pair<Args, std::string>> failing = {
        {{"remove", "nobody"}, "no scanner named 'nobody'"},
        {{"plug", "nobody"}, "no scanner named"},
        {{"scan", "nobody", "x"}, "no scanner named"},
        {{"fault", "nobody", "open", "1"}, "no scanner named"},
        {{"status", "nobody"}, "no scanner named"},
        {{"add-serial", "s", "--port", "COM9", "--device-id", "D"}, "exists already"},
        {{"add-serial", "t", "--port", "com3", "--device-id", "D"}, "is taken"},
        {{"add-bluetooth", "c", "--bt-name", "C", "--address", "00:11:22:33:44:55"}, "is taken"},
        {{"scan-file", "s", "C:\\no\\such\\file.txt"}, "cannot read"},
    };
    for (const auto& [args, message] : failing) {
        testsupport::RunResult r = sim::Run(args);
        EXPECT_EQ(r.exitCode, 1u) << args[0];
        EXPECT_NE(r.output.find(message), std::string::npos) << args[0] << ": " << r.output;
    }
}

TEST_F(VaskSimTool, StatusShowsEachScannersTransportPlugAndCounts) {
    ASSERT_TRUE(sim::AddSerial("s", "COM3", "ID"));
    ASSERT_TRUE(sim::AddBluetooth("b", "B", "00:11:22:33:44:55"));
    ASSERT_TRUE(sim::Unplug("b"));
    ASSERT_TRUE(sim::Scan("b", {"x", "y"}, 3));
    testsupport::RunResult r = sim::Run({"status"});
    ASSERT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output,
              "s serial plugged stored=0 ready=0 delivered=0\r\n"
              "b bluetooth unplugged stored=6 ready=0 delivered=0\r\n");
    auto all = sim::StatusAll();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].stored, 6u);
    EXPECT_FALSE(all[1].plugged);
    ASSERT_TRUE(sim::Remove("b"));
    EXPECT_FALSE(sim::StatusOf("b"));
    EXPECT_EQ(sim::StatusAll().size(), 1u);
    ASSERT_TRUE(sim::Reset());
    EXPECT_TRUE(sim::StatusAll().empty());
}

TEST_F(VaskSimTool, ScanFileStoresOneBarcodePerLine) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    char folder[MAX_PATH], path[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    ::GetTempFileNameA(folder, "scn", 0, path);
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("first\r\nsecond\\tpart\n\nthird", f);
    std::fclose(f);
    testsupport::RunResult r = sim::Run({"scan-file", "s", path});
    ::DeleteFileA(path);
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Fetch(h).bytes, "first");
    EXPECT_EQ(Fetch(h).bytes, "second\tpart");
    EXPECT_EQ(Fetch(h).bytes, "third");
    EXPECT_NE(Fetch(h).result, 0u);
}

TEST_F(VaskSimTool, LargeBatchesGoThroughInOrder) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    std::vector<std::string> batch;
    for (int i = 0; i < 300; ++i) batch.push_back(std::to_string(i) + std::string(200, 'q'));
    ASSERT_TRUE(sim::Scan("s", batch));  // too long for one command line: a scan file
    ASSERT_EQ(Count(h), 300);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(Fetch(h).bytes, batch[i]) << i;
}

TEST_F(VaskSimTool, ADamagedStateFileIsReportedRefusedByTheDllAndRepairedByReset) {
    OwnSimulatorFolder own;
    AddConnectedSerial("s", 3);
    ASSERT_TRUE(sim::Scan("s", {"x"}));
    std::string state = ReadWhole(own.StateFile());
    const size_t at = state.find(" stored=1 ");
    ASSERT_NE(at, std::string::npos) << state;
    state.replace(at, 10, " stored=99999999999999999999 ");
    std::ofstream(own.StateFile(), std::ios::binary | std::ios::trunc) << state;

    // Every call answers a failure code; none lets the parse failure out.
    int16_t count = 0;
    vantu::Handle h = 0;
    EXPECT_NE(Dll().FindAllOnCOMPorts(1, 16, &count), 0u);
    EXPECT_NE(Open(h), 0u);
    EXPECT_NE(Dll().GetBarCodeCount(1, &count), 0u);
    (void)Dll().APIGetVersion();
    for (const Args& args : std::vector<Args>{{"status"}, {"scan", "s", "y"}, {"version"}}) {
        testsupport::RunResult r = sim::Run(args);
        EXPECT_EQ(r.exitCode, 1u) << args[0];
        EXPECT_NE(r.output.find("state file is damaged"), std::string::npos) << r.output;
    }
    ASSERT_TRUE(sim::Reset());
    EXPECT_TRUE(sim::StatusAll().empty());
    EXPECT_EQ(Dll().APIGetVersion(), 3);
}

TEST_F(VaskSimTool, RepeatedScansNeedNoMoreMemoryThanOne) {
    OwnSimulatorFolder own;
    ASSERT_TRUE(sim::Reset());
    ASSERT_TRUE(sim::AddSerial("s", "COM3", "ID"));
    // 20,000 copies of a 2,000-byte barcode: 40 MB of log.
    testsupport::ChildProcess scan(testsupport::BinPath("vask-sim.exe"),
                                   {"scan", "s", "--repeat", "20000", std::string(2000, 'b')});
    const SIZE_T peak = PeakPrivateBytes(scan, 120000);
    EXPECT_EQ(scan.Wait(5000), 0u);
    EXPECT_GT(peak, 0u);
    EXPECT_LT(peak, SIZE_T{16} << 20) << "peak private bytes " << peak;
    auto status = sim::StatusOf("s");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->stored, 20000u);
    ASSERT_TRUE(sim::Reset());
}

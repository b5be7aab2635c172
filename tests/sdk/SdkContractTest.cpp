// The simulated SDK as a referee: slow calls that hold nobody else up, and
// every misuse of a handle recorded for vask-sim status until a reset.
#include <atomic>
#include <functional>
#include <thread>

#include "tests/sdk/SimDll.h"

namespace sim = testsupport::sim;

namespace {

class SdkContract : public SimTest {};

DWORD MsSince(DWORD start) { return ::GetTickCount() - start; }

// A count query on another thread; the caller joins it.
std::thread CountMeanwhile(vantu::Handle handle) {
    return std::thread([handle] {
        int16_t n = 0;
        (void)Dll().GetBarCodeCount(handle, &n);
    });
}

bool AnyContains(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST_F(SdkContract, EachDelayedCallSleepsWithoutHoldingUpOtherCallsOrVaskSim) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    for (const char* call : {"open", "idmode", "download", "count", "fetch", "close"})
        ASSERT_TRUE(sim::Delay("s", call, 400));
    ASSERT_TRUE(sim::Scan("s", {"x"}));
    int16_t count = 0;
    uint8_t buffer[vantu::BarcodeBufferSize];
    uint16_t length = 0;
    const std::vector<std::pair<const char*, std::function<vantu::Result()>>> calls = {
        {"open", [&] { return Open(h); }},
        {"idmode", [&] { return Dll().SetBarCodeIDMode(h, 0); }},
        {"download", [&] { return Dll().RequestDownload(h); }},
        {"count", [&] { return Dll().GetBarCodeCount(h, &count); }},
        {"fetch", [&] { return Dll().GetBarCode(h, buffer, &length, nullptr); }},
        {"close", [&] { return Dll().Close(h); }},
    };
    for (const auto& [name, call] : calls) {
        const DWORD start = ::GetTickCount();
        (void)call();
        EXPECT_GE(MsSince(start), 390u) << name;
    }

    // A long count on one scanner: vask-sim and the calls on another
    // scanner's handle go on meanwhile.
    ASSERT_TRUE(sim::ClearFaults("s"));
    ASSERT_EQ(Open(h), 0u);
    const uint64_t slowed = sim::StatusOf("s").value_or(sim::Status{}).slowed;
    ASSERT_TRUE(sim::Delay("s", "count", 6000));
    std::atomic<bool> slowDone{false};
    std::thread slow([&] {
        int16_t n = 0;
        (void)Dll().GetBarCodeCount(h, &n);
        slowDone = true;
    });
    ASSERT_TRUE(sim::WaitForSlowCall("s", slowed));
    EXPECT_TRUE(sim::AddSerial("t", "COM4", "ID4"));
    EXPECT_TRUE(sim::StatusOf("s"));
    EXPECT_EQ(Dll().APIGetVersion(), 3);
    EXPECT_FALSE(slowDone) << "the other calls waited for the slow one";
    slow.join();
    EXPECT_TRUE(sim::NoBreaches());
}

TEST_F(SdkContract, MisusedHandlesAreRecordedShownAfterTheScannersAndClearedByReset) {
    AddConnectedSerial("s", 3);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    EXPECT_TRUE(sim::NoBreaches());

    // A close while a count runs on another thread, then the count finds its
    // handle closed.
    const auto slowed = [] { return sim::StatusOf("s").value_or(sim::Status{}).slowed; };
    uint64_t before = slowed();
    ASSERT_TRUE(sim::Delay("s", "count", 1500));
    std::thread counting = CountMeanwhile(h);
    ASSERT_TRUE(sim::WaitForSlowCall("s", before));
    EXPECT_EQ(Dll().Close(h), 0u);
    counting.join();
    // Calls on a closed and on a never-opened handle.
    vantu::Result r = 0;
    Count(h, &r);
    EXPECT_NE(Dll().Close(987654), 0u);

    // A count while a close runs, and two counts at once.
    ASSERT_TRUE(sim::ClearFaults("s"));
    vantu::Handle g = 0;
    ASSERT_EQ(Open(g), 0u);
    before = slowed();
    ASSERT_TRUE(sim::Delay("s", "count", 1500));
    std::thread first = CountMeanwhile(g);
    ASSERT_TRUE(sim::WaitForSlowCall("s", before));
    Count(g, &r);
    first.join();
    ASSERT_TRUE(sim::ClearFaults("s"));
    before = slowed();
    ASSERT_TRUE(sim::Delay("s", "close", 1500));
    std::thread closing([g] { (void)Dll().Close(g); });
    ASSERT_TRUE(sim::WaitForSlowCall("s", before));
    Count(g, &r);
    closing.join();
    opened_.clear();

    // A process that ends with its handle open (sdk-holder never closes).
    ASSERT_TRUE(sim::ClearFaults("s"));
    ASSERT_EQ(testsupport::RunProgram(testsupport::BinPath("sdk-holder.exe"), {"0", "NUL"}).exitCode, 0u);

    const std::vector<std::string> breaches = sim::Breaches();
    const std::string hs = std::to_string(h), gs = std::to_string(g);
    EXPECT_TRUE(AnyContains(breaches, "VantuClose on handle " + hs + " while VantuGetBarCodeCount of it runs"));
    EXPECT_TRUE(AnyContains(breaches, "VantuGetBarCodeCount on handle " + hs + ", which is closed"));
    EXPECT_TRUE(AnyContains(breaches, "VantuClose on handle 987654, which was never opened"));
    EXPECT_TRUE(AnyContains(breaches, "VantuGetBarCodeCount on handle " + gs +
                                          " while VantuGetBarCodeCount of it runs on another thread"));
    EXPECT_TRUE(AnyContains(breaches, "VantuGetBarCodeCount on handle " + gs + " while VantuClose of it runs"));
    EXPECT_TRUE(AnyContains(breaches, "ended with handle"));
    EXPECT_FALSE(sim::NoBreaches());

    // The scanner lines keep their form (the slowed calls last); the breach
    // lines follow them.
    testsupport::RunResult status = sim::Run({"status"});
    const std::string slowedCalls = " slowed=" + std::to_string(slowed());
    EXPECT_EQ(status.output.rfind("s serial plugged stored=0 ready=0 delivered=0" + slowedCalls + "\r\nbreach: ", 0),
              0u) << status.output;
    EXPECT_EQ(sim::StatusAll().size(), 1u);

    ASSERT_TRUE(sim::Reset());
    EXPECT_TRUE(sim::Breaches().empty());
}

// Barcodes from the simulated scanner through the polling thread of this
// process into the keystroke receiver (another process) or the trace of a
// stand-in settings window, under Wine.
#include <gtest/gtest.h>

#include <richedit.h>

#include <atomic>
#include <string>
#include <vector>

#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/Poller.h"
#include "delivery/TraceState.h"
#include "delivery/PollingThread.h"
#include "delivery/ScannerLink.h"
#include "tests/poll/PollHarness.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"

using namespace polltest;
using testsupport::KeyReceiver;

namespace {

constexpr DWORD ArrivalMs = 30000;  // generous: a loaded machine types a few hundred characters a second

std::wstring TypedWithEnter(const std::vector<std::string>& barcodes) {
    std::wstring text;
    for (const std::string& b : barcodes) text += AsTyped(b) + L"\r";
    return text;
}

// Waits until the receiver holds exactly `expected` and stays quiet.
void ExpectArrived(KeyReceiver& receiver, const std::wstring& expected) {
    EXPECT_TRUE(receiver.WaitForText(expected, ArrivalMs));
    EXPECT_TRUE(receiver.WaitForQuiet(400, ArrivalMs));
    EXPECT_EQ(receiver.Text(), expected);
}

bool StaysEmpty(KeyReceiver& receiver, DWORD ms) {
    ::Sleep(ms);
    return receiver.Text().empty();
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrepareSimulatedScanner());
        App.SetFormat(FormatSettings{});
        Trace.RawTrace = 0;
        Trace.TraceWindow = nullptr;
        SetIntegrityProbe(nullptr);
    }
    void TearDown() override {
        SetIntegrityProbe(nullptr);
        EXPECT_TRUE(testsupport::sim::NoBreaches());
    }
};

}  // namespace

TEST_F(EndToEnd, BarcodesScannedBeforeAndAfterTheConnectionOpensArriveExactlyAndInOrder) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(Scan({"BEFORE-1", "before 2"}));
    ScannerConnection connection;
    ASSERT_TRUE(connection.Opened());
    ASSERT_TRUE(connection.StartPolling());
    ExpectArrived(receiver, TypedWithEnter({"BEFORE-1", "before 2"}));

    ASSERT_TRUE(Scan({"after-3"}));
    ASSERT_TRUE(receiver.WaitForText(L"after-3\r", ArrivalMs));
    ASSERT_TRUE(Scan({"4\tTAB", "5 space"}));
    ExpectArrived(receiver, TypedWithEnter({"BEFORE-1", "before 2", "after-3", "4\tTAB", "5 space"}));
    EXPECT_EQ(Delivered(), 5u);
}

TEST_F(EndToEnd, ManyBarcodesReadyInOneCycleArriveInOrderWithTheFormatApplied) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    FormatSettings format;
    format.strip = 2;
    format.PrefixChar = "[";
    format.SuffixFirstChar = "]";
    format.SuffixSecondChar = "<ENTER>";
    App.SetFormat(format);
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    std::vector<std::string> barcodes;
    std::wstring expected;
    for (int i = 0; i < 40; ++i) {
        barcodes.push_back("xx" + std::to_string(i * 7919));
        expected += L"[" + std::to_wstring(i * 7919) + L"]\r";
    }
    ASSERT_TRUE(Scan(barcodes));  // one scan: all ready for the same count query
    ExpectArrived(receiver, expected);
}

// The switch is made from inside the polling thread's per-barcode check (the
// integrity seam, as the polling thread calls it; the typist looks at the
// window again before a barcode's first key), once the first window has
// taken every key sent so far:
// Wine drops keys still in flight while the focus moves between windows, so
// a switch at a random moment cannot be checked exactly.
namespace {

struct SwitchPlan {
    KeyReceiver* from = nullptr;
    KeyReceiver* to = nullptr;
    int atBarcode = 0;
    std::wstring sentBefore;
    std::atomic<int> checks{0};
    std::atomic<bool> switched{false};
};
SwitchPlan* Plan = nullptr;

bool SwitchWindowsAtThePlannedBarcode(HWND) {
    if (::GetCurrentThreadId() != PollingWorker.Id()) return false;
    if (Plan->checks++ == Plan->atBarcode) {
        Plan->switched = Plan->from->WaitForText(Plan->sentBefore, ArrivalMs) &&
                         Plan->from->WaitForQuiet(200, ArrivalMs) && Plan->to->Focus();
    }
    return false;  // an ordinary window
}

}  // namespace

TEST_F(EndToEnd, AWindowSwitchInTheMiddleOfABatchSendsTheRestToTheNewWindow) {
    KeyReceiver first;
    KeyReceiver second;
    ASSERT_TRUE(first.Ready() && second.Ready());
    ASSERT_TRUE(first.Focus());
    std::vector<std::string> barcodes;
    for (int i = 0; i < 30; ++i) barcodes.push_back("batch-" + std::to_string(1000 + i));
    const std::vector<std::string> before(barcodes.begin(), barcodes.begin() + 12);
    const std::vector<std::string> after(barcodes.begin() + 12, barcodes.end());
    SwitchPlan plan;
    plan.from = &first;
    plan.to = &second;
    plan.atBarcode = 12;
    plan.sentBefore = TypedWithEnter(before);
    Plan = &plan;
    SetIntegrityProbe(SwitchWindowsAtThePlannedBarcode);
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan(barcodes));  // one scan: the whole batch is ready for one count query
    ExpectArrived(second, TypedWithEnter(after));
    EXPECT_TRUE(plan.switched);
    EXPECT_EQ(first.Text(), TypedWithEnter(before));
    // One decision per barcode by the polling thread.
    EXPECT_EQ(plan.checks.load(), 30);
}

TEST_F(EndToEnd, SettingsWindowOnAnotherPageLeavesBarcodesOnTheScannerUntilAnotherWindowIsInFront) {
    KeyReceiver receiver;
    StandInSettingsWindow settings("Format");
    ASSERT_TRUE(receiver.Ready() && settings.Ready());
    Trace.TraceWindow = settings.Trace();
    ASSERT_TRUE(settings.BringToFront());
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"kept-1", "kept-2", "kept-3"}));
    EXPECT_TRUE(StaysEmpty(receiver, 800));
    EXPECT_EQ(settings.TraceText(), "");
    EXPECT_EQ(Delivered(), 0u) << "a barcode fetched here would be lost";

    ASSERT_TRUE(receiver.Focus());
    ExpectArrived(receiver, TypedWithEnter({"kept-1", "kept-2", "kept-3"}));
    EXPECT_EQ(settings.TraceText(), "");
    EXPECT_EQ(Delivered(), 3u);
}

TEST_F(EndToEnd, TracePageInFrontShowsBarcodesRawOrFormattedAndTypesNothing) {
    KeyReceiver receiver;
    StandInSettingsWindow settings("Trace");
    ASSERT_TRUE(receiver.Ready() && settings.Ready());
    Trace.TraceWindow = settings.Trace();
    ASSERT_TRUE(settings.BringToFront());
    Trace.RawTrace = 1;
    FormatSettings format;
    format.PrefixChar = "#";
    format.PrefixCharCtrl = 1;
    format.SuffixSecondCharCtrl = 1;
    App.SetFormat(format);
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"12\t34\r", std::string("\x01z\x7f\xe9", 4)}));
    const std::string raw = "12<HT>34<CR><SOH>z<DEL>\xe9";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return settings.TraceText() == raw; }, ArrivalMs))
        << settings.TraceText();

    // A selection made by the user does not move the append from the end,
    // and the append cannot be undone.
    ::SendMessageA(settings.Trace(), EM_SETSEL, 0, 3);
    EXPECT_EQ(::SendMessageA(settings.Trace(), EM_CANUNDO, 0, 0), 0);
    Trace.RawTrace = 0;  // "&Vask": what would be typed, straight after
    ASSERT_TRUE(Scan({"AB\n"}));
    const std::string both = raw + "<Ctrl #>AB<LF><Enter><Ctrl>";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return settings.TraceText() == both; }, ArrivalMs))
        << settings.TraceText();
    EXPECT_EQ(::SendMessageA(settings.Trace(), EM_CANUNDO, 0, 0), 0);
    EXPECT_TRUE(receiver.Text().empty());

    // Another program in front: the flag is cleared and barcodes are typed again.
    Trace.RawTrace = 1;
    App.SetFormat(FormatSettings{});
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(Scan({"typed"}));
    ExpectArrived(receiver, L"typed\r");
    EXPECT_EQ(Trace.RawTrace.load(), 0);
    EXPECT_EQ(settings.TraceText(), both);
}

TEST_F(EndToEnd, BarcodesLongerThanTheBufferArriveCutAt256Bytes) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    std::vector<std::string> barcodes, arriving;
    for (size_t length : {255u, 256u, 257u, 1000u}) {
        std::string b;
        for (size_t i = 0; i < length; ++i) b += static_cast<char>('a' + (i + length) % 26);
        b[length - 1] = 'Z';  // the last byte shows whether the end was kept
        barcodes.push_back(b);
        arriving.push_back(b.substr(0, 256));
    }
    ASSERT_TRUE(Scan(barcodes));
    ExpectArrived(receiver, TypedWithEnter(arriving));
}

TEST_F(EndToEnd, LongBarcodesAreTracedWholeAsFetched) {
    StandInSettingsWindow settings("Trace");
    ASSERT_TRUE(settings.Ready());
    Trace.TraceWindow = settings.Trace();
    ASSERT_TRUE(settings.BringToFront());
    Trace.RawTrace = 1;
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    std::string barcode(600, 'q');
    barcode[251] = '\t';
    barcode[255] = 'E';
    ASSERT_TRUE(Scan({barcode}));
    const std::string expected = std::string(251, 'q') + "<HT>qqqE";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return settings.TraceText() == expected; }, ArrivalMs))
        << settings.TraceText().size();
}

TEST_F(EndToEnd, FailingCountQueriesDeliverNothingUntilTheScannerAnswersAgain) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());
    ASSERT_TRUE(testsupport::sim::Fault(ScannerName, "count", 0x20010019));
    ASSERT_TRUE(Scan({"during-fault-1", "during-fault-2"}));
    EXPECT_TRUE(StaysEmpty(receiver, 800));
    ASSERT_TRUE(testsupport::sim::Fault(ScannerName, "count", 0x20010016));  // as while a transfer runs
    EXPECT_TRUE(StaysEmpty(receiver, 500));
    EXPECT_EQ(Delivered(), 0u);

    ASSERT_TRUE(testsupport::sim::ClearFaults(ScannerName));
    ExpectArrived(receiver, TypedWithEnter({"during-fault-1", "during-fault-2"}));
    EXPECT_EQ(::WaitForSingleObject(PollingWorker.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(EndToEnd, AWindowThatWouldDropOurInputLeavesBarcodesOnTheScanner) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    // Wine has no integrity levels: an ordinary window of our own user never outranks us.
    EXPECT_FALSE(WindowOutranksUs(receiver.Window()));
    EXPECT_FALSE(WindowOutranksUs(::GetDesktopWindow()));
    SetIntegrityProbe([](HWND) { return true; });  // as an elevated program in front
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"held-1", "held-2"}));
    EXPECT_TRUE(StaysEmpty(receiver, 800));
    EXPECT_EQ(Delivered(), 0u);

    SetIntegrityProbe(nullptr);  // an ordinary program in front again
    ExpectArrived(receiver, TypedWithEnter({"held-1", "held-2"}));
}

TEST_F(EndToEnd, TracePageWithoutALiveTextBoxLeavesBarcodesOnTheScanner) {
    StandInSettingsWindow settings("Trace");
    ASSERT_TRUE(settings.Ready());
    Trace.TraceWindow = nullptr;  // as before any Trace page was created
    ASSERT_TRUE(settings.BringToFront());
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"wait-for-the-page"}));
    ASSERT_TRUE(testsupport::WaitUntil([] { return Link.Held.load(); }, ArrivalMs)) << "the barcode is seen and held";
    EXPECT_EQ(Delivered(), 0u);
    Trace.TraceWindow = settings.Trace();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return settings.TraceText() == "wait-for-the-page<Enter>"; },
                                       ArrivalMs))
        << settings.TraceText();
}

TEST_F(EndToEnd, StoppingInTheMiddleOfABatchLeavesTheRestForTheNextPollingThread) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());
    std::vector<std::string> barcodes;
    for (int i = 0; i < 150; ++i) barcodes.push_back("stop-" + std::to_string(i) + std::string(30, 's'));
    ASSERT_TRUE(Scan(barcodes));
    ASSERT_TRUE(receiver.WaitForText(L"stop-0", ArrivalMs));

    PollingWorker.RequestStop();  // deactivation: the thread ends after the barcode in hand
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(win::WaitForThreadEnd(PollingWorker.get(), 1000));
    EXPECT_LT(::GetTickCount() - start, 1000u);
    const auto handedOver = Delivered();
    ASSERT_TRUE(handedOver);
    EXPECT_LT(*handedOver, 150u);

    ASSERT_TRUE(connection.StartPolling());  // activated again: the rest follows, nothing lost
    ExpectArrived(receiver, TypedWithEnter(barcodes));
}

TEST_F(EndToEnd, NoForegroundWindowLeavesBarcodesOnTheScanner) {
    {
        StandInSettingsWindow onlyWindow("About");
        ASSERT_TRUE(onlyWindow.Ready());
        ASSERT_TRUE(onlyWindow.BringToFront());
    }  // destroyed: nothing is in front, as on a locked workstation
    ASSERT_TRUE(testsupport::WaitUntil([] { return ::GetForegroundWindow() == nullptr; }, 3000));
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"nobody-1", "nobody-2"}));
    ASSERT_TRUE(testsupport::WaitUntil([] { return Link.Held.load(); }, ArrivalMs)) << "the barcodes are seen and held";
    EXPECT_EQ(Delivered(), 0u);

    KeyReceiver receiver;  // takes the foreground and the focus
    ASSERT_TRUE(receiver.Ready());
    ExpectArrived(receiver, TypedWithEnter({"nobody-1", "nobody-2"}));
}

namespace {
std::atomic<int> ForegroundChecks{0};
bool CountCheckAndRefuseInput(HWND) {
    ++ForegroundChecks;
    return true;  // as an elevated program in front: nothing may be typed
}
}  // namespace

TEST_F(EndToEnd, HeldBarcodesCostOneForegroundCheckPerCycleHoweverManyWait) {
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready() && receiver.Focus());
    SetIntegrityProbe(CountCheckAndRefuseInput);
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());
    std::vector<std::string> barcodes;
    for (int i = 0; i < 500; ++i) barcodes.push_back("wait-" + std::to_string(i));
    ASSERT_TRUE(Scan(barcodes));
    ASSERT_TRUE(testsupport::WaitUntil([] { return ForegroundChecks.load() > 0; }, ArrivalMs));

    ForegroundChecks = 0;
    const DWORD start = ::GetTickCount();
    ::Sleep(1000);
    const DWORD cycles = (::GetTickCount() - start) / 100 + 2;  // a 100 ms cycle, rounded up
    EXPECT_LE(ForegroundChecks.load(), static_cast<int>(cycles)) << "each cycle ends at the first held barcode";
    EXPECT_GT(ForegroundChecks.load(), 0);
    EXPECT_EQ(Delivered(), 0u);
}

namespace {

// The trace's whole text as UTF-16, whatever the ANSI code page holds.
std::wstring WideTraceText(HWND trace) {
    std::wstring text(4096, L'\0');
    GETTEXTEX how = {static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
    const LRESULT got = ::SendMessageW(trace, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace

// With barcode rules in force the formatted trace shows what they make of a
// barcode (characters the ANSI code page lacks included), or that a rule
// skips it; the raw trace still shows the barcode as the scanner gave it.
TEST_F(EndToEnd, TheFormattedTraceShowsWhatTheRulesMakeOfABarcode) {
    ASSERT_TRUE(WriteUserText(BarcodeRulesValue, "encoding utf-8\ncontrol GS text \"|\"\nif begins \"X\" then skip"));
    struct Forget {
        ~Forget() { (void)::RegDeleteKeyValueA(HKEY_CURRENT_USER, UserOptionsKey, BarcodeRulesValue); }
    } forget;
    StandInSettingsWindow settings("Trace");
    ASSERT_TRUE(settings.Ready());
    Trace.TraceWindow = settings.Trace();
    ASSERT_TRUE(settings.BringToFront());
    Trace.RawTrace = 0;
    ScannerConnection connection;
    ASSERT_TRUE(connection.StartPolling());

    ASSERT_TRUE(Scan({"A\x1D" "\xE4\xB8\x80", "XZ"}));
    const std::wstring shaped = L"A|\u4E00<Enter><skipped by rule 1>";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return WideTraceText(settings.Trace()) == shaped; }, ArrivalMs))
        << WideTraceText(settings.Trace()).size();
    Trace.RawTrace = 1;
    ASSERT_TRUE(Scan({"A\x1D"}));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return WideTraceText(settings.Trace()) == shaped + L"A<GS>"; }, ArrivalMs));
}

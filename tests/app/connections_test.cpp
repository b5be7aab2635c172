// The Connections page as a user meets it, against the simulated scanner SDK:
// searches on serial ports and over Bluetooth, activation and its failures,
// deactivation, start-up activation with its background retry, barcodes
// typed into another program, and input made while the page is busy.
#include "tests/app/AppFixture.h"

#include <fstream>
#include <sstream>

#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace apptest {
namespace {

using testsupport::WaitUntil;

constexpr int ScannerList = 1044;
constexpr int ActivateButton = 1045;
constexpr int BluetoothRadio = 1048;
constexpr int SerialRadio = 1049;
constexpr int FindButton = 1053;
constexpr int StatusLine = 1056;
constexpr int FromPort = 1154;
constexpr int ToPort = 1155;

// The Connections page of an open sheet.
class ConnectionsView {
public:
    explicit ConnectionsView(Sheet sheet) : sheet_(sheet) {}

    bool Show() const { return sheet_.SelectPage(ConnectionsPage); }
    HWND Item(int id) const { return sheet_.Item(id); }
    std::string Status() const { return sheet_.ItemText(StatusLine); }
    std::string Caption() const { return sheet_.ItemText(ActivateButton); }
    std::vector<std::string> Entries() const { return testsupport::ListEntries(Item(ScannerList)); }
    int Selection() const { return testsupport::ListSelection(Item(ScannerList)); }
    bool Enabled(int id) const { return testsupport::IsEnabled(Item(id)); }

    // Clicks and waits until the program has handled the click (a search or
    // an activation runs on its scanner worker meanwhile).
    bool Click(int id) const { return testsupport::ClickCommand(Item(id)); }
    void SetPorts(int from, int to) const {
        testsupport::SelectComboEntry(Item(FromPort), from - 1);
        testsupport::SelectComboEntry(Item(ToPort), to - 1);
    }

    // The status line drawn red (or black), as seen on the screen once the
    // sheet in front has painted.
    bool StatusIsRed() const {
        ::SetForegroundWindow(sheet_.window());
        return WaitUntil([&] { return testsupport::CountRedPixels(testsupport::CaptureWindow(Item(StatusLine))) > 5; },
                         5000);
    }
    bool StatusIsBlack() const {
        ::SetForegroundWindow(sheet_.window());
        return WaitUntil([&] {
            testsupport::Capture c = testsupport::CaptureWindow(Item(StatusLine));
            return testsupport::CountRedPixels(c) == 0 && testsupport::CountDarkPixels(c) > 5;
        }, 5000);
    }

private:
    Sheet sheet_;
};

std::string SerialEntry(const std::string& deviceId, int port) {
    // The port name "com3" reaches the list as " 3": "com" becomes one blank.
    return "Device ID: " + deviceId + " on Com  " + std::to_string(port) + ".";
}

void AddSerial(const std::string& name, int port, const std::string& deviceId) {
    Sim({"add-serial", name, "--port", "com" + std::to_string(port), "--device-id", deviceId});
}

// A message the user-interface thread must answer within a quarter of a second.
bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 250, &result) != 0;
}

class Connections : public AppTest {
protected:
    // A sheet on the Connections page.
    ConnectionsView Open(const VaskSettings& settings = {}) {
        Sheet sheet = StartWithSheet(settings);
        ConnectionsView view(sheet);
        EXPECT_TRUE(view.Show());
        return view;
    }

    // One serial scanner "s1" on COM3, found and activated through the page.
    ConnectionsView OpenActivated() {
        AddSerial("s1", 3, "1001");
        ConnectionsView view = Open();
        EXPECT_TRUE(view.Click(FindButton));
        EXPECT_TRUE(view.Click(ActivateButton));
        EXPECT_EQ(view.Caption(), "Deac&tivate");
        return view;
    }

    // Sets one setting in the settings file the program saved at exit.
    static void SetInSavedFile(const std::string& element, int value) {
        std::ifstream in(VaskApp::SettingsPath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        in.close();
        std::string xml = text.str();
        const std::string open = "<" + element + ">", close = "</" + element + ">";
        const size_t from = xml.find(open), to = xml.find(close);
        ASSERT_NE(from, std::string::npos) << element;
        ASSERT_NE(to, std::string::npos) << element;
        xml.replace(from + open.size(), to - from - open.size(), std::to_string(value));
        std::ofstream out(VaskApp::SettingsPath(), std::ios::binary | std::ios::trunc);
        out << xml;
    }
    static void SetActivateInSavedFile() { SetInSavedFile("Activate", 1); }

    // The scanner activated and saved to be activated at the next start with
    // only the tray icon showing; then the program ends.
    void SaveForAMinimizedStartUpActivation() {
        OpenActivated();
        ASSERT_EQ(app.ExitThroughTray(), 0u);
        SetActivateInSavedFile();
        SetInSavedFile("Minimize", 1);
    }

    // Barcodes the scanner "s1" has handed over.
    static uint64_t Delivered() {
        return testsupport::sim::StatusOf("s1").value_or(testsupport::sim::Status{}).delivered;
    }

    // The scanner activated and saved for start-up activation, then unplugged
    // and the program started again as `second`: its start-up retry runs.
    ConnectionsView StartAgainWithTheScannerUnplugged(VaskApp& second) {
        OpenActivated();
        EXPECT_EQ(app.ExitThroughTray(), 0u);
        SetActivateInSavedFile();
        Sim({"unplug", "s1"});
        EXPECT_TRUE(second.Start());
        return ConnectionsView(Sheet::WaitFor());
    }

    // A barcode fetched for the receiver (the fetch made slow) while the
    // sheet comes forward: its typing waits, nothing typed yet.
    static void PauseABarcodeForTheSheet(testsupport::KeyReceiver& receiver, const std::string& barcode) {
        ASSERT_TRUE(receiver.Ready());
        ASSERT_TRUE(receiver.Focus());
        const uint64_t slowed = testsupport::sim::StatusOf("s1").value_or(testsupport::sim::Status{}).slowed;
        ASSERT_TRUE(testsupport::sim::Delay("s1", "fetch", 1500));
        Sim({"scan", "s1", barcode});
        // decided for the receiver, the fetch under way
        ASSERT_TRUE(testsupport::sim::WaitForSlowCall("s1", slowed));
        const HWND sheet = Sheet::Find().window();
        ::SetForegroundWindow(sheet);
        ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == sheet; }, 5000));
        ::Sleep(2000);  // the fetch has returned
        EXPECT_TRUE(::IsWindow(sheet));
        EXPECT_EQ(receiver.Text(), L"");
    }
};

// ---------------------------------------------------------------- searching

TEST_F(Connections, FindWithNoScannerSaysSoInBlack) {
    ConnectionsView view = Open();
    EXPECT_EQ(view.Caption(), "Ac&tivate");
    EXPECT_FALSE(view.Enabled(ActivateButton));
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "No Scanners found.");
    EXPECT_TRUE(view.Entries().empty());
    EXPECT_FALSE(view.Enabled(ActivateButton));
    EXPECT_TRUE(view.StatusIsBlack());
}

TEST_F(Connections, FindWithOneScannerSelectsIt) {
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "Found 1 Scanner.");
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});
    EXPECT_EQ(view.Selection(), 0);
    EXPECT_TRUE(view.Enabled(ActivateButton));
}

TEST_F(Connections, FindWithTwoScannersWaitsForTheUsersChoice) {
    AddSerial("s1", 3, "1001");
    AddSerial("s2", 5, "1002");
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "Found 2 Scanners.");
    EXPECT_EQ(view.Entries(), (std::vector<std::string>{SerialEntry("1001", 3), SerialEntry("1002", 5)}));
    EXPECT_EQ(view.Selection(), -1);
    EXPECT_FALSE(view.Enabled(ActivateButton));
    testsupport::SelectListEntry(view.Item(ScannerList), 1);
    EXPECT_TRUE(view.Enabled(ActivateButton));
    EXPECT_EQ(view.Status(), " ") << "a choice among several blanks the status line";
}

TEST_F(Connections, FindWithTwelveScannersListsEight) {
    for (int port = 1; port <= 12; ++port) AddSerial("s" + std::to_string(port), port, std::to_string(2000 + port));
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "Found 12 Scanners.");
    std::vector<std::string> entries = view.Entries();
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries.front(), SerialEntry("2001", 1));
    EXPECT_EQ(entries.back(), SerialEntry("2008", 8));
}

TEST_F(Connections, InvalidPortRangeIsRedAndLeavesTheListAlone) {
    AddSerial("s1", 3, "1001");
    AddSerial("s2", 4, "1002");
    ConnectionsView view = Open();
    view.SetPorts(3, 3);  // one port: searched alone
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});

    view.SetPorts(5, 3);
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "Invalid port selection.");
    EXPECT_TRUE(view.StatusIsRed());
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});
}

TEST_F(Connections, BluetoothSearchDisablesThePortBoxes) {
    Sim({"add-bluetooth", "b1", "--bt-name", "Vask", "--address", "00:1a:7d:da:71:13"});
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    EXPECT_TRUE(view.Enabled(FromPort));
    ASSERT_TRUE(view.Click(BluetoothRadio));
    EXPECT_FALSE(view.Enabled(FromPort));
    EXPECT_FALSE(view.Enabled(ToPort));
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "Found 1 Scanner.");
    EXPECT_EQ(view.Entries(), std::vector<std::string>{"Vask 00:1a:7d:da:71:13"});
    ASSERT_TRUE(view.Click(SerialRadio));
    EXPECT_TRUE(view.Enabled(FromPort));
}

// ---------------------------------------------------------------- activating

TEST_F(Connections, ActivateAndDeactivate) {
    ConnectionsView view = OpenActivated();
    EXPECT_EQ(view.Status(), "Brontel Vask Activated, Scanner Connected");
    EXPECT_TRUE(view.StatusIsBlack());
    EXPECT_TRUE(view.Enabled(ActivateButton));
    EXPECT_FALSE(view.Enabled(FindButton));
    EXPECT_FALSE(view.Enabled(ScannerList));
    EXPECT_EQ(SavedSettings()["DeviceInfo"], " ") << "saved at the next page change, not yet";

    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Status(), "Brontel Vask Deactivated");
    EXPECT_EQ(view.Caption(), "Ac&tivate");
    EXPECT_TRUE(view.Enabled(ActivateButton));
    EXPECT_TRUE(view.Enabled(FindButton));
    EXPECT_TRUE(view.Enabled(ScannerList));
}

TEST_F(Connections, EachActivationFailureHasItsRedText) {
    struct Case {
        const char* call;
        const char* result;
        const char* text;
    };
    const Case cases[] = {
        {"open", "2", "Please make sure that the Brontel Vask is connected."},
        {"open", "0x20010019", "Device is not connected."},
        {"open", "0x20010044", "Device is not connected."},
        {"open", "0x2001001A", "Port access denied."},
        {"open", "0x20010099", "Unable to activate Brontel Vask."},
        {"idmode", "0x2001001A", "Port access denied."},
    };
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    for (const Case& c : cases) {
        Sim({"fault", "s1", c.call, c.result});
        ASSERT_TRUE(view.Click(ActivateButton));
        EXPECT_EQ(view.Status(), c.text) << c.call << " " << c.result;
        EXPECT_TRUE(view.StatusIsRed()) << c.call << " " << c.result;
        EXPECT_EQ(view.Caption(), "Ac&tivate");
        EXPECT_TRUE(view.Enabled(FindButton));
        Sim({"clear-faults", "s1"});
    }
    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Caption(), "Deac&tivate") << "works once the fault is gone";
}

TEST_F(Connections, BarcodesAreTypedIntoTheFocusedProgramAfterActivate) {
    ConnectionsView view = OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "ABC123", "4006381333931"});
    EXPECT_TRUE(receiver.WaitForText(L"ABC123\r4006381333931\r", 10000)) << "got: " << receiver.Text().size();

    // Deactivated: stored barcodes stay on the scanner.
    ASSERT_TRUE(view.Click(ActivateButton));
    receiver.Clear();
    Sim({"scan", "s1", "LATER"});
    EXPECT_TRUE(receiver.WaitForQuiet(800, 3000));
    EXPECT_EQ(receiver.Text(), L"");
}

// The question's default button is Yes: a barcode typed into it with its
// Enter would end the program.
TEST_F(Connections, OurOwnWindowsInFrontHoldBarcodesOnTheScanner) {
    OpenActivated();
    CloseSheet(Sheet::Find());
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('e'));
    testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    ::SetForegroundWindow(box.window());
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == box.window(); }, 5000));

    Sim({"scan", "s1", "HELD-1"});
    ASSERT_TRUE(WaitUntil([] { return testsupport::TrayTipHolds("1 barcode waiting (held"); }, 10000));
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(::IsWindow(box.window()));
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 0u);

    ASSERT_TRUE(receiver.Focus());
    EXPECT_TRUE(receiver.WaitForText(L"HELD-1\r", 10000));
    EXPECT_EQ(receiver.Text(), L"HELD-1\r");
    EXPECT_TRUE(box.Answer(IDNO));
    EXPECT_TRUE(app.Running());
}

// A barcode fetched for the receiver while the sheet comes forward: not one
// key of it reaches the sheet (its Enter would close it). A Deactivate in that
// pause stops the thread; the next activation types the rest, once.
TEST_F(Connections, ABarcodeInHandWaitsWhileOurWindowIsInFront) {
    ConnectionsView view = OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_NO_FATAL_FAILURE(PauseABarcodeForTheSheet(receiver, "PAUSED-1"));
    ASSERT_TRUE(testsupport::sim::Delay("s1", "fetch", 0));

    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Caption(), "Ac&tivate");
    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Caption(), "Deac&tivate");
    ASSERT_TRUE(receiver.Focus());
    EXPECT_TRUE(receiver.WaitForText(L"PAUSED-1\r", 10000));
    ::Sleep(500);
    EXPECT_EQ(receiver.Text(), L"PAUSED-1\r");
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 1u);
}

// Exit while a barcode in hand waits for our sheet to leave the front: the
// shutdown closes our windows first, so the user's window comes back by
// itself and takes the rest before the program goes.
TEST_F(Connections, ExitTypesTheRestOfABarcodeInHandOnceTheUsersWindowIsBack) {
    OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_NO_FATAL_FAILURE(PauseABarcodeForTheSheet(receiver, "PAUSED-2"));

    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('e'));
    testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    EXPECT_TRUE(box.Answer(IDYES));
    EXPECT_EQ(app.WaitForExit(15000), 0u);
    EXPECT_EQ(receiver.Text(), L"PAUSED-2\r");
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 1u);
}

// Holds a key on its way for a while, as another program's low-level
// keyboard hook may, and lets something happen meanwhile: the first Enter
// (or the first character `held`, as a Unicode event carries it) calls
// `meanwhile`. The hook's thread pumps messages, as such hooks need.
class SlowKeyHook {
public:
    explicit SlowKeyHook(std::function<void()> meanwhile, wchar_t held = 0)
        : meanwhile_(std::move(meanwhile)), held_(held) {
        thread_ = std::thread([this] { Run(); });
        WaitUntil([this] { return threadId_.load() != 0; }, 5000);
    }
    ~SlowKeyHook() {
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    // The key is held now, and `meanwhile` has returned.
    bool Holding() const { return holding_; }

private:
    static LRESULT CALLBACK OnKey(int code, WPARAM message, LPARAM info) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(info);
        const bool isHeld = current_ && (current_->held_ ? key->vkCode == VK_PACKET && key->scanCode == current_->held_
                                                          : key->vkCode == VK_RETURN);
        if (code == HC_ACTION && message == WM_KEYDOWN && isHeld) {
            SlowKeyHook* self = std::exchange(current_, nullptr);
            self->meanwhile_();
            self->holding_ = true;
            ::Sleep(1500);  // under Wine's own 2 s limit for such a hook
            self->holding_ = false;
        }
        return ::CallNextHookEx(nullptr, code, message, info);
    }
    void Run() {
        current_ = this;
        HHOOK hook = ::SetWindowsHookExA(WH_KEYBOARD_LL, OnKey, ::GetModuleHandleA(nullptr), 0);
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        threadId_ = ::GetCurrentThreadId();
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
        ::UnhookWindowsHookEx(hook);
    }

    static inline SlowKeyHook* current_ = nullptr;
    std::function<void()> meanwhile_;
    wchar_t held_;
    std::atomic<bool> holding_{false};
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
};

// A key already sent when the program brings a window of its own forward
// still goes where it was sent: here the Enter of a barcode is held on its
// way while the sheet's Exit is clicked, and must not answer "Confirm Exit".
TEST_F(Connections, AKeyOnItsWayWhenOurBoxComesForwardStillReachesTheReceiver) {
    OpenActivated();
    Sheet sheet = Sheet::Find();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    {
        SlowKeyHook hook([&] { testsupport::PostClick(sheet.ExitButton()); });
        Sim({"scan", "s1", "ONWAY-1"});
        ASSERT_TRUE(testsupport::MessageBoxWindow::WaitFor("Confirm Exit", 10000));
        EXPECT_TRUE(receiver.WaitForText(L"ONWAY-1\r", 10000));
    }
    EXPECT_TRUE(app.Running());
    testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Confirm Exit", 1000);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box.Answer(IDNO));
    EXPECT_EQ(receiver.Text(), L"ONWAY-1\r");
}

// A second start while a key is on its way, held by another program's
// keyboard hook: the interface keeps answering (the sheet's coming forward
// is put off, not waited for), and the sheet comes forward once the key has
// arrived where it was sent.
TEST_F(Connections, ASecondStartWhileAKeyIsHeldLeavesTheInterfaceAnswering) {
    OpenActivated();
    const Sheet sheet = Sheet::Find();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    testsupport::ChildProcess second;
    {
        SlowKeyHook hook([&] { second = app.StartAnother(); });
        Sim({"scan", "s1", "HELD-1"});
        ASSERT_TRUE(WaitUntil([&] { return hook.Holding(); }, 10000));
        EXPECT_EQ(second.Wait(10000), 0u) << "the hand-over";
        const bool answered = Answers(app.MainWindow());
        ASSERT_TRUE(hook.Holding()) << "the key was let go before the probe: nothing shown";
        EXPECT_TRUE(answered);
    }
    EXPECT_TRUE(receiver.WaitForText(L"HELD-1\r", 10000));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == sheet.window(); }, 10000));
    EXPECT_EQ(receiver.Text(), L"HELD-1\r");
}

// Keys sent to a program that reads them slowly are read before a window of
// ours comes forward (Wine drops those still queued then): the barcode
// arrives whole, the rest once the user's window is back in front.
TEST_F(Connections, KeysTypedIntoASlowProgramAreReadBeforeOurMenuComesForward) {
    OpenActivated();
    const Sheet sheet = Sheet::Find();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    receiver.ReadSlowly(15);
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "SLOWREADER-0123456789"});
    ASSERT_TRUE(receiver.WaitForText(L"S", 10000));
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('o'));
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == sheet.window(); }, 10000));
    ASSERT_TRUE(receiver.Focus());
    const bool whole = receiver.WaitForText(L"SLOWREADER-0123456789\r", 20000);
    const std::wstring got = receiver.Text();
    EXPECT_TRUE(whole) << std::string(got.begin(), got.end());
}

// A barcode whose typing paused after its first keys goes on only into the
// window that took them: not into another program's window that comes
// forward, and once its own window has closed, nowhere; Recent Barcodes
// lists it as partly typed. The next barcode goes to the window in front.
TEST_F(Connections, TheRestOfAPausedBarcodeGoesOnlyIntoTheWindowThatTookItsFirstKeys) {
    OpenActivated();
    const Sheet sheet = Sheet::Find();
    auto first = std::make_unique<testsupport::KeyReceiver>();
    ASSERT_TRUE(first->Ready());
    ASSERT_TRUE(first->Focus());
    // "Confirm Exit" comes forward while the "C" is on its way, and stays.
    testsupport::MessageBoxWindow box;
    {
        SlowKeyHook hook([&] { testsupport::PostClick(sheet.ExitButton()); }, L'C');
        Sim({"scan", "s1", "ABCDEF"});
        box = testsupport::MessageBoxWindow::WaitFor("Confirm Exit", 10000);
        ASSERT_TRUE(box);
        ASSERT_TRUE(first->WaitForText(L"ABC", 10000));
    }
    testsupport::KeyReceiver second;
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(second.Focus());
    // Wine may hand the foreground back to the first window for a moment
    // after the box came forward: a key or two more may then go there, its
    // own window. What it got is what the list must say.
    const size_t firstGot = first->Text().size();
    EXPECT_EQ(first->Text(), std::wstring(L"ABCDEF").substr(0, firstGot));
    first.reset();  // the window that took the first keys closes: the rest goes nowhere
    ASSERT_TRUE(WaitUntil([&] {
        ::SetForegroundWindow(box.window());
        return ::GetForegroundWindow() == box.window();
    }, 5000));
    EXPECT_TRUE(box.Answer(IDNO));
    ASSERT_TRUE(second.Focus());

    Sim({"scan", "s1", "NEXT"});
    ASSERT_TRUE(second.WaitForText(L"NEXT\r", 10000));
    EXPECT_EQ(second.Text(), L"NEXT\r");
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 2u);

    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('r'));
    HWND recent = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (recent = testsupport::FindTopWindow(testsupport::DialogClass,
                                                                            "Recent Barcodes")) != nullptr; }, 10000));
    const std::vector<std::string> lines = testsupport::ListEntries(::GetDlgItem(recent, IDC_RECENT_LIST));
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_GE(firstGot, 3u);
    ASSERT_LT(firstGot, 7u);
    EXPECT_NE(lines[1].find("\t" + std::to_string(firstGot) + " of 7 characters into Vask Key Receiver\tABCDEF"),
              std::string::npos)
        << lines[1];
}

// Deactivate during a slow call hands the close to the polling thread; an
// Activate at once is refused (the scanner is still open). The old thread
// still stops, closes as the call returns, and types nothing meanwhile: the
// next Activate works and types the waiting barcode once.
TEST_F(Connections, ARefusedActivateNeverRevivesTheOldPollingThread) {
    ConnectionsView view = OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(testsupport::sim::DelayUnderWay("s1", "count", 4000));  // a count query is under way
    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Caption(), "Ac&tivate");
    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_EQ(view.Status(), "Port access denied.");
    ASSERT_TRUE(testsupport::sim::Delay("s1", "count", 0));
    Sim({"scan", "s1", "AFTER-1"});
    ASSERT_TRUE(receiver.Focus());

    ASSERT_TRUE(WaitUntil([&] { return view.Click(ActivateButton) && view.Caption() == "Deac&tivate"; }, 15000))
        << view.Status();
    ASSERT_TRUE(receiver.WaitForText(L"AFTER-1\r", 10000));
    ASSERT_TRUE(receiver.WaitForQuiet(500, 5000));
    EXPECT_EQ(receiver.Text(), L"AFTER-1\r");
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 1u);
}

// A search as slow as a real Bluetooth one runs beside the sheet, which
// keeps answering: the click returns at once and the result comes after.
TEST_F(Connections, ASlowSearchLeavesTheSheetAnswering) {
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    Sim({"fault", "s1", "delay:search", "4000"});
    const HWND sheet = Sheet::Find().window();
    ASSERT_TRUE(testsupport::Click(view.Item(FindButton), 1000)) << "the click returns at once";
    int late = 0;
    for (int probe = 0; probe < 30; ++probe) {
        if (!Answers(sheet) || !Answers(app.MainWindow())) ++late;
        ::Sleep(50);
    }
    EXPECT_EQ(late, 0);
    EXPECT_FALSE(view.Enabled(FindButton)) << "no command while the search runs";
    ASSERT_TRUE(WaitUntil([&] { return view.Status() == "Found 1 Scanner."; }, 15000)) << view.Status();
    EXPECT_TRUE(WaitUntil([&] { return view.Enabled(FindButton); }, 5000));
}

// Logoff while a polling call is stuck: the settings are written first and
// WM_ENDSESSION is answered within 2 s (Windows ends a program that takes
// 5 s); the scanner's close is left to the stuck thread.
TEST_F(Connections, LogoffWithAStuckCallSavesFirstAndAnswersWithinTwoSeconds) {
    OpenActivated();
    ASSERT_TRUE(testsupport::sim::DelayUnderWay("s1", "count", 8000));  // a count query is under way
    VaskApp::RemoveSettingsFile();  // the shutdown must write it again
    const DWORD start = ::GetTickCount();
    DWORD_PTR answer = 0;
    ASSERT_NE(::SendMessageTimeoutA(app.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000,
                                    &answer), 0);
    const DWORD took = ::GetTickCount() - start;
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(SavedSettings()["DeviceInfo"], SerialEntry("1001", 3)) << "written before the threads were stopped";
    EXPECT_EQ(app.WaitForExit(20000), 0u);
}

// A second start while the shutdown waits for a stuck call hands over to a
// program that is going: nothing opens, both end.
TEST_F(Connections, ASecondStartDuringTheShutdownOpensNothing) {
    OpenActivated();
    ASSERT_TRUE(testsupport::sim::DelayUnderWay("s1", "count", 8000));  // a count query is under way
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('e'));
    testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    EXPECT_TRUE(box.Answer(IDYES));
    testsupport::ChildProcess second(testsupport::BinPath("VaskSW.exe"), {}, testsupport::BinDir());
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.Wait(20000), 0u);
    EXPECT_EQ(app.WaitForExit(20000), 0u);
    EXPECT_FALSE(Sheet::Find()) << "no sheet opened for the second start";
}

// Every probe is a message the user-interface thread must answer within a
// quarter of a second, however long the scanner's download lasts.
TEST_F(Connections, AnEndlessDownloadNeverHoldsUpTheUserInterface) {
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    Sim({"transfer", "s1", "1000000"});
    const HWND sheet = Sheet::Find().window();
    testsupport::PostClick(view.Item(ActivateButton));
    int late = 0;
    for (int probe = 0; probe < 40; ++probe) {
        if (!Answers(sheet) || !Answers(app.MainWindow())) ++late;
        ::Sleep(50);
    }
    EXPECT_EQ(late, 0);
    ASSERT_TRUE(WaitUntil([&] { return view.Caption() == "Deac&tivate"; }, 5000));

    // Deactivate ends the download; the scanner is free for a search again.
    ASSERT_TRUE(testsupport::ClickCommand(view.Item(ActivateButton), 5000));
    EXPECT_EQ(view.Status(), "Brontel Vask Deactivated");
    ASSERT_TRUE(testsupport::ClickCommand(view.Item(FindButton), 5000));
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});
    EXPECT_EQ(app.ExitThroughTray(), 0u);
}
TEST_F(Connections, ReopenedSheetShowsTheActivatedState) {
    OpenActivated();
    CloseSheet(Sheet::Find());
    app.TrayDoubleClick();
    ConnectionsView again(Sheet::WaitFor());
    ASSERT_TRUE(again.Show());
    EXPECT_EQ(again.Caption(), "Deac&tivate");
    EXPECT_TRUE(again.Enabled(ActivateButton));
    EXPECT_FALSE(again.Enabled(FindButton));
    EXPECT_FALSE(again.Enabled(ScannerList));
    EXPECT_EQ(again.Status(), "Brontel Vask Activated, Scanner Connected");
}

TEST_F(Connections, InputMadeWhileThePageIsBusyIsDropped) {
    AddSerial("s1", 3, "1001");
    ConnectionsView view = Open();
    ASSERT_TRUE(view.Click(FindButton));
    ::SetForegroundWindow(Sheet::Find().window());
    // A slow open keeps the click busy for 3 s.
    ASSERT_TRUE(testsupport::sim::Delay("s1", "open", 3000));
    // While the page works it answers no message: its controls are looked
    // up before, and read afterwards without messages.
    HWND sheet = Sheet::Find().window();
    HWND activate = view.Item(ActivateButton), bluetooth = view.Item(BluetoothRadio);
    testsupport::PostClick(activate);
    ASSERT_TRUE(WaitUntil([&] { return !view.Enabled(SerialRadio); }, 5000)) << "the activation runs";
    EXPECT_FALSE(testsupport::IsBusy(sheet)) << "the sheet answers meanwhile";
    ASSERT_TRUE(testsupport::RealClick(bluetooth));
    ::Sleep(200);
    ASSERT_EQ(testsupport::StoredText(activate), "Ac&tivate") << "the click was made before the activation ended";
    ASSERT_TRUE(WaitUntil([&] { return view.Caption() == "Deac&tivate"; }, 15000));
    ::Sleep(500);
    EXPECT_FALSE(testsupport::IsChecked(view.Item(BluetoothRadio))) << "the click made meanwhile was dropped";
    EXPECT_TRUE(testsupport::IsChecked(view.Item(SerialRadio)));
    // The same click now works.
    ASSERT_TRUE(testsupport::RealClick(view.Item(BluetoothRadio)));
    EXPECT_TRUE(WaitUntil([&] { return testsupport::IsChecked(view.Item(BluetoothRadio)); }, 3000));
}

// ---------------------------------------------------------------- start-up activation

TEST_F(Connections, StartUpActivationSucceeds) {
    OpenActivated();
    ASSERT_EQ(app.ExitThroughTray(), 0u);
    ASSERT_EQ(SavedSettings()["DeviceInfo"], SerialEntry("1001", 3));
    SetActivateInSavedFile();

    VaskApp second;
    ASSERT_TRUE(second.Start());
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet.PageIndex(), ConnectionsPage);
    ConnectionsView view(sheet);
    EXPECT_EQ(view.Status(), "Scanner Connected");
    EXPECT_EQ(view.Caption(), "Deac&tivate");
    EXPECT_FALSE(view.Enabled(FindButton));
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});
    EXPECT_EQ(view.Selection(), 0);

    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(testsupport::WaitUntilScannerIdle()) << "scanned after the start-up download: typed";
    Sim({"scan", "s1", "789"});
    EXPECT_TRUE(receiver.WaitForText(L"789\r", 10000));
}

TEST_F(Connections, FailedStartUpActivationRetriesUntilTheScannerIsPluggedIn) {
    VaskApp second;
    ConnectionsView view = StartAgainWithTheScannerUnplugged(second);
    EXPECT_EQ(view.Status(), "Scanner Not Connected");
    EXPECT_EQ(view.Caption(), "Ac&tivate");
    EXPECT_FALSE(view.Enabled(ActivateButton));
    EXPECT_TRUE(view.Enabled(FindButton));
    EXPECT_EQ(view.Entries(), std::vector<std::string>{SerialEntry("1001", 3)});
    EXPECT_EQ(view.Selection(), 0);
    ::Sleep(700);
    EXPECT_EQ(view.Caption(), "Ac&tivate") << "still retrying";

    Sim({"plug", "s1"});
    EXPECT_TRUE(WaitUntil([&] { return view.Caption() == "Deac&tivate"; }, 10000));
    EXPECT_EQ(view.Status(), "Scanner Connected");
    EXPECT_TRUE(view.Enabled(ActivateButton));
    EXPECT_FALSE(view.Enabled(FindButton));
}

// ---------------------------------------------------------------- a scanner lost and found again

using testsupport::TrayTipHolds;

// Unplugged in the middle of a batch: the tray's tip and the page say so
// within 3 s; after the plug the rest of the batch and a barcode scanned
// while it was away arrive without a click, each once, in order.
TEST_F(Connections, AScannerUnpluggedMidBatchIsShownLostAndItsBarcodesComeAfterThePlug) {
    ConnectionsView view = OpenActivated();
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("Scanner connected (Com  3)"); }, 5000));
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(testsupport::sim::Delay("s1", "fetch", 100));
    std::vector<std::string> scan = {"scan", "s1"};
    std::wstring expected;
    for (int i = 10; i < 50; ++i) {
        scan.push_back("B-" + std::to_string(i));
        expected += L"B-" + std::to_wstring(i) + L"\r";
    }
    Sim(scan);
    ASSERT_TRUE(receiver.WaitForText(L"B-14\r", 20000));
    Sim({"unplug", "s1"});
    const DWORD unplugged = ::GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Scanner connection lost; trying again..."; }, 3000));
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("Scanner connection lost; trying again..."); }, 3000));
    const DWORD lostAfter = ::GetTickCount() - unplugged;
    EXPECT_LT(receiver.Text().size(), expected.size()) << "unplugged before the batch's end";

    Sim({"scan", "s1", "AWAY-1"});
    Sim({"plug", "s1"});
    const DWORD plugged = ::GetTickCount();
    const size_t before = receiver.Text().size();
    EXPECT_TRUE(WaitUntil([&] { return receiver.Text().size() > before; }, 10000));
    const DWORD firstAfter = ::GetTickCount() - plugged;
    expected += L"AWAY-1\r";
    EXPECT_TRUE(receiver.WaitForText(expected, 30000));
    EXPECT_EQ(receiver.Text(), expected);
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Scanner Connected"; }, 3000));
    std::printf("[figures] unplug to lost state shown: %lu ms; plug to first barcode: %lu ms\n",
                static_cast<unsigned long>(lostAfter), static_cast<unsigned long>(firstAfter));
}

// Pause Typing leaves scans on the scanner and the tip says so; chosen again,
// they are typed into the window in front.
TEST_F(Connections, PauseTypingHoldsBarcodesOnTheScannerUntilChosenAgain) {
    OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('p'));
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("Typing paused"); }, 5000));
    Sim({"scan", "s1", "P-1", "P-2", "P-3"});
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("3 barcodes waiting"); }, 5000));
    EXPECT_EQ(receiver.Text(), L"");
    EXPECT_EQ(Delivered(), 0u);

    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('p'));
    EXPECT_TRUE(receiver.WaitForText(L"P-1\rP-2\rP-3\r", 10000));
    EXPECT_EQ(receiver.Text(), L"P-1\rP-2\rP-3\r");
}

// When each of the first `count` characters arrived, seen from here.
std::vector<DWORD> ArrivalTicks(testsupport::KeyReceiver& receiver, size_t count) {
    std::vector<DWORD> ticks;
    const DWORD deadline = ::GetTickCount() + 30000;
    while (ticks.size() < count && ::GetTickCount() < deadline) {
        const size_t arrived = receiver.Text().size();
        while (ticks.size() < std::min(arrived, count)) ticks.push_back(::GetTickCount());
        ::Sleep(1);
    }
    return ticks;
}

// With a 50 ms delay between keys, the keys of a barcode arrive 50 ms apart.
TEST_F(Connections, AKeyDelaySpacesTheKeysOfABarcode) {
    const UserOptions pace({{"KeyDelayMs", 50}});
    OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "PACE-123456"});
    const std::vector<DWORD> ticks = ArrivalTicks(receiver, 12);
    ASSERT_EQ(ticks.size(), 12u) << "characters typed: " << receiver.Text().size();
    std::vector<DWORD> gaps;
    for (size_t i = 1; i < ticks.size(); ++i) gaps.push_back(ticks[i] - ticks[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    std::cout << "[ measured ] key gaps at a 50 ms pace: median " << gaps[gaps.size() / 2] << " ms, least "
              << gaps.front() << " ms, most " << gaps.back() << " ms\n";
    EXPECT_GE(gaps[gaps.size() / 2], 45u);
    EXPECT_EQ(receiver.Text(), L"PACE-123456\r");
}

// Pause Typing, chosen while a barcode is typed at a slow pace, stops it
// between two keys; Resume types the rest into the same window, once.
TEST_F(Connections, PauseTypingStopsABarcodeBetweenTwoKeys) {
    const UserOptions pace({{"KeyDelayMs", 100}});
    OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    const std::wstring whole = L"SLOW-0123456789ABCDEFGHIJ\r";
    Sim({"scan", "s1", "SLOW-0123456789ABCDEFGHIJ"});
    ASSERT_TRUE(WaitUntil([&] { return receiver.Text().size() >= 3; }, 10000));
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('p'));
    ASSERT_TRUE(WaitUntil([] { return TrayTipHolds("Typing paused"); }, 5000));
    ASSERT_TRUE(receiver.Focus());
    const std::wstring typed = receiver.Text();
    ASSERT_LT(typed.size(), whole.size());
    // Longer than the rest would take at this pace.
    ::Sleep(static_cast<DWORD>((whole.size() - typed.size()) * 100 + 500));
    EXPECT_EQ(receiver.Text(), typed) << "no key while paused";

    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('p'));
    EXPECT_TRUE(receiver.WaitForText(whole, 15000));
    EXPECT_EQ(receiver.Text(), whole);
}

// A start-up activation that finds a batch waiting types none of it into
// whatever window is in front: a balloon offers it, and Resume types it
// (another balloon tells the batch's end), then later scans as usual.
TEST_F(Connections, AStartUpActivationWithBarcodesWaitingBeginsPaused) {
    SaveForAMinimizedStartUpActivation();
    std::vector<std::string> scan = {"scan", "s1"};
    std::wstring batch;
    for (int i = 10; i < 22; ++i) {
        scan.push_back("Y-" + std::to_string(i));
        batch += L"Y-" + std::to_wstring(i) + L"\r";
    }
    Sim(scan);

    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    VaskApp second;
    ASSERT_TRUE(second.Start());
    const char waiting[] = "12 barcodes are waiting on the scanner. Click here or choose Resume Typing to type them.";
    EXPECT_TRUE(WaitUntil([&] { return testsupport::ShellShows(waiting) != nullptr; }, 10000));
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("Typing paused"); }, 5000));
    EXPECT_EQ(receiver.Text(), L"");
    EXPECT_EQ(Delivered(), 0u);

    // (Wine's balloons take no click; Windows' tell the program, which resumes as below.)
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(second.OpenTrayMenu());
    ASSERT_TRUE(second.PickTrayMenuItem('p'));
    EXPECT_TRUE(receiver.WaitForText(batch, 10000));
    EXPECT_TRUE(WaitUntil([] { return testsupport::ShellShows("12 barcodes typed into ") != nullptr; }, 15000))
        << "a batch of more than 10 is told when it ends";
    Sim({"scan", "s1", "AFTER"});
    EXPECT_TRUE(receiver.WaitForText(batch + L"AFTER\r", 10000));
    EXPECT_EQ(receiver.Text(), batch + L"AFTER\r");
}

// The taskbar in front (as when a window of ours closed and the shell came
// forward) holds a barcode on the scanner as our own windows do; it goes
// into the next program's window that comes forward.
TEST_F(Connections, TheTaskbarInFrontHoldsABarcode) {
    OpenActivated();
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    const HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_TRUE(taskbar && ::IsWindowVisible(taskbar)) << "the test display has Wine's taskbar";
    // Asked again until it takes, as a user clicks again.
    DWORD asked = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (::GetTickCount() - asked > 250) ::SetForegroundWindow(taskbar), asked = ::GetTickCount();
        return ::GetForegroundWindow() == taskbar;
    }, 10000));
    Sim({"scan", "s1", "SHELL-1"});
    EXPECT_TRUE(WaitUntil([] { return TrayTipHolds("1 barcode waiting (held"); }, 5000));
    EXPECT_EQ(Delivered(), 0u);
    ASSERT_TRUE(receiver.Focus());
    EXPECT_TRUE(receiver.WaitForText(L"SHELL-1\r", 10000));
    EXPECT_EQ(receiver.Text(), L"SHELL-1\r");
}

TEST_F(Connections, StartUpActivationWithMinimizeTypesWithoutEverShowingTheSheet) {
    SaveForAMinimizedStartUpActivation();

    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    VaskApp second;
    ASSERT_TRUE(second.Start());
    EXPECT_FALSE(WaitUntil([] { return static_cast<bool>(Sheet::Find()); }, 1000)) << "only the tray icon";
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "M-42"});
    EXPECT_TRUE(receiver.WaitForText(L"M-42\r", 10000));

    // The first sheet opened later shows the start-up outcome.
    second.TrayDoubleClick();
    ConnectionsView view(Sheet::WaitFor());
    EXPECT_EQ(Sheet::Find().PageIndex(), ConnectionsPage);
    EXPECT_EQ(view.Status(), "Scanner Connected");
    EXPECT_EQ(view.Caption(), "Deac&tivate");
}

// At start-up the stored scanner's endless download neither keeps the sheet
// from opening nor a second start from handing over and ending.
TEST_F(Connections, StartUpActivationDuringAnEndlessDownloadLeavesTheProgramUsable) {
    OpenActivated();
    ASSERT_EQ(app.ExitThroughTray(), 0u);
    SetActivateInSavedFile();
    Sim({"transfer", "s1", "1000000"});

    VaskApp second;
    ASSERT_TRUE(second.Start());
    ConnectionsView view(Sheet::WaitFor());
    EXPECT_EQ(view.Caption(), "Deac&tivate");
    testsupport::ChildProcess third = second.StartAnother();
    EXPECT_EQ(third.Wait(10000), 0u) << "the hand-over to the running instance";
    EXPECT_EQ(second.ExitThroughTray(), 0u);
}

// A count query that outlasts the deactivation's wait: the handle is closed
// by the polling thread once that query has returned, never beside it.
TEST_F(Connections, DeactivateNeverClosesTheScannerBesideACallInProgress) {
    ConnectionsView view = OpenActivated();
    ASSERT_TRUE(testsupport::sim::DelayUnderWay("s1", "count", 4000));  // a count query is under way
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(view.Click(ActivateButton));
    EXPECT_LT(::GetTickCount() - start, 1500u) << "the click does not wait for the slow query";
    EXPECT_EQ(view.Status(), "Brontel Vask Deactivated");
    ASSERT_TRUE(testsupport::sim::Delay("s1", "count", 0));

    // Once the query in progress has returned the scanner is free again.
    ASSERT_TRUE(WaitUntil([&] {
        return view.Click(ActivateButton) && view.Caption() == "Deac&tivate";
    }, 10000)) << view.Status();
    EXPECT_EQ(view.Status(), "Brontel Vask Activated, Scanner Connected");
    EXPECT_TRUE(testsupport::sim::NoBreaches());
}

// Exit while a count query outlasts the shutdown's wait: the polling thread
// closes the scanner once the query returns, before the process ends.
TEST_F(Connections, ExitDuringASlowCallStillClosesTheScanner) {
    OpenActivated();
    ASSERT_TRUE(testsupport::sim::DelayUnderWay("s1", "count", 7000));  // a count query is under way
    EXPECT_EQ(app.ExitThroughTray(30000), 0u);
    EXPECT_TRUE(testsupport::sim::NoBreaches());
}

// Logoff as the system announces it to every top-level window: no question,
// the scanner stopped after the barcode in hand, the settings written.
TEST_F(Connections, LogoffShutsDownInOrderWithoutAskingAndLosesNoBarcode) {
    SaveForAMinimizedStartUpActivation();
    SetInSavedFile("strip", 1);
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    VaskApp second;
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(testsupport::WaitUntilScannerIdle());
    std::vector<std::string> barcodes;
    for (int i = 0; i < 200; ++i) barcodes.push_back("x" + std::to_string(1000 + i) + std::string(40, 'L'));
    ASSERT_TRUE(testsupport::sim::Scan("s1", barcodes));
    ASSERT_TRUE(receiver.WaitForText(L"1000", 10000));
    VaskApp::RemoveSettingsFile();  // the shutdown must write it again

    DWORD_PTR answer = 0;
    ASSERT_NE(::SendMessageTimeoutA(second.MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                    10000, &answer), 0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    ASSERT_NE(::SendMessageTimeoutA(second.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                    20000, &answer), 0);
    EXPECT_EQ(second.WaitForExit(10000), 0u);
    EXPECT_FALSE(testsupport::MessageBoxWindow::Exists("Confirm Exit"));
    EXPECT_EQ(SavedSettings()["strip"], "1");
    EXPECT_EQ(SavedSettings()["Activate"], "1");

    // Every barcode fetched was typed whole; the rest wait on the scanner.
    ASSERT_TRUE(receiver.WaitForQuiet(500, 5000));
    const std::wstring typed = receiver.Text();
    const size_t whole = static_cast<size_t>(std::count(typed.begin(), typed.end(), L'\r'));
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, whole);
    EXPECT_LT(whole, barcodes.size());
    std::wstring expected;
    for (size_t i = 0; i < whole; ++i) expected += std::wstring(barcodes[i].begin() + 1, barcodes[i].end()) + L"\r";
    EXPECT_EQ(typed, expected);
}

TEST_F(Connections, FindScannersStopsTheStartUpRetry) {
    VaskApp second;
    ConnectionsView view = StartAgainWithTheScannerUnplugged(second);
    ASSERT_EQ(view.Status(), "Scanner Not Connected");
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_EQ(view.Status(), "No Scanners found.");
    Sim({"plug", "s1"});
    ::Sleep(1500);
    EXPECT_EQ(view.Caption(), "Ac&tivate") << "no retry after the search";
    EXPECT_EQ(view.Status(), "No Scanners found.");
}

// The start-up retry's attempt stuck in a slow open: Find Scanners stops the
// retry within its bound and searches at once; the attempt's late success is
// closed, never shown, and the scanner is free for the user's Activate.
TEST_F(Connections, FindScannersBesideAStuckRetryAttemptSearchesAtOnce) {
    VaskApp second;
    ConnectionsView view = StartAgainWithTheScannerUnplugged(second);
    ASSERT_TRUE(WaitUntil([&] { return view.Status() == "Scanner Not Connected"; }, 10000)) << view.Status();
    const uint64_t slowed = testsupport::sim::StatusOf("s1").value_or(testsupport::sim::Status{}).slowed;
    ASSERT_TRUE(testsupport::sim::Delay("s1", "open", 8000));
    Sim({"plug", "s1"});
    ASSERT_TRUE(testsupport::sim::WaitForSlowCall("s1", slowed));  // the retry's next attempt is inside its open

    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(view.Click(FindButton));
    EXPECT_LT(::GetTickCount() - start, 3000u) << "the search does not wait for the stuck attempt";
    EXPECT_EQ(view.Status(), "Found 1 Scanner.");
    ASSERT_TRUE(testsupport::sim::Delay("s1", "open", 0));
    ASSERT_TRUE(WaitUntil([&] { return view.Click(ActivateButton) && view.Caption() == "Deac&tivate"; }, 20000))
        << view.Status();
    EXPECT_EQ(view.Status(), "Brontel Vask Activated, Scanner Connected");
    EXPECT_EQ(second.ExitThroughTray(), 0u);
}

}  // namespace
}  // namespace apptest

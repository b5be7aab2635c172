// The Connections page (template 145 with ConnectionsPageProc) against the
// simulated SDK: creation by ConnectionState, transport and ports, Find
// Scanners, list selection, Activate and Deactivate, the status line's
// colours, dropped input, sheet notifications, and the start-up instance
// with the background retry.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "config/Application.h"
#include "res/resource.h"
#include "win/Scoped.h"
#include "scanner/Activation.h"
#include "scanner/ScannerState.h"
#include "pages/ConnectionsPage.h"
#include "pages/PageProtocol.h"
#include "pages/ScannerView.h"
#include "tests/scanner/ScannerFixture.h"
#include "tests/support/SimControl.h"
#include "tests/support/UiDriver.h"
#include "delivery/PollingThread.h"
#include "scanner/ScannerWorker.h"

using namespace scannertest;

namespace {

HWND CreatePage() {
    return ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONNECTIONS), nullptr,
                                ConnectionsPageProc, 0);
}

// What a click on a control tells the page.
void Command(HWND page, int id, int code) {
    ::SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(page, id)));
}
// A click, and what the page shows of it: the command runs on the scanner
// worker and hands its outcome back by posted messages, handled here.
void Click(HWND page, int id) {
    Command(page, id, BN_CLICKED);
    EXPECT_TRUE(PumpUntil([] { return !ScannerCommands.Busy(); }, 30000));
    Pump(20);
}

void SelectCombo(HWND page, int id, int index) {
    ::SendDlgItemMessageA(page, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Command(page, id, CBN_SELCHANGE);
}

void SelectEntry(HWND page, int index) {
    ::SendDlgItemMessageA(page, IDC_SCANNER_LIST, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Command(page, IDC_SCANNER_LIST, LBN_SELCHANGE);
}

std::vector<std::string> ComboEntries(HWND page, int id) {
    std::vector<std::string> entries;
    const LRESULT n = ::SendDlgItemMessageA(page, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char text[16] = {};
        ::SendDlgItemMessageA(page, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

bool Checked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }

LRESULT Notify(HWND page, UINT code) {
    NMHDR header{};
    header.hwndFrom = nullptr;
    header.idFrom = 0;
    header.code = code;
    return ::SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

class ConnectionsPage : public ScannerTest {
protected:
    void TearDown() override {
        if (page_) ::DestroyWindow(page_);
        ScannerTest::TearDown();
    }
    void Open() {
        if (page_) ::DestroyWindow(page_);
        page_ = CreatePage();
        ASSERT_NE(page_, nullptr);
    }
    void ExpectActivatedControls() {
        EXPECT_EQ(ItemText(page_, IDC_ACTIVATE), "Deac&tivate");
        EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
        EXPECT_FALSE(ItemEnabled(page_, IDC_FIND_SCANNERS));
        EXPECT_FALSE(ItemEnabled(page_, IDC_SCANNER_LIST));
    }
    void ExpectSearchableControls() {
        EXPECT_EQ(ItemText(page_, IDC_ACTIVATE), "Ac&tivate");
        EXPECT_TRUE(ItemEnabled(page_, IDC_FIND_SCANNERS));
        EXPECT_TRUE(ItemEnabled(page_, IDC_SCANNER_LIST));
    }
    // The stored scanner unplugged at start-up: the page opens while the
    // activation retry runs.
    void OpenWhileTheStartUpRetryRuns() {
        AddSerial("three", "COM3", "T3");
        SearchAndConfigureSerial(1, 16, 0);
        Sim({"unplug", "three"});
        Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
        Open();
        ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
        Pump(500);
    }
    HWND page_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------- creation

TEST_F(ConnectionsPage, FreshStartShowsNothingToActivate) {
    Scanner.SetStatusText("kept text");
    Open();
    EXPECT_EQ(ConnectionsWindow.load(), page_);
    EXPECT_EQ(Sheet.StartPage, 1);
    EXPECT_EQ(StatusText(page_), "kept text");
    EXPECT_TRUE(ListEntries(page_).empty());
    EXPECT_FALSE(ItemEnabled(page_, IDC_ACTIVATE));
    ExpectSearchableControls();
    EXPECT_FALSE(::IsWindowVisible(page_));  // the start-up instance stays hidden
}

TEST_F(ConnectionsPage, ReopenedWhileActivatedOffersDeactivate) {
    scannertest::NameFoundScanners({"first", "second"});
    Scanner.SelectFound(1);
    Scanner.MarkScannersFound();
    Scanner.MarkPolled();
    Scanner.SetStatusIsError(1);
    Scanner.SetStatusText("Brontel Vask Activated, Scanner Connected");
    Open();
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(ListSelection(page_), 1);
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Activated, Scanner Connected");
    ExpectActivatedControls();
}

TEST_F(ConnectionsPage, ActivatedByTheRetryWithoutSearchStillOffersDeactivate) {
    Scanner.NameFound(0, "stored");
    ScannerStateTestAccess::SetScannersFound(false);
    Scanner.MarkPolled();
    Scanner.SetStatusText("Scanner Connected");
    Open();
    ExpectActivatedControls();
}

TEST_F(ConnectionsPage, StartupSuccessIsShownOnce) {
    Scanner.NameFound(0, "Device ID: VX-3 on Com COM3.");
    Scanner.SetPending(ConnectionState::ActivatedAtStartup);
    Scanner.MarkPolled();
    Open();
    EXPECT_EQ(Scanner.Pending(), ConnectionState::OutcomeShown);
    EXPECT_EQ(StatusText(page_), "Scanner Connected");
    EXPECT_EQ(LastingStatus(), "Scanner Connected");
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"Device ID: VX-3 on Com COM3."}));
    EXPECT_EQ(ListSelection(page_), 0);
    ExpectActivatedControls();

    // The next page follows case 1 with the same picture.
    Open();
    EXPECT_EQ(Scanner.Pending(), ConnectionState::OutcomeShown);
    EXPECT_EQ(StatusText(page_), "Scanner Connected");
    ExpectActivatedControls();
}

TEST_F(ConnectionsPage, StartupFailureShowsTheStoredScannerOnly) {
    scannertest::NameFoundScanners({"stored", "other"});
    Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
    Open();
    EXPECT_EQ(Scanner.Pending(), ConnectionState::OutcomeShown);
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"stored"}));
    EXPECT_EQ(ListSelection(page_), 0);
    EXPECT_EQ(StatusText(page_), "Scanner Not Connected");
    EXPECT_TRUE(ItemEnabled(page_, IDC_FIND_SCANNERS));
    EXPECT_FALSE(ItemEnabled(page_, IDC_ACTIVATE));
}

TEST_F(ConnectionsPage, OutcomeShownBeforeRestoresTheList) {
    Scanner.SetPending(ConnectionState::OutcomeShown);
    scannertest::NameFoundScanners({"a", "b"});
    Scanner.SelectFound(0);
    Scanner.SetStatusText("Brontel Vask Deactivated");
    Open();
    EXPECT_EQ(StatusText(page_), "Brontel Vask Deactivated");
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));  // RestoreDeviceList reselected
    ExpectSearchableControls();
}

TEST_F(ConnectionsPage, TransportFromMode) {
    App.Settings.Update([](SettingsRecord& s) { s.mode = BluetoothMode; });
    Open();
    EXPECT_TRUE(Checked(page_, IDC_BLUETOOTH));
    EXPECT_FALSE(Checked(page_, IDC_SERIAL_PORTS));
    EXPECT_FALSE(ItemEnabled(page_, IDC_FROM_PORT));
    EXPECT_FALSE(ItemEnabled(page_, IDC_TO_PORT));

    App.Settings.Update([](SettingsRecord& s) { s.mode = 7; });  // neither transport: serial ports
    Open();
    EXPECT_EQ(App.Settings.Get().mode, SerialMode);
    EXPECT_TRUE(Checked(page_, IDC_SERIAL_PORTS));
    EXPECT_FALSE(Checked(page_, IDC_BLUETOOTH));
    EXPECT_TRUE(ItemEnabled(page_, IDC_FROM_PORT));
    EXPECT_TRUE(ItemEnabled(page_, IDC_TO_PORT));
}

TEST_F(ConnectionsPage, PortBoxesOfferOneToSixtyFour) {
    App.Settings.Update([](SettingsRecord& s) {
        s.FromPort = 0;
        s.ToPort = 0;
    });
    Open();
    std::vector<std::string> expected;
    for (int i = 1; i <= 64; ++i) expected.push_back(std::to_string(i));
    EXPECT_EQ(ComboEntries(page_, IDC_FROM_PORT), expected);
    EXPECT_EQ(ComboEntries(page_, IDC_TO_PORT), expected);
    EXPECT_EQ(App.Settings.Get().FromPort, 1);
    EXPECT_EQ(App.Settings.Get().ToPort, 16);
    EXPECT_EQ(ItemText(page_, IDC_FROM_PORT), "1");
    EXPECT_EQ(ItemText(page_, IDC_TO_PORT), "16");

    App.Settings.Update([](SettingsRecord& s) {
        s.FromPort = 5;
        s.ToPort = 64;
    });
    Open();
    EXPECT_EQ(ItemText(page_, IDC_FROM_PORT), "5");
    EXPECT_EQ(ItemText(page_, IDC_TO_PORT), "64");
}

// ---------------------------------------------------------------- edits

TEST_F(ConnectionsPage, TransportAndPortEditsGoIntoApp) {
    Open();
    Click(page_, IDC_BLUETOOTH);
    EXPECT_EQ(App.Settings.Get().mode, BluetoothMode);
    EXPECT_FALSE(ItemEnabled(page_, IDC_FROM_PORT));
    Click(page_, IDC_SERIAL_PORTS);
    EXPECT_EQ(App.Settings.Get().mode, SerialMode);
    EXPECT_TRUE(ItemEnabled(page_, IDC_TO_PORT));
    SelectCombo(page_, IDC_FROM_PORT, 6);
    SelectCombo(page_, IDC_TO_PORT, 40);
    EXPECT_EQ(App.Settings.Get().FromPort, 7);
    EXPECT_EQ(App.Settings.Get().ToPort, 41);
}

// ---------------------------------------------------------------- Find Scanners

TEST_F(ConnectionsPage, FromAboveToIsRefused) {
    AddSerial("a", "COM4", "A4");
    scannertest::NameFoundScanners({"earlier"});
    Scanner.SetStatusText("lasting");
    Open();
    SelectCombo(page_, IDC_FROM_PORT, 4);
    SelectCombo(page_, IDC_TO_PORT, 2);
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(StatusText(page_), "Invalid port selection.");
    EXPECT_EQ(Scanner.StatusIsError(), 1);
    EXPECT_EQ(LastingStatus(), "lasting");
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"earlier"}));
}

TEST_F(ConnectionsPage, BluetoothSearchStillChecksThePortBoxes) {
    AddBluetooth("bt", "Vantu", "00:11:22:33:44:55", 1);
    App.Settings.Update([](SettingsRecord& s) {
        s.FromPort = 9;
        s.ToPort = 2;
    });
    Open();
    Click(page_, IDC_BLUETOOTH);
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(StatusText(page_), "Invalid port selection.");
    SelectCombo(page_, IDC_TO_PORT, 10);
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"Vantu 00:11:22:33:44:55"}));
}

TEST_F(ConnectionsPage, OneResultIsSelectedAtOnce) {
    AddSerial("three", "COM3", "T3");
    AddSerial("four", "COM4", "T4");
    Open();
    SelectCombo(page_, IDC_FROM_PORT, 2);
    SelectCombo(page_, IDC_TO_PORT, 2);   // From 3, To 3: port 3 alone
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(StatusText(page_), "Found 1 Scanner.");
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"Device ID: T3 on Com COM3."}));
    EXPECT_EQ(ListSelection(page_), 0);
    EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
    EXPECT_EQ(Scanner.StatusIsError(), 0);
}

TEST_F(ConnectionsPage, SeveralResultsWaitForAChoice) {
    AddSerial("three", "COM3", "T3");
    AddSerial("four", "COM4", "T4");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(StatusText(page_), "Found 2 Scanners.");
    EXPECT_EQ(ListSelection(page_), LB_ERR);
    EXPECT_FALSE(ItemEnabled(page_, IDC_ACTIVATE));

    SelectEntry(page_, 1);
    EXPECT_EQ(Scanner.SelectedSlot(), 1);
    EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
    EXPECT_EQ(StatusText(page_), " ");
    EXPECT_EQ(LastingStatus(), " ");

    Command(page_, IDC_SCANNER_LIST, LBN_SELCANCEL);
    EXPECT_FALSE(ItemEnabled(page_, IDC_ACTIVATE));
}

TEST_F(ConnectionsPage, SelectingTheOnlyEntryShowsTheLastingText) {
    AddSerial("three", "COM3", "T3");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    Scanner.SetStatusIsError(1);
    SelectEntry(page_, 0);
    EXPECT_EQ(StatusText(page_), "Found 1 Scanner.");
    EXPECT_EQ(Scanner.StatusIsError(), 1);  // the colour is not changed
}

// While a command runs on the worker the page answers, but the input meant
// for it is dropped; other messages still arrive.
WNDPROC ListProc = nullptr;
int InputReachingTheList = 0, OtherReachingTheList = 0;
LRESULT CALLBACK CountingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_KEYDOWN) ++InputReachingTheList;
    if (message == WM_APP + 7) ++OtherReachingTheList;
    return ::CallWindowProcA(ListProc, list, message, wParam, lParam);
}

TEST_F(ConnectionsPage, InputDuringASlowSearchIsDroppedWhileThePageAnswers) {
    AddSerial("three", "COM3", "T3");
    Sim({"fault", "three", "delay:search", "1500"});
    Open();
    HWND list = ::GetDlgItem(page_, IDC_SCANNER_LIST);
    ListProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingListProc)));
    InputReachingTheList = OtherReachingTheList = 0;
    Command(page_, IDC_FIND_SCANNERS, BN_CLICKED);  // returns at once: the search runs on the worker
    ASSERT_TRUE(ScannerCommands.Busy());
    EXPECT_FALSE(ItemEnabled(page_, IDC_FIND_SCANNERS));
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    ::PostMessageA(list, WM_APP + 7, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return OtherReachingTheList == 1; }, 5000));
    EXPECT_TRUE(ScannerCommands.Busy()) << "the search was not slow enough to test anything";
    ASSERT_TRUE(PumpUntil([] { return !ScannerCommands.Busy(); }, 30000));
    Pump(20);
    EXPECT_EQ(InputReachingTheList, 0);
    EXPECT_EQ(StatusText(page_), "Found 1 Scanner.");
    EXPECT_TRUE(ItemEnabled(page_, IDC_FIND_SCANNERS));
    ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc));
}

// A command that throws on the worker still ends: the page it left busy
// takes input again and offers its commands.
TEST_F(ConnectionsPage, ACommandThatThrowsEndsTheBusyPage) {
    win::UniqueHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(PostPageCommand(
        [event = release.get()]() -> CommandEnd {
            ::WaitForSingleObject(event, 30000);
            throw std::runtime_error("a command that fails");
        },
        HandBackEnd));
    Open();  // while it runs: the page opens busy
    HWND list = ::GetDlgItem(page_, IDC_SCANNER_LIST);
    ListProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingListProc)));
    InputReachingTheList = OtherReachingTheList = 0;
    EXPECT_FALSE(ItemEnabled(page_, IDC_FIND_SCANNERS));
    ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    ::PostMessageA(list, WM_APP + 7, 0, 0);  // behind the key: once it arrives, the key was dropped or taken
    ASSERT_TRUE(PumpUntil([] { return OtherReachingTheList == 1; }, 5000));
    EXPECT_EQ(InputReachingTheList, 0) << "input reached the busy page";
    ::SetEvent(release.get());
    ASSERT_TRUE(PumpUntil([&] { return ItemEnabled(page_, IDC_FIND_SCANNERS); }, 30000));
    ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(PumpUntil([] { return InputReachingTheList == 1; }, 5000));
    ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc));
}

// Input for the page and the controls on it goes; other messages stay, and so
// does input for another window of the thread (a character for a tray menu).
TEST_F(ConnectionsPage, DiscardPendingInputKeepsOtherMessages) {
    Open();
    const win::UniqueWindow other(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(other);
    const HWND list = ::GetDlgItem(page_, IDC_SCANNER_LIST);
    ::PostMessageA(page_, WM_CHAR, 'x', 0);
    ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    ::PostMessageA(page_, WM_RBUTTONUP, 0, 0);
    ::PostMessageA(other.get(), WM_CHAR, 'o', 0);
    ::PostMessageA(page_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    ::PostMessageA(page_, WM_APP + 1, 0, 0);
    ::PostMessageA(page_, WM_MOUSEWHEEL, 0, 0);
    DiscardPendingInput(page_);
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, page_, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    EXPECT_FALSE(::PeekMessageA(&msg, page_, 0, 0, PM_REMOVE));
    EXPECT_FALSE(::PeekMessageA(&msg, list, 0, 0, PM_REMOVE));
    EXPECT_TRUE(::PeekMessageA(&msg, other.get(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
}

// ---------------------------------------------------------------- Activate / Deactivate

TEST_F(ConnectionsPage, ActivateThenDeactivate) {
    AddSerial("three", "COM3", "T3");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Activated, Scanner Connected");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(Scanner.Polled(), 1);
    EXPECT_TRUE(PollingWorker.ShouldRun());
    EXPECT_EQ(App.Settings.Get().DeviceInfo, "Device ID: T3 on Com COM3.");
    EXPECT_EQ(App.Settings.Get().ActivatedScannerMode, SerialMode);
    ExpectActivatedControls();

    // A sheet notification on the page keeps the activated picture.
    EXPECT_EQ(Notify(page_, PSN_SETACTIVE), 0);
    ExpectActivatedControls();

    const auto polling = PollingWorker.get();
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Deactivated");
    EXPECT_EQ(LastingStatus(), "Brontel Vask Deactivated");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(Scanner.Polled(), 0);
    EXPECT_FALSE(PollingWorker.ShouldRun());
    EXPECT_EQ(::WaitForSingleObject(polling, 0), WAIT_OBJECT_0);  // let go before the close
    ExpectSearchableControls();
    EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
}

TEST_F(ConnectionsPage, ActivationFailureLeavesTheControls) {
    AddSerial("three", "COM3", "T3");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    Sim({"fault", "three", "open", "0x2001001A"});
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Port access denied.");
    EXPECT_EQ(Scanner.StatusIsError(), 1);
    EXPECT_EQ(Scanner.Polled(), 0);
    ExpectSearchableControls();
    EXPECT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
}

TEST_F(ConnectionsPage, ConfigurationFailureStillTriesTheStoredConnection) {
    AddSerial("three", "COM3", "T3");
    AddSerial("four", "COM4", "T4");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    SelectEntry(page_, 0);
    Click(page_, IDC_ACTIVATE);
    ASSERT_EQ(Scanner.Polled(), 1);
    Click(page_, IDC_ACTIVATE);  // deactivate
    // Nothing selected: no record to configure, the stored connection opens.
    ::SendDlgItemMessageA(page_, IDC_SCANNER_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(Scanner.Polled(), 1);
    EXPECT_EQ(App.Settings.Get().DeviceInfo, "Device ID: T3 on Com COM3.");
    ExpectActivatedControls();
}

TEST_F(ConnectionsPage, FailedDeactivationIsShownInBlackAndStillDeactivates) {
    AddSerial("three", "COM3", "T3");
    Open();
    Click(page_, IDC_FIND_SCANNERS);
    Click(page_, IDC_ACTIVATE);
    Sim({"fault", "three", "close", "0x20010099"});
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Failed to Deactive Scanner.");
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    ExpectSearchableControls();
    Sim({"clear-faults", "three"});
}

// Barcodes that reached the host while the connection is open, with no
// polling thread to fetch them: what each click leaves of them.
class BarcodesOnTheHost : public ConnectionsPage {
protected:
    void SetUp() override {
        ConnectionsPage::SetUp();
        AddSerial("three", "COM3", "T3");
        Open();
        Click(page_, IDC_FIND_SCANNERS);
        SelectEntry(page_, 0);
        ConfigureConnection(page_, SerialMode);
        ASSERT_EQ(ActivateScanner(page_), 1);
        ASSERT_TRUE(StopPollingThread(3000));
        Sim({"scan", "three", "1", "2", "3"});
        ASSERT_EQ(Waiting(), 3);
    }
    static long Waiting() { return SimCounter("three", "ready") - SimCounter("three", "delivered"); }
};

TEST_F(BarcodesOnTheHost, DeactivateKeepsThem) {
    ::SetDlgItemTextA(page_, IDC_ACTIVATE, "Deac&tivate");
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Deactivated");
    EXPECT_EQ(Waiting(), 3);
}

TEST_F(BarcodesOnTheHost, FindScannersClearsThemBeforeClosing) {
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(Scanner.Connection(), 0u);
    EXPECT_EQ(Waiting(), 0);
}

TEST_F(BarcodesOnTheHost, ActivateClearsThemBeforeClosing) {
    Sim({"fault", "three", "open", "0x20010099"});  // no new polling thread afterwards
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Unable to activate Brontel Vask.");
    EXPECT_EQ(Scanner.Connection(), 0u);
    EXPECT_EQ(Waiting(), 0);
}

// ---------------------------------------------------------------- status colour

TEST_F(ConnectionsPage, StatusLineIsBlackOrRedOnItsOwnBrush) {
    Open();
    HDC dc = ::CreateCompatibleDC(nullptr);
    HWND status = ::GetDlgItem(page_, IDC_STATUS_LINE);
    for (int error : {0, 1}) {
        Scanner.SetStatusIsError(error);
        ::SetBkMode(dc, OPAQUE);
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageA(page_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(status)));
        ASSERT_NE(brush, nullptr);
        LOGBRUSH lb{};
        ASSERT_EQ(::GetObjectA(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
        EXPECT_EQ(lb.lbColor, RGB(255, 255, 240));
        EXPECT_EQ(::GetTextColor(dc), error ? RGB(255, 0, 0) : RGB(0, 0, 0));
        EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    }
    // Any other static is left to the system: the procedure answers 0 and
    // touches nothing.
    HWND other = ::GetWindow(::GetDlgItem(page_, IDC_FROM_PORT), GW_HWNDPREV);
    ::SetTextColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(ConnectionsPageProc(page_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(other)), 0);
    EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
    ::DeleteDC(dc);
}

// ---------------------------------------------------------------- notifications

TEST_F(ConnectionsPage, SheetNotificationsFollowThePageProtocol) {
    Open();
    Sheet.StartPage = 4;
    EXPECT_EQ(Notify(page_, PSN_SETACTIVE), 0);
    EXPECT_EQ(Sheet.StartPage, 1);
    EXPECT_EQ(Notify(page_, PSN_QUERYCANCEL), 0);
    EXPECT_TRUE(Sheet.Cancelled);
    // Not activated: the picture is left alone.
    EXPECT_EQ(ItemText(page_, IDC_ACTIVATE), "Ac&tivate");
}

// ---------------------------------------------------------------- start-up and retry

TEST_F(ConnectionsPage, StartupRetryActivatesTheNewestPageWhenPluggedIn) {
    AddSerial("three", "COM3", "T3");
    SearchAndConfigureSerial(1, 16, 0);
    ResetApp();  // a new run of the program: only the stored connection is left
    App.Settings.Update([](SettingsRecord& s) {
        s.DeviceInfo = "Device ID: T3 on Com COM3.";
        s.ActivatedScannerMode = SerialMode;
    });
    Sim({"unplug", "three"});

    // Start-up's steps with the hidden instance.
    HWND hidden = CreatePage();
    ASSERT_NE(hidden, nullptr);
    HWND list = ::GetDlgItem(hidden, IDC_SCANNER_LIST);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    ShowStoredDevice(list);
    ::SendMessageA(list, LB_SETCURSEL, 0, 0);
    ASSERT_EQ(ActivateScanner(hidden), 0);
    Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));

    Pump(1000);
    EXPECT_EQ(StatusText(hidden), "Scanner Not Connected");
    EXPECT_TRUE(RetryWorker.ShouldRun());

    // The sheet's page comes later and becomes the one the retry writes.
    Open();
    EXPECT_EQ(ConnectionsWindow.load(), page_);
    EXPECT_EQ(ListEntries(page_), (std::vector<std::string>{"Device ID: T3 on Com COM3."}));

    Sim({"plug", "three"});
    ASSERT_TRUE(PumpUntil([this] { return ItemText(page_, IDC_ACTIVATE) == "Deac&tivate"; }, 10000));
    EXPECT_TRUE(PumpUntil([] { return !RetryWorker.ShouldRun(); }, 3000));
    EXPECT_EQ(StatusText(page_), "Scanner Connected");
    EXPECT_EQ(Scanner.Polled(), 1);
    ExpectActivatedControls();
    EXPECT_EQ(ListSelection(page_), 0);

    // Deactivating from the page works as after any activation.
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Deactivated");
    ::DestroyWindow(hidden);
}

TEST_F(ConnectionsPage, FindScannersEndsTheRetryAndSearches) {
    ASSERT_NO_FATAL_FAILURE(OpenWhileTheStartUpRetryRuns());
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), RetryWorker.get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    win::UniqueHandle thread(copy);

    Sim({"plug", "three"});
    Click(page_, IDC_FIND_SCANNERS);
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(RetryWorker);
    EXPECT_FALSE(RetryWorker.ShouldRun());
    EXPECT_EQ(StatusText(page_), "Found 1 Scanner.");
    // Whatever the retry managed before the click, the page now searches.
    EXPECT_EQ(Scanner.Polled(), 0);
    EXPECT_EQ(Scanner.Connection(), 0u);
    ExpectSearchableControls();
    Pump(500);
    EXPECT_EQ(Scanner.Polled(), 0) << "an activation attempt ran after the click";
}

TEST_F(ConnectionsPage, ActivateEndsTheRetryBeforeItActivates) {
    ASSERT_NO_FATAL_FAILURE(OpenWhileTheStartUpRetryRuns());
    SelectEntry(page_, 0);  // a selection enables Activate beside the retry
    ASSERT_TRUE(ItemEnabled(page_, IDC_ACTIVATE));
    Sim({"plug", "three"});
    Click(page_, IDC_ACTIVATE);
    EXPECT_FALSE(RetryWorker);
    EXPECT_FALSE(RetryWorker.ShouldRun());
    EXPECT_EQ(Scanner.Polled(), 1);
    EXPECT_EQ(StatusText(page_), "Brontel Vask Activated, Scanner Connected");
    ExpectActivatedControls();
}

// A polling thread still runs (a start-up retry succeeded behind the page's
// back, say) and is inside a slow count query when Activate is clicked: its
// handle is neither cleared nor closed beside that query, and it is free
// again once the query has returned.
TEST_F(ConnectionsPage, ActivateNeverTouchesTheOldHandleBesideACallInProgress) {
    AddSerial("three", "COM3", "T3");
    SearchAndConfigureSerial(1, 16, 0);
    Open();
    ASSERT_EQ(ActivateScanner(page_), 1);
    ASSERT_TRUE(testsupport::sim::Delay("three", "count", 4000));
    Pump(400);  // a count query is under way
    ::SetDlgItemTextA(page_, IDC_ACTIVATE, "Ac&tivate");
    Click(page_, IDC_ACTIVATE);
    EXPECT_EQ(StatusText(page_), "Port access denied.") << "the old handle still holds the scanner";
    EXPECT_TRUE(testsupport::sim::NoBreaches());

    ASSERT_TRUE(testsupport::sim::Delay("three", "count", 0));
    EXPECT_TRUE(PumpUntil([&] {
        ::SetDlgItemTextA(page_, IDC_ACTIVATE, "Ac&tivate");
        Click(page_, IDC_ACTIVATE);
        return Scanner.Polled() == 1;
    }, 10000)) << StatusText(page_);
    EXPECT_TRUE(testsupport::sim::NoBreaches());
}

// ---------------------------------------------------------------- inside a sheet

namespace {

// The page alone in a modeless property sheet, as the settings sheet hosts it.
class SheetWithConnectionsPage {
public:
    SheetWithConnectionsPage() {
        PROPSHEETPAGEA page{};
        page.dwSize = sizeof page;
        page.hInstance = ::GetModuleHandleA(nullptr);
        page.pszTemplate = MAKEINTRESOURCEA(IDD_CONNECTIONS);
        page.pfnDlgProc = ConnectionsPageProc;
        PROPSHEETHEADERA header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE;
        header.pszCaption = "Connections test sheet";
        header.nPages = 1;
        header.ppsp = &page;
        sheet_ = reinterpret_cast<HWND>(::PropertySheetA(&header));
    }
    ~SheetWithConnectionsPage() {
        if (sheet_) ::DestroyWindow(sheet_);
    }
    HWND sheet() const { return sheet_; }
    HWND page() const { return reinterpret_cast<HWND>(::SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)); }

private:
    HWND sheet_ = nullptr;
};

}  // namespace

TEST_F(ConnectionsPage, InASheetEditsEnableSaveAndTheStatusLineIsDrawnInColour) {
    App.Settings.Update([](SettingsRecord& s) {
        s.LeftPosition = 120;
        s.TopPosition = 90;
    });
    SheetWithConnectionsPage sheet;
    ASSERT_NE(sheet.sheet(), nullptr);
    HWND page = sheet.page();
    ASSERT_NE(page, nullptr);
    Pump(300);
    EXPECT_EQ(ConnectionsWindow.load(), page);
    RECT r{};
    ::GetWindowRect(sheet.sheet(), &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);

    HWND apply = ::GetDlgItem(sheet.sheet(), 12321);
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(apply));
    ::SendMessageA(::GetDlgItem(page, IDC_BLUETOOTH), BM_CLICK, 0, 0);
    EXPECT_EQ(App.Settings.Get().mode, BluetoothMode);
    EXPECT_TRUE(::IsWindowEnabled(apply));

    // The status line as drawn on the screen: red text for an error, black otherwise.
    HWND status = ::GetDlgItem(page, IDC_STATUS_LINE);
    Scanner.SetStatusIsError(1);
    ShowText("Invalid port selection.", status, ReplaceText);
    ::UpdateWindow(status);
    Pump(300);
    const auto red = testsupport::CaptureWindow(status);
    ASSERT_FALSE(red.empty());
    EXPECT_GT(testsupport::CountRedPixels(red), 10);
    EXPECT_LT(testsupport::CountDarkPixels(red), 3);
    const uint32_t corner = red.at(1, 1);
    EXPECT_EQ(corner, 0xFFFFF0u) << "background " << std::hex << corner;

    Scanner.SetStatusIsError(0);
    ShowText("Found 1 Scanner.", status, ReplaceText);
    ::UpdateWindow(status);
    Pump(300);
    const auto black = testsupport::CaptureWindow(status);
    EXPECT_EQ(testsupport::CountRedPixels(black), 0);
    EXPECT_GT(testsupport::CountDarkPixels(black), 10);
    if (auto dir = testsupport::ScreenshotDir()) {
        (void)testsupport::SaveBmp(red, *dir + "/connections-status-red.bmp");
        (void)testsupport::SaveBmp(black, *dir + "/connections-status-black.bmp");
    }
}

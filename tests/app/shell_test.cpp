// The program as a whole, driven from outside: start-up rules, a second
// start, the tray gestures and menu, the sheet's buttons and start page, the
// sheet's position, and the shutdown.
#include "tests/app/AppFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include "app/CloseRequestWatch.h"
#include "res/resource.h"
#include "win/Token.h"
#include "VaskVersion.h"
#include "tests/support/KeyReceiver.h"

namespace apptest {
namespace {

using testsupport::FindTopWindow;
using testsupport::MessageBoxWindow;
using testsupport::WaitUntil;

int CountMainWindows() {
    int count = 0;
    HWND w = nullptr;
    while ((w = ::FindWindowExA(nullptr, w, testsupport::MainWindowClass, testsupport::MainWindowTitle)))
        ++count;
    return count;
}

int CountSheets() {
    int count = 0;
    HWND w = nullptr;
    while ((w = ::FindWindowExA(nullptr, w, testsupport::DialogClass, testsupport::SheetCaption))) ++count;
    return count;
}

// Points the program's copy of its events (VASK_EVENT_FILE) at a file of its
// own for the test's life; the program started by the test inherits it.
class EventFile {
public:
    EventFile() {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "vask-events-" + std::to_string(::GetCurrentProcessId()) + ".txt";
        ::DeleteFileA(path_.c_str());
        ::SetEnvironmentVariableA("VASK_EVENT_FILE", path_.c_str());
    }
    ~EventFile() {
        ::SetEnvironmentVariableA("VASK_EVENT_FILE", nullptr);
        ::DeleteFileA(path_.c_str());
    }
    std::vector<std::string> Lines() const {
        std::ifstream file(path_, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        return lines;
    }
    bool WaitForLine(const std::string& line) const {
        return WaitUntil(
            [&] {
                const std::vector<std::string> lines = Lines();
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            10000);
    }

private:
    std::string path_;
};

// Pixels of the program's icon in the notification area (the right quarter
// of Wine's taskbar): the keyboard's blue, which the 16-pixel image shows
// fully opaque. Zero when the icon is not there; Wine shows no taskbar at
// all before the first icon of the session is added.
int TrayIconPixels() {
    HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    RECT r{};
    if (!taskbar || !::IsWindowVisible(taskbar)) return 0;
    if (!::GetWindowRect(taskbar, &r)) return -1;
    r.left = r.right - (r.right - r.left) / 4;
    testsupport::Capture capture = testsupport::CaptureScreenRect(r);
    int n = 0;
    for (uint32_t px : capture.pixels) {
        const int red = (px >> 16) & 0xFF, green = (px >> 8) & 0xFF, blue = px & 0xFF;
        if (std::abs(red - 0x1F) <= 3 && std::abs(green - 0x4E) <= 3 && std::abs(blue - 0x8C) <= 3) ++n;
    }
    return n;
}

// Waits until the icon's pixel count settles at a value for which pred holds.
template <typename Pred>
int WaitForTrayPixels(Pred pred, DWORD timeoutMs = 5000) {
    int n = -1;
    WaitUntil([&] { return pred(n = TrayIconPixels()); }, timeoutMs);
    return n;
}

// Waits a little and reports whether the exit question appeared.
bool ExitQuestionAppears(DWORD withinMs) {
    return WaitUntil([] { return MessageBoxWindow::Exists("Confirm Exit"); }, withinMs);
}

// ---------------------------------------------------------------- start-up

using StartUp = AppTest;

TEST_F(StartUp, FirstStartOpensTheSheetOnAboutWithRelabelledButtons) {
    ASSERT_TRUE(app.Start());
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet.PageIndex(), AboutPage);
    EXPECT_EQ(sheet.PageTitle(), "About");
    EXPECT_EQ(testsupport::WindowTextOf(sheet.ExitButton()), "&Exit");
    EXPECT_EQ(testsupport::WindowTextOf(sheet.CloseButton()), "&Close");
    EXPECT_EQ(testsupport::WindowTextOf(sheet.SaveButton()), "S&ave Settings");
    EXPECT_FALSE(testsupport::IsEnabled(sheet.SaveButton())) << "nothing changed yet";
    // The hidden main window is there but never shown; the sheet has no owner.
    EXPECT_FALSE(::IsWindowVisible(app.MainWindow()));
    EXPECT_EQ(::GetWindow(sheet.window(), GW_OWNER), nullptr);
    // A missing settings file was written from the defaults.
    auto saved = SavedSettings();
    EXPECT_EQ(saved["FromPort"], "1");
    EXPECT_EQ(saved["ToPort"], "16");
    EXPECT_EQ(saved["SuffixFirstChar"], "<ENTER>");
}

TEST_F(StartUp, BrokenSettingsFileIsReplacedByTheDefaults) {
    {
        std::ofstream bad(VaskApp::SettingsPath(), std::ios::binary | std::ios::trunc);
        bad << "<Zantrovix><Admin><strip>3</strip>";  // not well-formed
    }
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(Sheet::WaitFor());
    auto saved = SavedSettings();
    EXPECT_EQ(saved["strip"], "0");
    EXPECT_EQ(saved["LeftPosition"], "250");
}

TEST_F(StartUp, MinimizeShowsOnlyTheTray) {
    for (int activate : {0, 1}) {
        VaskSettings settings;
        settings.Minimize = 1;
        settings.Activate = activate;
        StartWith(settings);
        EXPECT_FALSE(WaitUntil([] { return static_cast<bool>(Sheet::Find()); }, 1500)) << activate;
        EXPECT_TRUE(app.Running());
        EXPECT_EQ(CountMainWindows(), 1);
    }
}

TEST_F(StartUp, ActivateOpensTheSheetOnConnections) {
    VaskSettings settings;
    settings.Activate = 1;
    Sheet sheet = StartWithSheet(settings);
    EXPECT_EQ(sheet.PageIndex(), ConnectionsPage);
    EXPECT_EQ(sheet.PageTitle(), "Connections");
}

TEST_F(StartUp, SecondStartWithTheSheetOpenBringsItForwardAndEnds) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet);
    testsupport::KeyReceiver other;  // another program's window in front first
    ASSERT_TRUE(other.Ready());
    ASSERT_TRUE(other.Focus());
    ::Sleep(300);  // the receiver's own focus request has been handled
    ASSERT_FALSE(sheet.IsForeground());
    testsupport::ChildProcess second = app.StartAnother();
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.Wait(10000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return sheet.IsForeground(); }, 3000));
    EXPECT_EQ(CountMainWindows(), 1) << "no second main window, so no second tray icon";
    EXPECT_EQ(CountSheets(), 1);
    EXPECT_TRUE(app.Running());
}

TEST_F(StartUp, SecondStartWithTheSheetClosedOpensItAndWaitsForIt) {
    VaskSettings settings;
    settings.Minimize = 1;
    StartWith(settings);
    testsupport::ChildProcess second = app.StartAnother();
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet) << "the running instance opens its sheet";
    EXPECT_EQ(second.Wait(1000), 0xFFFFFFFFu) << "the second start waits while the sheet is open";
    EXPECT_EQ(CountMainWindows(), 1);
    CloseSheet(sheet);
    EXPECT_EQ(second.Wait(10000), 0u);
    EXPECT_TRUE(app.Running());
}

// A copy of the program in a folder without the SDK DLL, while a DLL of that
// name lies in the current directory it is started in, which is also on PATH:
// the program must not load it (on Windows such a DLL would run inside the
// program, elevated when an administrator starts it).
TEST_F(StartUp, TheSdkIsLoadedFromTheProgramFolderOnly) {
    char temp[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    const std::string root = std::string(temp) + "vask-sdk-search-" + std::to_string(::GetCurrentProcessId());
    const std::string program = root + "\\program", planted = root + "\\planted";
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA(program.c_str(), nullptr);
    ::CreateDirectoryA(planted.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA(VaskApp::ExePath().c_str(), (program + "\\VaskSW.exe").c_str(), FALSE));
    const std::string dll = "VantuPlusSDK_Win32_API.dll";
    ASSERT_TRUE(::CopyFileA(testsupport::BinPath(dll).c_str(), (planted + "\\" + dll).c_str(), FALSE));

    std::string path(32767, '\0');
    path.resize(::GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size())));
    ASSERT_TRUE(::SetEnvironmentVariableA("PATH", (planted + ";" + path).c_str()));
    const EventFile events;
    testsupport::ChildProcess copy(program + "\\VaskSW.exe", {}, planted);
    ::SetEnvironmentVariableA("PATH", path.c_str());
    ASSERT_TRUE(copy.started());
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet.PageIndex(), AboutPage);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return sheet.ItemText(IDC_SDK_VERSION) == "Scanner SDK v0"; }, 5000))
        << sheet.ItemText(IDC_SDK_VERSION) << ": no SDK beside the program, none loaded";
    // The tray says why no scanner can be found, naming the file and the folder.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::ShellShows(dll + " is not in " + program + ".") != nullptr; },
                                       10000));
    // So does the event log.
    EXPECT_TRUE(events.WaitForLine("1200\tError\tScanner SDK missing: " + dll + " is not in " + program +
                                   ". No scanner can be used."));
    // The Connections page says the same, not that no scanner is there.
    const std::string missing = "Scanner SDK missing: " + dll + " is not in " + program + ".";
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));
    testsupport::PostClick(sheet.Item(IDC_FIND_SCANNERS));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return sheet.ItemText(IDC_STATUS_LINE) == missing; }, 10000))
        << sheet.ItemText(IDC_STATUS_LINE);

    VaskApp::EndRunningInstances();
    EXPECT_NE(copy.Wait(10000), 0xFFFFFFFFu);
    for (const std::string& file : {program + "\\VaskSW.exe", program + "\\ConfigSettings.xml", planted + "\\" + dll})
        ::DeleteFileA(file.c_str());
    for (const std::string& folder : {program, planted, root}) ::RemoveDirectoryA(folder.c_str());
}

// This user's close request, made first by another owner with an access list
// that lets everybody set it, and set: the program does not take it for the
// installer's and runs on. The request the program makes itself, set as the
// installer sets it, ends it in order.
TEST_F(StartUp, OnlyACloseRequestOfTheUserOrTheAdministratorsClosesTheProgram) {
    const std::string name = CloseRequestEventNameFor(win::ProcessUserSidText(::GetCurrentProcess()));
    const std::string stranger = "S-1-5-21-1004336348-1177238915-682003330-1013";
    win::UniqueLocal descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(
        ("O:" + stranger + "D:(A;;GA;;;WD)").c_str(), SDDL_REVISION_1,
        reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    win::UniqueHandle forged(::CreateEventA(&attributes, TRUE, TRUE, name.c_str()));
    ASSERT_TRUE(forged);
    PSID owner = nullptr;
    win::UniqueLocal made;
    ASSERT_EQ(::GetSecurityInfo(forged.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(made.put())),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(win::SidText(owner), stranger) << "the event is not another user's";

    ASSERT_TRUE(StartWithSheet());
    EXPECT_EQ(app.WaitForExit(5000), 0xFFFFFFFFu) << "a request made by another user closed the program";
    EXPECT_EQ(app.ExitThroughTray(), 0u);
    forged.reset();

    ASSERT_TRUE(StartWithSheet());
    const win::UniqueHandle request(::OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str()));
    ASSERT_TRUE(request) << "the program made no close request of its user's";
    ASSERT_TRUE(::SetEvent(request.get()));
    EXPECT_EQ(app.WaitForExit(15000), 0u);
}

// ---------------------------------------------------------------- event log

using EventLog = AppTest;

// A damaged settings file replaced, a policy in force, the start, an
// activation and the end, in that order, each with its level and its text
// from the program's message table.
TEST_F(EventLog, TheProgramsEventsCarryTheirLevelsAndTexts) {
    const EventFile events;
    const char* policyKey = "Software\\Policies\\Brontel Vask";
    win::UniqueKey policies;
    DWORD created = 0;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, policyKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                                policies.put(), &created),
              ERROR_SUCCESS);
    const DWORD one = 1;
    const bool policySetHere = ::RegQueryValueExA(policies.get(), "ShowBalloons", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
    ASSERT_TRUE(policySetHere) << "a ShowBalloons policy is in force already";
    ASSERT_EQ(::RegSetValueExA(policies.get(), "ShowBalloons", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
    {
        std::ofstream bad(VaskApp::SettingsPath(), std::ios::binary | std::ios::trunc);
        bad << "<Zantrovix><Admin>";  // not well-formed
    }
    Sim({"add-serial", "s1", "--port", "com3", "--device-id", "1001"});
    ASSERT_TRUE(app.Start());
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));
    EXPECT_TRUE(testsupport::ClickCommand(sheet.Item(IDC_FIND_SCANNERS)));
    EXPECT_TRUE(testsupport::ClickCommand(sheet.Item(IDC_ACTIVATE)));
    EXPECT_EQ(app.ExitThroughTray(), 0u);
    (void)::RegDeleteValueA(policies.get(), "ShowBalloons");

    const std::string folder = VaskApp::SettingsPath().substr(0, VaskApp::SettingsPath().rfind('\\') + 1);
    const std::string version = VASK_VERSION_TEXT;
    const std::vector<std::string> expected = {
        "1000\tInformation\tBrontel Vask " + version + " started.",
        "1500\tInformation\tSet by your administrator (policy): ShowBalloons.",
        "1400\tWarning\tThe settings file " + folder + "ConfigSettings.xml could not be read and was replaced with "
            "default settings. The damaged file was kept as " + folder + "ConfigSettings.xml.bad.",
        "1100\tInformation\tA scanner was activated: " + SavedSettings()["DeviceInfo"],
        "1001\tInformation\tBrontel Vask " + version + " ended.",
    };
    EXPECT_EQ(events.Lines(), expected);
}

// ---------------------------------------------------------------- command line

using CommandLine = AppTest;

DWORD RunWith(const std::vector<std::string>& arguments) {
    testsupport::ChildProcess start(VaskApp::ExePath(), arguments);
    return start.Wait(30000);
}

constexpr DWORD Running = 1, Connected = 2, Paused = 4;

// /status, /pause, /resume and /exit reach the running copy and answer its
// state; bad arguments change nothing; /exit with a barcode waiting on the
// scanner ends in order and leaves the barcode there.
TEST_F(CommandLine, CommandsReachTheRunningCopyAndAnswerItsState) {
    CloseSheet(StartActivated());
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    EXPECT_EQ(RunWith({"/status"}), Running | Connected);
    // The start at logon finds a copy running: it ends and opens nothing (a
    // plain second start would open the sheet before it ends).
    EXPECT_EQ(RunWith({"/logon"}), 0u);
    EXPECT_FALSE(Sheet::Find());

    EXPECT_EQ(RunWith({"/pause"}), Running | Connected | Paused);
    Sim({"scan", "s1", "HELD-1"});
    EXPECT_TRUE(WaitUntil([] { return testsupport::TrayTipHolds("1 barcode waiting"); }, 10000));
    EXPECT_EQ(RunWith({"/resume", "/stop", "/quiet"}), 64u);
    EXPECT_EQ(RunWith({"-STATUS"}), Running | Connected | Paused) << "bad arguments changed something";
    EXPECT_EQ(RunWith({"/resume"}), Running | Connected);
    EXPECT_TRUE(receiver.WaitForText(L"HELD-1\r", 10000)) << "got: " << receiver.Text().size();

    EXPECT_EQ(RunWith({"/pause"}), Running | Connected | Paused);
    Sim({"scan", "s1", "LEFT-1"});
    EXPECT_TRUE(WaitUntil([] { return testsupport::TrayTipHolds("1 barcode waiting"); }, 10000));
    EXPECT_EQ(RunWith({"/exit"}), 0u);
    EXPECT_EQ(app.WaitForExit(5000), 0u);
    const auto scanner = testsupport::sim::StatusOf("s1");
    ASSERT_TRUE(scanner);
    EXPECT_EQ(scanner->stored, 2u);
    EXPECT_EQ(scanner->delivered, 1u) << "LEFT-1 stays on the scanner";
    EXPECT_EQ(receiver.Text(), L"HELD-1\r");
}

// With no copy running, only /pause starts one, paused from the start; bad
// arguments start nothing and say what was wrong.
TEST_F(CommandLine, WithNoCopyRunningOnlyPauseStartsOne) {
    testsupport::ChildProcess bad(VaskApp::ExePath(), {"/stop"});
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Brontel Vask");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.Text().rfind("Unknown argument: /stop", 0), 0u) << box.Text();
    EXPECT_TRUE(box.Answer(IDOK));
    EXPECT_EQ(bad.Wait(10000), 64u);
    EXPECT_EQ(RunWith({"/status"}), 0u);
    EXPECT_EQ(RunWith({"/resume"}), 0u);
    EXPECT_EQ(VaskApp::FindMainWindow(), nullptr);
    testsupport::ChildProcess paused(VaskApp::ExePath(), {"/pause"});
    ASSERT_TRUE(WaitUntil([] { return VaskApp::FindMainWindow() != nullptr; }, 20000));
    EXPECT_EQ(RunWith({"/status"}) & (Running | Paused), Running | Paused);
    EXPECT_EQ(RunWith({"/exit"}), 0u);
    EXPECT_EQ(paused.Wait(10000), 0u);
}

// ---------------------------------------------------------------- tray

using Tray = AppTest;

TEST_F(Tray, DoubleClickAndOpenOnlyBringTheOpenSheetForward) {
    Sheet sheet = StartWithSheet();
    app.TrayDoubleClick();
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('o'));
    ::Sleep(500);
    EXPECT_EQ(CountSheets(), 1);
    EXPECT_EQ(Sheet::Find().window(), sheet.window()) << "the same sheet, not a new one";
}

TEST_F(Tray, OpenReopensTheSheetOnThePageItWasClosedOn) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(FormatPage));
    CloseSheet(sheet);
    EXPECT_TRUE(app.Running());

    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('o'));
    Sheet reopened = Sheet::WaitFor();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened.PageIndex(), FormatPage);
    CloseSheet(reopened);

    app.TrayDoubleClick();
    Sheet again = Sheet::WaitFor();
    ASSERT_TRUE(again);
    EXPECT_EQ(again.PageIndex(), FormatPage);
}

TEST_F(Tray, AboutReplacesTheSheetByOneOnAbout) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(OptionsPage));
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('a'));
    Sheet replaced;
    ASSERT_TRUE(WaitUntil([&] {
        replaced = Sheet::Find();
        return replaced && replaced.window() != sheet.window() && replaced.Page();
    }, 10000));
    EXPECT_FALSE(::IsWindow(sheet.window()));
    EXPECT_EQ(replaced.PageIndex(), AboutPage);
    EXPECT_EQ(CountSheets(), 1);

    // The replaced sheet's end asks nothing; the new one works as usual.
    EXPECT_FALSE(ExitQuestionAppears(1000));
    CloseSheet(replaced);
    EXPECT_FALSE(ExitQuestionAppears(1000));
    EXPECT_TRUE(app.Running());
    app.TrayDoubleClick();
    EXPECT_TRUE(Sheet::WaitFor()) << "the tray can open a sheet again";
}

TEST_F(Tray, AboutWithoutSheetOpensOnAboutOnce) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(TracePage));
    CloseSheet(sheet);
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('a'));
    Sheet about = Sheet::WaitFor();
    ASSERT_TRUE(about);
    EXPECT_EQ(about.PageIndex(), AboutPage);
    CloseSheet(about);
    app.TrayDoubleClick();
    Sheet next = Sheet::WaitFor();
    ASSERT_TRUE(next);
    EXPECT_EQ(next.PageIndex(), AboutPage) << "the page shown last";
}

TEST_F(Tray, SingleClickBringsTheSheetForwardAndDoesNothingWithout) {
    Sheet sheet = StartWithSheet();
    testsupport::KeyReceiver other;  // another program's window in front
    ASSERT_TRUE(other.Ready());
    ASSERT_TRUE(other.Focus());
    ::Sleep(300);  // the receiver's own focus request has been handled
    ASSERT_FALSE(sheet.IsForeground());
    app.TrayClick();
    EXPECT_TRUE(WaitUntil([&] { return sheet.IsForeground(); }, 3000));

    CloseSheet(sheet);
    app.TrayClick();
    EXPECT_FALSE(WaitUntil([] { return static_cast<bool>(Sheet::Find()); }, 1000));
    EXPECT_TRUE(app.Running());
}

// No is the question's default answer: Enter keeps the program.
// The tray menu closed without a choice gives the keyboard back to the
// window the user was working in, not to the program's hidden window.
TEST_F(Tray, AMenuClosedWithoutAChoiceGivesTheFocusBack) {
    Sheet sheet = StartWithSheet();
    CloseSheet(sheet);
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(app.OpenTrayMenu());
    ::keybd_event(VK_ESCAPE, static_cast<BYTE>(::MapVirtualKeyA(VK_ESCAPE, 0)), 0, 0);
    ::keybd_event(VK_ESCAPE, static_cast<BYTE>(::MapVirtualKeyA(VK_ESCAPE, 0)), KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(WaitUntil([] { return VaskApp::OpenMenuWindow() == nullptr; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == receiver.Window(); }, 5000));
}

TEST_F(Tray, MenuExitAnsweredNoKeepsEverythingRunning) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('e'));
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.Text(), "Do you really wish to exit the program?");
    EXPECT_EQ(::GetWindow(box.window(), GW_OWNER), nullptr) << "the question has no owner";
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == box.window(); }, 5000));
    ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), 0, 0);
    ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box.window()); }, 5000));
    DWORD_PTR answer = 0;  // the answer has been acted on once the main window answers
    EXPECT_NE(::SendMessageTimeoutA(app.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer), 0);
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(::IsWindow(sheet.window()));
    EXPECT_EQ(CountMainWindows(), 1);
}

TEST_F(Tray, MenuExitAnsweredYesShutsDownCleanly) {
    VaskSettings settings;
    settings.Minimize = 1;
    settings.strip = 2;
    settings.LeftPosition = 111;
    StartWith(settings);
    // The sheet shows the settings were read (it opens at their position);
    // closed with "&Close", it saves nothing.
    app.TrayDoubleClick();
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet.Rect().left, 111);
    CloseSheet(sheet);
    VaskApp::RemoveSettingsFile();  // the shutdown must write it again
    EXPECT_EQ(app.ExitThroughTray(), 0u);
    EXPECT_EQ(CountMainWindows(), 0);
    auto saved = SavedSettings();
    EXPECT_EQ(saved["strip"], "2");
    EXPECT_EQ(saved["LeftPosition"], "111");
    EXPECT_EQ(saved["Minimize"], "1");
    // The mutex was handed back: a new start is a first instance again.
    VaskApp next;
    ASSERT_TRUE(next.Start());
    EXPECT_TRUE(next.Running());
}

// ---------------------------------------------------------------- tray icon

using TrayIcon = AppTest;

TEST_F(TrayIcon, OneIconHoweverOftenTheProgramIsStartedAndNoneAfterExit) {
    ASSERT_EQ(WaitForTrayPixels([](int n) { return n == 0; }), 0) << "no icon before the start";
    VaskSettings settings;
    settings.Minimize = 1;
    StartWith(settings);
    const int one = WaitForTrayPixels([](int n) { return n > 0; });
    ASSERT_GT(one, 0) << "the icon is shown";

    testsupport::ChildProcess second = app.StartAnother();  // opens the running instance's sheet
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    testsupport::ChildProcess third = app.StartAnother();   // brings that sheet forward
    EXPECT_EQ(third.Wait(10000), 0u);
    ::Sleep(500);
    EXPECT_EQ(TrayIconPixels(), one) << "still exactly one icon";
    CloseSheet(sheet);
    EXPECT_EQ(second.Wait(10000), 0u);

    ASSERT_EQ(app.ExitThroughTray(), 0u);
    EXPECT_EQ(WaitForTrayPixels([](int n) { return n == 0; }), 0) << "the icon is removed at exit";
}

TEST_F(TrayIcon, ComesBackWhenTheTaskbarIsCreatedAgain) {
    VaskSettings settings;
    settings.Minimize = 1;
    StartWith(settings);
    const int one = WaitForTrayPixels([](int n) { return n > 0; });
    ASSERT_GT(one, 0);
    // What a restarted shell looks like to the program: its icon is gone,
    // then every top-level window hears "TaskbarCreated".
    NOTIFYICONDATAA gone{};
    gone.cbSize = NOTIFYICONDATAA_V2_SIZE;
    gone.hWnd = app.MainWindow();
    gone.uID = 0;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &gone));
    ASSERT_EQ(WaitForTrayPixels([](int n) { return n == 0; }), 0);
    ::SendMessageA(app.MainWindow(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(WaitForTrayPixels([one](int n) { return n == one; }), one) << "the icon is added again";
    // And it still answers: a double click opens the sheet.
    app.TrayDoubleClick();
    EXPECT_TRUE(Sheet::WaitFor());
}

// ---------------------------------------------------------------- sheet

using SettingsSheet = AppTest;

// The question comes while the sheet is still open; No leaves it as it was.
TEST_F(SettingsSheet, ExitAnsweredNoKeepsTheSheetOpen) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(OptionsPage));
    testsupport::PostClick(sheet.ExitButton());
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    EXPECT_TRUE(::IsWindowVisible(sheet.window())) << "the sheet stays open while the question is up";
    ASSERT_TRUE(box.Answer(IDNO));
    EXPECT_TRUE(WaitUntil([] { return !MessageBoxWindow::Exists("Confirm Exit"); }, 5000));
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(::IsWindowVisible(sheet.window()));
    EXPECT_EQ(sheet.PageIndex(), OptionsPage);
}

TEST_F(SettingsSheet, ExitAnsweredYesEndsTheProgram) {
    Sheet sheet = StartWithSheet();
    testsupport::PostClick(sheet.ExitButton());
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    ASSERT_TRUE(box.Answer(IDYES));
    EXPECT_EQ(app.WaitForExit(15000), 0u);
    EXPECT_EQ(CountMainWindows(), 0);
}

TEST_F(SettingsSheet, CloseAfterSaveSettingsAsksNothing) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));
    ASSERT_TRUE(testsupport::Click(sheet.Item(1048)));  // Bluetooth: a change
    ASSERT_TRUE(WaitUntil([&] { return testsupport::IsEnabled(sheet.SaveButton()); }, 3000));
    ASSERT_TRUE(testsupport::Click(sheet.SaveButton()));
    EXPECT_TRUE(WaitUntil([&] { return !testsupport::IsEnabled(sheet.SaveButton()); }, 3000));
    EXPECT_EQ(SavedSettings()["mode"], "9");
    CloseSheet(sheet);
    EXPECT_FALSE(ExitQuestionAppears(1500));
    EXPECT_TRUE(app.Running());
}

TEST_F(SettingsSheet, CloseWithoutSavingKeepsEditsForTheNextSave) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));
    ASSERT_TRUE(testsupport::Click(sheet.Item(1048)));
    const std::string before = SavedSettings()["mode"];
    EXPECT_EQ(before, "4") << "nothing saved by the click itself";
    CloseSheet(sheet);
    EXPECT_FALSE(ExitQuestionAppears(1000));
    EXPECT_EQ(SavedSettings()["mode"], "4") << "closing does not save";
    app.TrayDoubleClick();
    Sheet reopened = Sheet::WaitFor();
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(testsupport::IsChecked(reopened.Item(1048))) << "the edit stayed in the program";
    ASSERT_TRUE(reopened.SelectPage(AboutPage));
    EXPECT_EQ(SavedSettings()["mode"], "9") << "saved when the page was left";
}

TEST_F(SettingsSheet, PositionIsRememberedAcrossPagesSheetsAndRuns) {
    VaskSettings settings;
    settings.LeftPosition = 140;
    settings.TopPosition = 90;
    Sheet sheet = StartWithSheet(settings);
    EXPECT_EQ(sheet.Rect().left, 140);
    EXPECT_EQ(sheet.Rect().top, 90);

    ASSERT_TRUE(sheet.MoveTo(300, 160));
    for (int page : {ConnectionsPage, OptionsPage, TracePage, FormatPage}) {
        ASSERT_TRUE(sheet.SelectPage(page));
        EXPECT_EQ(sheet.Rect().left, 300) << "page " << page;
        EXPECT_EQ(sheet.Rect().top, 160) << "page " << page;
    }
    auto saved = SavedSettings();
    EXPECT_EQ(saved["LeftPosition"], "300");
    EXPECT_EQ(saved["TopPosition"], "160");

    CloseSheet(sheet);
    app.TrayDoubleClick();
    Sheet reopened = Sheet::WaitFor();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened.Rect().left, 300);
    EXPECT_EQ(reopened.Rect().top, 160);

    ASSERT_TRUE(reopened.MoveTo(220, 130));
    ASSERT_TRUE(reopened.SelectPage(AboutPage));  // a page change stores the place
    CloseSheet(reopened);
    ASSERT_EQ(app.ExitThroughTray(), 0u);

    VaskApp second;
    ASSERT_TRUE(second.Start());
    Sheet nextRun = Sheet::WaitFor();
    ASSERT_TRUE(nextRun);
    EXPECT_EQ(nextRun.Rect().left, 220);
    EXPECT_EQ(nextRun.Rect().top, 130);
}

// The settings file held open by another program while the program starts:
// the defaults it goes on with never overwrite the stored section.
TEST_F(SettingsSheet, AFileLockedAtStartUpKeepsItsSettingsAndTakesTheUsersChange) {
    VaskSettings settings;
    settings.SuffixFirstChar = "<TAB>";
    settings.Company = "Brontel Test Co";
    settings.TopPosition = 333;
    VaskApp::WriteSettings(settings);
    HANDLE held = ::CreateFileA(VaskApp::SettingsPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(app.Start());
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet.Rect().top, 200) << "the defaults, as nothing could be read";
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));  // a save while the file is held
    ASSERT_TRUE(testsupport::Click(sheet.Item(1048)));  // Bluetooth: the user's own change
    ::CloseHandle(held);

    // Pages made already: no page's creation moves the sheet meanwhile.
    ASSERT_TRUE(sheet.SelectPage(AboutPage));        // the first save that can read the file
    ASSERT_TRUE(sheet.SelectPage(ConnectionsPage));  // and one more
    auto saved = SavedSettings();
    EXPECT_EQ(saved["SuffixFirstChar"], "<TAB>");
    EXPECT_EQ(saved["Company"], "Brontel Test Co");
    EXPECT_EQ(saved["TopPosition"], "333");
    EXPECT_EQ(saved["mode"], "9");
    EXPECT_EQ(sheet.Rect().top, 333) << "the sheet goes to its stored place";
}

// A place on a monitor that is gone: the sheet comes fully onto the screen.
TEST_F(SettingsSheet, APlaceOffEveryScreenOpensOnTheNearestWorkArea) {
    VaskSettings settings;
    settings.LeftPosition = 5000;
    settings.TopPosition = -3000;
    Sheet sheet = StartWithSheet(settings);
    ASSERT_TRUE(sheet);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(sheet.window(), MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork, r = sheet.Rect();
    EXPECT_EQ(r.right, work.right) << "the corner nearest to where it was";
    EXPECT_EQ(r.top, work.top);
    EXPECT_GE(r.left, work.left);
    EXPECT_LE(r.bottom, work.bottom);
}

// Enter in a page's field does not answer Exit, the sheet's default button:
// Enter, Enter in a Format field leaves the program running with its sheet
// (before, the sheet closed and the second Enter answered Yes to the exit).
TEST_F(SettingsSheet, EnterInAFieldNeitherClosesTheSheetNorAsksToExit) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(4));
    const HWND field = ::GetWindow(sheet.Item(IDC_PREFIX_CHAR), GW_CHILD);  // the box's edit field
    // Clicked again if the click did not take, as a user would on a busy machine.
    auto focused = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(0, &info) && info.hwndFocus == field;
    };
    bool inField = false;
    for (int click = 0; click < 3 && !inField; ++click)
        inField = testsupport::RealClick(field) && WaitUntil(focused, 5000);
    ASSERT_TRUE(inField) << "the field never took the keyboard focus";
    for (int i = 0; i < 2; ++i) {
        ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), 0, 0);
        ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), KEYEVENTF_KEYUP, 0);
    }
    EXPECT_FALSE(ExitQuestionAppears(1500));
    EXPECT_TRUE(::IsWindow(sheet.window()));
    EXPECT_TRUE(app.Running());
}

TEST_F(SettingsSheet, EscapeClosesTheSheetLikeClose) {
    Sheet sheet = StartWithSheet();
    ::PostMessageA(sheet.window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Sheet::WaitGone());
    EXPECT_FALSE(ExitQuestionAppears(1000));
    EXPECT_TRUE(app.Running());
}

TEST_F(SettingsSheet, ClosedSheetReopensFromTheTray) {
    Sheet sheet = StartWithSheet();
    CloseSheet(sheet);
    for (int round = 0; round < 3; ++round) {
        app.TrayDoubleClick();
        Sheet again = Sheet::WaitFor();
        ASSERT_TRUE(again) << round;
        EXPECT_EQ(CountSheets(), 1);
        CloseSheet(again);
    }
}

// A second start while the tray menu is open, or while "Confirm Exit"
// waits for its answer, opens nothing inside their message loops: the menu
// still takes its command, the question its No at once, and the second
// start ends.
TEST_F(StartUp, SecondStartWhileTheTrayMenuOrConfirmExitIsUpOpensNothing) {
    VaskSettings settings;
    settings.Minimize = 1;
    StartWith(settings);
    ASSERT_TRUE(app.OpenTrayMenu());
    testsupport::ChildProcess duringMenu = app.StartAnother();
    EXPECT_EQ(duringMenu.Wait(10000), 0u);
    EXPECT_FALSE(Sheet::Find());
    ASSERT_TRUE(app.PickTrayMenuItem('e'));
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Confirm Exit");
    ASSERT_TRUE(box);
    testsupport::ChildProcess second = app.StartAnother();
    EXPECT_EQ(second.Wait(10000), 0u);
    EXPECT_FALSE(Sheet::Find());
    EXPECT_TRUE(box.Answer(IDNO));
    EXPECT_TRUE(WaitUntil([] { return !MessageBoxWindow::Exists("Confirm Exit"); }, 5000));
    EXPECT_TRUE(app.Running());
}

}  // namespace
}  // namespace apptest

// The Options page in a sheet of the test's own: its boxes follow the
// settings, and the start-with-Windows value changes in the registry the
// moment the box is clicked.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/UserOptions.h"
#include "res/resource.h"
#include "tests/pages/PageHost.h"
#include "win/Scoped.h"

#include <commctrl.h>

using pagetest::PageHost;

namespace {

constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::string> RunValue(HKEY root) {
    win::UniqueKey key;
    if (::RegOpenKeyExA(root, RunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), RunValueName, nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

void PutRunValue(HKEY root, const std::string& text) {
    win::UniqueKey key;
    ASSERT_EQ(::RegCreateKeyExA(root, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key.get(), RunValueName, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

void DeleteValue(HKEY root) {
    win::UniqueKey key;
    if (::RegOpenKeyExA(root, RunKey, 0, KEY_WRITE, key.put()) == ERROR_SUCCESS)
        (void)::RegDeleteValueA(key.get(), RunValueName);
}

void DeleteOptionKeys() {
    (void)::RegDeleteKeyA(HKEY_CURRENT_USER, UserOptionsKey);
    (void)::RegDeleteKeyA(HKEY_LOCAL_MACHINE, PolicyOptionsKey);
}

void SetPolicy(const char* name, DWORD value) {
    win::UniqueKey key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, PolicyOptionsKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
}

bool Ticked(HWND button) { return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }
std::string ItemText(HWND page, int id) {
    char text[128] = "";
    ::GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

class OptionsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteValue(HKEY_CURRENT_USER);
        DeleteValue(HKEY_LOCAL_MACHINE);
        DeleteOptionKeys();
        App.Settings.Update([](SettingsRecord& s) {
            s.Activate = 0;
            s.Minimize = 0;
        });
        App.RunAtStartup = 0;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(OptionsPageTest, BoxesShowTheSettings) {
    App.Settings.Update([](SettingsRecord& s) {
        s.Activate = 1;
        s.Minimize = 1;
    });
    PageHost host(pagetest::OptionsTab);
    EXPECT_EQ(Sheet.StartPage, OptionsPageIndex);
    EXPECT_TRUE(Ticked(host.item(IDC_ACTIVATE_ON_START)));
    EXPECT_FALSE(Ticked(host.item(IDC_RUN_AT_STARTUP)));
    EXPECT_TRUE(Ticked(host.item(IDC_MINIMIZE_ON_START)));
    EXPECT_FALSE(host.SaveEnabled());
}

TEST_F(OptionsPageTest, ActivateAndMinimizeFollowTheirBoxes) {
    PageHost host(pagetest::OptionsTab);
    Click(host.item(IDC_ACTIVATE_ON_START));
    EXPECT_EQ(App.Settings.Get().Activate, 1);
    EXPECT_TRUE(host.SaveEnabled());
    Click(host.item(IDC_MINIMIZE_ON_START));
    EXPECT_EQ(App.Settings.Get().Minimize, 1);
    Click(host.item(IDC_ACTIVATE_ON_START));
    EXPECT_EQ(App.Settings.Get().Activate, 0);
    EXPECT_EQ(App.Settings.Get().Minimize, 1);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).has_value());  // neither touches the registry
}

TEST_F(OptionsPageTest, StartWithWindowsIsWrittenAndDeletedAtTheClick) {
    PageHost host(pagetest::OptionsTab);
    Click(host.item(IDC_RUN_AT_STARTUP));
    EXPECT_EQ(App.RunAtStartup, 1);
    EXPECT_TRUE(host.SaveEnabled());
    const std::optional<std::string> written = RunValue(HKEY_CURRENT_USER);
    ASSERT_TRUE(written.has_value());
    // The value names this program (PathInfo: its command line without quotes).
    EXPECT_NE(App.Settings.Get().PathInfo.find("pages_tests"), std::string::npos) << App.Settings.Get().PathInfo;
    EXPECT_NE(written->find(App.Settings.Get().PathInfo), std::string::npos) << *written;

    PutRunValue(HKEY_LOCAL_MACHINE, "C:\\Program Files\\Brontel Vask\\VaskSW.exe");  // as an installer
    Click(host.item(IDC_RUN_AT_STARTUP));
    EXPECT_EQ(App.RunAtStartup, 0);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).has_value());
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).has_value());
}

// The balloons' box writes the user's choice at the click; an
// administrator's policy value wins over it, and its box cannot be changed.
TEST_F(OptionsPageTest, BalloonsFollowTheUserUnlessAPolicySetsThem) {
    {
        PageHost host(pagetest::OptionsTab);
        EXPECT_TRUE(Ticked(host.item(IDC_SHOW_BALLOONS)));
        Click(host.item(IDC_SHOW_BALLOONS));
        EXPECT_EQ(ReadUserOption(ShowBalloonsValue, 1).value, 0u);
        EXPECT_FALSE(BalloonsWanted());
    }
    SetPolicy(ShowBalloonsValue, 1);
    PageHost host(pagetest::OptionsTab);
    EXPECT_TRUE(Ticked(host.item(IDC_SHOW_BALLOONS)));
    EXPECT_FALSE(::IsWindowEnabled(host.item(IDC_SHOW_BALLOONS)));
    EXPECT_EQ(ItemText(host.page(), IDC_GROUP_BALLOONS), "Notification area (Set by your administrator)");
    EXPECT_EQ(ItemText(host.page(), IDC_GROUP_PACE), "Typing pace") << "no pace policy";
    EXPECT_TRUE(BalloonsWanted());
}

// The key-press box writes the user's choice at the click; a policy's value
// wins, greys the box and names the pace group as set by the administrator.
TEST_F(OptionsPageTest, KeyPressesFollowTheUserUnlessAPolicySetsThem) {
    {
        PageHost host(pagetest::OptionsTab);
        EXPECT_FALSE(Ticked(host.item(IDC_KEY_PRESSES)));
        Click(host.item(IDC_KEY_PRESSES));
        EXPECT_TRUE(KeyPressesWanted());
    }
    SetPolicy(KeyPressesValue, 0);
    PageHost host(pagetest::OptionsTab);
    EXPECT_FALSE(Ticked(host.item(IDC_KEY_PRESSES)));
    EXPECT_FALSE(::IsWindowEnabled(host.item(IDC_KEY_PRESSES)));
    EXPECT_EQ(ItemText(host.page(), IDC_GROUP_PACE), "Typing pace (Set by your administrator)");
    EXPECT_FALSE(KeyPressesWanted());
}

// The package's AUTOSTART (the machine's Run value) starts the program for
// every user: the box shows it, cannot be changed, and a save removes the
// user's own value, which would start a second copy at logon.
TEST_F(OptionsPageTest, TheMachinesRunValueTicksTheBoxAndReplacesTheUsers) {
    PutRunValue(HKEY_CURRENT_USER, "C:\\old\\VaskSW.exe");
    PutRunValue(HKEY_LOCAL_MACHINE, "\"C:\\Program Files\\Brontel Vask\\VaskSW.exe\" /logon");
    PageHost host(pagetest::OptionsTab);
    EXPECT_TRUE(Ticked(host.item(IDC_RUN_AT_STARTUP)));
    EXPECT_FALSE(::IsWindowEnabled(host.item(IDC_RUN_AT_STARTUP)));
    EXPECT_EQ(WriteRunAtStartup(true, "C:\\old\\VaskSW.exe"), ERROR_SUCCESS);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).has_value());
    EXPECT_TRUE(RunValue(HKEY_LOCAL_MACHINE).has_value());
}

// A locking policy: the page is shown greyed and takes no input, a change
// made anyway offers no Save, and a save writes nothing (not even the Run
// value that the same save writes unlocked).
TEST_F(OptionsPageTest, ALockingPolicyGreysThePageAndSavesNothing) {
    int run = 1;
    SettingsRecord record = App.Settings.Get();
    ASSERT_EQ(SaveSettings(record, run), ERROR_SUCCESS);
    ASSERT_TRUE(RunValue(HKEY_CURRENT_USER).has_value()) << "an unlocked save writes the Run value";
    DeleteValue(HKEY_CURRENT_USER);

    SetPolicy(LockSettingsValue, 1);
    PageHost host(pagetest::OptionsTab);
    EXPECT_FALSE(::IsWindowEnabled(host.page()));
    for (int id : {IDC_ACTIVATE_ON_START, IDC_RUN_AT_STARTUP, IDC_SHOW_BALLOONS, IDC_KEY_DELAY, IDC_SCAN_LOG_DAYS})
        EXPECT_FALSE(::IsWindowEnabled(host.item(id))) << id;
    ::SendMessageA(host.page(), WM_COMMAND, MAKEWPARAM(IDC_MINIMIZE_ON_START, BN_CLICKED),
                   reinterpret_cast<LPARAM>(host.item(IDC_MINIMIZE_ON_START)));
    EXPECT_FALSE(host.SaveEnabled());
    EXPECT_EQ(SaveSettings(record, run), ERROR_SUCCESS);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).has_value());
}

// The pace fields store the user's value as it is typed, within its limit,
// and show the stored value once left; a policy's value disables its field.
TEST_F(OptionsPageTest, PaceFieldsStoreTheUsersValueWithinItsLimit) {
    {
        PageHost host(pagetest::OptionsTab);
        EXPECT_EQ(::GetDlgItemInt(host.page(), IDC_KEY_DELAY, nullptr, FALSE), 0u);
        ::SetDlgItemTextA(host.page(), IDC_KEY_DELAY, "350");
        ::SetDlgItemTextA(host.page(), IDC_BARCODE_DELAY, "1500");
        EXPECT_EQ(TypingPaceWanted().keyDelayMs, 200u);
        EXPECT_EQ(TypingPaceWanted().barcodeDelayMs, 1500u);
        EXPECT_TRUE(host.SaveEnabled());
        ::SendMessageA(host.page(), WM_COMMAND, MAKEWPARAM(IDC_KEY_DELAY, EN_KILLFOCUS),
                       reinterpret_cast<LPARAM>(host.item(IDC_KEY_DELAY)));
        EXPECT_EQ(::GetDlgItemInt(host.page(), IDC_KEY_DELAY, nullptr, FALSE), 200u);
    }
    SetPolicy(KeyDelayValue, 30);
    PageHost host(pagetest::OptionsTab);
    EXPECT_EQ(::GetDlgItemInt(host.page(), IDC_KEY_DELAY, nullptr, FALSE), 30u);
    EXPECT_FALSE(::IsWindowEnabled(host.item(IDC_KEY_DELAY)));
    EXPECT_TRUE(::IsWindowEnabled(host.item(IDC_BARCODE_DELAY)));
    EXPECT_EQ(TypingPaceWanted().keyDelayMs, 30u);
}

// The text of a visible balloon tooltip of this thread, into *found.
BOOL CALLBACK TakeBalloonText(HWND window, LPARAM found) {
    wchar_t kind[32] = {};
    ::GetClassNameW(window, kind, 32);
    if (::lstrcmpiW(kind, TOOLTIPS_CLASSW) != 0 || !::IsWindowVisible(window)) return TRUE;
    wchar_t buffer[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (!::SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) return TRUE;
    tool.lpszText = buffer;
    ::SendMessageW(window, TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&tool));
    *reinterpret_cast<std::wstring*>(found) = buffer;
    return FALSE;
}

std::wstring ShownBalloonText() {
    std::wstring text;
    ::EnumThreadWindows(::GetCurrentThreadId(), TakeBalloonText, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Leaving a field that holds a number beyond its range: a balloon over it
// says the limit it took, and the next edit takes the balloon away.
TEST_F(OptionsPageTest, LeavingAFieldOutOfRangeSaysTheLimitItTook) {
    PageHost host(pagetest::OptionsTab);
    ::SetDlgItemTextA(host.page(), IDC_SCAN_LOG_DAYS, "0");
    ::SendMessageA(host.page(), WM_COMMAND, MAKEWPARAM(IDC_SCAN_LOG_DAYS, EN_KILLFOCUS),
                   reinterpret_cast<LPARAM>(host.item(IDC_SCAN_LOG_DAYS)));
    EXPECT_EQ(::GetDlgItemInt(host.page(), IDC_SCAN_LOG_DAYS, nullptr, FALSE), 1u);
    EXPECT_EQ(ShownBalloonText(), L"The smallest value, 1 day, was taken: the field takes 1-3650 days.");
    ::SetDlgItemTextA(host.page(), IDC_SCAN_LOG_DAYS, "7");
    EXPECT_EQ(ShownBalloonText(), L"");
}

}  // namespace

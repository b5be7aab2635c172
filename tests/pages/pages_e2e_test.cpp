// The Format, Trace, Options and About pages of the running VaskSW.exe, used
// from another process as a user would, with simulated scanners (vask-sim)
// and a window of another program (keyrecv.exe) that receives the typing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/Process.h"
#include "tests/support/SimControl.h"
#include "tests/support/UiDriver.h"
#include "win/Scoped.h"

using namespace testsupport;

namespace {

constexpr int ConnectionsTab = 1, OptionsTab = 2, TraceTab = 3, FormatTab = 4;

// Item texts read with the wide messages: under Wine the narrow
// CB_GETLBTEXT / LB_GETTEXT from another process hand back UTF-16 bytes.
std::string ComboItem(HWND combo, int index) {
    const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return std::string(text.begin(), text.end());  // the items are ASCII
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) items.push_back(ComboItem(combo, i));
    return items;
}

std::string SelectedComboItem(HWND combo) {
    const int selected = ComboSelection(combo);
    return selected < 0 ? std::string() : ComboItem(combo, selected);
}

int ListCount(HWND list) { return static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0)); }

HWND EditOf(HWND combo) { return ::FindWindowExA(combo, nullptr, "Edit", nullptr); }

// The whole field selected, then one key, as a user replaces the text.
void TypeInto(HWND combo, char c) {
    ::SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    ::SendMessageA(EditOf(combo), WM_CHAR, static_cast<unsigned char>(c), 1);
}

void DeleteTyped(HWND combo) {
    ::SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    ::SendMessageA(EditOf(combo), WM_CHAR, VK_BACK, 1);
}

constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool RunValueExists(HKEY root) {
    win::UniqueKey key;
    if (::RegOpenKeyExA(root, RunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExA(key.get(), "Brontel Vask", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void PutMachineRunValue() {
    win::UniqueKey key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    const char path[] = "C:\\Program Files\\Brontel Vask\\VaskSW.exe";
    ASSERT_EQ(::RegSetValueExA(key.get(), "Brontel Vask", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(path), sizeof path),
              ERROR_SUCCESS);
}

class PagesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        VaskApp::ClearRunValues();
        VaskApp::ForgetUnfinishedBarcodes();
        ASSERT_TRUE(sim::Reset());
        ASSERT_TRUE(sim::AddSerial("S1", "COM3", "VX100"));
        VaskApp::WriteSettings(settings_);
        ASSERT_TRUE(app_.Start());
        sheet_ = Sheet::WaitFor();
        ASSERT_TRUE(sheet_);
    }
    void TearDown() override {
        EXPECT_TRUE(sim::NoBreaches());
        VaskApp::EndRunningInstances();
        VaskApp::ClearRunValues();
        (void)sim::Reset();
    }

    // Finds the simulated scanner and activates it on the Connections page.
    void Activate() {
        ASSERT_TRUE(sheet_.SelectPage(ConnectionsTab));
        ASSERT_TRUE(testsupport::ClickCommand(sheet_.Item(IDC_FIND_SCANNERS)));
        HWND list = sheet_.Item(IDC_SCANNER_LIST);
        ASSERT_TRUE(WaitUntil([&] { return ListCount(list) > 0; }, 10000));
        SelectListEntry(list, 0);
        ASSERT_TRUE(testsupport::ClickCommand(sheet_.Item(IDC_ACTIVATE)));
        ASSERT_TRUE(WaitUntil([&] { return sheet_.ItemText(IDC_ACTIVATE) == "Deac&tivate"; }, 10000))
            << sheet_.ItemText(IDC_STATUS_LINE);
    }

    HWND FormatItem(int id) {
        EXPECT_TRUE(sheet_.SelectPage(FormatTab));
        return sheet_.Item(id);
    }

    void CloseSheet() {
        ASSERT_TRUE(Click(sheet_.CloseButton()));
        ASSERT_TRUE(Sheet::WaitGone());
    }

    void ReopenSheet() {
        app_.TrayDoubleClick();
        sheet_ = Sheet::WaitFor();
        ASSERT_TRUE(sheet_);
    }

    // Scans one barcode and waits until the receiver has got `expected`.
    void ScanInto(KeyReceiver& receiver, const std::string& barcode, const std::wstring& expected) {
        receiver.Clear();
        ASSERT_TRUE(sim::Scan("S1", {barcode}));
        EXPECT_TRUE(receiver.WaitForText(expected, 8000)) << "got: " << std::string(
            receiver.Text().begin(), receiver.Text().end());
    }

    VaskSettings settings_;
    VaskApp app_;
    Sheet sheet_;
};

// ---------------------------------------------------------------- Format page

TEST_F(PagesEndToEnd, TypedTokensAndStripCountShapeTheNextBarcodeAtOnce) {
    Activate();
    TypeInto(FormatItem(IDC_PREFIX_CHAR), 'x');
    TypeInto(FormatItem(IDC_SUFFIX2_CHAR), '#');
    EXPECT_TRUE(IsEnabled(sheet_.SaveButton()));
    CloseSheet();  // "&Close" saves nothing: the edits work all the same

    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    ScanInto(receiver, "123", L"x123\r#");

    ReopenSheet();
    SelectComboEntry(FormatItem(IDC_STRIP_COUNT), 3);
    SelectComboEntry(FormatItem(IDC_SUFFIX2_CHAR), 0);  // "None"
    CloseSheet();
    ASSERT_TRUE(receiver.Focus());
    ScanInto(receiver, "12", L"x\r");         // shorter than the strip count
    ScanInto(receiver, "987654", L"x654\r");
}

TEST_F(PagesEndToEnd, PickingTabAfterTypingAndDeletingTheTypedCharacter) {
    Activate();
    HWND first = FormatItem(IDC_SUFFIX1_CHAR);
    TypeInto(first, 'q');
    SelectComboEntry(first, 2);  // "<TAB>"
    EXPECT_EQ(SelectedComboItem(first), "<TAB>");
    CloseSheet();
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Focus());
    ScanInto(receiver, "55", L"55\t");
    EXPECT_EQ(receiver.Text().find(L'q'), std::wstring::npos);

    ReopenSheet();
    DeleteTyped(FormatItem(IDC_SUFFIX1_CHAR));
    CloseSheet();
    ASSERT_TRUE(receiver.Focus());
    receiver.Clear();
    ASSERT_TRUE(sim::Scan("S1", {"66"}));
    ASSERT_TRUE(receiver.WaitForText(L"66", 8000));
    receiver.WaitForQuiet(500, 3000);
    const std::wstring text = receiver.Text();
    EXPECT_EQ(text.find(L'\t'), std::wstring::npos);
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos);

    // The empty token comes back as an item of its own, selected.
    ReopenSheet();
    HWND again = FormatItem(IDC_SUFFIX1_CHAR);
    const std::vector<std::string> items = ComboItems(again);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[8], "");
    EXPECT_EQ(ComboSelection(again), 8);
}

TEST_F(PagesEndToEnd, ATypedTokenIsAnExtraItemWhenTheSheetReopens) {
    TypeInto(FormatItem(IDC_PREFIX_CHAR), 'n');
    CloseSheet();
    ReopenSheet();
    HWND prefix = FormatItem(IDC_PREFIX_CHAR);
    const std::vector<std::string> items = ComboItems(prefix);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0], "None");
    EXPECT_EQ(items[8], "n");
    EXPECT_EQ(ComboSelection(prefix), 8);
    EXPECT_FALSE(IsEnabled(sheet_.SaveButton()));
}

TEST_F(PagesEndToEnd, ACtrlBoxAloneEnablesSaving) {
    HWND ctrl = FormatItem(IDC_SUFFIX2_CTRL);
    ASSERT_FALSE(IsEnabled(sheet_.SaveButton()));
    ASSERT_TRUE(Click(ctrl));
    EXPECT_TRUE(IsChecked(ctrl));
    EXPECT_TRUE(IsEnabled(sheet_.SaveButton()));
    ASSERT_TRUE(Click(sheet_.SaveButton()));
    EXPECT_EQ(ReadSettingsElements(VaskApp::SettingsPath())["SuffixSecondCharCtrl"], "1");
}

// ---------------------------------------------------------------- Trace page

TEST_F(PagesEndToEnd, TheTracePageInFrontShowsBarcodesInsteadOfTypingThem) {
    Activate();
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(sheet_.SelectPage(TraceTab));
    ::SetForegroundWindow(sheet_.window());
    ASSERT_TRUE(WaitUntil([&] { return sheet_.IsForeground(); }, 5000));
    HWND trace = sheet_.Item(IDC_TRACE_TEXT);
    EXPECT_TRUE(IsChecked(sheet_.Item(IDC_TRACE_VASK)));

    ASSERT_TRUE(sim::Scan("S1", {"123"}));
    EXPECT_TRUE(WaitUntil([&] { return WindowTextOf(trace) == "123<Enter>"; }, 8000)) << WindowTextOf(trace);

    ASSERT_TRUE(Click(sheet_.Item(IDC_TRACE_SCANNER)));
    ASSERT_TRUE(sim::Scan("S1", {"a\tb\r"}));
    EXPECT_TRUE(WaitUntil([&] { return WindowTextOf(trace) == "123<Enter>a<HT>b<CR>"; }, 8000))
        << WindowTextOf(trace);
    EXPECT_TRUE(receiver.Text().empty());

    // Another window in front: the rest is typed there, the trace stays.
    ASSERT_TRUE(receiver.Focus());
    ScanInto(receiver, "77", L"77\r");
    EXPECT_EQ(WindowTextOf(trace), "123<Enter>a<HT>b<CR>");
}

TEST_F(PagesEndToEnd, ClearAllEmptiesTheTraceWithoutEnablingSaving) {
    Activate();
    ASSERT_TRUE(sheet_.SelectPage(TraceTab));
    ::SetForegroundWindow(sheet_.window());
    ASSERT_TRUE(WaitUntil([&] { return sheet_.IsForeground(); }, 5000));
    HWND trace = sheet_.Item(IDC_TRACE_TEXT);
    ASSERT_TRUE(sim::Scan("S1", {"42"}));
    ASSERT_TRUE(WaitUntil([&] { return WindowTextOf(trace) == "42<Enter>"; }, 8000));
    ASSERT_FALSE(IsEnabled(sheet_.SaveButton()));
    ASSERT_TRUE(Click(sheet_.Item(IDC_TRACE_CLEAR)));
    EXPECT_EQ(WindowTextOf(trace), "");
    EXPECT_FALSE(IsEnabled(sheet_.SaveButton()));
}

// ---------------------------------------------------------------- Options page

TEST_F(PagesEndToEnd, StartWithWindowsChangesTheRegistryAtTheClick) {
    ASSERT_TRUE(sheet_.SelectPage(OptionsTab));
    HWND box = sheet_.Item(IDC_RUN_AT_STARTUP);
    ASSERT_FALSE(RunValueExists(HKEY_CURRENT_USER));
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(RunValueExists(HKEY_CURRENT_USER));
    EXPECT_TRUE(IsEnabled(sheet_.SaveButton()));

    PutMachineRunValue();  // as an installer would
    ASSERT_TRUE(Click(box));
    EXPECT_FALSE(RunValueExists(HKEY_CURRENT_USER));
    EXPECT_FALSE(RunValueExists(HKEY_LOCAL_MACHINE));
}

TEST_F(PagesEndToEnd, MinimizeTakesEffectAtTheNextStart) {
    ASSERT_TRUE(sheet_.SelectPage(OptionsTab));
    ASSERT_TRUE(Click(sheet_.Item(IDC_MINIMIZE_ON_START)));
    ASSERT_TRUE(Click(sheet_.Item(IDC_ACTIVATE_ON_START)));
    ASSERT_TRUE(Click(sheet_.Item(IDC_ACTIVATE_ON_START)));  // ticked and cleared again
    ASSERT_TRUE(Click(sheet_.SaveButton()));
    EXPECT_TRUE(Sheet::Find());  // nothing happens now
    ASSERT_EQ(app_.ExitThroughTray(), 0u);

    VaskApp second;
    ASSERT_TRUE(second.Start());
    ::Sleep(2000);
    EXPECT_FALSE(Sheet::Find());
    second.TrayDoubleClick();
    Sheet shown = Sheet::WaitFor();
    ASSERT_TRUE(shown);
    ASSERT_TRUE(shown.SelectPage(OptionsTab));
    EXPECT_TRUE(IsChecked(shown.Item(IDC_MINIMIZE_ON_START)));
    EXPECT_FALSE(IsChecked(shown.Item(IDC_ACTIVATE_ON_START)));
}

TEST_F(PagesEndToEnd, ActivateTakesEffectAtTheNextStart) {
    Activate();  // stores the scanner as the one to activate
    ASSERT_TRUE(sheet_.SelectPage(OptionsTab));
    ASSERT_TRUE(Click(sheet_.Item(IDC_ACTIVATE_ON_START)));
    ASSERT_TRUE(Click(sheet_.SaveButton()));
    ASSERT_EQ(app_.ExitThroughTray(), 0u);

    VaskApp second;
    ASSERT_TRUE(second.Start());
    Sheet shown = Sheet::WaitFor();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown.PageIndex(), ConnectionsTab);  // the activation outcome is waiting
    ASSERT_TRUE(Click(shown.CloseButton()));
    ASSERT_TRUE(Sheet::WaitGone());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Focus());
    ASSERT_TRUE(testsupport::WaitUntilScannerIdle());
    ScanInto(receiver, "808", L"808\r");
}

// ---------------------------------------------------------------- About page

TEST_F(PagesEndToEnd, TheSdkLineFollowsTheLibrarysVersionWithEverySheet) {
    const RunResult current = sim::Run({"version"});
    ASSERT_EQ(current.exitCode, 0u);
    const int version = std::stoi(current.output);
    ASSERT_TRUE(sheet_.SelectPage(0));
    EXPECT_EQ(sheet_.ItemText(IDC_PROGRAM_VERSION), "Brontel Vask v2.1");
    auto showsVersion = [&](int v) {
        return WaitUntil([&] { return sheet_.ItemText(IDC_SDK_VERSION) == "Scanner SDK v" + std::to_string(v); },
                         5000);
    };
    EXPECT_TRUE(showsVersion(version)) << sheet_.ItemText(IDC_SDK_VERSION);
    for (const int next : {17, 2048}) {
        CloseSheet();
        ASSERT_TRUE(sim::SetVersion(next));
        ReopenSheet();
        ASSERT_TRUE(sheet_.SelectPage(0));
        EXPECT_TRUE(showsVersion(next)) << sheet_.ItemText(IDC_SDK_VERSION);
        EXPECT_EQ(sheet_.ItemText(IDC_PROGRAM_VERSION), "Brontel Vask v2.1");
    }
}

// ---------------------------------------------------------------- pictures

// Format settings made on the page shape the Trace page's text. With
// VASK_SCREENSHOT_DIR set, both pages are saved in use for the README (the
// layout tests save them as they first open).
TEST_F(PagesEndToEnd, FormatChoicesMadeOnThePageShapeTheTrace) {
    Activate();
    SelectComboEntry(FormatItem(IDC_STRIP_COUNT), 2);
    TypeInto(FormatItem(IDC_PREFIX_CHAR), '#');
    ASSERT_TRUE(Click(FormatItem(IDC_PREFIX_CTRL)));
    SelectComboEntry(FormatItem(IDC_SUFFIX1_CHAR), 2);  // "<TAB>"
    SelectComboEntry(FormatItem(IDC_SUFFIX2_CHAR), 1);  // "<ENTER>"
    const std::optional<std::string> dir = ScreenshotDir();
    auto save = [&](const char* file) {
        ::Sleep(300);  // let the page paint
        const Capture picture = CaptureWindow(sheet_.window());
        ASSERT_FALSE(picture.empty());
        EXPECT_GT(CountDarkPixels(picture), 500) << file;  // the page's texts are drawn
        if (dir) {
            EXPECT_TRUE(SaveBmp(picture, *dir + "\\" + file));
        }
    };
    save("format-in-use.bmp");

    ASSERT_TRUE(sheet_.SelectPage(TraceTab));
    ::SetForegroundWindow(sheet_.window());
    ASSERT_TRUE(WaitUntil([&] { return sheet_.IsForeground(); }, 5000));
    HWND trace = sheet_.Item(IDC_TRACE_TEXT);
    ASSERT_TRUE(sim::Scan("S1", {"4006381333931"}));
    const std::string formatted = "<Ctrl #>06381333931<Tab><Enter>";
    ASSERT_TRUE(WaitUntil([&] { return WindowTextOf(trace) == formatted; }, 8000)) << WindowTextOf(trace);
    ASSERT_TRUE(Click(sheet_.Item(IDC_TRACE_SCANNER)));
    ASSERT_TRUE(sim::Scan("S1", {"A-1021\r"}));
    ASSERT_TRUE(WaitUntil([&] { return WindowTextOf(trace) == formatted + "A-1021<CR>"; }, 8000))
        << WindowTextOf(trace);
    save("trace-in-use.bmp");
}

}  // namespace

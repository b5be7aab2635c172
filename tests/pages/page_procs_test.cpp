// The page procedures with their real templates in a sheet of the test's own,
// driven by the messages that the controls and the sheet send.
#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <vector>

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "delivery/Poller.h"
#include "delivery/TraceState.h"
#include "delivery/TraceText.h"
#include "pages/AboutText.h"
#include "res/resource.h"
#include "sdk/VantuSdk.h"
#include "tests/pages/PageHost.h"
#include "win/WinText.h"

using pagetest::PageHost;

namespace {

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = ::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

int Selection(HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

HWND EditOf(HWND combo) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return ::GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
}

// As a user does: the whole field selected, then one key.
void TypeChar(HWND combo, char c) {
    ::SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    ::SendMessageA(EditOf(combo), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
}

void Backspace(HWND combo) {
    ::SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    ::SendMessageA(EditOf(combo), WM_CHAR, VK_BACK, 1);
}

// What a combo box tells its parent when the user picks an item.
void PickItem(HWND combo, int index) {
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(::GetParent(combo), WM_COMMAND,
                   MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool Ticked(HWND button) { return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }

const std::vector<std::string> kTokenNames{"None", "<ENTER>", "<TAB>", "<SPACE>",
                                           "<LEFT>", "<RIGHT>", "<UP>", "<DOWN>"};

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        App.SetFormat(FormatSettings{});
        Trace.TraceSource = 0;
        Trace.RawTrace = 0;
        App.Settings.Update([](SettingsRecord& s) {
            s.Activate = 0;
            s.Minimize = 0;
        });
        App.RunAtStartup = 0;
        Sheet.StartPage = 0;
    }
};

// ---------------------------------------------------------------- Format page

TEST_F(PagesTest, FormatPageShowsTheDefaults) {
    PageHost host(pagetest::FormatTab);
    EXPECT_EQ(Sheet.StartPage, FormatPageIndex);
    EXPECT_EQ(ComboItems(host.item(IDC_STRIP_COUNT)),
              (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(Selection(host.item(IDC_STRIP_COUNT)), 0);
    EXPECT_EQ(ComboItems(host.item(IDC_PREFIX_CHAR)), kTokenNames);
    EXPECT_EQ(Selection(host.item(IDC_PREFIX_CHAR)), 0);
    EXPECT_EQ(Selection(host.item(IDC_SUFFIX1_CHAR)), 1);
    EXPECT_EQ(win::WindowText(host.item(IDC_SUFFIX1_CHAR)), "<ENTER>");
    EXPECT_EQ(Selection(host.item(IDC_SUFFIX2_CHAR)), 0);
    for (int id : {IDC_PREFIX_CTRL, IDC_SUFFIX1_CTRL, IDC_SUFFIX2_CTRL}) EXPECT_FALSE(Ticked(host.item(id)));
    for (int id : {IDC_PREFIX_CHAR, IDC_SUFFIX1_CHAR, IDC_SUFFIX2_CHAR})
        EXPECT_EQ(::SendMessageA(EditOf(host.item(id)), EM_GETLIMITTEXT, 0, 0), 1) << id;
    EXPECT_FALSE(host.SaveEnabled());
}

TEST_F(PagesTest, FormatPageShowsStoredValuesAndExtraItems) {
    App.Settings.Update([](SettingsRecord& f) {
        f.strip = 3;
        f.PrefixChar = "x";
        f.PrefixCharCtrl = 1;
        f.SuffixFirstChar = "n";          // finds "None" ignoring case, yet is its own item
        f.SuffixSecondChar = "<TAB>";
        f.SuffixSecondCharCtrl = 1;
    });
    PageHost host(pagetest::FormatTab);
    EXPECT_EQ(Selection(host.item(IDC_STRIP_COUNT)), 3);
    std::vector<std::string> withX = kTokenNames;
    withX.push_back("x");
    EXPECT_EQ(ComboItems(host.item(IDC_PREFIX_CHAR)), withX);
    EXPECT_EQ(Selection(host.item(IDC_PREFIX_CHAR)), 8);
    std::vector<std::string> withN = kTokenNames;
    withN.push_back("n");
    EXPECT_EQ(ComboItems(host.item(IDC_SUFFIX1_CHAR)), withN);
    EXPECT_EQ(Selection(host.item(IDC_SUFFIX1_CHAR)), 8);
    EXPECT_EQ(ComboItems(host.item(IDC_SUFFIX2_CHAR)), kTokenNames);
    EXPECT_EQ(Selection(host.item(IDC_SUFFIX2_CHAR)), 2);
    EXPECT_TRUE(Ticked(host.item(IDC_PREFIX_CTRL)));
    EXPECT_FALSE(Ticked(host.item(IDC_SUFFIX1_CTRL)));
    EXPECT_TRUE(Ticked(host.item(IDC_SUFFIX2_CTRL)));
}

TEST_F(PagesTest, FormatPageInitialisationChangesNoSetting) {
    // A long custom token is longer than the typing limit, and a strip count
    // outside the list has no item: both stay as stored, and nothing counts
    // as an edit.
    App.Settings.Update([](SettingsRecord& f) {
        f.strip = 7;
        f.PrefixChar = "abc";
        f.SuffixFirstChar = "";
    });
    PageHost host(pagetest::FormatTab);
    EXPECT_EQ(Selection(host.item(IDC_STRIP_COUNT)), -1);
    EXPECT_EQ(win::WindowText(host.item(IDC_PREFIX_CHAR)), "abc");
    EXPECT_EQ(Selection(host.item(IDC_SUFFIX1_CHAR)), 8);
    const FormatSettings after = App.Format();
    EXPECT_EQ(after.strip, 7);
    EXPECT_EQ(after.PrefixChar, "abc");
    EXPECT_EQ(after.SuffixFirstChar, "");
    EXPECT_EQ(after.SuffixSecondChar, "None");
    EXPECT_FALSE(host.SaveEnabled());
}

TEST_F(PagesTest, TypingIntoATokenFieldStoresOneCharacterAtOnce) {
    PageHost host(pagetest::FormatTab);
    HWND prefix = host.item(IDC_PREFIX_CHAR);
    TypeChar(prefix, 'x');
    EXPECT_EQ(App.Format().PrefixChar, "x");
    EXPECT_TRUE(host.SaveEnabled());
    // The field takes one character: a second key does not get in.
    ::SendMessageA(EditOf(prefix), EM_SETSEL, 1, 1);
    ::SendMessageA(EditOf(prefix), WM_CHAR, 'y', 1);
    EXPECT_EQ(App.Format().PrefixChar, "x");

    TypeChar(host.item(IDC_SUFFIX1_CHAR), '#');
    TypeChar(host.item(IDC_SUFFIX2_CHAR), 'n');
    const FormatSettings typed = App.Format();
    EXPECT_EQ(typed.SuffixFirstChar, "#");
    EXPECT_EQ(typed.SuffixSecondChar, "n");

    Backspace(host.item(IDC_SUFFIX1_CHAR));
    EXPECT_EQ(App.Format().SuffixFirstChar, "");
}

TEST_F(PagesTest, PickingAnItemAfterTypingStoresTheWholeName) {
    PageHost host(pagetest::FormatTab);
    HWND suffix = host.item(IDC_SUFFIX2_CHAR);
    TypeChar(suffix, 'q');
    ASSERT_EQ(App.Format().SuffixSecondChar, "q");
    PickItem(suffix, 2);
    EXPECT_EQ(App.Format().SuffixSecondChar, "<TAB>");
    PickItem(host.item(IDC_STRIP_COUNT), 3);
    EXPECT_EQ(App.Format().strip, 3);
    EXPECT_TRUE(host.SaveEnabled());
}

TEST_F(PagesTest, ATypedTokenComesBackAsAnExtraItemInTheNextSheet) {
    {
        PageHost host(pagetest::FormatTab);
        TypeChar(host.item(IDC_PREFIX_CHAR), 'n');
    }
    PageHost again(pagetest::FormatTab);
    HWND prefix = again.item(IDC_PREFIX_CHAR);
    ASSERT_EQ(ComboItems(prefix).size(), 9u);
    EXPECT_EQ(ComboItems(prefix)[8], "n");
    EXPECT_EQ(Selection(prefix), 8);
    EXPECT_EQ(App.Format().PrefixChar, "n");
}

TEST_F(PagesTest, CtrlBoxesSetTheirFlagsAndEnableSaving) {
    PageHost host(pagetest::FormatTab);
    Click(host.item(IDC_SUFFIX1_CTRL));
    EXPECT_EQ(App.Format().SuffixFirstCharCtrl, 1);
    EXPECT_TRUE(host.SaveEnabled());
    Click(host.item(IDC_PREFIX_CTRL));
    Click(host.item(IDC_SUFFIX2_CTRL));
    Click(host.item(IDC_SUFFIX1_CTRL));
    const FormatSettings f = App.Format();
    EXPECT_EQ(f.PrefixCharCtrl, 1);
    EXPECT_EQ(f.SuffixFirstCharCtrl, 0);
    EXPECT_EQ(f.SuffixSecondCharCtrl, 1);
}

// ---------------------------------------------------------------- Trace page

TEST_F(PagesTest, TracePageStartsInVaskModeAndPublishesItsTextBox) {
    Trace.TraceWindow = nullptr;
    Trace.RawTrace = 1;
    PageHost host(pagetest::TraceTab);
    HWND text = host.item(IDC_TRACE_TEXT);
    EXPECT_EQ(Trace.TraceWindow.load(), text);
    EXPECT_EQ(Sheet.StartPage, TracePageIndex);
    EXPECT_TRUE(Ticked(host.item(IDC_TRACE_VASK)));
    EXPECT_FALSE(Ticked(host.item(IDC_TRACE_SCANNER)));
    EXPECT_EQ(Trace.RawTrace, 0);
    char className[64] = {};
    ::GetClassNameA(text, className, sizeof className);
    EXPECT_STREQ(className, "RichEdit20A");
    // Read-only for the user: a key does not get in.
    ::SendMessageA(text, WM_CHAR, 'z', 1);
    EXPECT_EQ(win::WindowText(text), "");
}

TEST_F(PagesTest, ScannerModeIsRememberedAndRepublishedWithEveryMessage) {
    {
        PageHost host(pagetest::TraceTab);
        Click(host.item(IDC_TRACE_SCANNER));
        EXPECT_EQ(Trace.TraceSource, 1);
        EXPECT_TRUE(host.SaveEnabled());
        ::SendMessageA(host.page(), WM_NULL, 0, 0);
        EXPECT_EQ(Trace.RawTrace, 1);
        Trace.RawTrace = 0;  // as the polling thread does while the sheet is behind
        ::SendMessageA(host.page(), WM_NULL, 0, 0);
        EXPECT_EQ(Trace.RawTrace, 1);
    }
    PageHost again(pagetest::TraceTab);
    EXPECT_TRUE(Ticked(again.item(IDC_TRACE_SCANNER)));
    EXPECT_FALSE(Ticked(again.item(IDC_TRACE_VASK)));
    EXPECT_EQ(Trace.RawTrace, 1);
    Click(again.item(IDC_TRACE_VASK));
    EXPECT_EQ(Trace.TraceSource, 0);
    ::SendMessageA(again.page(), WM_NULL, 0, 0);
    EXPECT_EQ(Trace.RawTrace, 0);
}

TEST_F(PagesTest, ClearAllEmptiesTheTraceWithoutEnablingSave) {
    PageHost host(pagetest::TraceTab);
    HWND text = Trace.TraceWindow;
    ::SendMessageA(text, EM_SETSEL, 0, 0);
    ::SendMessageA(text, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("123<Enter>456<Enter>"));
    ASSERT_EQ(win::WindowText(text), "123<Enter>456<Enter>");
    Click(host.item(IDC_TRACE_CLEAR));
    EXPECT_EQ(win::WindowText(text), "");
    EXPECT_FALSE(host.SaveEnabled());
}

TEST_F(PagesTest, TraceTakesALongDayAndDropsItsOldestTextAtTheLimit) {
    PageHost host(pagetest::TraceTab);
    HWND text = Trace.TraceWindow;
    EXPECT_EQ(static_cast<size_t>(::SendMessageA(text, EM_GETLIMITTEXT, 0, 0)), TraceTextLimit);
    // At the limit (a small one here, as the real one would take long to fill)
    // the newest barcode goes in and the oldest text makes room.
    ::SendMessageA(text, EM_EXLIMITTEXT, 0, 100);
    const std::string old = "0000<Enter>" + std::string(85, '1');
    EXPECT_TRUE(AppendTrace(text, old));
    EXPECT_TRUE(AppendTrace(text, "123456789<Enter>"));
    const std::string shown = win::WindowText(text);
    EXPECT_LE(shown.size(), 100u);
    EXPECT_TRUE(shown.ends_with("1111123456789<Enter>")) << shown;
    EXPECT_FALSE(shown.starts_with("0000")) << shown;
}

// ---------------------------------------------------------------- About page

TEST_F(PagesTest, AboutPageShowsBothVersions) {
    PageHost host(pagetest::AboutTab);
    EXPECT_EQ(Sheet.StartPage, AboutPageIndex);
    EXPECT_EQ(win::WindowText(::GetDlgItem(host.page(), IDC_PROGRAM_VERSION)), "Brontel Vask v2.1");
    // The SDK is asked on the scanner worker, which posts the answer.
    std::string sdkLine;
    for (int tries = 0; tries < 500 && sdkLine.empty(); ++tries) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        host.Pump();
        sdkLine = win::WindowText(::GetDlgItem(host.page(), IDC_SDK_VERSION));
    }
    EXPECT_EQ(sdkLine, SdkVersionLine(vantu::VantuAPIGetVersion()));
    EXPECT_EQ(sdkLine.rfind("Scanner SDK v", 0), 0u);
}

TEST_F(PagesTest, SwitchingTabsFollowsThePageIndex) {
    PageHost host(pagetest::AboutTab);
    host.Show(pagetest::OptionsTab);
    EXPECT_EQ(Sheet.StartPage, OptionsPageIndex);
    host.Show(pagetest::FormatTab);
    EXPECT_EQ(Sheet.StartPage, FormatPageIndex);
    host.Show(pagetest::TraceTab);
    EXPECT_EQ(Sheet.StartPage, TracePageIndex);
}

}  // namespace

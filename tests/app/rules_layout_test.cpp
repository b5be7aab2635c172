// How the Barcode Rules dialog looks, at the display's DPI (vask.sh runs
// this at 96 and 144): its controls fit and do not overlap at its smallest
// size and larger, the rules text takes what the dialog gains, and it is
// used by keyboard. With VASK_SCREENSHOT_DIR set it is saved as a picture
// (barcode-rules.bmp, barcode-rules-144dpi.bmp).
#include "tests/app/RulesDialogFixture.h"

#include <cstdlib>

#include "tests/app/LayoutChecks.h"

namespace apptest {
namespace {

using testsupport::Capture;
using testsupport::WaitUntil;

class RulesLayout : public RulesTest {};

RECT ScreenRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

TEST_F(RulesLayout, FitsAtItsSmallestSizeAndLargerAndWorksByKeyboard) {
    const char* dpi = std::getenv("VASK_DPI");
    if (dpi) {
        HDC screen = ::GetDC(nullptr);
        EXPECT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), std::atoi(dpi));
        ::ReleaseDC(nullptr, screen);
    }
    WriteRulesValue(HKEY_CURRENT_USER, RulesUserKey,
                    L"encoding automatic\r\ncontrol GS key TAB\r\nif begins \"01\" then gs1-parentheses\r\n"
                    L"if contains \"TEST\" then skip");
    VaskSettings settings;
    settings.LeftPosition = 60;
    settings.TopPosition = 40;
    Sheet sheet = StartWithSheet(settings);
    ASSERT_TRUE(OpenRules(sheet));
    ASSERT_TRUE(WaitUntilSteady([&] { return ::GetForegroundWindow() == dialog_; }, 300, 10000));
    EXPECT_EQ(FocusOfForeground(), Field(IDC_RULES_TEXT)) << "the rules have the focus";
    ASSERT_TRUE(Type(IDC_RULES_SAMPLE, L"0109501101020917\\x1D10ABC123"));
    ASSERT_TRUE(Shows(IDC_RULES_PREVIEW, L"(01)09501101020917(10)ABC123<Enter>"));

    // As the template made it, which is its smallest size: a smaller one is refused.
    const RECT smallest = ScreenRect(dialog_);
    ExpectControlsFit(dialog_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, Width(smallest) - 80, Height(smallest) - 60, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(ScreenRect(dialog_)), Width(smallest));
    EXPECT_EQ(Height(ScreenRect(dialog_)), Height(smallest));
    // In front already: a click on its title bar could drag it (Wine now and
    // then lands a press off the pointer's place).
    Capture picture;
    EXPECT_TRUE(WaitUntil([&] {
        picture = testsupport::CaptureWindow(dialog_);
        return testsupport::CountDarkPixels(picture) > 300;
    }, 5000)) << "texts are drawn";
    EXPECT_GT(ColourCount(picture), 8u);
    SaveIfWanted(picture, dpi ? std::string("barcode-rules-") + dpi + "dpi" : std::string("barcode-rules"));

    // Larger: the rules text takes the room, the fields below the width, and
    // the buttons keep their distance from the corner.
    const RECT text = ScreenRect(Field(IDC_RULES_TEXT)), preview = ScreenRect(Field(IDC_RULES_PREVIEW));
    const RECT ok = ScreenRect(Field(IDOK)), before = ScreenRect(dialog_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, Width(before) + 200, Height(before) + 120, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(ScreenRect(Field(IDC_RULES_TEXT))), Width(text) + 200);
    EXPECT_EQ(Height(ScreenRect(Field(IDC_RULES_TEXT))), Height(text) + 120);
    EXPECT_EQ(Width(ScreenRect(Field(IDC_RULES_PREVIEW))), Width(preview) + 200);
    const RECT grown = ScreenRect(dialog_), okNow = ScreenRect(Field(IDOK));
    EXPECT_EQ(grown.right - okNow.right, before.right - ok.right);
    EXPECT_EQ(grown.bottom - okNow.bottom, before.bottom - ok.bottom);
    ExpectControlsFit(dialog_);

    // By keyboard: Tab from the rules to the encoding box, an access key to
    // the sample, Esc closes without saving.
    ASSERT_TRUE(WaitUntilSteady([&] { return FocusOfForeground() == Field(IDC_RULES_TEXT); }, 300, 10000));
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(Field(IDC_RULES_ENCODING)); }, 3000)) << "Tab";
    PressAccessKey('S');
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(Field(IDC_RULES_SAMPLE)); }, 3000)) << "Alt+S";
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Closed(3000)) << "Esc closes";
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey),
              L"encoding automatic\r\ncontrol GS key TAB\r\nif begins \"01\" then gs1-parentheses\r\n"
              L"if contains \"TEST\" then skip");
}

// The Allowed Programs dialog: fits at its smallest size and larger, where
// the list takes the room; an access key reaches its button, Esc closes it.
// Saved as allowed-programs.bmp (allowed-programs-144dpi.bmp).
TEST_F(RulesLayout, AllowedProgramsFitsAtItsSmallestSizeAndLarger) {
    const char* dpi = std::getenv("VASK_DPI");
    WriteRulesValue(HKEY_CURRENT_USER, RulesUserKey, L"excel.exe\r\norder.exe", AllowedValueName);
    VaskSettings settings;
    settings.LeftPosition = 60;
    settings.TopPosition = 40;
    Sheet sheet = StartWithSheet(settings);
    ASSERT_TRUE(OpenAllowed(sheet));
    ASSERT_TRUE(WaitUntilSteady([&] { return ::GetForegroundWindow() == dialog_; }, 300, 10000));
    ExpectControlsFit(dialog_);
    Capture picture;
    EXPECT_TRUE(WaitUntil([&] {
        picture = testsupport::CaptureWindow(dialog_);
        return testsupport::CountDarkPixels(picture) > 300;
    }, 5000)) << "texts are drawn";
    SaveIfWanted(picture, dpi ? std::string("allowed-programs-") + dpi + "dpi" : std::string("allowed-programs"));

    const RECT list = ScreenRect(Field(IDC_ALLOWED_TEXT)), ok = ScreenRect(Field(IDOK)), before = ScreenRect(dialog_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, Width(before) + 160, Height(before) + 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(ScreenRect(Field(IDC_ALLOWED_TEXT))), Width(list) + 160);
    EXPECT_EQ(Height(ScreenRect(Field(IDC_ALLOWED_TEXT))), Height(list) + 100);
    const RECT grown = ScreenRect(dialog_), okNow = ScreenRect(Field(IDOK));
    EXPECT_EQ(grown.right - okNow.right, before.right - ok.right);
    EXPECT_EQ(grown.bottom - okNow.bottom, before.bottom - ok.bottom);
    ExpectControlsFit(dialog_);

    ASSERT_TRUE(WaitUntilSteady([&] { return FocusOfForeground() == Field(IDC_ALLOWED_TEXT); }, 300, 10000));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Closed(3000)) << "Esc closes";
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey, AllowedValueName), L"excel.exe\r\norder.exe");
}

// The Profiles dialog, with two profiles: fits at its smallest size and
// larger, where the list and the rules take the height and the fields the
// width; Tab leads from the list to the fields, Esc closes it. Saved as
// profiles.bmp (profiles-144dpi.bmp).
TEST_F(RulesLayout, ProfilesFitsAtItsSmallestSizeAndLarger) {
    const char* dpi = std::getenv("VASK_DPI");
    const char* sheet = "Software\\Brontel Vask\\Profiles\\Spreadsheet";
    WriteRulesValue(HKEY_CURRENT_USER, sheet, L"excel.exe", L"Program");
    WriteRulesValue(HKEY_CURRENT_USER, sheet, L"<TAB>", L"SuffixFirstChar");
    WriteRulesValue(HKEY_CURRENT_USER, sheet, L"control GS key TAB\r\nif begins \"01\" then gs1-parentheses");
    WriteRulesValue(HKEY_CURRENT_USER, "Software\\Brontel Vask\\Profiles\\Terminal", L"putty.exe", L"Program");
    VaskSettings settings;
    settings.LeftPosition = 60;
    settings.TopPosition = 40;
    Sheet shown = StartWithSheet(settings);
    ASSERT_TRUE(OpenProfiles(shown));
    ASSERT_TRUE(WaitUntilSteady([&] { return ::GetForegroundWindow() == dialog_; }, 300, 10000));
    ASSERT_TRUE(Shows(IDC_PROFILE_PREVIEW, L"4006381333931<Tab>"));
    ExpectControlsFit(dialog_);
    Capture picture;
    EXPECT_TRUE(WaitUntil([&] {
        picture = testsupport::CaptureWindow(dialog_);
        return testsupport::CountDarkPixels(picture) > 300;
    }, 5000)) << "texts are drawn";
    SaveIfWanted(picture, dpi ? std::string("profiles-") + dpi + "dpi" : std::string("profiles"));

    const RECT rules = ScreenRect(Field(IDC_PROFILE_RULES)), list = ScreenRect(Field(IDC_PROFILES_LIST));
    const RECT ok = ScreenRect(Field(IDOK)), before = ScreenRect(dialog_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, Width(before) + 160, Height(before) + 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(ScreenRect(Field(IDC_PROFILE_RULES))), Width(rules) + 160);
    EXPECT_EQ(Height(ScreenRect(Field(IDC_PROFILE_RULES))), Height(rules) + 100);
    EXPECT_EQ(Height(ScreenRect(Field(IDC_PROFILES_LIST))), Height(list) + 100);
    const RECT grown = ScreenRect(dialog_), okNow = ScreenRect(Field(IDOK));
    EXPECT_EQ(grown.right - okNow.right, before.right - ok.right);
    EXPECT_EQ(grown.bottom - okNow.bottom, before.bottom - ok.bottom);
    ExpectControlsFit(dialog_);

    ASSERT_TRUE(WaitUntilSteady([&] { return FocusOfForeground() == Field(IDC_PROFILES_LIST); }, 300, 10000));
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(Field(IDC_PROFILES_ADD)); }, 3000)) << "Tab";
    PressAccessKey('R');
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(Field(IDC_PROFILE_PROGRAM)); }, 3000)) << "Alt+R";
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Closed(3000)) << "Esc closes";
}

}  // namespace
}  // namespace apptest

// The Barcode Rules dialog of the running program, used from another process
// as a user would: rules and a sample typed, the boxes chosen, the preview
// read, OK and Cancel; the administrator's text; the newest barcode as the
// sample.
#include "tests/app/RulesDialogFixture.h"

#include "tests/app/LayoutChecks.h"
#include "tests/support/KeyReceiver.h"

namespace apptest {
namespace {

using testsupport::Click;
using testsupport::IsEnabled;
using testsupport::WaitUntil;

const std::wstring SavedRules = L"control GS key ENTER\r\nif begins \"01\" then strip-start 2";

TEST_F(RulesTest, TypedRulesShapeThePreviewAndOkSavesThemForTheUser) {
    VaskSettings settings;
    settings.SuffixFirstChar = "<TAB>";  // the preview is framed by the Format page's settings
    Sheet sheet = StartWithSheet(settings);
    ASSERT_TRUE(OpenRules(sheet));
    EXPECT_EQ(TextOf(IDC_RULES_STATUS), L"No rules: every barcode is typed as it is.");
    EXPECT_FALSE(IsEnabled(Field(IDC_RULES_NEWEST))) << "no barcode fetched in this run";

    ASSERT_TRUE(Type(IDC_RULES_SAMPLE, L"0101\\x1D17"));
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"0101<GS>17<Tab>")) << "preview: " << testing::PrintToString(TextOf(IDC_RULES_PREVIEW));
    ASSERT_TRUE(Type(IDC_RULES_TEXT, L"if begins \"01\" then strip-start 2"));
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"01<GS>17<Tab>"));
    EXPECT_EQ(TextOf(IDC_RULES_STATUS), L"The rules are fine.");

    // One click on the separator box writes its line above the rule.
    testsupport::SelectComboEntry(Field(IDC_RULES_SEPARATOR), 2);  // Enter
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"01<Enter>17<Tab>"));
    EXPECT_EQ(TextOf(IDC_RULES_TEXT), SavedRules);

    EXPECT_TRUE(Click(Field(IDOK)));
    ASSERT_TRUE(Closed());
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey), SavedRules);
    EXPECT_TRUE(sheet) << "the sheet stays open";
}

TEST_F(RulesTest, AnErrorShowsAsItIsTypedOkRefusesItAndCancelSavesNothing) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(OpenRules(sheet));
    ASSERT_TRUE(Type(IDC_RULES_TEXT, L"encoding utf-8\nif begins 01 then skip"));
    const std::wstring error = L"line 2, column 11: expected a text in double quotes, found 01";
    EXPECT_TRUE(Shows(IDC_RULES_STATUS, error)) << testing::PrintToString(TextOf(IDC_RULES_STATUS));

    EXPECT_TRUE(Click(Field(IDOK)));
    EXPECT_TRUE(Shows(IDC_RULES_STATUS, L"Not saved: " + error)) << testing::PrintToString(TextOf(IDC_RULES_STATUS));
    EXPECT_TRUE(::IsWindow(dialog_)) << "OK refused";
    EXPECT_TRUE(WaitUntil([&] { return FocusInThreadOf(dialog_) == Field(IDC_RULES_TEXT); }, 5000))
        << "the focus goes to the rules";
    EXPECT_FALSE(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey));

    ASSERT_TRUE(Type(IDC_RULES_TEXT, L"if begins \"01\" then skip", true));
    EXPECT_TRUE(Shows(IDC_RULES_STATUS, L"The rules are fine."));
    EXPECT_TRUE(Click(Field(IDCANCEL)));
    ASSERT_TRUE(Closed());
    EXPECT_FALSE(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey)) << "Cancel saves nothing";
}

TEST_F(RulesTest, ThePolicyTextIsShownReadOnlyWithTheNoteAndStillPreviews) {
    const std::wstring policy = L"control GS key TAB\r\nif contains \"TEST\" then skip";
    WriteRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey, policy);
    WriteRulesValue(HKEY_CURRENT_USER, RulesUserKey, L"always skip");
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(OpenRules(sheet));
    EXPECT_TRUE(Shows(IDC_RULES_TEXT, policy));
    EXPECT_TRUE(::GetWindowLongW(Field(IDC_RULES_TEXT), GWL_STYLE) & ES_READONLY);
    for (int id : {IDC_RULES_ENCODING, IDC_RULES_SEPARATOR, IDOK}) EXPECT_FALSE(IsEnabled(Field(id))) << id;
    EXPECT_TRUE(testsupport::IsVisible(Field(IDC_RULES_POLICY_NOTE)));
    EXPECT_EQ(TextOf(IDC_RULES_POLICY_NOTE), L"Set by your administrator");
    ExpectControlsFit(dialog_);

    ASSERT_TRUE(Type(IDC_RULES_SAMPLE, L"01\\x1D2"));
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"01<Tab>2<Enter>"));
    ASSERT_TRUE(Type(IDC_RULES_SAMPLE, L"A TEST", true));
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"<skipped by rule 1>"));

    EXPECT_TRUE(Click(Field(IDCANCEL)));
    ASSERT_TRUE(Closed());
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey), L"always skip");
}

TEST_F(RulesTest, NewestBarcodeBecomesTheSampleWithEscapesForItsControlBytes) {
    CloseSheet(StartActivated());
    ASSERT_FALSE(HasFatalFailure());
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "4006381333931", "Caf\xE9\t42"});
    ASSERT_TRUE(receiver.WaitForText(L"Caf\u00E9\t42\r", 10000));

    app.TrayDoubleClick();
    Sheet sheet = Sheet::WaitFor();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(OpenRules(sheet));
    ASSERT_TRUE(IsEnabled(Field(IDC_RULES_NEWEST)));
    EXPECT_TRUE(Click(Field(IDC_RULES_NEWEST)));
    EXPECT_TRUE(Shows(IDC_RULES_SAMPLE, L"Caf\\xE9\\t42")) << testing::PrintToString(TextOf(IDC_RULES_SAMPLE));
    EXPECT_TRUE(Shows(IDC_RULES_PREVIEW, L"Caf\u00E9<HT>42<Enter>"));
}

// The tray's About replaces the sheet, and Exit ends the program, while the
// dialog is open: it goes with its sheet, saving nothing.
TEST_F(RulesTest, TheDialogGoesWithItsSheetWhenTheTrayReplacesItOrExits) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(OpenRules(sheet));
    ASSERT_TRUE(Type(IDC_RULES_TEXT, L"always skip"));
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('a'));
    Sheet about;
    ASSERT_TRUE(WaitUntil([&] {
        about = Sheet::Find();
        return about && about.window() != sheet.window() && about.Page();
    }, 10000));
    EXPECT_EQ(about.PageIndex(), AboutPage);
    EXPECT_TRUE(Closed());
    EXPECT_FALSE(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey));

    ASSERT_TRUE(OpenRules(about));
    EXPECT_EQ(TextOf(IDC_RULES_TEXT), L"") << "a new dialog, from the stored text";
    EXPECT_EQ(app.ExitThroughTray(), 0u);
    EXPECT_FALSE(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey));
}

// Allowed Programs: "Use the Program in Front" adds the program whose window
// was in front before the sheet, once; OK saves the list for the user. An
// administrator's list is shown, not changed, with its note.
TEST_F(RulesTest, AllowedProgramsAddsTheProgramInFrontAndOkSavesTheList) {
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sheet sheet = StartWithSheet(VaskSettings{});
    ASSERT_TRUE(OpenAllowed(sheet));
    EXPECT_EQ(TextOf(IDC_ALLOWED_STATUS), L"No program listed: every program may receive barcodes.");
    ASSERT_TRUE(Type(IDC_ALLOWED_TEXT, L"EXCEL.EXE\n"));
    for (int click = 0; click < 2; ++click) EXPECT_TRUE(Click(Field(IDC_ALLOWED_IN_FRONT)));
    EXPECT_TRUE(Shows(IDC_ALLOWED_TEXT, L"EXCEL.EXE\r\nkeyrecv.exe")) << testing::PrintToString(TextOf(IDC_ALLOWED_TEXT));
    EXPECT_TRUE(Click(Field(IDOK)));
    ASSERT_TRUE(Closed());
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, RulesUserKey, AllowedValueName), L"EXCEL.EXE\r\nkeyrecv.exe");

    WriteRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey, L"order.exe", AllowedValueName);
    ASSERT_TRUE(OpenAllowed(sheet));
    EXPECT_EQ(TextOf(IDC_ALLOWED_TEXT), L"order.exe");
    EXPECT_TRUE(testsupport::IsVisible(Field(IDC_ALLOWED_POLICY_NOTE)));
    EXPECT_FALSE(IsEnabled(Field(IDOK)));
    EXPECT_FALSE(IsEnabled(Field(IDC_ALLOWED_IN_FRONT)));
    EXPECT_TRUE(Click(Field(IDCANCEL)));
    EXPECT_TRUE(Closed());
}

// Profiles: Add copies the default profile for the program that was in
// front, its rules show in the preview; OK refuses a profile without a
// program and saves the rest for the user. An administrator's profiles
// replace the user's, shown with their note, not changed.
TEST_F(RulesTest, ProfilesAddsTheProgramInFrontAndOkSavesThem) {
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sheet sheet = StartWithSheet(VaskSettings{});
    ASSERT_TRUE(OpenProfiles(sheet));
    EXPECT_EQ(TextOf(IDC_PROFILES_STATUS), L"No profile: every program gets the Format page's settings.");
    EXPECT_TRUE(Click(Field(IDC_PROFILES_ADD)));
    EXPECT_TRUE(Shows(IDC_PROFILE_PROGRAM, L"keyrecv.exe"));
    EXPECT_TRUE(Shows(IDC_PROFILE_PREVIEW, L"4006381333931<Enter>")) << testing::PrintToString(TextOf(IDC_PROFILE_PREVIEW));
    ASSERT_TRUE(Type(IDC_PROFILE_RULES, L"always add-after \"!\""));
    EXPECT_TRUE(Shows(IDC_PROFILE_PREVIEW, L"4006381333931!<Enter>")) << testing::PrintToString(TextOf(IDC_PROFILE_PREVIEW));
    ASSERT_TRUE(Type(IDC_PROFILE_NAME, L"Till", true));

    EXPECT_TRUE(Click(Field(IDC_PROFILES_ADD)));
    ::SetWindowTextW(Field(IDC_PROFILE_PROGRAM), L"");  // emptied
    EXPECT_TRUE(Click(Field(IDOK)));
    EXPECT_TRUE(Shows(IDC_PROFILES_STATUS, L"Not saved: Profile 2 names no program."))
        << testing::PrintToString(TextOf(IDC_PROFILES_STATUS));
    EXPECT_TRUE(Click(Field(IDC_PROFILES_REMOVE)));
    EXPECT_TRUE(Click(Field(IDOK)));
    ASSERT_TRUE(Closed());
    const char* till = "Software\\Brontel Vask\\Profiles\\Till";
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, till, L"Program"), L"keyrecv.exe");
    EXPECT_EQ(ReadRulesValue(HKEY_CURRENT_USER, till, L"BarcodeRules"), L"always add-after \"!\"");

    WriteRulesValue(HKEY_LOCAL_MACHINE, "Software\\Policies\\Brontel Vask\\Profiles\\Orders", L"order.exe",
                    L"Program");
    ASSERT_TRUE(OpenProfiles(sheet));
    EXPECT_TRUE(Shows(IDC_PROFILE_NAME, L"Orders"));
    EXPECT_TRUE(testsupport::IsVisible(Field(IDC_PROFILES_POLICY_NOTE)));
    EXPECT_FALSE(IsEnabled(Field(IDOK)));
    EXPECT_FALSE(IsEnabled(Field(IDC_PROFILE_PROGRAM)));
    EXPECT_TRUE(Click(Field(IDCANCEL)));
    EXPECT_TRUE(Closed());
}

}  // namespace
}  // namespace apptest

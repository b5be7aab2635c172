// Barcodes shaped by the barcode rules on their way into another program,
// driven from outside: the GS1 group separator as text and as a Tab between
// a form's fields, UTF-8 barcodes, a skip rule, and the administrator's
// rules in place of the user's; only the programs allowed get barcodes.
#include "tests/app/RulesFixture.h"

#include <map>

namespace apptest {
namespace {

// One profile under the user's options while this lives: its values as
// strings (REG_SZ) or numbers (REG_DWORD).
class ProfileKey {
public:
    ProfileKey(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> texts)
        : path_(std::string(UserOptionsKey) + "\\Profiles\\" + name) {
        HKEY key = nullptr;
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        for (const auto& [value, text] : texts)
            EXPECT_EQ(::RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>(text.size() + 1)),
                      ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    ~ProfileKey() {
        (void)::RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
        (void)::RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(UserOptionsKey) + "\\Profiles").c_str());
    }
    ProfileKey(const ProfileKey&) = delete;
    ProfileKey& operator=(const ProfileKey&) = delete;

private:
    std::string path_;
};

TEST_F(ShapedTyping, GroupSeparatorTypedAsText) {
    EXPECT_EQ(TypedUnder(R"(control GS text "|")", {Gs1Label}), L"0109501101020917|10ABC123|2112345\r");
}

// A Tab for each separator: each field of the label lands in a field of its
// own, as a business program's form takes it.
TEST_F(ShapedTyping, GroupSeparatorAsTabFillsTheFieldsOfAForm) {
    const RulesValue rules(HKEY_CURRENT_USER, UserOptionsKey, {"control GS key TAB"});
    KeyReceiver form(15000, 3);
    ASSERT_NO_FATAL_FAILURE(ScanInto(form, {Gs1Label}, 1));
    EXPECT_EQ(form.FieldText(0), L"0109501101020917");
    EXPECT_EQ(form.FieldText(1), L"10ABC123");
    EXPECT_EQ(form.FieldText(2), L"2112345");
}

// "Café" (its é two bytes) and U+1F600 (four bytes, typed as a surrogate
// pair) under both encodings that read UTF-8.
TEST_F(ShapedTyping, Utf8BarcodesArriveAsTheirCharacters) {
    for (const char* encoding : {"encoding automatic", "encoding utf-8"}) {
        SCOPED_TRACE(encoding);
        EXPECT_EQ(TypedUnder(encoding, {"Caf\xC3\xA9", "\xF0\x9F\x98\x80"}), L"Caf\u00E9\r" L"\xD83D\xDE00\r");
    }
}

// A skipped barcode types nothing, the next one is typed; Recent Barcodes
// and the scan log say which rule skipped it.
TEST_F(ShapedTyping, ASkippedBarcodeIsListedNotTyped) {
    const UserOptions log({{"ScanLog", 1}});
    const ScanLogFolder folder;
    EXPECT_EQ(TypedUnder(R"(if begins "SKIP" then skip)", {"SKIP-ME", "NEXT-1"}, 1), L"NEXT-1\r");

    const RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(2)) << view.Lines().size() << " lines";
    const std::vector<std::string> lines = view.Lines();
    EXPECT_EQ(WithoutTime(lines[0]), std::string(ReceiverTitle) + "\tNEXT-1") << "the rules left it as it was";
    EXPECT_EQ(WithoutTime(lines[1]), "skipped by rule 1\tSKIP-ME");
    const auto lastOutcome = [&] {
        std::string outcome;
        for (const scanlog::Row& row : folder.Rows())
            if (row.barcode == "SKIP-ME") outcome = row.outcome;
        return outcome;
    };
    EXPECT_TRUE(WaitUntil([&] { return lastOutcome() == scanlog::SkippedByRule; }, 10000)) << lastOutcome();
}

// The policy, a multi-string as the policy template writes it, replaces the
// user's rules whole: both of its lines apply, the user's line does not.
TEST_F(ShapedTyping, ThePolicysRulesReplaceTheUsers) {
    const RulesValue policy(HKEY_LOCAL_MACHINE, PolicyOptionsKey, {R"(control GS text "#")", R"(always add-after "!")"},
                            REG_MULTI_SZ);
    EXPECT_EQ(TypedUnder(R"(control GS text "|")", {Gs1Label}), L"0109501101020917#10ABC123#2112345!\r");
}

// With a list of allowed programs in force, a barcode scanned while another
// program is in front stays on the scanner, and the tray says why; it goes
// into an allowed program (the receiver under another name) once that comes
// forward. The policy's list replaces the user's, which allows the first;
// Type Again refuses the first too.
TEST_F(ShapedTyping, OnlyAllowedProgramsReceiveBarcodes) {
    const RulesValue user(HKEY_CURRENT_USER, UserOptionsKey, {"keyrecv.exe"}, REG_MULTI_SZ, AllowedProgramsValue);
    const RulesValue policy(HKEY_LOCAL_MACHINE, PolicyOptionsKey, {"notepad.exe", "allowed-receiver.exe"},
                            REG_MULTI_SZ, AllowedProgramsValue);
    KeyReceiver barred;
    ASSERT_TRUE(barred.Ready());
    CloseSheet(StartActivated());
    ASSERT_TRUE(barred.Focus());
    ASSERT_TRUE(testsupport::sim::Scan("s1", {"FOR-AN-ALLOWED-ONE"}));
    EXPECT_TRUE(WaitUntil([] { return testsupport::TrayTipHolds("Held: keyrecv.exe may not receive barcodes"); },
                          10000));
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 0u);

    KeyReceiver allowed(15000, 0, "allowed-receiver.exe");
    ASSERT_TRUE(allowed.Ready());
    ASSERT_TRUE(allowed.Focus());
    EXPECT_TRUE(allowed.WaitForText(L"FOR-AN-ALLOWED-ONE\r", 10000)) << allowed.Text().size();
    ASSERT_TRUE(allowed.WaitForQuiet(300, 3000));

    // Type Again into the program not allowed is refused in the same words.
    ASSERT_TRUE(barred.Focus());
    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(1));
    view.SelectOnly(0);
    testsupport::PostClick(view.Item(IDC_RECENT_TYPE_AGAIN));
    ASSERT_TRUE(AnswerTheNextWindowOffer(IDNO));
    EXPECT_EQ(view.Status(), "keyrecv.exe may not receive barcodes: nothing typed.");
    EXPECT_EQ(barred.Text(), L"");
}

// A program that reads key codes (a console, a remote-desktop client) gets
// nothing of Unicode character events: in character mode only the Enter of
// the suffix arrives; with "KeyPresses" every printable character goes as
// the keys of its layout, Shift included, and arrives.
TEST_F(ShapedTyping, AProgramThatReadsKeyCodesGetsBarcodesTypedAsKeyPresses) {
    KeyReceiver console(15000, KeyReceiver::KeyCodesOnly);
    std::string printable;
    for (char c = ' '; c <= '~'; ++c) printable += c;
    ASSERT_NO_FATAL_FAILURE(ScanInto(console, {"AS-CHARACTERS"}, 1));
    EXPECT_TRUE(console.WaitForText(L"\r", 5000));  // the Enter's character follows its key
    EXPECT_EQ(console.Text(), L"\r");

    const UserOptions keyPresses({{KeyPressesValue, 1}});
    console.Clear();
    ASSERT_TRUE(testsupport::sim::Scan("s1", {printable}));
    const std::wstring expected = std::wstring(printable.begin(), printable.end()) + L"\r";
    EXPECT_TRUE(console.WaitForText(expected, 15000)) << testing::PrintToString(console.Text());
}

// One stream of scans switching between two programs with profiles (one
// receiver under two image names) and one without: each gets its own
// profile's prefix, suffix and rules, the other the default; Recent
// Barcodes and the scan log name the profile that typed each barcode, and
// Type Again types with the profile of the window it types into.
TEST_F(ShapedTyping, EachProgramGetsBarcodesShapedByItsOwnProfile) {
    const UserOptions log({{"ScanLog", 1}});
    const ScanLogFolder folder;
    const ProfileKey sheet("Sheet", {{"Program", "SHEET-receiver.exe"}, {"PrefixChar", "["},
                                     {"SuffixFirstChar", "<TAB>"}, {"BarcodeRules", "always add-after \"#\""}});
    // A name beyond ASCII ("Aufträge", in the ANSI code page here).
    const ProfileKey orders("Auftr\xE4ge",
                            {{"Program", "C:\\Apps\\orders-receiver.exe"}, {"SuffixSecondChar", "<ENTER>"}});
    KeyReceiver sheetWindow(15000, 0, "sheet-receiver.exe"), ordersWindow(15000, 0, "orders-receiver.exe"), other;
    ASSERT_TRUE(sheetWindow.Ready() && ordersWindow.Ready() && other.Ready());
    CloseSheet(StartActivated());
    struct Scan {
        KeyReceiver& into;
        const char* barcode;
        const wchar_t* arrives;
    };
    const Scan scans[] = {{sheetWindow, "A1", L"[A1#\t"}, {ordersWindow, "B2", L"B2\r\r"},
                          {other, "C3", L"C3\r"}, {sheetWindow, "A4", L"[A1#\t[A4#\t"}};
    for (const Scan& scan : scans) {
        ASSERT_TRUE(scan.into.Focus());
        ASSERT_TRUE(testsupport::sim::Scan("s1", {scan.barcode}));
        EXPECT_TRUE(scan.into.WaitForText(scan.arrives, 10000)) << scan.barcode;
        ASSERT_TRUE(scan.into.WaitForQuiet(200, 3000));
    }
    EXPECT_EQ(sheetWindow.Text(), L"[A1#\t[A4#\t");
    EXPECT_EQ(ordersWindow.Text(), L"B2\r\r");
    EXPECT_EQ(other.Text(), L"C3\r");

    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(4));
    const std::vector<std::string> lines = view.Lines();
    EXPECT_NE(lines[3].find("\tA1  (typed as A1#)  (profile Sheet)"), std::string::npos) << lines[3];
    EXPECT_NE(lines[2].find("\tB2  (profile Auftr\xE4ge)"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[1].find("(profile"), std::string::npos) << lines[1];
    std::map<std::string, std::string> profileOf;
    EXPECT_TRUE(WaitUntil([&] {
        for (const scanlog::Row& row : folder.Rows())
            if (row.outcome == scanlog::Typed) profileOf[row.barcode] = row.profile;
        return profileOf.size() == 4;
    }, 10000));
    EXPECT_EQ(profileOf, (std::map<std::string, std::string>{{"A1", "Sheet"}, {"B2", "Auftr\xC3\xA4ge"}, {"C3", ""},
                                                              {"A4", "Sheet"}}));

    // Typed again into the window that was in front (the sheet's), the
    // orders' barcode takes the sheet's profile.
    view.SelectOnly(2);
    ASSERT_TRUE(view.Click(IDC_RECENT_TYPE_AGAIN));
    EXPECT_TRUE(sheetWindow.WaitForText(L"[A1#\t[A4#\t[B2#\t", 10000)) << testing::PrintToString(sheetWindow.Text());
}

}  // namespace
}  // namespace apptest

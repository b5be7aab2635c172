#include "pages/ProfilesDialog.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Application.h"
#include "config/Profiles.h"
#include "config/UserOptions.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/RuleText.h"
#include "delivery/SampleText.h"
#include "delivery/ShapingInForce.h"
#include "delivery/WindowInFront.h"
#include "pages/DialogLayout.h"
#include "pages/PageSupport.h"
#include "pages/ResizableDialog.h"
#include "pages/TokenBoxes.h"
#include "pages/RulesChoices.h"
#include "res/resource.h"
#include "win/ListControls.h"
#include "win/WinText.h"

namespace {

using namespace dialoglayout;

// The list and the rules take what the dialog gains in height, the fields
// what it gains in width; the rows under the rules and the buttons keep
// their distance from the bottom and the right.
constexpr Rule LayoutRules[] = {
    {IDC_PROFILES_LIST_LABEL, 0},
    {IDC_PROFILES_POLICY_NOTE, MoveRight},
    {IDC_PROFILES_LIST, GrowTall},
    {IDC_PROFILES_ADD, MoveDown},
    {IDC_PROFILES_REMOVE, MoveDown},
    {IDC_PROFILE_NAME, GrowWide},
    {IDC_PROFILE_PROGRAM, GrowWide},
    {IDC_PROFILE_IN_FRONT, MoveRight},
    {IDC_PROFILE_TITLE, GrowWide},
    {IDC_PROFILE_RULES_LABEL, 0},
    {IDC_PROFILE_RULES, GrowWide | GrowTall},
    {IDC_PROFILE_PREVIEW_LABEL, MoveDown},
    {IDC_PROFILE_PREVIEW, MoveDown | GrowWide},
    {IDC_PROFILES_STATUS, MoveDown | GrowWide},
    {IDOK, MoveDown | MoveRight},
    {IDCANCEL, MoveDown | MoveRight},
};

// The fields of the selected profile: greyed together, and each change taken.
constexpr int ProfileFields[] = {
    IDC_PROFILE_NAME, IDC_PROFILE_PROGRAM, IDC_PROFILE_IN_FRONT, IDC_PROFILE_TITLE, IDC_PROFILE_PREFIX,
    IDC_PROFILE_PREFIX_CTRL, IDC_PROFILE_SUFFIX1, IDC_PROFILE_SUFFIX1_CTRL, IDC_PROFILE_SUFFIX2,
    IDC_PROFILE_SUFFIX2_CTRL, IDC_PROFILE_STRIP, IDC_PROFILE_KEY_PRESSES, IDC_PROFILE_KEY_DELAY,
    IDC_PROFILE_BARCODE_DELAY, IDC_PROFILE_RULES};

struct TokenField {
    int combo, ctrl;
    std::string FormatSettings::*token;
    int FormatSettings::*flag;
};
constexpr TokenField TokenFields[] = {
    {IDC_PROFILE_PREFIX, IDC_PROFILE_PREFIX_CTRL, &FormatSettings::PrefixChar, &FormatSettings::PrefixCharCtrl},
    {IDC_PROFILE_SUFFIX1, IDC_PROFILE_SUFFIX1_CTRL, &FormatSettings::SuffixFirstChar,
     &FormatSettings::SuffixFirstCharCtrl},
    {IDC_PROFILE_SUFFIX2, IDC_PROFILE_SUFFIX2_CTRL, &FormatSettings::SuffixSecondChar,
     &FormatSettings::SuffixSecondCharCtrl},
};

constexpr char DefaultSample[] = "4006381333931";

// What one dialog holds, on ShowProfiles's stack (ResizableDialog.h).
struct ProfilesDialog {
    HWND programWindow = nullptr;
    bool byPolicy = false;
    std::vector<Profile> profiles;
    int shown = -1;        // the profile the fields show
    bool filling = false;  // the fields are being filled: their notices change nothing
    std::string sample;    // the preview's barcode, as the rules' Sample field writes it
    Layout layout;
};

HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

std::string Utf8Of(HWND dialog, int id) { return pages::LinesOf(Item(dialog, id)); }

std::string Ansi(const std::string& utf8) { return win::WideToAnsi(win::Utf8ToWide(utf8)); }

void SetStatus(HWND dialog, const std::string& text) { ::SetWindowTextA(Item(dialog, IDC_PROFILES_STATUS), text.c_str()); }

// The token a combo box stands for: its selected item, else the first
// character typed into it.
std::string TokenOf(HWND combo) {
    const std::optional<std::string> selected = win::ComboBox(combo).SelectedText();
    if (selected && *selected == win::WindowText(combo)) return *selected;
    return pages::TypedToken(combo);
}

void ShowPreview(HWND dialog, const ProfilesDialog& data) {
    std::string preview;
    if (data.shown >= 0) {
        const Profile& profile = data.profiles[static_cast<size_t>(data.shown)];
        const AnsiCodePage ansi = SystemAnsiCodePage();
        const auto shaper = PreviewShaper(ParseRuleText(profile.rules).settings, ansi);
        preview = RulesPreviewText(data.sample, shaper.get(), profile.format, ansi);
    }
    pages::SetLines(Item(dialog, IDC_PROFILE_PREVIEW), preview);
}

void FillFields(HWND dialog, ProfilesDialog& data) {
    data.filling = true;
    const bool any = data.shown >= 0;
    const Profile shown = any ? data.profiles[static_cast<size_t>(data.shown)] : Profile{};
    pages::SetLines(Item(dialog, IDC_PROFILE_NAME), shown.name);
    pages::SetLines(Item(dialog, IDC_PROFILE_PROGRAM), shown.program);
    pages::SetLines(Item(dialog, IDC_PROFILE_TITLE), shown.titleContains);
    for (const TokenField& field : TokenFields) {
        pages::ShowStoredToken(win::ComboBox(Item(dialog, field.combo)), shown.format.*field.token);
        pages::SetTicked(dialog, field.ctrl, shown.format.*field.flag != 0);
    }
    pages::ShowStripCount(win::ComboBox(Item(dialog, IDC_PROFILE_STRIP)), shown.format.strip);
    pages::SetTicked(dialog, IDC_PROFILE_KEY_PRESSES, shown.keyPresses);
    ::SetDlgItemInt(dialog, IDC_PROFILE_KEY_DELAY, shown.pace.keyDelayMs, FALSE);
    ::SetDlgItemInt(dialog, IDC_PROFILE_BARCODE_DELAY, shown.pace.barcodeDelayMs, FALSE);
    pages::SetLines(Item(dialog, IDC_PROFILE_RULES), shown.rules);
    for (int id : ProfileFields) ::EnableWindow(Item(dialog, id), any && !data.byPolicy);
    ::EnableWindow(Item(dialog, IDC_PROFILE_IN_FRONT),
                   any && !data.byPolicy && !WindowProgram(data.programWindow).empty());
    ::EnableWindow(Item(dialog, IDC_PROFILES_REMOVE), any && !data.byPolicy);
    data.filling = false;
    ShowPreview(dialog, data);
}

// The fields as they stand, into the profile they show.
void TakeFields(HWND dialog, ProfilesDialog& data) {
    if (data.shown < 0 || data.filling) return;
    Profile& profile = data.profiles[static_cast<size_t>(data.shown)];
    profile.name = Utf8Of(dialog, IDC_PROFILE_NAME);
    profile.program = Utf8Of(dialog, IDC_PROFILE_PROGRAM);
    profile.titleContains = Utf8Of(dialog, IDC_PROFILE_TITLE);
    for (const TokenField& field : TokenFields) {
        profile.format.*field.token = TokenOf(Item(dialog, field.combo));
        profile.format.*field.flag = pages::IsTicked(dialog, field.ctrl) ? 1 : 0;
    }
    profile.format.strip = win::ComboBox(Item(dialog, IDC_PROFILE_STRIP)).Selected().value_or(0);
    profile.keyPresses = pages::IsTicked(dialog, IDC_PROFILE_KEY_PRESSES);
    profile.pace = TypingPace::Within(::GetDlgItemInt(dialog, IDC_PROFILE_KEY_DELAY, nullptr, FALSE),
                                      ::GetDlgItemInt(dialog, IDC_PROFILE_BARCODE_DELAY, nullptr, FALSE));
    profile.rules = Utf8Of(dialog, IDC_PROFILE_RULES);
    const win::ListBox list(Item(dialog, IDC_PROFILES_LIST));
    if (list.EntryText(data.shown) != Ansi(profile.name)) {
        list.Delete(data.shown);
        list.Insert(data.shown, Ansi(profile.name));
        list.Select(data.shown);
    }
    ShowPreview(dialog, data);
}

void Show(HWND dialog, ProfilesDialog& data, int index) {
    data.shown = data.profiles.empty() ? -1 : std::min(index, static_cast<int>(data.profiles.size()) - 1);
    const win::ListBox list(Item(dialog, IDC_PROFILES_LIST));
    list.Clear();
    for (const Profile& profile : data.profiles) list.Add(Ansi(profile.name));
    if (data.shown >= 0) list.Select(data.shown);
    FillFields(dialog, data);
}

// A new profile, copied from the default one, for the program in front.
void Add(HWND dialog, ProfilesDialog& data) {
    Profile profile;
    for (int n = static_cast<int>(data.profiles.size()) + 1;; ++n) {
        profile.name = "Profile " + std::to_string(n);
        bool taken = false;
        for (const Profile& other : data.profiles) taken = taken || other.name == profile.name;
        if (!taken) break;
    }
    profile.program = WindowProgram(data.programWindow);
    profile.format = App.Format();
    profile.rules = ReadUserText(BarcodeRulesValue).text;
    profile.keyPresses = KeyPressesWanted();
    profile.pace = TypingPaceWanted();
    data.profiles.push_back(std::move(profile));
    Show(dialog, data, static_cast<int>(data.profiles.size()) - 1);
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, IDC_PROFILE_NAME)), TRUE);
}

void Remove(HWND dialog, ProfilesDialog& data) {
    if (data.shown < 0) return;
    data.profiles.erase(data.profiles.begin() + data.shown);
    Show(dialog, data, data.shown);
}

// Why the profiles cannot be saved, or nullopt: each needs a name of its
// own and a program, and rules without errors.
std::optional<std::pair<int, std::string>> Fault(const std::vector<Profile>& profiles) {
    for (size_t i = 0; i < profiles.size(); ++i) {
        const Profile& profile = profiles[i];
        const int at = static_cast<int>(i);
        if (profile.name.empty() || profile.name.find('\\') != std::string::npos)
            return std::pair(at, "Not saved: a profile needs a name without a backslash.");
        for (size_t j = 0; j < i; ++j)
            if (::lstrcmpiW(win::Utf8ToWide(profiles[j].name).c_str(), win::Utf8ToWide(profile.name).c_str()) == 0)
                return std::pair(at, "Not saved: two profiles are named " + profile.name + ".");
        if (profile.program.empty()) return std::pair(at, "Not saved: " + profile.name + " names no program.");
        const RuleText parsed = ParseRuleText(profile.rules);
        if (!parsed.errors.empty()) return std::pair(at, "Not saved: the rules of " + profile.name + ": " +
                                                              RulesStatusText(parsed));
    }
    return std::nullopt;
}

void OnOk(HWND dialog, ProfilesDialog& data) {
    if (data.byPolicy) return;
    TakeFields(dialog, data);
    if (const auto fault = Fault(data.profiles)) {
        Show(dialog, data, fault->first);
        SetStatus(dialog, fault->second);
        return;
    }
    if (!WriteUserProfiles(data.profiles)) {
        SetStatus(dialog, "Not saved: the profiles could not be written to the registry.");
        return;
    }
    ::EndDialog(dialog, IDOK);
}

std::string NewestSample() {
    std::vector<RecentBarcode> barcodes;
    BarcodeHistory().CopyNewerThan(0, barcodes);
    if (barcodes.empty()) return DefaultSample;
    const RecentBarcode& newest = barcodes.front();
    return SampleTextOf(std::string_view(reinterpret_cast<const char*>(newest.bytes), newest.length));
}

void OnInit(HWND dialog, ProfilesDialog& data) {
    data.layout.Take(dialog, LayoutRules);
    const std::shared_ptr<const ProfileList> stored = ProfilesInForce();
    data.profiles = stored->profiles;
    data.byPolicy = stored->byPolicy;
    data.sample = NewestSample();
    for (const TokenField& field : TokenFields) win::ComboBox(Item(dialog, field.combo)).LimitText(1);
    Show(dialog, data, 0);
    SetStatus(dialog, data.profiles.empty() ? "No profile: every program gets the Format page's settings."
                                            : "A program without a profile gets the Format page's settings.");
    ::EnableWindow(Item(dialog, IDC_PROFILES_ADD), !data.byPolicy);
    if (data.byPolicy) {
        ::EnableWindow(Item(dialog, IDOK), FALSE);
        ::ShowWindow(Item(dialog, IDC_PROFILES_POLICY_NOTE), SW_SHOWNA);
        ::SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    }
    ::SetFocus(Item(dialog, data.byPolicy ? IDCANCEL : data.profiles.empty() ? IDC_PROFILES_ADD : IDC_PROFILES_LIST));
}

bool ChangesAField(int id, int code) {
    for (int field : ProfileFields)
        if (field == id)
            return code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE || code == CBN_EDITCHANGE;
    return false;
}

void OnCommand(HWND dialog, ProfilesDialog& data, int id, int code) {
    if (id == IDC_PROFILE_IN_FRONT && code == BN_CLICKED) {
        pages::SetLines(Item(dialog, IDC_PROFILE_PROGRAM), WindowProgram(data.programWindow));
        return;
    }
    if (ChangesAField(id, code)) {
        // A pick in a combo box shows only once the notice is handled.
        if (code == CBN_SELCHANGE) {
            const win::ComboBox combo(Item(dialog, id));
            if (const std::optional<std::string> text = combo.SelectedText()) ::SetWindowTextA(combo.get(), text->c_str());
        }
        TakeFields(dialog, data);
        return;
    }
    switch (id) {
    case IDC_PROFILES_LIST:
        if (code == LBN_SELCHANGE) Show(dialog, data, win::ListBox(Item(dialog, id)).Selected());
        break;
    case IDC_PROFILES_ADD:
        if (code == BN_CLICKED) Add(dialog, data);
        break;
    case IDC_PROFILES_REMOVE:
        if (code == BN_CLICKED) Remove(dialog, data);
        break;
    case IDOK: OnOk(dialog, data); break;
    case IDCANCEL: ::EndDialog(dialog, IDCANCEL); break;
    default: break;
    }
}

}  // namespace

bool ShowProfiles(HWND owner, HWND programWindow) {
    ProfilesDialog data;
    data.programWindow = programWindow;
    const DLGPROC proc = pages::ResizableDialogProc<ProfilesDialog, OnInit, OnCommand>;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROFILES), owner, proc,
                             reinterpret_cast<LPARAM>(&data)) == IDOK;
}

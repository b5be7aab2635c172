// The Options page: activate at start-up, start with Windows, start minimised,
// the tray's balloons, the typing pace and key presses, and the scan log. The start-with-Windows
// value and the user options (balloons, pace, log) are written the moment the box is clicked
// or the field edited; the other two take effect at the next start. A
// policy's value shows, and its control is disabled.
#include "pages/OptionsPage.h"

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/UserOptions.h"
#include "delivery/ScanLog.h"
#include "pages/FieldBalloon.h"
#include "pages/PageSupport.h"
#include "res/resource.h"

#include <string>

namespace {

// A field holding a number of one user option.
struct NumberField {
    int id;
    const char* value;  // the user option it stands for
    uint32_t fallback, min, max;
    const wchar_t *unit, *units;  // of 1, and of any other number

    std::wstring Amount(uint32_t n) const { return std::to_wstring(n) + L" " + (n == 1 ? unit : units); }

    uint32_t Within(uint32_t n) const { return n < min ? min : n > max ? max : n; }
};
constexpr NumberField NumberFields[] = {
    {IDC_KEY_DELAY, KeyDelayValue, 0, 0, TypingPace::MaxKeyDelayMs, L"ms", L"ms"},
    {IDC_BARCODE_DELAY, BarcodeDelayValue, 0, 0, TypingPace::MaxBarcodeDelayMs, L"ms", L"ms"},
    {IDC_SCAN_LOG_DAYS, scanlog::DaysValue, scanlog::DefaultRetentionDays, 1, scanlog::MaxRetentionDays, L"day", L"days"},
};

const NumberField* NumberFieldOf(int id) {
    for (const NumberField& field : NumberFields)
        if (field.id == id) return &field;
    return nullptr;
}

// The field's number within its limits; an empty field counts as 0.
uint32_t NumberInField(HWND page, const NumberField& field) {
    return field.Within(::GetDlgItemInt(page, field.id, nullptr, FALSE));
}

void InitNumberFields(HWND page) {
    for (const NumberField& field : NumberFields) {
        const UserOption option = ReadUserOption(field.value, field.fallback);
        const HWND edit = ::GetDlgItem(page, field.id);
        ::SendMessageA(edit, EM_LIMITTEXT, std::to_string(field.max).size(), 0);
        ::SetDlgItemInt(page, field.id, field.Within(option.value), FALSE);
        ::EnableWindow(edit, !option.byPolicy);
    }
}

// "0-200 ms": what the field takes, as its label beside it says.
std::wstring RangeText(const NumberField& field) {
    return std::to_wstring(field.min) + L"-" + std::to_wstring(field.max) + L" " + field.units;
}

// Leaving a field that held a number out of its range: the balloon says the
// limit it took.
void SayWhatWasTaken(HWND page, const NumberField& field, uint32_t typed) {
    const uint32_t taken = field.Within(typed);
    if (taken == typed) return;
    ShowFieldBalloon(::GetDlgItem(page, field.id), L"Out of range",
                     std::wstring(typed > field.max ? L"The largest" : L"The smallest") + L" value, " +
                         field.Amount(taken) + L", was taken: the field takes " + RangeText(field) + L".");
}

// Edited: the user's value is stored at once (within its limits); leaving
// the field shows what was stored.
void OnNumberFieldNotice(HWND page, const NumberField& field, WORD notice) {
    if (notice == EN_CHANGE) {
        HideFieldBalloon(page);
        (void)WriteUserOption(field.value, NumberInField(page, field));
        PageChanged(page);
    } else if (notice == EN_SETFOCUS) {
        HideFieldBalloon(page);
    } else if (notice == EN_KILLFOCUS) {
        const uint32_t typed = ::GetDlgItemInt(page, field.id, nullptr, FALSE);
        {
            pages::InitialisingMark mark(page);
            ::SetDlgItemInt(page, field.id, field.Within(typed), FALSE);
        }
        SayWhatWasTaken(page, field, typed);
    }
}

// A box standing for one user option (1 ticked, 0 not).
struct OptionBox {
    int id;
    const char* value;
    uint32_t fallback;
};
constexpr OptionBox OptionBoxes[] = {
    {IDC_SHOW_BALLOONS, ShowBalloonsValue, 1},
    {IDC_KEY_PRESSES, KeyPressesValue, 0},
    {IDC_SCAN_LOG, scanlog::OnValue, 0},
};

void InitOptionBoxes(HWND page) {
    for (const OptionBox& box : OptionBoxes) {
        const UserOption option = ReadUserOption(box.value, box.fallback);
        pages::SetTicked(page, box.id, option.value != 0);
        ::EnableWindow(::GetDlgItem(page, box.id), !option.byPolicy);
    }
}

// A group whose options an administrator's policy sets says so in its
// caption; the boxes and fields it sets are greyed.
struct PolicyGroup {
    int id;
    const char* values[3];
};
constexpr PolicyGroup PolicyGroups[] = {
    {IDC_GROUP_BALLOONS, {ShowBalloonsValue, nullptr}},
    {IDC_GROUP_PACE, {KeyDelayValue, BarcodeDelayValue, KeyPressesValue}},
    {IDC_GROUP_SCAN_LOG, {scanlog::OnValue, scanlog::DaysValue}},
};

void ShowGroupsSetByPolicy(HWND page) {
    for (const PolicyGroup& group : PolicyGroups) {
        bool byPolicy = false;
        for (const char* value : group.values) byPolicy = byPolicy || (value && ReadUserOption(value, 0).byPolicy);
        if (!byPolicy) continue;
        wchar_t caption[64] = {};
        ::GetDlgItemTextW(page, group.id, caption, 64);
        ::SetDlgItemTextW(page, group.id, (std::wstring(caption) + L" (Set by your administrator)").c_str());
    }
}

const OptionBox* OptionBoxOf(int id) {
    for (const OptionBox& box : OptionBoxes)
        if (box.id == id) return &box;
    return nullptr;
}

void InitOptionsPage(HWND page) {
    pages::InitialisingMark mark(page);
    const SettingsRecord settings = App.Settings.Get();
    pages::SetTicked(page, IDC_ACTIVATE_ON_START, settings.Activate != 0);
    // The package's AUTOSTART starts the program for every user: the box
    // says so and cannot be changed.
    const bool byMachine = MachineStartsProgram();
    pages::SetTicked(page, IDC_RUN_AT_STARTUP, byMachine || App.RunAtStartup != 0);
    ::EnableWindow(::GetDlgItem(page, IDC_RUN_AT_STARTUP), !byMachine);
    pages::SetTicked(page, IDC_MINIMIZE_ON_START, settings.Minimize != 0);
    InitOptionBoxes(page);
    InitNumberFields(page);
    ShowGroupsSetByPolicy(page);
    PageOnInit(page, OptionsPageIndex);
}

// Registry failures are not shown: the box and RunAtStartup keep the user's
// choice, and SaveSettings writes the value again at every save.
void ApplyRunAtStartup(bool ticked) {
    if (ticked) {
        App.RunAtStartup = 1;
        (void)App.WithSettings([](SettingsRecord& settings, int&) { return SetRunValue(HKEY_CURRENT_USER, settings); });
    } else {
        App.RunAtStartup = 0;
        (void)DeleteRunValue(HKEY_LOCAL_MACHINE);  // an installer may have put one there
        (void)DeleteRunValue(HKEY_CURRENT_USER);
    }
}

void OnButtonClick(HWND page, int id) {
    const bool ticked = pages::IsTicked(page, id);
    switch (id) {
    case IDC_ACTIVATE_ON_START:
        App.Settings.Update([ticked](SettingsRecord& settings) { settings.Activate = ticked ? 1 : 0; });
        break;
    case IDC_RUN_AT_STARTUP: ApplyRunAtStartup(ticked); break;
    case IDC_MINIMIZE_ON_START:
        App.Settings.Update([ticked](SettingsRecord& settings) { settings.Minimize = ticked ? 1 : 0; });
        break;
    default:
        if (const OptionBox* box = OptionBoxOf(id)) {
            (void)WriteUserOption(box->value, ticked ? 1 : 0);
            break;
        }
        return;
    }
    PageChanged(page);
}

}  // namespace

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: InitOptionsPage(page); break;
        case WM_COMMAND:
            if (pages::IsInitialising(page)) break;
            if (const NumberField* field = NumberFieldOf(LOWORD(wParam)))
                OnNumberFieldNotice(page, *field, HIWORD(wParam));
            else if (HIWORD(wParam) == BN_CLICKED)
                OnButtonClick(page, LOWORD(wParam));
            break;
        case WM_NOTIFY: PageOnNotify(page, OptionsPageIndex, lParam); break;
        case WM_TIMER: (void)OnFieldBalloonTimer(page, wParam); break;
        case WM_DESTROY: DropFieldBalloon(page); break;
        default: break;
        }
        return FALSE;
    });
}

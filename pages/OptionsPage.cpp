// The Options page: activate at start-up, start with Windows, start minimised,
// the tray's balloons and the typing pace. The start-with-Windows value and
// the user options (balloons, pace) are written the moment the box is clicked
// or the field edited; the other two take effect at the next start. A
// policy's value shows, and its control is disabled.
#include "pages/OptionsPage.h"

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/UserOptions.h"
#include "pages/PageSupport.h"
#include "res/resource.h"

#include <string>

namespace {

struct PaceField {
    int id;
    const char* value;  // the user option it stands for
    uint32_t max;
};
constexpr PaceField PaceFields[] = {
    {IDC_KEY_DELAY, KeyDelayValue, TypingPace::MaxKeyDelayMs},
    {IDC_BARCODE_DELAY, BarcodeDelayValue, TypingPace::MaxBarcodeDelayMs},
};

const PaceField* PaceFieldOf(int id) {
    for (const PaceField& field : PaceFields)
        if (field.id == id) return &field;
    return nullptr;
}

// The field's number within its limit; an empty field counts as 0.
uint32_t PaceInField(HWND page, const PaceField& field) {
    const UINT typed = ::GetDlgItemInt(page, field.id, nullptr, FALSE);
    return typed > field.max ? field.max : typed;
}

void InitPaceFields(HWND page) {
    for (const PaceField& field : PaceFields) {
        const UserOption option = ReadUserOption(field.value, 0);
        const HWND edit = ::GetDlgItem(page, field.id);
        ::SendMessageA(edit, EM_LIMITTEXT, std::to_string(field.max).size(), 0);
        ::SetDlgItemInt(page, field.id, option.value > field.max ? field.max : option.value, FALSE);
        ::EnableWindow(edit, !option.byPolicy);
    }
}

// Edited: the user's value is stored at once (within its limit); leaving
// the field shows what was stored.
void OnPaceFieldNotice(HWND page, const PaceField& field, WORD notice) {
    if (notice == EN_CHANGE) {
        (void)WriteUserOption(field.value, PaceInField(page, field));
        PageChanged(page);
    } else if (notice == EN_KILLFOCUS) {
        pages::InitialisingMark mark(page);
        ::SetDlgItemInt(page, field.id, PaceInField(page, field), FALSE);
    }
}

void InitOptionsPage(HWND page) {
    pages::InitialisingMark mark(page);
    const SettingsRecord settings = App.Settings.Get();
    pages::SetTicked(page, IDC_ACTIVATE_ON_START, settings.Activate != 0);
    pages::SetTicked(page, IDC_RUN_AT_STARTUP, App.RunAtStartup != 0);
    pages::SetTicked(page, IDC_MINIMIZE_ON_START, settings.Minimize != 0);
    const UserOption balloons = ReadUserOption(ShowBalloonsValue, 1);
    pages::SetTicked(page, IDC_SHOW_BALLOONS, balloons.value != 0);
    ::EnableWindow(::GetDlgItem(page, IDC_SHOW_BALLOONS), !balloons.byPolicy);
    InitPaceFields(page);
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
    case IDC_SHOW_BALLOONS: (void)WriteUserOption(ShowBalloonsValue, ticked ? 1 : 0); break;
    case IDC_MINIMIZE_ON_START:
        App.Settings.Update([ticked](SettingsRecord& settings) { settings.Minimize = ticked ? 1 : 0; });
        break;
    default: return;
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
            if (const PaceField* field = PaceFieldOf(LOWORD(wParam)))
                OnPaceFieldNotice(page, *field, HIWORD(wParam));
            else if (HIWORD(wParam) == BN_CLICKED)
                OnButtonClick(page, LOWORD(wParam));
            break;
        case WM_NOTIFY: PageOnNotify(page, OptionsPageIndex, lParam); break;
        default: break;
        }
        return FALSE;
    });
}

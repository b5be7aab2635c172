// The Options page: activate at start-up, start with Windows, start minimised,
// and the tray's balloons. The start-with-Windows value and the balloons'
// user option are written the moment the box is clicked; the other two take
// effect at the next start. A policy's value shows, and its box is disabled.
#include "pages/OptionsPage.h"

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/UserOptions.h"
#include "pages/PageSupport.h"
#include "res/resource.h"

namespace {

void InitOptionsPage(HWND page) {
    pages::InitialisingMark mark(page);
    const SettingsRecord settings = App.Settings.Get();
    pages::SetTicked(page, IDC_ACTIVATE_ON_START, settings.Activate != 0);
    pages::SetTicked(page, IDC_RUN_AT_STARTUP, App.RunAtStartup != 0);
    pages::SetTicked(page, IDC_MINIMIZE_ON_START, settings.Minimize != 0);
    const UserOption balloons = ReadUserOption(ShowBalloonsValue, 1);
    pages::SetTicked(page, IDC_SHOW_BALLOONS, balloons.value != 0);
    ::EnableWindow(::GetDlgItem(page, IDC_SHOW_BALLOONS), !balloons.byPolicy);
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
            if (HIWORD(wParam) == BN_CLICKED && !pages::IsInitialising(page))
                OnButtonClick(page, LOWORD(wParam));
            break;
        case WM_NOTIFY: PageOnNotify(page, OptionsPageIndex, lParam); break;
        default: break;
        }
        return FALSE;
    });
}

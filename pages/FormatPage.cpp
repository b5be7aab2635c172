// The Format page: strip count, prefix and suffix tokens and their Ctrl
// flags. Every change goes into the settings (App.Settings) at once, so the
// polling thread types the next barcode with it; the file is written when the
// page is left. "Rules..." opens the Barcode Rules dialog (RulesDialog.h).
#include "pages/FormatPage.h"

#include <optional>
#include <string>
#include <vector>

#include "pages/PageProtocol.h"
#include "config/Application.h"
#include "delivery/WindowInFront.h"
#include "pages/PageSupport.h"
#include "pages/AllowedProgramsDialog.h"
#include "pages/ProfilesDialog.h"
#include "pages/RulesDialog.h"
#include "pages/TokenBoxes.h"
#include "res/resource.h"
#include "win/ListControls.h"
#include "win/WinText.h"

namespace {

struct TokenBox {
    int comboId;
    std::string FormatSettings::*token;
};

struct CtrlBox {
    int checkId;
    int FormatSettings::*flag;
};

// In the order the page fills them.
constexpr TokenBox TokenBoxes[] = {
    {IDC_SUFFIX1_CHAR, &FormatSettings::SuffixFirstChar},
    {IDC_SUFFIX2_CHAR, &FormatSettings::SuffixSecondChar},
    {IDC_PREFIX_CHAR, &FormatSettings::PrefixChar},
};

constexpr CtrlBox CtrlBoxes[] = {
    {IDC_SUFFIX1_CTRL, &FormatSettings::SuffixFirstCharCtrl},
    {IDC_SUFFIX2_CTRL, &FormatSettings::SuffixSecondCharCtrl},
    {IDC_PREFIX_CTRL, &FormatSettings::PrefixCharCtrl},
};

const TokenBox* FindTokenBox(int id) {
    for (const TokenBox& box : TokenBoxes)
        if (box.comboId == id) return &box;
    return nullptr;
}

const CtrlBox* FindCtrlBox(int id) {
    for (const CtrlBox& box : CtrlBoxes)
        if (box.checkId == id) return &box;
    return nullptr;
}

void InitFormatPage(HWND page) {
    pages::InitialisingMark mark(page);
    const FormatSettings format = App.Format();
    for (const CtrlBox& box : CtrlBoxes) pages::SetTicked(page, box.checkId, format.*box.flag != 0);
    for (const TokenBox& box : TokenBoxes) win::ComboBox(::GetDlgItem(page, box.comboId)).LimitText(1);
    pages::ShowStripCount(win::ComboBox(::GetDlgItem(page, IDC_STRIP_COUNT)), format.strip);
    for (const TokenBox& box : TokenBoxes)
        pages::ShowStoredToken(win::ComboBox(::GetDlgItem(page, box.comboId)), format.*box.token);
    PageOnInit(page, FormatPageIndex);
}

void StoreToken(const TokenBox& box, std::string token) {
    App.Settings.Update([&](SettingsRecord& settings) { settings.*box.token = std::move(token); });
}

void OnButtonClick(HWND page, int id) {
    // The rules are the user's own registry value, saved by their dialog's
    // OK: nothing for the sheet's Save.
    if (id == IDC_FORMAT_RULES) {
        (void)ShowBarcodeRules(::GetAncestor(page, GA_ROOT));
        return;
    }
    if (id == IDC_FORMAT_ALLOWED || id == IDC_FORMAT_PROFILES) {
        const HWND sheet = ::GetAncestor(page, GA_ROOT);
        if (id == IDC_FORMAT_ALLOWED)
            (void)ShowAllowedPrograms(sheet, ProgramWindowBehind(sheet));
        else
            (void)ShowProfiles(sheet, ProgramWindowBehind(sheet));
        return;
    }
    if (const CtrlBox* box = FindCtrlBox(id)) {
        const int ticked = pages::IsTicked(page, id) ? 1 : 0;
        App.Settings.Update([&](SettingsRecord& settings) { settings.*box->flag = ticked; });
    }
    PageChanged(page);
}

void OnSelectionChange(HWND page, int id) {
    const win::ComboBox combo(::GetDlgItem(page, id));
    if (id == IDC_STRIP_COUNT) {
        if (const std::optional<int> index = combo.Selected())
            App.Settings.Update([&](SettingsRecord& settings) { settings.strip = *index; });
    } else if (const TokenBox* box = FindTokenBox(id)) {
        if (std::optional<std::string> text = combo.SelectedText()) StoreToken(*box, std::move(*text));
    }
    PageChanged(page);
}

void OnEditUpdate(HWND page, int id) {
    if (const TokenBox* box = FindTokenBox(id)) StoreToken(*box, pages::TypedToken(::GetDlgItem(page, id)));
    PageChanged(page);
}

void OnCommand(HWND page, int id, int code) {
    if (pages::IsInitialising(page)) return;
    switch (code) {
    case BN_CLICKED: OnButtonClick(page, id); break;
    case CBN_SELCHANGE: OnSelectionChange(page, id); break;
    case CBN_EDITUPDATE: OnEditUpdate(page, id); break;
    default: break;
    }
}

}  // namespace

INT_PTR CALLBACK FormatPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: InitFormatPage(page); break;
        case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); break;
        case WM_NOTIFY: PageOnNotify(page, FormatPageIndex, lParam); break;
        default: break;
        }
        return FALSE;
    });
}

#include "pages/AllowedProgramsDialog.h"

#include <string>
#include <string_view>

#include "config/UserOptions.h"
#include "delivery/AllowedPrograms.h"
#include "delivery/WindowInFront.h"
#include "pages/DialogLayout.h"
#include "pages/PageSupport.h"
#include "res/resource.h"

namespace {

using dialoglayout::GrowTall;
using dialoglayout::GrowWide;
using dialoglayout::MoveDown;
using dialoglayout::MoveRight;

// The list takes what the dialog gains; the line under it and the buttons
// keep their distance from the bottom.
constexpr dialoglayout::Rule LayoutRules[] = {
    {IDC_ALLOWED_LABEL, 0},
    {IDC_ALLOWED_POLICY_NOTE, MoveRight},
    {IDC_ALLOWED_TEXT, GrowWide | GrowTall},
    {IDC_ALLOWED_STATUS, MoveDown | GrowWide},
    {IDC_ALLOWED_IN_FRONT, MoveDown},
    {IDOK, MoveDown | MoveRight},
    {IDCANCEL, MoveDown | MoveRight},
};

// What one dialog holds, on ShowAllowedPrograms's stack; the dialog keeps a
// pointer in DWLP_USER from WM_INITDIALOG on.
struct AllowedDialog {
    HWND programWindow = nullptr;
    bool byPolicy = false;
    dialoglayout::Layout layout;
};

AllowedDialog* DataOf(HWND dialog) {
    return reinterpret_cast<AllowedDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

std::string ListText(HWND dialog) { return pages::LinesOf(Item(dialog, IDC_ALLOWED_TEXT)); }

void SetListText(HWND dialog, std::string_view utf8) { pages::SetLines(Item(dialog, IDC_ALLOWED_TEXT), utf8); }

void ShowWhatTheListDoes(HWND dialog) {
    const char* text = AnyProgramListed(ListText(dialog))
                           ? "Only these programs receive barcodes; while another is in front, they stay on the "
                             "scanner."
                           : "No program listed: every program may receive barcodes.";
    ::SetWindowTextA(Item(dialog, IDC_ALLOWED_STATUS), text);
}

// The program whose window was in front, as a line of its own, once.
void AddProgramInFront(HWND dialog, const AllowedDialog& data) {
    const std::string program = WindowProgram(data.programWindow);
    if (program.empty()) return;
    std::string text = ListText(dialog);
    if (AnyProgramListed(text) && ProgramAllowed(text, program)) return;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    SetListText(dialog, text.empty() ? program : text + "\n" + program);
    ShowWhatTheListDoes(dialog);
}

void OnOk(HWND dialog, const AllowedDialog& data) {
    if (data.byPolicy) return;
    if (!WriteUserText(AllowedProgramsValue, ListText(dialog))) {
        ::SetWindowTextA(Item(dialog, IDC_ALLOWED_STATUS), "Not saved: the list could not be written to the registry.");
        return;
    }
    ::EndDialog(dialog, IDOK);
}

void OnInit(HWND dialog, AllowedDialog& data) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&data));
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VASK));
    ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    data.layout.Take(dialog, LayoutRules);
    const UserText stored = ReadUserText(AllowedProgramsValue);
    data.byPolicy = stored.byPolicy;
    SetListText(dialog, stored.text);
    ShowWhatTheListDoes(dialog);
    ::EnableWindow(Item(dialog, IDC_ALLOWED_IN_FRONT), !data.byPolicy && !WindowProgram(data.programWindow).empty());
    if (data.byPolicy) {
        ::SendMessageW(Item(dialog, IDC_ALLOWED_TEXT), EM_SETREADONLY, TRUE, 0);
        ::EnableWindow(Item(dialog, IDOK), FALSE);
        ::ShowWindow(Item(dialog, IDC_ALLOWED_POLICY_NOTE), SW_SHOWNA);
        ::SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    }
    ::SetFocus(Item(dialog, data.byPolicy ? IDCANCEL : IDC_ALLOWED_TEXT));
}

void OnCommand(HWND dialog, AllowedDialog& data, int id, int code) {
    switch (id) {
    case IDC_ALLOWED_TEXT:
        if (code == EN_CHANGE) ShowWhatTheListDoes(dialog);
        break;
    case IDC_ALLOWED_IN_FRONT:
        if (code == BN_CLICKED) AddProgramInFront(dialog, data);
        break;
    case IDOK: OnOk(dialog, data); break;
    case IDCANCEL: ::EndDialog(dialog, IDCANCEL); break;
    default: break;
    }
}

INT_PTR CALLBACK AllowedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            OnInit(dialog, *reinterpret_cast<AllowedDialog*>(lParam));
            return FALSE;  // the focus is set
        }
        AllowedDialog* data = DataOf(dialog);
        if (!data) return FALSE;
        switch (message) {
        case WM_COMMAND: OnCommand(dialog, *data, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_SIZE: data->layout.Follow(dialog); return FALSE;
        case WM_GETMINMAXINFO: data->layout.Limit(*reinterpret_cast<MINMAXINFO*>(lParam)); return FALSE;
        default: return FALSE;
        }
    });
}

}  // namespace

bool ShowAllowedPrograms(HWND owner, HWND programWindow) {
    AllowedDialog data;
    data.programWindow = programWindow;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALLOWED_PROGRAMS), owner,
                             AllowedDialogProc, reinterpret_cast<LPARAM>(&data)) == IDOK;
}

#include "pages/AllowedProgramsDialog.h"

#include <string>
#include <string_view>

#include "config/UserOptions.h"
#include "delivery/AllowedPrograms.h"
#include "delivery/WindowInFront.h"
#include "pages/DialogLayout.h"
#include "pages/PageSupport.h"
#include "pages/ResizableDialog.h"
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

// What one dialog holds, on ShowAllowedPrograms's stack (ResizableDialog.h).
struct AllowedDialog {
    HWND programWindow = nullptr;
    bool byPolicy = false;
    dialoglayout::Layout layout;
};

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

}  // namespace

bool ShowAllowedPrograms(HWND owner, HWND programWindow) {
    AllowedDialog data;
    data.programWindow = programWindow;
    const DLGPROC proc = pages::ResizableDialogProc<AllowedDialog, OnInit, OnCommand>;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALLOWED_PROGRAMS), owner, proc,
                             reinterpret_cast<LPARAM>(&data)) == IDOK;
}

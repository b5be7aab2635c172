#include "app/SettingsSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <array>
#include <cstddef>
#include <utility>

#include "app/ShellRules.h"
#include "app/Shell.h"
#include "config/Application.h"
#include "pages/AboutPage.h"
#include "pages/FormatPage.h"
#include "pages/OptionsPage.h"
#include "pages/PageProtocol.h"
#include "pages/ConnectionsPage.h"
#include "pages/TracePage.h"
#include "res/resource.h"
#include "scanner/ScannerState.h"
#include "win/Shielded.h"

namespace {

struct PageKind {
    int templateId;
    DLGPROC procedure;
};

// The pages in tab order; the position is the index StartPage holds.
constexpr std::array<PageKind, 5> Pages{{
    {IDD_ABOUT, AboutPageProc},
    {IDD_CONNECTIONS, ConnectionsPageProc},
    {IDD_OPTIONS, OptionsPageProc},
    {IDD_TRACE, TracePageProc},
    {IDD_FORMAT, FormatPageProc},
}};

constexpr DWORD SheetFlags = PSH_USEHICON | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
static_assert(SheetFlags == 0x02000102);
// The page record and the sheet header in their 48- and 52-byte forms (up to
// the header titles, and up to the header bitmap).
constexpr UINT PageRecordSize = 48;
constexpr UINT SheetHeaderSize = 52;
static_assert(offsetof(PROPSHEETPAGEA, pszHeaderSubTitle) + sizeof(LPCSTR) == PageRecordSize);
static_assert(offsetof(PROPSHEETHEADERA, hbmHeader) + sizeof(HBITMAP) == SheetHeaderSize);
constexpr int ApplyButtonId = 12321;

// Counts the sheets started; a nested start (the tray's "&About" while a
// sheet is open) tells the outer sheet that it was replaced.
int SheetsStarted = 0;

// Page handles that the sheet did not take over are destroyed here.
class PageHandles {
public:
    PageHandles() {
        for (size_t i = 0; i < Pages.size(); ++i) {
            PROPSHEETPAGEA page{};
            page.dwSize = PageRecordSize;
            page.dwFlags = PSP_DEFAULT;
            page.hInstance = ModuleInstance;
            page.pszTemplate = MAKEINTRESOURCEA(Pages[i].templateId);
            page.pfnDlgProc = Pages[i].procedure;
            page.lParam = 0;
            handles_[i] = ::CreatePropertySheetPageA(&page);
            if (!handles_[i]) complete_ = false;
        }
    }
    ~PageHandles() {
        if (handedOver_) return;
        for (HPROPSHEETPAGE h : handles_)
            if (h) ::DestroyPropertySheetPage(h);
    }
    PageHandles(const PageHandles&) = delete;
    PageHandles& operator=(const PageHandles&) = delete;

    bool complete() const { return complete_; }
    HPROPSHEETPAGE* data() { return handles_.data(); }
    // PropertySheet destroys the pages itself, whatever it returns.
    void HandedOver() { handedOver_ = true; }

private:
    std::array<HPROPSHEETPAGE, Pages.size()> handles_{};
    bool complete_ = true;
    bool handedOver_ = false;
};

INT_PTR RunSheet(PageHandles& pages, int startPage) {
    PROPSHEETHEADERA header{};
    header.dwSize = SheetHeaderSize;
    header.dwFlags = SheetFlags;
    header.hwndParent = nullptr;
    header.hInstance = nullptr;
    header.hIcon = ::LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_VASK));
    header.pszCaption = SheetCaption;
    header.nPages = static_cast<UINT>(Pages.size());
    header.nStartPage = static_cast<UINT>(startPage);
    header.phpage = pages.data();
    header.pfnCallback = SettingsSheetCallback;
    pages.HandedOver();
    return ::PropertySheetA(&header);
}

// Whether the keyboard focus is in an edit field of the sheet's pages (a
// field of its own, or a combo box's).
bool FocusIsInAField(HWND sheet) {
    const HWND focus = ::GetFocus();
    if (!focus || !::IsChild(sheet, focus)) return false;
    char kind[8] = "";
    ::GetClassNameA(focus, kind, sizeof kind);
    return ::lstrcmpiA(kind, "Edit") == 0;
}

// The sheet's Exit is the tray's Exit: the main window asks "Confirm Exit"
// while the sheet stays open; answered No, the sheet stays as it was, and
// Yes ends the program, which closes the sheet. The pages have taken their
// fields' values as the focus left them. Enter in a field would answer the
// default button, Exit, and a second Enter the question: there Enter does
// nothing; Exit takes a click or Alt+E, which move the focus to the button
// first.
LRESULT CALLBACK SheetWithConfirmedExit(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        win::Shielded([&] {
            if (!FocusIsInAField(sheet)) (void)::PostMessageA(MainWindow, WM_COMMAND, IDM_EXIT, 0);
        });
        return 0;
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(sheet, SheetWithConfirmedExit, 0);
    return ::DefSubclassProc(sheet, message, wParam, lParam);
}

void ApplyClosing(const shell::SheetClosing& closing) {
    if (closing.clearOpen) Sheet.Open = false;
    if (closing.clearCancelled) Sheet.Cancelled = false;
}

}  // namespace

void ShowSettingsSheet() {
    PageHandles pages;
    const int startPage = shell::ChooseStartPage(App.Settings.Get().Activate, Scanner.Pending(), Sheet.OpenAtAbout,
                                                 Sheet.StartPage);
    const int mine = ++SheetsStarted;
    Sheet.Open = true;
    const INT_PTR result = pages.complete() ? RunSheet(pages, startPage) : -1;
    ApplyClosing(shell::OnSheetClosed(result, Sheet.Cancelled, SheetsStarted != mine));
}

int CALLBACK SettingsSheetCallback(HWND sheet, UINT event, LPARAM) {
    if (event != PSCB_INITIALIZED) return 0;
    ::SetDlgItemTextA(sheet, IDOK, "&Exit");
    ::SetDlgItemTextA(sheet, IDCANCEL, "&Close");
    ::SetDlgItemTextA(sheet, ApplyButtonId, "S&ave Settings");
    Sheet.Window = sheet;
    (void)::SetWindowSubclass(sheet, SheetWithConfirmedExit, 0, 0);
    ::SendMessageA(sheet, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(::LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_VASK))));
    return 0;
}

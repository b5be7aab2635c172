#include "tests/pages/PageHost.h"

#include <commctrl.h>
#include <prsht.h>

#include "pages/AboutPage.h"
#include "pages/FormatPage.h"
#include "pages/OptionsPage.h"
#include "pages/TracePage.h"
#include "res/resource.h"

namespace pagetest {
namespace {

HPROPSHEETPAGE MakePage(int templateId, DLGPROC proc) {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.hInstance = ::GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    page.pfnDlgProc = proc;
    return ::CreatePropertySheetPageA(&page);
}

}  // namespace

PageHost::PageHost(HostTab first) : richEdit_(::LoadLibraryA("Riched20.dll")) {
    HPROPSHEETPAGE pages[] = {
        MakePage(IDD_ABOUT, AboutPageProc),
        MakePage(IDD_OPTIONS, OptionsPageProc),
        MakePage(IDD_TRACE, TracePageProc),
        MakePage(IDD_FORMAT, FormatPageProc),
    };
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_NOCONTEXTHELP;
    header.pszCaption = "Page host";
    header.nPages = 4;
    header.nStartPage = static_cast<UINT>(first);
    header.phpage = pages;
    sheet_ = reinterpret_cast<HWND>(::PropertySheetA(&header));
    if (sheet_ == reinterpret_cast<HWND>(-1)) sheet_ = nullptr;
    Pump();
}

PageHost::~PageHost() {
    if (sheet_) ::DestroyWindow(sheet_);
    Pump();
}

HWND PageHost::page() const { return PropSheet_GetCurrentPageHwnd(sheet_); }

HWND PageHost::Show(HostTab tab) {
    PropSheet_SetCurSel(sheet_, nullptr, static_cast<int>(tab));
    Pump();
    return page();
}

bool PageHost::SaveEnabled() const {
    return ::IsWindowEnabled(::GetDlgItem(sheet_, 0x3021)) != FALSE;
}

void PageHost::Pump() const {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (sheet_ && PropSheet_IsDialogMessage(sheet_, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace pagetest

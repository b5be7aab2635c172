// The About page: the program's version, the scanner SDK's version, the
// maker's name and address. It edits nothing.
#include "pages/AboutPage.h"

#include "pages/PageProtocol.h"
#include "pages/AboutText.h"
#include "pages/PageSupport.h"
#include "res/resource.h"
#include "sdk/VantuSdk.h"

namespace {

// The SDK is asked again for every new sheet, so a replaced DLL shows.
void InitAboutPage(HWND page) {
    ::SetDlgItemTextA(page, IDC_PROGRAM_VERSION, ProgramVersionText);
    ::SetDlgItemTextA(page, IDC_SDK_VERSION, SdkVersionLine(vantu::VantuAPIGetVersion()).c_str());
    PageOnInit(page, AboutPageIndex);
}

}  // namespace

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: InitAboutPage(page); break;
        case WM_NOTIFY: PageOnNotify(page, AboutPageIndex, lParam); break;
        default: break;
        }
        return FALSE;
    });
}

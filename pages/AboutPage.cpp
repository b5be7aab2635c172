// The About page: the program's version, the scanner SDK's version, the
// maker's name and address. It edits nothing.
#include "pages/AboutPage.h"

#include <cstring>
#include <string>

#include "pages/PageProtocol.h"
#include "pages/AboutText.h"
#include "pages/PageSupport.h"
#include "res/resource.h"
#include "res/Messages.h"
#include "scanner/ScannerWorker.h"
#include "sdk/VantuSdk.h"

namespace {

// The product version from the version record of the running program: the
// number is written in one place only, so the page cannot show another one.
std::string OwnVersionLine() {
    HMODULE program = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(program, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(program, found) : nullptr;
    const auto* record = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    // The record opens with three WORDs and the key L"VS_VERSION_INFO", padded
    // to a DWORD boundary; the fixed part follows.
    constexpr DWORD FixedOffset = 40;
    if (!record || ::SizeofResource(program, found) < FixedOffset + sizeof(VS_FIXEDFILEINFO))
        return "Brontel Vask";
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, record + FixedOffset, sizeof fixed);
    if (fixed.dwSignature != VS_FFI_SIGNATURE) return "Brontel Vask";
    return ProgramVersionLine(HIWORD(fixed.dwProductVersionMS), LOWORD(fixed.dwProductVersionMS));
}


// The SDK is asked again for every new sheet, so a replaced DLL shows; the
// call (which may load the DLL) is made on the scanner worker.
void InitAboutPage(HWND page) {
    ::SetDlgItemTextA(page, IDC_PROGRAM_VERSION, OwnVersionLine().c_str());
    (void)ScannerCommands.Post([page] {
        (void)::PostMessageA(page, SdkVersionMessage, static_cast<WPARAM>(vantu::VantuAPIGetVersion()), 0);
    });
    PageOnInit(page, AboutPageIndex);
}

}  // namespace

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: InitAboutPage(page); break;
        case SdkVersionMessage:
            ::SetDlgItemTextA(page, IDC_SDK_VERSION, SdkVersionLine(static_cast<int>(wParam)).c_str());
            break;
        case WM_NOTIFY: PageOnNotify(page, AboutPageIndex, lParam); break;
        default: break;
        }
        return FALSE;
    });
}

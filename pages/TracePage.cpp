// The Trace page: while it is on display in the foreground sheet, the polling
// thread writes scanned barcodes into its text box instead of typing them.
// The page publishes the text box (TraceWindow) and the display mode
// (RawTrace) to that thread; it never writes trace text itself.
#include "pages/TracePage.h"

#include <richedit.h>

#include "pages/PageProtocol.h"
#include "delivery/TraceState.h"
#include "delivery/TraceText.h"
#include "pages/PageSupport.h"
#include "res/resource.h"

namespace {

// RawTrace follows the "&Vask" button with every message the page gets: the
// polling thread clears it while the sheet is in the background. Messages
// that arrive before the buttons exist leave it alone.
void PublishTraceMode(HWND page) {
    HWND vask = ::GetDlgItem(page, IDC_TRACE_VASK);
    if (!vask) return;
    Trace.RawTrace = (::SendMessageA(vask, BM_GETCHECK, 0, 0) == BST_CHECKED) ? 0 : 1;
}

void FocusTraceText(HWND page) { ::SetFocus(::GetDlgItem(page, IDC_TRACE_TEXT)); }

void InitTracePage(HWND page) {
    pages::InitialisingMark mark(page);
    HWND text = ::GetDlgItem(page, IDC_TRACE_TEXT);
    ::SendMessageA(text, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(TraceTextLimit));
    Trace.TraceWindow = text;
    const bool raw = Trace.TraceSource != 0;
    pages::SetTicked(page, IDC_TRACE_VASK, !raw);
    pages::SetTicked(page, IDC_TRACE_SCANNER, raw);
    FocusTraceText(page);
    PageOnInit(page, TracePageIndex);
    PublishTraceMode(page);
}

void ClearTrace(HWND page) {
    ::SetDlgItemTextA(page, IDC_TRACE_TEXT, "");
    FocusTraceText(page);
}

void OnButtonClick(HWND page, int id) {
    switch (id) {
    case IDC_TRACE_VASK: Trace.TraceSource = pages::IsTicked(page, IDC_TRACE_VASK) ? 0 : 1; break;
    case IDC_TRACE_SCANNER: Trace.TraceSource = pages::IsTicked(page, IDC_TRACE_SCANNER) ? 1 : 0; break;
    case IDC_TRACE_CLEAR: ClearTrace(page); return;  // clearing changes no setting
    default: return;
    }
    FocusTraceText(page);
    PageChanged(page);
}

}  // namespace

INT_PTR CALLBACK TracePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        PublishTraceMode(page);
        switch (message) {
        case WM_INITDIALOG: InitTracePage(page); break;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && !pages::IsInitialising(page))
                OnButtonClick(page, LOWORD(wParam));
            break;
        case WM_NOTIFY: PageOnNotify(page, TracePageIndex, lParam); break;
        default: break;
        }
        return FALSE;  // keeps the focus given to the text box at initialisation
    });
}

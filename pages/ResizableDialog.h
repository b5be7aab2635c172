// The dialog procedure of a resizable dialog opened from the Format page:
// its data (which holds its `layout`, DialogLayout.h) lives on the opener's
// stack and comes with WM_INITDIALOG; the dialog keeps a pointer to it, and
// hands its commands to Command and its size to the layout.
#pragma once

#include <windows.h>

#include "pages/PageSupport.h"
#include "res/resource.h"

namespace pages {

template <typename Data, void (*Init)(HWND, Data&), void (*Command)(HWND, Data&, int, int)>
INT_PTR CALLBACK ResizableDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return WithoutExceptions([&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VASK));
            ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            Init(dialog, *reinterpret_cast<Data*>(lParam));
            return FALSE;  // Init sets the focus
        }
        auto* data = reinterpret_cast<Data*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (!data) return FALSE;
        switch (message) {
        case WM_COMMAND: Command(dialog, *data, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_SIZE: data->layout.Follow(dialog); return FALSE;
        case WM_GETMINMAXINFO: data->layout.Limit(*reinterpret_cast<MINMAXINFO*>(lParam)); return FALSE;
        default: return FALSE;
        }
    });
}

}  // namespace pages

#include "pages/FieldBalloon.h"

#include <commctrl.h>

namespace {

// The page's own balloon, kept as a property of the page until the page's
// WM_DESTROY (DropFieldBalloon).
constexpr char BalloonProperty[] = "VaskFieldBalloon";
constexpr UINT_PTR BalloonTimer = 0xBA11;
constexpr UINT BalloonShowsMs = 6000;

HWND PageOf(HWND field) { return ::GetParent(field); }

HWND BalloonOf(HWND page) { return static_cast<HWND>(::GetPropA(page, BalloonProperty)); }

HWND MakeBalloon(HWND page) {
    const HWND balloon =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr,
                          reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(page, GWLP_HINSTANCE)), nullptr);
    if (balloon) ::SetPropA(page, BalloonProperty, balloon);
    return balloon;
}

TTTOOLINFOW ToolOf(HWND page, HWND field, wchar_t* text) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = page;
    tool.uId = reinterpret_cast<UINT_PTR>(field);
    tool.lpszText = text;
    return tool;
}

// Our own balloon, for a system whose edit control has none.
void ShowOwnBalloon(HWND field, const std::wstring& title, std::wstring text) {
    const HWND page = PageOf(field);
    HideFieldBalloon(page);
    const HWND balloon = BalloonOf(page) ? BalloonOf(page) : MakeBalloon(page);
    if (!balloon) return;
    TTTOOLINFOW tool = ToolOf(page, field, text.data());
    ::SendMessageW(balloon, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(balloon, TTM_SETTITLEW, TTI_WARNING, reinterpret_cast<LPARAM>(title.c_str()));
    RECT r{};
    ::GetWindowRect(field, &r);
    ::SendMessageW(balloon, TTM_TRACKPOSITION, 0, MAKELPARAM((r.left + r.right) / 2, r.bottom));
    ::SendMessageW(balloon, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    ::SetTimer(page, BalloonTimer, BalloonShowsMs, nullptr);
}

}  // namespace

void ShowFieldBalloon(HWND field, const std::wstring& title, const std::wstring& text) {
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof tip;
    tip.pszTitle = title.c_str();
    tip.pszText = text.c_str();
    tip.ttiIcon = TTI_WARNING;
    if (::SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip))) return;
    ShowOwnBalloon(field, title, text);
}

void HideFieldBalloon(HWND page) {
    ::KillTimer(page, BalloonTimer);
    const HWND balloon = BalloonOf(page);
    if (!balloon) return;
    // Its one tool at most: the field it last pointed at.
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (::SendMessageW(balloon, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) {
        ::SendMessageW(balloon, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(balloon, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool OnFieldBalloonTimer(HWND page, WPARAM timer) {
    if (timer != BalloonTimer) return false;
    HideFieldBalloon(page);
    return true;
}

void DropFieldBalloon(HWND page) {
    ::KillTimer(page, BalloonTimer);
    if (const HWND balloon = static_cast<HWND>(::RemovePropA(page, BalloonProperty))) ::DestroyWindow(balloon);
}

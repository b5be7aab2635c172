#include "pages/DialogLayout.h"

namespace dialoglayout {

void Layout::Take(HWND dialog, std::span<const Rule> rules) {
    RECT window{}, client{};
    ::GetWindowRect(dialog, &window);
    ::GetClientRect(dialog, &client);
    smallest_ = {window.right - window.left, window.bottom - window.top};
    client_ = {client.right, client.bottom};
    placed_.clear();
    for (const Rule& rule : rules) {
        const HWND control = ::GetDlgItem(dialog, rule.id);
        RECT r{};
        if (!control || !::GetWindowRect(control, &r)) continue;
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        placed_.push_back({control, rule.anchors, r});
    }
}

void Layout::Follow(HWND dialog) const {
    RECT client{};
    if (placed_.empty() || !::GetClientRect(dialog, &client) || client.right == 0) return;
    const int dx = client.right - client_.cx, dy = client.bottom - client_.cy;
    for (const Placed& p : placed_) {
        RECT r = p.rect;
        if (p.anchors & MoveRight) ::OffsetRect(&r, dx, 0);
        if (p.anchors & MoveDown) ::OffsetRect(&r, 0, dy);
        if (p.anchors & GrowWide) r.right += dx;
        if (p.anchors & GrowTall) r.bottom += dy;
        ::SetWindowPos(p.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void Layout::Limit(MINMAXINFO& info) const {
    if (smallest_.cx > 0) info.ptMinTrackSize = {smallest_.cx, smallest_.cy};
}

}  // namespace dialoglayout

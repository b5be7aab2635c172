#include "pages/RulesDialogLayout.h"

#include "res/resource.h"

namespace rulesdialog {
namespace {

enum Anchor : unsigned {
    MoveRight = 1,    // keeps its distance from the right edge
    MoveDown = 2,     // keeps its distance from the bottom
    GrowWide = 4,     // takes the width gained
    GrowTall = 8,     // takes the height gained
};

struct Rule {
    int id;
    unsigned anchors;
};

constexpr Rule Rules[] = {
    {IDC_RULES_TEXT_LABEL, 0},
    {IDC_RULES_POLICY_NOTE, MoveRight},
    {IDC_RULES_TEXT, GrowWide | GrowTall},
    {IDC_RULES_STATUS, MoveDown | GrowWide},
    {IDC_RULES_ENCODING_LABEL, MoveDown},
    {IDC_RULES_ENCODING, MoveDown},
    {IDC_RULES_SEPARATOR_LABEL, MoveDown},
    {IDC_RULES_SEPARATOR, MoveDown},
    {IDC_RULES_SAMPLE_LABEL, MoveDown},
    {IDC_RULES_SAMPLE, MoveDown | GrowWide},
    {IDC_RULES_NEWEST, MoveDown | MoveRight},
    {IDC_RULES_PREVIEW_LABEL, MoveDown},
    {IDC_RULES_PREVIEW, MoveDown | GrowWide},
    {IDOK, MoveDown | MoveRight},
    {IDCANCEL, MoveDown | MoveRight},
};

}  // namespace

void Layout::Take(HWND dialog) {
    RECT window{}, client{};
    ::GetWindowRect(dialog, &window);
    ::GetClientRect(dialog, &client);
    smallest_ = {window.right - window.left, window.bottom - window.top};
    client_ = {client.right, client.bottom};
    placed_.clear();
    for (const Rule& rule : Rules) {
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

}  // namespace rulesdialog

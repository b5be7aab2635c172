#include "pages/BusyPage.h"

#include <atomic>

#include "win/Shielded.h"

namespace {

// The busy page's sheet (or the page itself, outside a sheet), for the hook.
std::atomic<HWND> BusyTop{nullptr};

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

LRESULT CALLBACK DropInputForThePage(int code, WPARAM removed, LPARAM lParam) {
    win::Shielded([&] {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        const HWND top = BusyTop.load();
        if (code < 0 || !top || !IsInput(msg->message) || !msg->hwnd) return;
        if (msg->hwnd == top || ::IsChild(top, msg->hwnd)) msg->message = WM_NULL;
    });
    return ::CallNextHookEx(nullptr, code, removed, lParam);
}

}  // namespace

BusyPage::BusyPage(HWND page, std::function<void(bool)> enableCommands)
    : enableCommands_(std::move(enableCommands)) {
    BusyTop = ::GetAncestor(page, GA_ROOT);
    enableCommands_(false);
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    dropInput_.reset(::SetWindowsHookExA(WH_GETMESSAGE, DropInputForThePage, nullptr, ::GetCurrentThreadId()));
}

BusyPage::~BusyPage() {
    dropInput_.reset();
    DiscardPendingInput(BusyTop.exchange(nullptr));
    win::Shielded([this] { enableCommands_(true); });
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
}

namespace {

void DiscardInputFor(HWND window) {
    MSG msg;
    while (::PeekMessageA(&msg, window, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD)) {
    }
    while (::PeekMessageA(&msg, window, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE | PM_NOYIELD)) {
    }
    while (::PeekMessageA(&msg, window, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE | PM_NOYIELD)) {
    }
}

BOOL CALLBACK DiscardInputForChild(HWND child, LPARAM) {
    DiscardInputFor(child);
    return TRUE;
}

}  // namespace

void DiscardPendingInput(HWND top) {
    if (!top || !::IsWindow(top)) return;
    DiscardInputFor(top);
    ::EnumChildWindows(top, DiscardInputForChild, 0);
}

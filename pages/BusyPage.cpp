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
    BusyTop = nullptr;
    DiscardPendingInput();
    win::Shielded([this] { enableCommands_(true); });
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
}

void DiscardPendingInput() {
    MSG msg;
    bool removed = true;
    while (removed) {
        removed = false;
        while (::PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) removed = true;
        while (::PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) removed = true;
        while (::PeekMessageA(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) removed = true;
    }
}

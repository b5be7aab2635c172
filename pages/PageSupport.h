// Small helpers shared by the settings pages' dialog procedures.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "win/WinText.h"

namespace pages {

// While a page fills its controls, some controls report the change back to
// the page (Wine sends edit and selection notifications for texts set by the
// program). The page marks itself as initialising in its DWLP_USER slot, which
// no one else uses on a page, and ignores commands while the mark is set.
class InitialisingMark {
public:
    explicit InitialisingMark(HWND page) : page_(page) { ::SetWindowLongPtrA(page_, DWLP_USER, 1); }
    ~InitialisingMark() { ::SetWindowLongPtrA(page_, DWLP_USER, 0); }
    InitialisingMark(const InitialisingMark&) = delete;
    InitialisingMark& operator=(const InitialisingMark&) = delete;

private:
    HWND page_;
};

inline bool IsInitialising(HWND page) { return ::GetWindowLongPtrA(page, DWLP_USER) != 0; }

// Runs one message's handling; no exception leaves a dialog procedure.
template <typename Handler>
INT_PTR WithoutExceptions(Handler&& handle) noexcept {
    try {
        return std::forward<Handler>(handle)();
    } catch (...) {
        return FALSE;
    }
}

inline bool IsTicked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }

inline void SetTicked(HWND page, int id, bool ticked) {
    ::CheckDlgButton(page, id, ticked ? BST_CHECKED : BST_UNCHECKED);
}

// A multi-line field's text as UTF-8 with LF between lines.
inline std::string LinesOf(HWND field) {
    std::string text = win::WideToUtf8(win::WindowTextWide(field));
    std::erase(text, '\r');
    return text;
}

// Sets a multi-line field's text from UTF-8 with LF between lines (shown
// with CR LF, as an edit control wants them).
inline void SetLines(HWND field, std::string_view utf8) {
    std::string lines;
    for (char c : utf8) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    ::SetWindowTextW(field, win::Utf8ToWide(lines).c_str());
}

}  // namespace pages

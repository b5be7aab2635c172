// Thin views of a list box and a combo box (ANSI texts): the messages each
// takes, named, with their results in plain types. They own nothing.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace win {

class ListBox {
public:
    explicit ListBox(HWND window) : window_(window) {}
    HWND get() const { return window_; }

    int Count() const { return static_cast<int>(Send(LB_GETCOUNT, 0, 0)); }
    void Clear() const { Send(LB_RESETCONTENT, 0, 0); }
    void Add(const std::string& text) const { Send(LB_ADDSTRING, 0, Text(text)); }
    void Insert(int index, const std::string& text) const { Send(LB_INSERTSTRING, Index(index), Text(text)); }
    void Delete(int index) const { Send(LB_DELETESTRING, Index(index), 0); }
    // The entry's text; "" when there is none.
    std::string EntryText(int index) const {
        const LRESULT length = Send(LB_GETTEXTLEN, Index(index), 0);
        if (length <= 0) return {};
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const LRESULT copied = Send(LB_GETTEXT, Index(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        return text;
    }

    // Single selection: the selected entry (LB_ERR when none), and choosing one.
    int Selected() const { return static_cast<int>(Send(LB_GETCURSEL, 0, 0)); }
    void Select(int index) const { Send(LB_SETCURSEL, Index(index), 0); }

    // Multiple selection.
    bool IsSelected(int index) const { return Send(LB_GETSEL, Index(index), 0) > 0; }
    void SetSelected(int index, bool selected) const { Send(LB_SETSEL, selected, static_cast<LPARAM>(index)); }
    std::vector<int> SelectedEntries() const {
        const LRESULT count = Send(LB_GETSELCOUNT, 0, 0);
        if (count <= 0) return {};
        std::vector<int> entries(static_cast<size_t>(count));
        const LRESULT got = Send(LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(entries.data()));
        entries.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return entries;
    }

private:
    static WPARAM Index(int index) { return static_cast<WPARAM>(index); }
    static LPARAM Text(const std::string& text) { return reinterpret_cast<LPARAM>(text.c_str()); }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::SendMessageA(window_, message, wParam, lParam);
    }

    HWND window_;
};

class ComboBox {
public:
    explicit ComboBox(HWND window) : window_(window) {}
    HWND get() const { return window_; }

    void Clear() const { Send(CB_RESETCONTENT, 0, 0); }
    void Add(const std::string& text) const { Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())); }
    void LimitText(int characters) const { Send(CB_LIMITTEXT, static_cast<WPARAM>(characters), 0); }
    // The selected item, if any, and choosing one.
    std::optional<int> Selected() const {
        const LRESULT index = Send(CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? std::nullopt : std::optional<int>(static_cast<int>(index));
    }
    void Select(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    // The text of the selected item, or nothing when no item is selected.
    std::optional<std::string> SelectedText() const {
        const std::optional<int> index = Selected();
        if (!index) return std::nullopt;
        LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(*index), 0);
        if (length == CB_ERR) return std::nullopt;
        std::string text(static_cast<size_t>(length) + 1, '\0');
        length = Send(CB_GETLBTEXT, static_cast<WPARAM>(*index), reinterpret_cast<LPARAM>(text.data()));
        if (length == CB_ERR) return std::nullopt;
        text.resize(static_cast<size_t>(length));
        return text;
    }

private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::SendMessageA(window_, message, wParam, lParam);
    }

    HWND window_;
};

}  // namespace win

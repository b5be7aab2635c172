// The Barcode Rules dialog of the running program, opened from the sheet's
// Format page. Each test starts without the rules' registry values (the
// user's and the policy's) and leaves none behind; a policy value that was
// there before is put back.
#pragma once

#include <optional>
#include <string>

#include "res/resource.h"
#include "tests/app/AppFixture.h"
#include "win/Scoped.h"

namespace apptest {

inline constexpr char RulesUserKey[] = "Software\\Brontel Vask";
inline constexpr char RulesPolicyKey[] = "Software\\Policies\\Brontel Vask";
inline constexpr wchar_t RulesValueName[] = L"BarcodeRules";
inline constexpr wchar_t AllowedValueName[] = L"AllowedPrograms";

// The rules value (or another) under root\key as UTF-16, or nothing when there is none.
inline std::optional<std::wstring> ReadRulesValue(HKEY root, const char* key, const wchar_t* value = RulesValueName) {
    win::UniqueKey opened;
    if (::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(opened.get(), value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(opened.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

inline void WriteRulesValue(HKEY root, const char* key, const std::wstring& text,
                            const wchar_t* value = RulesValueName) {
    win::UniqueKey created;
    ASSERT_EQ(::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, created.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(created.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

inline void DeleteRulesValue(HKEY root, const char* key, const wchar_t* value = RulesValueName) {
    win::UniqueKey opened;
    if (::RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, opened.put()) == ERROR_SUCCESS)
        (void)::RegDeleteValueW(opened.get(), value);  // none there is as good
}

// A control's whole text, read with the Unicode message across processes.
inline std::wstring WideTextOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                               5000, &got))
        return {};
    return std::wstring(text, std::min<size_t>(got, std::size(text)));
}

// Typed into a field as its characters arrive from the keyboard (a line
// feed as Enter), whether or not the field has the focus.
inline void TypeText(HWND field, const std::wstring& text) {
    for (wchar_t c : text) ::PostMessageW(field, WM_CHAR, c == L'\n' ? L'\r' : c, 1);
}

// The field's whole text selected, then typed over.
inline void ReplaceText(HWND field, const std::wstring& text) {
    ::SendMessageW(field, EM_SETSEL, 0, -1);
    TypeText(field, text);
}

// The control with the keyboard focus in the thread of `window`.
inline HWND FocusInThreadOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

class RulesTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        policyBefore_ = ReadRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey);
        DeleteRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey);
        DeleteRulesValue(HKEY_CURRENT_USER, RulesUserKey);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            DeleteRulesValue(root, root == HKEY_CURRENT_USER ? RulesUserKey : RulesPolicyKey, AllowedValueName);
        DeleteProfiles();
    }

    // Every profile, the user's and the policy's.
    static void DeleteProfiles() {
        (void)::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Brontel Vask\\Profiles");
        (void)::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Brontel Vask\\Profiles");
    }

    void TearDown() override {
        DeleteProfiles();
        AppTest::TearDown();
        DeleteRulesValue(HKEY_CURRENT_USER, RulesUserKey);
        DeleteRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            DeleteRulesValue(root, root == HKEY_CURRENT_USER ? RulesUserKey : RulesPolicyKey, AllowedValueName);
        if (policyBefore_) WriteRulesValue(HKEY_LOCAL_MACHINE, RulesPolicyKey, *policyBefore_);
    }

    // "Rules..." on the sheet's Format page; the dialog, or nullptr when it
    // did not open.
    HWND OpenRules(const Sheet& sheet) {
        if (!sheet.SelectPage(FormatPage)) return nullptr;
        testsupport::PostClick(sheet.Item(IDC_FORMAT_RULES));  // it returns only once the dialog closes
        dialog_ = testsupport::WaitForTopWindow(testsupport::DialogClass, "Barcode Rules", 10000);
        // Found as soon as it is made; shown once it has filled its fields.
        if (!testsupport::WaitUntil([&] { return testsupport::IsVisible(dialog_); }, 10000)) return nullptr;
        return dialog_;
    }

    // "Allowed Programs..." on the sheet's Format page, as OpenRules.
    HWND OpenAllowed(const Sheet& sheet) {
        if (!sheet.SelectPage(FormatPage)) return nullptr;
        testsupport::PostClick(sheet.Item(IDC_FORMAT_ALLOWED));
        dialog_ = testsupport::WaitForTopWindow(testsupport::DialogClass, "Allowed Programs", 10000);
        if (!testsupport::WaitUntil([&] { return testsupport::IsVisible(dialog_); }, 10000)) return nullptr;
        return dialog_;
    }

    // "Profiles..." on the sheet's Format page, as OpenRules.
    HWND OpenProfiles(const Sheet& sheet) {
        if (!sheet.SelectPage(FormatPage)) return nullptr;
        testsupport::PostClick(sheet.Item(IDC_FORMAT_PROFILES));
        dialog_ = testsupport::WaitForTopWindow(testsupport::DialogClass, "Profiles", 10000);
        if (!testsupport::WaitUntil([&] { return testsupport::IsVisible(dialog_); }, 10000)) return nullptr;
        return dialog_;
    }

    HWND Field(int id) const { return ::GetDlgItem(dialog_, id); }
    std::wstring TextOf(int id) const { return WideTextOf(Field(id)); }

    // Types into a field and waits until all of it has arrived (a line feed
    // as CR LF), so that nothing typed is still on its way when a check runs.
    bool Type(int id, const std::wstring& text, bool over = false) const {
        std::wstring arrives;
        for (wchar_t c : text) arrives += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
        const std::wstring before = over ? std::wstring() : TextOf(id);
        if (over) ReplaceText(Field(id), text);
        else TypeText(Field(id), text);
        return Shows(id, before + arrives);
    }

    // Waits until the field shows `text`.
    bool Shows(int id, const std::wstring& text, DWORD timeoutMs = 10000) const {
        return testsupport::WaitUntil([&] { return TextOf(id) == text; }, timeoutMs);
    }

    bool Closed(DWORD timeoutMs = 10000) const {
        return testsupport::WaitUntil([&] { return !::IsWindow(dialog_); }, timeoutMs);
    }

    HWND dialog_ = nullptr;

private:
    std::optional<std::wstring> policyBefore_;
};

}  // namespace apptest

#include "tests/support/UiDriver.h"

#include <commctrl.h>
#include <shlobj.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "win/Scoped.h"

namespace testsupport {

// ---------------------------------------------------------------- settings file

namespace {

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string XmlUnescape(const std::string& text) {
    static const std::pair<const char*, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : entities) {
            size_t n = std::char_traits<char>::length(entity);
            if (text.compare(i, n, entity) == 0) {
                out += c;
                i += n;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

void AddElement(std::string& xml, const char* name, const std::string& value) {
    xml += std::string("<") + name + ">" + XmlEscape(value) + "</" + name + ">\n\t";
}

void AddElement(std::string& xml, const char* name, int value) {
    AddElement(xml, name, std::to_string(value));
}

}  // namespace

std::string SettingsXml(const VaskSettings& s) {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<!--Configuration Settings created using XML DOM object.-->\n"
        "<Zantrovix created=\"using dom\">\n\t<Admin>\n\t";
    AddElement(xml, "strip", s.strip);
    AddElement(xml, "PrefixChar", s.PrefixChar);
    AddElement(xml, "PrefixCharCtrl", s.PrefixCharCtrl);
    AddElement(xml, "SuffixFirstChar", s.SuffixFirstChar);
    AddElement(xml, "SuffixFirstCharCtrl", s.SuffixFirstCharCtrl);
    AddElement(xml, "SuffixSecondChar", s.SuffixSecondChar);
    AddElement(xml, "SuffixSecondCharCtrl", s.SuffixSecondCharCtrl);
    AddElement(xml, "Activate", s.Activate);
    AddElement(xml, "Minimize", s.Minimize);
    AddElement(xml, "Name", s.Name);
    AddElement(xml, "Company", s.Company);
    AddElement(xml, "PathInfo", s.PathInfo);
    AddElement(xml, "DeviceInfo", s.DeviceInfo);
    AddElement(xml, "mode", s.mode);
    AddElement(xml, "ActivatedScannerMode", s.ActivatedScannerMode);
    AddElement(xml, "FromPort", s.FromPort);
    AddElement(xml, "ToPort", s.ToPort);
    AddElement(xml, "LeftPosition", s.LeftPosition);
    AddElement(xml, "TopPosition", s.TopPosition);
    xml += "</Admin>\n\t</Zantrovix>\n";
    return xml;
}

std::map<std::string, std::string> ReadSettingsElements(const std::string& path) {
    std::map<std::string, std::string> elements;
    std::ifstream in(path, std::ios::binary);
    if (!in) return elements;
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string xml = buffer.str();
    // The first section: the first element below the root element.
    size_t root = xml.find("<Zantrovix");
    if (root == std::string::npos) return elements;
    size_t sectionOpen = xml.find('<', xml.find('>', root) + 1);
    if (sectionOpen == std::string::npos) return elements;
    size_t sectionNameEnd = xml.find_first_of(" />", sectionOpen + 1);
    const std::string section = xml.substr(sectionOpen + 1, sectionNameEnd - sectionOpen - 1);
    const size_t sectionEnd = xml.find("</" + section + ">", sectionOpen);
    size_t pos = xml.find('>', sectionOpen) + 1;
    while (pos < sectionEnd) {
        size_t open = xml.find('<', pos);
        if (open == std::string::npos || open >= sectionEnd) break;
        size_t close = xml.find('>', open);
        std::string tag = xml.substr(open + 1, close - open - 1);
        if (!tag.empty() && tag.back() == '/') {  // <Name/>
            tag.pop_back();
            elements[tag] = "";
            pos = close + 1;
            continue;
        }
        size_t end = xml.find("</" + tag + ">", close);
        if (end == std::string::npos) break;
        elements[tag] = XmlUnescape(xml.substr(close + 1, end - close - 1));
        pos = end + tag.size() + 3;
    }
    return elements;
}

// ---------------------------------------------------------------- windows

namespace {

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                          nullptr);
    return text;
}

}  // namespace

// Texts of another process's windows are asked for in UTF-16: Wine answers an
// ANSI LB_GETTEXT from another process with UTF-16 data (twice the bytes).
std::string WindowTextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return {};
    std::wstring text(length + 16, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_NORMAL, 5000, &got);
    text.resize(std::min<size_t>(got, text.size()));
    return Narrow(text);
}

std::string StoredText(HWND window) {
    wchar_t text[512] = {};
    const int n = ::InternalGetWindowText(window, text, 512);
    return Narrow(std::wstring(text, n > 0 ? n : 0));
}

std::string ClassNameOf(HWND window) {
    char name[256] = {};
    int n = ::GetClassNameA(window, name, sizeof name);
    return std::string(name, n > 0 ? n : 0);
}

namespace {

struct TopWindowQuery {
    const char* className;
    const char* caption;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<TopWindowQuery*>(param);
    if (query->visibleOnly && !::IsWindowVisible(window)) return TRUE;
    if (query->className && ClassNameOf(window) != query->className) return TRUE;
    if (query->caption) {
        char title[256] = {};
        ::GetWindowTextA(window, title, sizeof title);
        if (std::string(title) != query->caption) return TRUE;
    }
    query->found.push_back(window);
    return TRUE;
}

}  // namespace

HWND FindTopWindow(const char* className, const char* caption) {
    TopWindowQuery query{className, caption, false, {}};
    ::EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&query));
    return query.found.empty() ? nullptr : query.found.front();
}

std::vector<HWND> VisibleTopWindows(const char* className) {
    TopWindowQuery query{className, nullptr, true, {}};
    ::EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForTopWindow(const char* className, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(className, caption)) != nullptr; }, timeoutMs);
    return found;
}

namespace {

std::string Utf8Of(const wchar_t* text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

BOOL CALLBACK CollectShellTooltip(HWND window, LPARAM param) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId() && ClassNameOf(window) == "tooltips_class32")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

// Reads the texts of one tooltip window's tools through a buffer in its
// process: TTM_ENUMTOOLSW copies each tool's text into the buffer the
// record points to.
void ReadTooltipTools(HWND tooltip, std::vector<ShellTip>& tips) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(tooltip, &pid);
    const win::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return;
    constexpr size_t TextOffset = 256;
    constexpr size_t TextChars = 1024;
    void* remote = ::VirtualAllocEx(process.get(), nullptr, TextOffset + TextChars * sizeof(wchar_t),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return;
    const auto count = static_cast<int>(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.lpszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + TextOffset);
        std::vector<wchar_t> text(TextChars, L'\0');
        SIZE_T moved = 0;
        if (!::WriteProcessMemory(process.get(), remote, &info, sizeof info, &moved)) continue;
        if (!::WriteProcessMemory(process.get(), info.lpszText, text.data(), text.size() * sizeof(wchar_t), &moved))
            continue;
        if (!::SendMessageW(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote)))
            continue;
        if (!::ReadProcessMemory(process.get(), info.lpszText, text.data(), text.size() * sizeof(wchar_t), &moved) ||
            !::ReadProcessMemory(process.get(), remote, &info, sizeof info, &moved))
            continue;
        // The tool is the icon's window: a tooltip can outlive its removed
        // icon (Wine keeps it), and then its window is gone or hidden.
        if (!::IsWindow(info.hwnd) || !::IsWindowVisible(info.hwnd)) continue;
        text.back() = L'\0';
        tips.push_back({Utf8Of(text.data()), ::IsWindowVisible(tooltip) != FALSE, tooltip});
    }
    (void)::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
}

}  // namespace

std::vector<ShellTip> ShellTips() {
    std::vector<HWND> tooltips;
    ::EnumWindows(CollectShellTooltip, reinterpret_cast<LPARAM>(&tooltips));
    std::vector<ShellTip> tips;
    for (HWND tooltip : tooltips) ReadTooltipTools(tooltip, tips);
    return tips;
}

HWND ShellShows(const std::string& text) {
    for (const ShellTip& tip : ShellTips())
        if (tip.visible && tip.text.find(text) != std::string::npos) return tip.window;
    return nullptr;
}

bool TrayTipHolds(const std::string& text) {
    // Wine keeps the tips of icons that earlier runs removed: the newest
    // tooltip window, first in the Z order, is the running program's.
    for (const ShellTip& tip : ShellTips())
        if (tip.text.rfind("Brontel Vask", 0) == 0) return tip.text.find(text) != std::string::npos;
    return false;
}

bool WaitUntilScannerIdle(DWORD timeoutMs) {
    return WaitUntil([] { return TrayTipHolds("Scanner connected") && TrayTipHolds("\n0 barcodes waiting"); },
                     timeoutMs);
}

bool IsEnabled(HWND window) { return window && ::IsWindowEnabled(window); }
bool IsBusy(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return !::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result);
}

bool IsVisible(HWND window) { return window && ::IsWindowVisible(window); }

bool Click(HWND button, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return button && ::SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result);
}

void PostClick(HWND button) { ::PostMessageA(button, BM_CLICK, 0, 0); }

bool ClickCommand(HWND button, DWORD timeoutMs) {
    constexpr int SerialPortsRadio = 1049;  // disabled while a command runs
    const HWND radio = ::GetDlgItem(::GetParent(button), SerialPortsRadio);
    return Click(button, timeoutMs) && WaitUntil([radio] { return ::IsWindowEnabled(radio) != FALSE; }, timeoutMs);
}

bool RealClickAt(POINT p) {
    const int screenW = ::GetSystemMetrics(SM_CXSCREEN), screenH = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& in : inputs) in.type = INPUT_MOUSE;
    inputs[0].mi.dx = MulDiv(p.x, 65535, screenW - 1);
    inputs[0].mi.dy = MulDiv(p.y, 65535, screenH - 1);
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return ::SendInput(3, inputs, sizeof(INPUT)) == 3;
}

namespace {

bool MoveMouse(POINT p) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(p.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(p.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (::SendInput(1, &in, sizeof in) != 1) return false;
    return WaitUntil([p] {
        POINT at{};
        return ::GetCursorPos(&at) && at.x == p.x && at.y == p.y;
    }, 2000);
}

bool PressLeftButton(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    return ::SendInput(1, &in, sizeof in) == 1;
}

// The window that has captured the mouse on a thread, of any process.
HWND CaptureOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndCapture : nullptr;
}

}  // namespace

bool RealDrag(HWND on, POINT from, POINT to) {
    constexpr int Steps = 8;
    // A tooltip that showed where the mouse rested goes once the mouse left its tool.
    if (!MoveMouse(from) || !WaitUntil([&] { return ::WindowFromPoint(from) == on; }, 3000)) return false;
    const DWORD thread = ::GetWindowThreadProcessId(on, nullptr);
    if (!PressLeftButton(true) || !WaitUntil([&] { return CaptureOf(thread) == on; }, 2000)) {
        (void)PressLeftButton(false);
        return false;
    }
    bool moved = true;
    for (int step = 1; step <= Steps; ++step) {
        const POINT at{from.x + (to.x - from.x) * step / Steps, from.y + (to.y - from.y) * step / Steps};
        if (!MoveMouse(at)) moved = false;
    }
    return PressLeftButton(false) && WaitUntil([&] { return CaptureOf(thread) != on; }, 2000) && moved;
}

bool RealClick(HWND window) {
    RECT r{};
    if (!::GetWindowRect(window, &r)) return false;
    return RealClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool ClickTitleBar(HWND window) {
    RECT r{};
    if (!::GetWindowRect(window, &r)) return false;
    const int captionMiddle = ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    if (!RealClickAt(POINT{r.left + (r.right - r.left) / 3, r.top + captionMiddle})) return false;
    return WaitUntil([window] { return ::GetForegroundWindow() == window; }, 3000);
}

namespace {

void NotifyParent(HWND control, WORD code) {
    HWND parent = ::GetParent(control);
    const int id = ::GetDlgCtrlID(control);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control),
                          SMTO_NORMAL, 60000, &result);
}

std::string ItemTextOf(HWND control, UINT lengthMessage, UINT textMessage, int index) {
    const LRESULT length = ::SendMessageW(control, lengthMessage, index, 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 16, L'\0');
    const LRESULT got = ::SendMessageW(control, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got < 0 ? 0 : std::min<size_t>(static_cast<size_t>(got), text.size()));
    return Narrow(text);
}

}  // namespace

void SelectListEntry(HWND list, int index) {
    ::SendMessageA(list, LB_SETCURSEL, index, 0);
    NotifyParent(list, LBN_SELCHANGE);
}

void SelectComboEntry(HWND combo, int index) {
    ::SendMessageA(combo, CB_SETCURSEL, index, 0);
    NotifyParent(combo, CBN_SELCHANGE);
}

int ListSelection(HWND list) { return static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0)); }

namespace {

// A buffer in the process of another program's window, for a message that
// carries a pointer.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t bytes) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (process_)
            address_ = ::VirtualAllocEx(process_.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) (void)::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    // The address, in the other process, `offset` bytes into the buffer.
    template <typename T = void>
    T* At(size_t offset = 0) const {
        return reinterpret_cast<T*>(static_cast<char*>(address_) + offset);
    }
    LPARAM Param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }
    bool Write(size_t offset, const void* data, size_t bytes) const {
        SIZE_T moved = 0;
        return ::WriteProcessMemory(process_.get(), At(offset), data, bytes, &moved) && moved == bytes;
    }
    bool Read(size_t offset, void* data, size_t bytes) const {
        SIZE_T moved = 0;
        return ::ReadProcessMemory(process_.get(), At(offset), data, bytes, &moved) && moved == bytes;
    }

private:
    win::UniqueHandle process_;
    void* address_ = nullptr;
};

constexpr size_t ListTextChars = 1024;

// One row: the text of each column, joined by tabs.
std::string ListViewRow(HWND list, const RemoteBuffer& remote, int row, int columns) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = remote.At<wchar_t>(sizeof item);
        item.cchTextMax = static_cast<int>(ListTextChars);
        std::wstring text(ListTextChars, L'\0');
        if (!remote.Write(0, &item, sizeof item)) return line;
        const auto length = static_cast<size_t>(
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remote.Param()));
        if (!remote.Read(sizeof item, text.data(), text.size() * sizeof(wchar_t))) return line;
        text.resize(std::min(length, ListTextChars - 1));
        if (column > 0) line += '\t';
        line += Narrow(text);
    }
    return line;
}

std::vector<std::string> ListViewRows(HWND list) {
    std::vector<std::string> rows;
    const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const RemoteBuffer remote(list, sizeof(LVITEMW) + ListTextChars * sizeof(wchar_t));
    if (!remote) return rows;
    for (int row = 0; row < count; ++row) rows.push_back(ListViewRow(list, remote, row, columns));
    return rows;
}

// The rectangle a message writes into a buffer (in `window`'s client
// coordinates), on the screen.
RECT RemoteRect(HWND window, UINT message, WPARAM wParam, const RECT& asked) {
    RECT r = asked;
    const RemoteBuffer remote(window, sizeof r);
    if (!remote || !remote.Write(0, &r, sizeof r) || !::SendMessageW(window, message, wParam, remote.Param()) ||
        !remote.Read(0, &r, sizeof r))
        return RECT{};
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

bool IsListRowSelected(HWND list, int row) {
    return (::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

int SelectedListRows(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

bool SelectListRow(HWND list, int row, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    const RemoteBuffer remote(list, sizeof item);
    return remote && remote.Write(0, &item, sizeof item) &&
           ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.Param());
}

int ListColumnWidth(HWND list, int column) {
    return static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int ListStringWidth(HWND list, const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                                          static_cast<int>(wide.size()))));
    const RemoteBuffer remote(list, wide.size() * sizeof(wchar_t));
    if (!remote || !remote.Write(0, wide.data(), wide.size() * sizeof(wchar_t))) return 0;
    return static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, remote.Param()));
}

RECT ListRowRect(HWND list, int row) {
    return RemoteRect(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), {LVIR_BOUNDS});
}

RECT ListHeadingRect(HWND list, int column) {
    const auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? RemoteRect(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), {}) : RECT{};
}

std::vector<std::string> ListEntries(HWND list) {
    if (ClassNameOf(list) == WC_LISTVIEWA) return ListViewRows(list);
    std::vector<std::string> entries;
    const LRESULT n = ::SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) entries.push_back(ItemTextOf(list, LB_GETTEXTLEN, LB_GETTEXT, i));
    return entries;
}

int ComboSelection(HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

std::string ComboText(HWND combo) {
    const int selected = ComboSelection(combo);
    return selected < 0 ? std::string() : ItemTextOf(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, selected);
}

std::vector<std::string> ComboEntries(HWND combo) {
    std::vector<std::string> entries;
    const LRESULT n = ::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) entries.push_back(ItemTextOf(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i));
    return entries;
}

bool IsChecked(HWND button) { return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void PostChars(HWND window, const std::string& text) {
    for (unsigned char c : text) ::PostMessageA(window, WM_CHAR, c, 1);
}

bool TypeKeys(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wScan = c;
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(down);
        inputs.push_back(up);
    }
    if (inputs.empty()) return true;
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// ---------------------------------------------------------------- pictures

Capture CaptureScreenRect(const RECT& rect) {
    Capture capture;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return capture;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        if (::BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY)) {
            ::GdiFlush();
            capture.width = w;
            capture.height = h;
            const auto* p = static_cast<const uint32_t*>(bits);
            capture.pixels.assign(p, p + static_cast<size_t>(w) * h);
            for (uint32_t& px : capture.pixels) px &= 0x00FFFFFF;
        }
        ::SelectObject(memory, old);
    }
    if (bitmap) ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return capture;
}

Capture CaptureWindow(HWND window) {
    RECT r{};
    if (!::GetWindowRect(window, &r)) return {};
    return CaptureScreenRect(r);
}

int CountRedPixels(const Capture& capture) {
    int n = 0;
    for (uint32_t px : capture.pixels) {
        const int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
        if (r >= 160 && g <= 90 && b <= 90) ++n;
    }
    return n;
}

int CountDarkPixels(const Capture& capture) {
    int n = 0;
    for (uint32_t px : capture.pixels) {
        const int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
        if (r <= 90 && g <= 90 && b <= 90) ++n;
    }
    return n;
}

bool SaveBmp(const Capture& capture, const std::string& path) {
    if (capture.empty()) return false;
    const int rowBytes = (capture.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = capture.width;
    info.biHeight = capture.height;  // bottom-up rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * capture.height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = capture.height - 1; y >= 0; --y) {
        for (int x = 0; x < capture.width; ++x) {
            const uint32_t px = capture.at(x, y);
            row[x * 3 + 0] = px & 0xFF;
            row[x * 3 + 1] = (px >> 8) & 0xFF;
            row[x * 3 + 2] = (px >> 16) & 0xFF;
        }
        out.write(reinterpret_cast<const char*>(row.data()), rowBytes);
    }
    return static_cast<bool>(out);
}

std::optional<std::string> ScreenshotDir() {
    const char* dir = std::getenv("VASK_SCREENSHOT_DIR");
    if (!dir || !*dir) return std::nullopt;
    std::string path = dir;
    if (path.front() == '/') {  // a Unix path: Wine's drive Z: is the root
        path = "Z:" + path;
        for (char& c : path)
            if (c == '/') c = '\\';
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// ---------------------------------------------------------------- sheet

Sheet Sheet::Find() { return Sheet(FindTopWindow(DialogClass, SheetCaption)); }

Sheet Sheet::WaitFor(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindTopWindow(DialogClass, SheetCaption);
        return found && ::IsWindowVisible(found) &&
               ::SendMessageA(found, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
    }, timeoutMs);
    return Sheet(found);
}

bool Sheet::WaitGone(DWORD timeoutMs) {
    return WaitUntil([] { return FindTopWindow(DialogClass, SheetCaption) == nullptr; }, timeoutMs);
}

HWND Sheet::Page() const {
    return reinterpret_cast<HWND>(::SendMessageA(window_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int Sheet::PageIndex() const {
    HWND tab = reinterpret_cast<HWND>(::SendMessageA(window_, PSM_GETTABCONTROL, 0, 0));
    return tab ? static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0)) : -1;
}

std::string Sheet::PageTitle() const {
    HWND page = Page();
    if (!page) return {};
    char title[128] = {};
    ::GetWindowTextA(page, title, sizeof title);
    return title;
}

bool Sheet::SelectPage(int index) const {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window_, PSM_SETCURSEL, index, 0, SMTO_NORMAL, 30000, &result)) return false;
    return WaitUntil([&] { return PageIndex() == index && Page() != nullptr; }, 5000);
}

HWND Sheet::Item(int id) const { return ::GetDlgItem(Page(), id); }
std::string Sheet::ItemText(int id) const { return WindowTextOf(Item(id)); }

RECT Sheet::Rect() const {
    RECT r{};
    ::GetWindowRect(window_, &r);
    return r;
}

bool Sheet::MoveTo(int left, int top) const {
    // SetWindowPos on another process's window; the program hears of it as
    // WM_WINDOWPOSCHANGED, as after a drag with the mouse.
    return ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- message boxes

MessageBoxWindow MessageBoxWindow::WaitFor(const char* caption, DWORD timeoutMs) {
    MessageBoxWindow box;
    box.window_ = WaitForTopWindow(DialogClass, caption, timeoutMs);
    return box;
}

bool MessageBoxWindow::Exists(const char* caption) { return FindTopWindow(DialogClass, caption) != nullptr; }

std::string MessageBoxWindow::Text() const { return WindowTextOf(::GetDlgItem(window_, 0xFFFF)); }

bool MessageBoxWindow::Answer(int buttonId) const {
    HWND button = ::GetDlgItem(window_, buttonId);
    if (!button) return false;
    PostClick(button);
    const HWND box = window_;
    return WaitUntil([box] { return !::IsWindow(box); }, 10000);
}

// ---------------------------------------------------------------- the program

std::string VaskApp::ExePath() { return BinPath("VaskSW.exe"); }
std::string VaskApp::SettingsPath() { return BinPath("ConfigSettings.xml"); }

void VaskApp::WriteSettings(const VaskSettings& settings) {
    std::ofstream out(SettingsPath(), std::ios::binary | std::ios::trunc);
    out << SettingsXml(settings);
}

void VaskApp::RemoveSettingsFile() { ::DeleteFileA(SettingsPath().c_str()); }

HWND VaskApp::FindMainWindow() { return ::FindWindowA(MainWindowClass, MainWindowTitle); }

void VaskApp::EndRunningInstances() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        HWND main = FindMainWindow();
        if (!main) return;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(main, &pid);
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process) {
            ::Sleep(100);
            continue;
        }
        ::TerminateProcess(process, 0xDEAD);
        ::WaitForSingleObject(process, 5000);
        ::CloseHandle(process);
    }
}

void VaskApp::ClearRunValues() {
    const char* runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, runKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            ::RegDeleteValueA(key, "Brontel Vask");
            ::RegCloseKey(key);
        }
    }
}

std::string VaskApp::UnfinishedBarcodesPath() {
    char base[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base))) return {};
    return std::string(base) + "\\Brontel Vask\\Unfinished Barcodes.csv";
}

void VaskApp::ForgetUnfinishedBarcodes() { ::DeleteFileA(UnfinishedBarcodesPath().c_str()); }

bool VaskApp::Start(DWORD timeoutMs) {
    EndRunningInstances();
    process_ = ChildProcess(exe_, {}, folder_);
    if (!process_.started()) return false;
    const DWORD pid = process_.id();
    return WaitUntil([&] {
        HWND main = FindMainWindow();
        DWORD owner = 0;
        if (main) ::GetWindowThreadProcessId(main, &owner);
        if (owner == pid) mainWindow_ = main;
        return owner == pid || !process_.Running();
    }, timeoutMs) && mainWindow_ != nullptr && SettledAfterStart(timeoutMs);
}

bool VaskApp::SettledAfterStart(DWORD timeoutMs) {
    // The main window exists before the settings are read: wait until the
    // program first waits for input (its message loop, or an open sheet's).
    // Under Wine adding the tray icon can already count as such a wait, so a
    // test that needs the settings read waits for something they show.
    return ::WaitForInputIdle(process_.handle(), timeoutMs) == 0;
}

ChildProcess VaskApp::StartAnother() const { return ChildProcess(exe_, {}, folder_); }

VaskApp::~VaskApp() {
    if (!process_.Running()) return;
    // A close request reaches default processing: the main window is
    // destroyed and the program shuts down in order, without the question.
    if (mainWindow_ && ::IsWindow(mainWindow_)) ::PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
    if (process_.Wait(5000) == 0xFFFFFFFF) process_.Kill();
}

void VaskApp::TrayClick() const { ::PostMessageA(mainWindow_, TrayMessage, 0, WM_LBUTTONDOWN); }
void VaskApp::TrayDoubleClick() const { ::PostMessageA(mainWindow_, TrayMessage, 0, WM_LBUTTONDBLCLK); }

HWND VaskApp::OpenMenuWindow() {
    std::vector<HWND> menus = VisibleTopWindows(MenuClass);
    return menus.empty() ? nullptr : menus.front();
}

bool VaskApp::OpenTrayMenu(DWORD timeoutMs) const {
    ::PostMessageA(mainWindow_, TrayMessage, 0, WM_RBUTTONDOWN);
    return WaitUntil([] { return OpenMenuWindow() != nullptr; }, timeoutMs);
}

bool VaskApp::PickTrayMenuItem(char accessKey) const {
    HWND menu = OpenMenuWindow();
    if (!menu) return false;
    // The menu's own loop reads the program's queue: a character picks the
    // item with that access key, as if typed while the menu is open.
    ::PostMessageA(menu, WM_CHAR, static_cast<unsigned char>(accessKey), 1);
    return WaitUntil([] { return OpenMenuWindow() == nullptr; }, 5000);
}

DWORD VaskApp::WaitForExit(DWORD timeoutMs) { return process_.Wait(timeoutMs); }

DWORD VaskApp::ExitThroughTray(DWORD timeoutMs) {
    if (!OpenTrayMenu() || !PickTrayMenuItem('e')) return 0xFFFFFFFF;
    MessageBoxWindow box = MessageBoxWindow::WaitFor("Confirm Exit");
    if (!box || !box.Answer(IDYES)) return 0xFFFFFFFF;
    return WaitForExit(timeoutMs);
}

}  // namespace testsupport

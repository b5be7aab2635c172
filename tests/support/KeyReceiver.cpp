#include "tests/support/KeyReceiver.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ostream>

void PrintTo(const KeyRecord& record, std::ostream* os) { *os << FormatKeyRecord(record); }

namespace testsupport {

namespace {

std::string FreshLogPath() {
    static std::atomic<unsigned> counter{0};
    char dir[MAX_PATH] = {};
    DWORD n = ::GetTempPathA(MAX_PATH, dir);
    char name[96];
    std::snprintf(name, sizeof name, "vask-keyrecv-%lu-%lu-%u.log",
                  static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long>(::GetTickCount()), counter++);
    return std::string(dir, n) + name;
}

// WaitUntil with a finer step: typing tests and the benchmark time arrivals.
template <typename Pred>
bool WaitUntilEvery(DWORD stepMs, Pred pred, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (::GetTickCount() - start >= timeoutMs) return pred();
        ::Sleep(stepMs);
    }
}

}  // namespace

KeyReceiver::KeyReceiver(DWORD startTimeoutMs, int fields, const char* image) : logPath_(FreshLogPath()) {
    // The test keeps its own handle and reads from its own position while
    // the receiver appends.
    log_ = ::CreateFileA(logPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log_ == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> args = {logPath_};
    if (fields > 0) args.insert(args.end(), {"--fields", std::to_string(fields)});
    if (fields == KeyCodesOnly) args.push_back("--key-codes");
    if (std::string(image) != "keyrecv.exe" &&
        !::CopyFileA(BinPath("keyrecv.exe").c_str(), BinPath(image).c_str(), FALSE))
        return;
    process_ = ChildProcess(BinPath(image), args);
    if (!process_.started()) return;
    WaitUntil([&] {
        ReadNewLines();
        return window_ != nullptr || !process_.Running();
    }, startTimeoutMs);
    if (window_) (void)Focus();
}

KeyReceiver::~KeyReceiver() { Stop(); }

void KeyReceiver::Stop() {
    if (window_ && process_.Running()) {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
        process_.Wait(3000);
    }
    process_.Kill();
    window_ = nullptr;
    if (log_ != INVALID_HANDLE_VALUE) {
        ::CloseHandle(log_);
        log_ = INVALID_HANDLE_VALUE;
        ::DeleteFileA(logPath_.c_str());
    }
}

bool KeyReceiver::HasFocus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return window_ && ::GetGUIThreadInfo(0, &info) &&
           (info.hwndFocus == window_ || ::IsChild(window_, info.hwndFocus));
}

std::wstring KeyReceiver::FieldText(int index) const {
    const HWND field = window_ ? ::GetDlgItem(window_, KeyReceiverFirstField + index) : nullptr;
    if (!field) return L"(no field " + std::to_wstring(index) + L")";
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(field, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &length))
        return L"(field " + std::to_wstring(index) + L" does not answer)";
    return std::wstring(text, length);
}

bool KeyReceiver::Focus(DWORD timeoutMs) {
    if (!window_) return false;
    constexpr DWORD AskAgainMs = 1000;
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::PostMessageA(window_, KeyReceiverTakeFocusMessage, 0, 0);
        ::SetForegroundWindow(window_);
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= timeoutMs) return HasFocus();
        if (WaitUntil([&] { return HasFocus(); }, std::min(AskAgainMs, timeoutMs - spent))) return true;
    }
}

bool KeyReceiver::RefuseFocus(DWORD timeoutMs) {
    if (!window_) return false;
    ::PostMessageA(window_, KeyReceiverRefuseFocusMessage, 1, 0);
    return WaitUntil([&] { return !HasFocus(); }, timeoutMs);
}

void KeyReceiver::ReadSlowly(DWORD ms) {
    DWORD_PTR answer = 0;
    if (window_) ::SendMessageTimeoutA(window_, KeyReceiverReadSlowlyMessage, ms, 0, SMTO_NORMAL, 5000, &answer);
}

void KeyReceiver::ReadNewLines() {
    if (log_ == INVALID_HANDLE_VALUE) return;
    char buffer[16384];
    DWORD got = 0;
    while (::ReadFile(log_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending_.append(buffer, got);
        size_t start = 0;
        for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
            TakeLine(std::string_view(pending_).substr(start, end - start));
        pending_.erase(0, start);
    }
}

void KeyReceiver::TakeLine(std::string_view line) {
    if (line.starts_with("# ready ")) {
        unsigned long hwnd = 0;
        if (std::sscanf(std::string(line).c_str(), "# ready hwnd=%lx", &hwnd) == 1)
            window_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(hwnd));
        return;
    }
    if (std::optional<KeyRecord> record = ParseKeyRecord(line)) records_.push_back(*record);
}

std::vector<KeyRecord> KeyReceiver::Records() {
    ReadNewLines();
    return {records_.begin() + static_cast<std::ptrdiff_t>(firstKept_), records_.end()};
}

size_t KeyReceiver::EventCount() {
    ReadNewLines();
    return records_.size() - firstKept_;
}

std::wstring KeyReceiver::Text() {
    ReadNewLines();
    std::wstring text;
    for (size_t i = firstKept_; i < records_.size(); ++i)
        if (records_[i].message == KeyMessage::Char) text += static_cast<wchar_t>(records_[i].character);
    return text;
}

bool KeyReceiver::WaitForEvents(size_t count, DWORD timeoutMs) {
    return WaitUntilEvery(5, [&] { return EventCount() >= count; }, timeoutMs);
}

bool KeyReceiver::WaitForText(std::wstring_view text, DWORD timeoutMs) {
    return WaitUntilEvery(5, [&] { return Text().find(text) != std::wstring::npos; }, timeoutMs);
}

bool KeyReceiver::WaitForQuiet(DWORD quietMs, DWORD timeoutMs) {
    size_t seen = EventCount();
    DWORD lastChange = ::GetTickCount();
    return WaitUntilEvery(5, [&] {
        size_t now = EventCount();
        if (now != seen) {
            seen = now;
            lastChange = ::GetTickCount();
        }
        return ::GetTickCount() - lastChange >= quietMs;
    }, timeoutMs);
}

void KeyReceiver::Clear() {
    ReadNewLines();
    firstKept_ = records_.size();
}

}  // namespace testsupport

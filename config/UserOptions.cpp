#include "config/UserOptions.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win/Scoped.h"

#ifndef REG_NOTIFY_THREAD_AGNOSTIC
#define REG_NOTIFY_THREAD_AGNOSTIC 0x10000000L
#endif

std::optional<uint32_t> ReadDwordValue(HKEY root, const char* path, const char* name) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
    const win::UniqueKey key(opened);
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return std::nullopt;
    return data;
}

static std::string WideToUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::optional<std::string> ReadTextValue(HKEY root, const char* path, const char* name) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
    const win::UniqueKey key(opened);
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return std::nullopt;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(data.data(), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    std::wstring lines;
    for (wchar_t c : text)
        if (c != L'\r') lines += c == L'\0' ? L'\n' : c;
    return WideToUtf8(lines);
}

namespace {

// An option as stored: the policy's value and the user's, either missing.
struct StoredOption {
    std::optional<uint32_t> policy, user;
};

StoredOption ReadStored(const char* name) {
    return {ReadDwordValue(HKEY_LOCAL_MACHINE, PolicyOptionsKey, name),
            ReadDwordValue(HKEY_CURRENT_USER, UserOptionsKey, name)};
}

struct StoredText {
    std::optional<std::string> policy, user;
};

StoredText ReadStoredText(const char* name) {
    return {ReadTextValue(HKEY_LOCAL_MACHINE, PolicyOptionsKey, name),
            ReadTextValue(HKEY_CURRENT_USER, UserOptionsKey, name)};
}

// The options as last read, read again only once the user's key or the
// policies have changed: the scan log asks for every row, the poller for
// every barcode. Where the system cannot tell of changes (no key to watch,
// or a system without thread-independent notices), every ask reads.
class OptionsAsStored {
public:
    StoredOption Get(const char* name) { return Cached(known_, name, ReadStored); }
    StoredText GetText(const char* name) { return Cached(knownTexts_, name, ReadStoredText); }

    uint64_t Generation() {
        const std::lock_guard<std::mutex> hold(lock_);
        Refresh();
        return watching_ ? generation_ : ++generation_;
    }

private:
    template <typename Stored>
    Stored Cached(std::map<std::string, Stored>& known, const char* name, Stored (*read)(const char*)) {
        const std::lock_guard<std::mutex> hold(lock_);
        Refresh();
        if (!watching_) return read(name);
        const auto found = known.find(name);
        if (found != known.end()) return found->second;
        return known[name] = read(name);
    }

    // Forgets what was read once either key has changed since.
    void Refresh() {
        if (watching_ && ::WaitForSingleObject(changed_.get(), 0) != WAIT_OBJECT_0) return;
        known_.clear();
        knownTexts_.clear();
        ++generation_;
        watching_ = Watch();
    }

    // Asks to be told of the next change of either key (each notice is
    // given once, so this follows every one of them).
    bool Watch() {
        if (!changed_) changed_.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!changed_) return false;
        if (!user_ && ::RegCreateKeyExA(HKEY_CURRENT_USER, UserOptionsKey, 0, nullptr, 0, KEY_NOTIFY, nullptr,
                                        user_.put(), nullptr) != ERROR_SUCCESS)
            return false;
        // The policies' key, or the machine's software key above it while there is none.
        if (!policies_ && ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies", 0, KEY_NOTIFY, policies_.put()) !=
                              ERROR_SUCCESS &&
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_NOTIFY, policies_.put()) != ERROR_SUCCESS)
            return false;
        const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_THREAD_AGNOSTIC;
        return ::RegNotifyChangeKeyValue(user_.get(), TRUE, filter, changed_.get(), TRUE) == ERROR_SUCCESS &&
               ::RegNotifyChangeKeyValue(policies_.get(), TRUE, filter, changed_.get(), TRUE) == ERROR_SUCCESS;
    }

    std::mutex lock_;
    win::UniqueHandle changed_;
    win::UniqueKey user_, policies_;
    bool watching_ = false;
    uint64_t generation_ = 0;
    std::map<std::string, StoredOption> known_;
    std::map<std::string, StoredText> knownTexts_;
};

OptionsAsStored& Options() {
    static OptionsAsStored options;
    return options;
}

}  // namespace

uint64_t OptionsGeneration() { return Options().Generation(); }

UserOption ReadUserOption(const char* name, uint32_t fallback) {
    const StoredOption stored = Options().Get(name);
    if (stored.policy) return {*stored.policy, true};
    if (stored.user) return {*stored.user, false};
    return {fallback, false};
}

bool WriteUserOption(const char* name, uint32_t value) {
    HKEY created = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, UserOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const win::UniqueKey key(created);
    const DWORD data = value;
    return ::RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

bool SettingsLocked() {
    const UserOption lock = ReadUserOption(LockSettingsValue, 0);
    return lock.byPolicy && lock.value != 0;
}

std::vector<std::string> PoliciesInForce() {
    std::vector<std::string> names;
    win::UniqueKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, PolicyOptionsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD length = sizeof name;
        if (::RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

UserText ReadUserText(const char* name) {
    StoredText stored = Options().GetText(name);
    if (stored.policy) return {std::move(*stored.policy), true};
    if (stored.user) return {std::move(*stored.user), false};
    return {};
}

bool WriteUserText(const char* name, std::string_view utf8) {
    std::string lines;
    for (char c : utf8) {
        if (c == '\r') continue;
        if (c == '\n') lines += '\r';
        lines += c;
    }
    std::wstring wide;
    if (!lines.empty()) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), nullptr, 0);
        wide.resize(static_cast<size_t>(n > 0 ? n : 0));
        if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), wide.data(), n);
    }
    HKEY created = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, UserOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const win::UniqueKey key(created);
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    return ::RegSetValueExW(key.get(), wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                            static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool BalloonsWanted() { return ReadUserOption(ShowBalloonsValue, 1).value != 0; }

bool KeyPressesWanted() { return ReadUserOption(KeyPressesValue, 0).value != 0; }

TypingPace TypingPaceWanted() {
    return TypingPace::Within(ReadUserOption(KeyDelayValue, 0).value, ReadUserOption(BarcodeDelayValue, 0).value);
}

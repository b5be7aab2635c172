#include "config/UserOptions.h"

#include <optional>

#include "win/Scoped.h"

namespace {

std::optional<uint32_t> ReadDword(HKEY root, const char* path, const char* name) {
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

}  // namespace

UserOption ReadUserOption(const char* name, uint32_t fallback) {
    if (const auto policy = ReadDword(HKEY_LOCAL_MACHINE, PolicyOptionsKey, name)) return {*policy, true};
    if (const auto user = ReadDword(HKEY_CURRENT_USER, UserOptionsKey, name)) return {*user, false};
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

bool BalloonsWanted() { return ReadUserOption(ShowBalloonsValue, 1).value != 0; }

TypingPace TypingPaceWanted() {
    return TypingPace::Within(ReadUserOption(KeyDelayValue, 0).value, ReadUserOption(BarcodeDelayValue, 0).value);
}

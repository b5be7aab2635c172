#include "config/Registry.h"

#include <shlwapi.h>

#include <string>

#include "config/RunValueText.h"
#include "win/ProgramFile.h"
#include "win/Scoped.h"

namespace {

// The longest value SetRunValue can write: a program path of 32767 UTF-16
// units, up to two bytes each in the ANSI code page, in quotes, with its NUL.
constexpr DWORD LongestRunValueBytes = 2 * 32767 + 3;

LONG WriteRunValue(HKEY key, const std::string& data) {
    return ::RegSetValueExA(key, RunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
}

// The Run value's text when it is a string that ends with its NUL and is no
// longer than any value SetRunValue writes.
bool ReadRunValue(HKEY key, std::string& text) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key, RunValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > LongestRunValueBytes) return false;
    std::string buffer(size, '\0');
    if (::RegQueryValueExA(key, RunValueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return false;  // also when it grew in between: another program is writing it
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > buffer.size() || buffer[size - 1] != '\0')
        return false;
    text.assign(buffer.data(), size - 1);
    return true;
}

// Equal ignoring case, by the characters of the ANSI code page.
bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return ::CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                            static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace

HKEY EnsureSdkRegistryKey() {
    win::UniqueKey existing;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SdkKeyPath, 0, KEY_READ | KEY_WRITE, existing.put()) == ERROR_SUCCESS)
        return HKEY_CURRENT_USER;

    win::UniqueKey created;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, SdkKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, created.put(), nullptr) == ERROR_SUCCESS) {
        // A machine without the SDK's own key leaves the new key empty.
        (void)::SHCopyKeyA(HKEY_LOCAL_MACHINE, SdkKeyPath, created.get(), 0);
    }
    return HKEY_CURRENT_USER;
}

bool RecordProgramFile(SettingsRecord& record) {
    std::string program = win::ProgramFilePath<char>();
    if (program.empty()) return false;
    record.PathInfo = std::move(program);
    return true;
}

int SetRunValue(HKEY root, SettingsRecord& record) {
    win::UniqueKey key;
    if (::RegCreateKeyExA(root, RunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        return 0;
    if (!RecordProgramFile(record)) return 0;
    return WriteRunValue(key.get(), RunValueData(record.PathInfo)) == ERROR_SUCCESS ? 1 : 0;
}

int DeleteRunValue(HKEY root) {
    win::UniqueKey key;
    if (::RegCreateKeyExA(root, RunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        return 0;
    (void)::RegDeleteValueA(key.get(), RunValueName);  // a missing value is no error
    return 1;
}

bool RunValueMatchesPathInfo(const std::string& pathInfo) {
    win::UniqueKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    std::string value;
    if (!ReadRunValue(key.get(), value)) return false;
    return EqualIgnoringCase(value, pathInfo) || EqualIgnoringCase(WithoutSurroundingQuotes(value), pathInfo);
}

bool MachineStartsProgram() {
    win::UniqueKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    std::string value;
    return ReadRunValue(key.get(), value);
}

LONG WriteRunAtStartup(bool on, const std::string& pathInfo) {
    if (on && MachineStartsProgram()) on = false;
    win::UniqueKey key;
    const LONG opened = ::RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ | KEY_WRITE, key.put());
    if (opened != ERROR_SUCCESS) return opened;
    if (on)
        (void)WriteRunValue(key.get(), RunValueData(pathInfo));
    else
        (void)::RegDeleteValueA(key.get(), RunValueName);
    return ERROR_SUCCESS;
}

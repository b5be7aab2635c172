#include "config/Profiles.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "config/UserOptions.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace {

struct FormatValue {
    const char* name;
    std::string FormatSettings::*token;  // a token, or
    int FormatSettings::*number;         // a number
};
const FormatValue FormatValues[] = {
    {"Strip", nullptr, &FormatSettings::strip},
    {"PrefixChar", &FormatSettings::PrefixChar, nullptr},
    {"PrefixCharCtrl", nullptr, &FormatSettings::PrefixCharCtrl},
    {"SuffixFirstChar", &FormatSettings::SuffixFirstChar, nullptr},
    {"SuffixFirstCharCtrl", nullptr, &FormatSettings::SuffixFirstCharCtrl},
    {"SuffixSecondChar", &FormatSettings::SuffixSecondChar, nullptr},
    {"SuffixSecondCharCtrl", nullptr, &FormatSettings::SuffixSecondCharCtrl},
};

// The profile under `key` (opened with the wide calls, as a name may hold
// any character), its values read from there.
std::optional<Profile> ReadProfile(HKEY key, const std::string& name) {
    const std::optional<std::string> program = ReadTextValue(key, "", "Program");
    if (!program || program->empty()) return std::nullopt;
    Profile profile;
    profile.name = name;
    profile.program = *program;
    profile.titleContains = ReadTextValue(key, "", "WindowTitle").value_or("");
    for (const FormatValue& value : FormatValues) {
        if (value.token) {
            // Tokens are kept as the settings file keeps them: the ANSI code page.
            if (const std::optional<std::string> text = ReadTextValue(key, "", value.name))
                profile.format.*value.token = win::WideToAnsi(win::Utf8ToWide(*text));
        } else if (const std::optional<uint32_t> number = ReadDwordValue(key, "", value.name)) {
            profile.format.*value.number = static_cast<int>(*number);
        }
    }
    profile.rules = ReadTextValue(key, "", BarcodeRulesValue).value_or("");
    profile.keyPresses = ReadDwordValue(key, "", KeyPressesValue).value_or(0) != 0;
    profile.pace = TypingPace::Within(ReadDwordValue(key, "", KeyDelayValue).value_or(0),
                                      ReadDwordValue(key, "", BarcodeDelayValue).value_or(0));
    return profile;
}

std::vector<Profile> ReadProfilesUnder(HKEY root, const char* optionsKey) {
    std::vector<Profile> profiles;
    const std::string path = std::string(optionsKey) + "\\" + ProfilesSubkey;
    win::UniqueKey key;
    if (::RegOpenKeyExW(root, win::Utf8ToWide(path).c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS)
        return profiles;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        win::UniqueKey profileKey;
        if (::RegOpenKeyExW(key.get(), name, 0, KEY_QUERY_VALUE, profileKey.put()) != ERROR_SUCCESS) continue;
        const std::string utf8 = win::WideToUtf8(std::wstring(name, length));
        if (std::optional<Profile> profile = ReadProfile(profileKey.get(), utf8))
            profiles.push_back(std::move(*profile));
    }
    return profiles;
}

ProfileList ReadProfiles() {
    ProfileList list;
    list.profiles = ReadProfilesUnder(HKEY_LOCAL_MACHINE, PolicyOptionsKey);
    list.byPolicy = !list.profiles.empty();
    if (!list.byPolicy) list.profiles = ReadProfilesUnder(HKEY_CURRENT_USER, UserOptionsKey);
    return list;
}

bool SetText(HKEY key, const char* name, const std::string& utf8) {
    std::wstring wide = win::Utf8ToWide(utf8);
    std::wstring lines;
    for (wchar_t c : wide) {
        if (c == L'\n') lines += L'\r';
        if (c != L'\r') lines += c;
    }
    const std::wstring wideName = win::Utf8ToWide(name);
    return ::RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(lines.c_str()),
                            static_cast<DWORD>((lines.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const char* name, uint32_t value) {
    const DWORD data = value;
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

bool WriteProfile(HKEY profiles, const Profile& profile) {
    win::UniqueKey key;
    if (::RegCreateKeyExW(profiles, win::Utf8ToWide(profile.name).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    bool written = SetText(key.get(), "Program", profile.program) &&
                   SetText(key.get(), "WindowTitle", profile.titleContains);
    for (const FormatValue& value : FormatValues)
        written = written && (value.token ? SetText(key.get(), value.name,
                                                    win::WideToUtf8(win::AnsiToWide(profile.format.*value.token)))
                                          : SetNumber(key.get(), value.name,
                                                      static_cast<uint32_t>(profile.format.*value.number)));
    return written && SetText(key.get(), BarcodeRulesValue, profile.rules) &&
           SetNumber(key.get(), KeyPressesValue, profile.keyPresses ? 1 : 0) &&
           SetNumber(key.get(), KeyDelayValue, profile.pace.keyDelayMs) &&
           SetNumber(key.get(), BarcodeDelayValue, profile.pace.barcodeDelayMs);
}

}  // namespace

std::shared_ptr<const ProfileList> ProfilesInForce() {
    static std::mutex lock;
    static std::shared_ptr<const ProfileList> last;
    static uint64_t lastGeneration = 0;
    const uint64_t generation = OptionsGeneration();
    const std::lock_guard<std::mutex> hold(lock);
    if (!last || generation != lastGeneration) {
        last = std::make_shared<const ProfileList>(ReadProfiles());
        lastGeneration = generation;
    }
    return last;
}

bool WriteUserProfiles(const std::vector<Profile>& profiles) {
    const std::wstring path = win::Utf8ToWide(std::string(UserOptionsKey) + "\\" + ProfilesSubkey);
    const LSTATUS deleted = ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return false;
    if (profiles.empty()) return true;
    win::UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        return false;
    for (const Profile& profile : profiles)
        if (!WriteProfile(key.get(), profile)) return false;
    return true;
}

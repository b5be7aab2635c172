#include "config/Startup.h"

#include <windows.h>

#include <string>
#include <vector>

#include "config/Registry.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"

bool UseProgramFolderAsCurrentDirectory() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return false;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return false;
        path.resize(path.size() * 2);
    }
    std::wstring folder(path.begin(), path.end());
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return false;
    folder.resize(slash == 2 && folder[1] == L':' ? slash + 1 : slash);  // keep "C:\" whole
    return ::SetCurrentDirectoryW(folder.c_str()) != 0;
}

int LoadSettingsAtStartup() {
    SettingsLoad outcome = ReadSettingsOfThisUser();
    bool replace = outcome == SettingsLoad::Missing ||
                   (outcome == SettingsLoad::Malformed && KeepBadSettingsCopy());
    if (replace) {
        CreateSettingsFile();
        outcome = ReadSettingsOfThisUser();
    }
    App.RunAtStartup = RunValueMatchesPathInfo() ? 1 : 0;
    return outcome == SettingsLoad::Loaded ? 1 : 0;
}

#include "config/Startup.h"

#include <windows.h>

#include <optional>
#include <string>

#include "config/Registry.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "win/ProgramFile.h"

bool UseProgramFolderAsCurrentDirectory() {
    std::wstring folder = win::ProgramFolder();
    return !folder.empty() && ::SetCurrentDirectoryW(folder.c_str()) != 0;
}

namespace {

// What the run began with when start-up could not read the section.
struct UnreadSection {
    SettingsRecord startedWith;
    int runAtStartup = 0;
};
std::optional<UnreadSection> Unread;

}  // namespace

int LoadSettingsAtStartup(SettingsRecord& record, int& runAtStartup) {
    SettingsLoad outcome = ReadSettingsOfThisUser(record);
    bool replace = outcome == SettingsLoad::Missing ||
                   (outcome == SettingsLoad::Malformed && KeepBadSettingsCopy());
    if (replace) {
        CreateSettingsFile(record);
        outcome = ReadSettingsOfThisUser(record);
    }
    runAtStartup = RunValueMatchesPathInfo(record.PathInfo) ? 1 : 0;
    Unread.reset();
    if (outcome != SettingsLoad::Loaded) Unread = UnreadSection{record, runAtStartup};
    return outcome == SettingsLoad::Loaded ? 1 : 0;
}

bool CatchUpUnreadSection(SettingsRecord& record, int& runAtStartup) {
    if (!Unread) return true;
    SettingsRecord stored = Unread->startedWith;
    switch (ReadSettingsOfThisUser(stored)) {
    case SettingsLoad::Unreadable:
    case SettingsLoad::ComponentMissing:
        return false;  // still nothing known about the stored values
    case SettingsLoad::Missing:
    case SettingsLoad::Malformed:
        break;  // no section to keep: the save writes or replaces the file as usual
    case SettingsLoad::Loaded:
        record = KeepUserChanges(Unread->startedWith, record, stored);
        // RunAtStartup was judged against a PathInfo that was not the stored one.
        if (runAtStartup == Unread->runAtStartup) runAtStartup = RunValueMatchesPathInfo(record.PathInfo) ? 1 : 0;
        break;
    }
    Unread.reset();
    return true;
}

bool SectionUnread() { return Unread.has_value(); }

void ForgetUnreadSection() { Unread.reset(); }

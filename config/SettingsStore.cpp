#include "config/SettingsStore.h"

#include <optional>

#include "config/Registry.h"
#include "config/UserOptions.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "win/Scoped.h"

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

void SaveSettingsFile(SettingsRecord& record, int& runAtStartup) {
    if (!CatchUpUnreadSection(record, runAtStartup)) return;  // silently, as every failed save
    SettingsLoad outcome;
    {
        win::ComApartment com;
        win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
        if (!document) return;  // nothing can be written without the component
        outcome = LoadSettingsDocument(document.get());
    }
    switch (outcome) {
    case SettingsLoad::Loaded:
        WriteSettingsFile(record);
        break;
    case SettingsLoad::Missing:
        CreateSettingsFile(record);
        break;
    case SettingsLoad::Malformed:
        if (KeepBadSettingsCopy()) CreateSettingsFile(record);
        break;
    case SettingsLoad::Unreadable:
    case SettingsLoad::ComponentMissing:
        break;  // a file that cannot be read now is not overwritten
    }
}

LONG SaveSettings(SettingsRecord& record, int& runAtStartup) {
    if (SettingsLocked()) return ERROR_SUCCESS;  // the administrator's settings stay as they are
    SaveSettingsFile(record, runAtStartup);
    // RunAtStartup is not known either while the section (with PathInfo) is unread.
    if (SectionUnread()) return ERROR_NOT_READY;
    return WriteRunAtStartup(runAtStartup != 0, record.PathInfo);
}

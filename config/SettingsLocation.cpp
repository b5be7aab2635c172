#include "config/SettingsLocation.h"

#include <windows.h>


std::string PerUserSettingsCopyPath(const std::string& logonName) {
    return "C:\\users\\" + logonName +
           "\\AppData\\local\\virtual program files \\ brontel vask\\ConfigSettings.xml";
}

SettingsLoad ReadSettingsOfThisUser(SettingsRecord& record) {
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    if (!document) return SettingsLoad::ComponentMissing;
    SettingsLoad outcome = LoadSettingsDocument(document.get());
    if (outcome != SettingsLoad::Loaded) return outcome;

    std::string logonName = LogonName();
    std::wstring sectionName = UserSectionName(logonName);
    // A user's own section wins, also for an administrator.
    if (!sectionName.empty() && SelectNode(document.get(), UserSectionPattern(sectionName))) {
        ReadUserSection(document.get(), sectionName, record);
    } else {
        // The user gets the installed file in their virtual store, unless a
        // copy is already there; the outcome of the copy does not matter.
        if (!logonName.empty())
            (void)::CopyFileA(InstalledSettingsFile, PerUserSettingsCopyPath(logonName).c_str(), TRUE);
        ReadAdminSection(document.get(), record);
    }
    return SettingsLoad::Loaded;
}

int LocateAndReadSettings(SettingsRecord& record) {
    SettingsLoad outcome = ReadSettingsOfThisUser(record);
    return outcome == SettingsLoad::Loaded || outcome == SettingsLoad::ComponentMissing ? 1 : 0;
}

#include "config/SettingsLocation.h"

#include <windows.h>

#include "config/SettingsSection.h"

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

    const std::string logonName = LogonName();
    const std::wstring sectionName = UserSectionName(logonName);
    const bool fileHasUsersSection =
        !sectionName.empty() && SelectNode(document.get(), UserSectionPattern(sectionName));
    const SectionToRead choice = ChooseSectionToRead(!logonName.empty(), fileHasUsersSection);
    // The outcome of the copy does not matter.
    if (choice.copyInstalledFile)
        (void)::CopyFileA(InstalledSettingsFile, PerUserSettingsCopyPath(logonName).c_str(), TRUE);
    if (choice.section == SettingsSection::UsersOwn)
        ReadUserSection(document.get(), sectionName, record);
    else
        ReadAdminSection(document.get(), record);
    return SettingsLoad::Loaded;
}

int LocateAndReadSettings(SettingsRecord& record) {
    SettingsLoad outcome = ReadSettingsOfThisUser(record);
    return outcome == SettingsLoad::Loaded || outcome == SettingsLoad::ComponentMissing ? 1 : 0;
}

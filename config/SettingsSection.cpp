#include "config/SettingsSection.h"

SectionToRead ChooseSectionToRead(bool hasLogonName, bool fileHasUsersSection) {
    if (hasLogonName && fileHasUsersSection) return {SettingsSection::UsersOwn, false};
    return {SettingsSection::Admin, hasLogonName};
}

SettingsSection ChooseSectionToWrite(bool isAdministrator, bool hasLogonName) {
    if (isAdministrator) return SettingsSection::Admin;
    return hasLogonName ? SettingsSection::UsersOwn : SettingsSection::None;
}

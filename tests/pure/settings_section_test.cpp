#include <gtest/gtest.h>

#include "config/SettingsSection.h"

TEST(SettingsSectionChoice, ALoadReadsTheUsersOwnSectionWheneverTheFileHasOne) {
    const SectionToRead own = ChooseSectionToRead(true, true);
    EXPECT_EQ(own.section, SettingsSection::UsersOwn);
    EXPECT_FALSE(own.copyInstalledFile);

    const SectionToRead withoutOwn = ChooseSectionToRead(true, false);
    EXPECT_EQ(withoutOwn.section, SettingsSection::Admin);
    EXPECT_TRUE(withoutOwn.copyInstalledFile) << "a user without a section gets the installed file";

    const SectionToRead nameless = ChooseSectionToRead(false, false);
    EXPECT_EQ(nameless.section, SettingsSection::Admin);
    EXPECT_FALSE(nameless.copyInstalledFile) << "no logon name: no folder to copy into";
}

TEST(SettingsSectionChoice, ASaveWritesAdminForAnAdministratorElseTheUsersOwn) {
    EXPECT_EQ(ChooseSectionToWrite(true, true), SettingsSection::Admin);
    EXPECT_EQ(ChooseSectionToWrite(true, false), SettingsSection::Admin);
    EXPECT_EQ(ChooseSectionToWrite(false, true), SettingsSection::UsersOwn);
    EXPECT_EQ(ChooseSectionToWrite(false, false), SettingsSection::None);
}

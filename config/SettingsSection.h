// Which section of the settings file a load reads and a save writes. The file
// holds one section for administrators (Admin) and one for every other user
// who has saved, named after the logon name.
//
// Plain C++: the caller finds out who the user is and what the file holds.
#pragma once

enum class SettingsSection {
    None,     // no section can be named: nothing is written
    Admin,    // the administrators' section
    UsersOwn  // the section named after the calling user's logon name
};

// What a load reads, and whether the user first gets the installed file
// copied into their virtual store (a copy already there is kept).
struct SectionToRead {
    SettingsSection section = SettingsSection::Admin;
    bool copyInstalledFile = false;
};

// A user's own section wins whenever the file has one, also for an
// administrator; anybody else reads Admin, and a user with a logon name gets
// the installed file copied first.
SectionToRead ChooseSectionToRead(bool hasLogonName, bool fileHasUsersSection);

// An administrator writes Admin; anybody else their own section, which needs
// a logon name to be named.
SettingsSection ChooseSectionToWrite(bool isAdministrator, bool hasLogonName);

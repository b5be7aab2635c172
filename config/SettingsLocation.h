// Which settings are read at load: the calling user's own section when the
// file has one, else the Admin section (after copying the installed file to
// the user's virtual store), and the folder in which the file is looked for.
#pragma once

#include <string>

#include "config/SettingsFile.h"

inline constexpr char InstalledSettingsFile[] = "C:\\Program Files\\Brontel Vask\\ConfigSettings.xml";

// "C:\users\<logon name>\AppData\local\virtual program files \ brontel vask\ConfigSettings.xml"
std::string PerUserSettingsCopyPath(const std::string& logonName);

// Reads "ConfigSettings.xml" into record and tells how the load went. The
// record keeps its values where the section has none, and all of them when
// the file did not load.
SettingsLoad ReadSettingsOfThisUser(SettingsRecord& record);

// 1 when the record was read, and also when no document can be created (the
// record then keeps its values); 0 when the settings file does not load.
int LocateAndReadSettings(SettingsRecord& record);

// Registry values of the program: the start-with-Windows value, the scanner
// SDK's key, and the load and save entries that combine them with the file.
#pragma once

#include <windows.h>

#include <string>

#include "config/RunKey.h"
#include "config/SettingsRecord.h"

// The registry root handed to the scanner SDK: the current user's, whose SDK
// key EnsureSdkRegistryKey settles at start-up.
inline const HKEY SdkRegistryRoot = HKEY_CURRENT_USER;

inline constexpr char SdkKeyPath[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0";

// Makes sure the current user has the SDK key, copying the machine's; returns
// the root to hand to the SDK. The entry point calls it first, before anything
// uses the SDK; nothing calls it behind a program's back.
HKEY EnsureSdkRegistryKey();

// Records the program's own file in the record's PathInfo and writes it as
// the Run value (in quotes when it holds a blank). 1 written, 0 failed.
int SetRunValue(HKEY root, SettingsRecord& record);
int DeleteRunValue(HKEY root);   // 0 when the Run key cannot be opened, else 1

// Writes record into the settings file (SaveSettingsFile), then writes or
// deletes the Run value as runAtStartup says. ERROR_SUCCESS; the error
// opening the Run key; or ERROR_NOT_READY while this user's section of the
// file is unread (a file that could not be read is left as it is, and so is
// the Run value).
LONG SaveSettings(SettingsRecord& record, int& runAtStartup);

// True when the current user's Run value is a string that names pathInfo,
// with or without quotes around it, ignoring case. Any failure: false.
bool RunValueMatchesPathInfo(const std::string& pathInfo);

// The file part of SaveSettings: writes the record into the calling user's
// section, or a new file when there is none. A file that does not load is
// kept as "ConfigSettings.xml.bad" before it is replaced; a file that cannot
// be read at the moment is left alone. A run that could not read its section
// at start-up first catches up with it (CatchUpUnreadSection, which may
// change both values) and saves nothing until it has.
void SaveSettingsFile(SettingsRecord& record, int& runAtStartup);

// Registry values of the program: the start-with-Windows value and the
// scanner SDK's key. Registry access only; the settings store
// (SettingsStore.h) combines the Run value with the file.
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

// Records the program's own file in the record's PathInfo
// (RecordProgramFile) and writes it as the Run value (in quotes when it
// holds a blank). 1 written, 0 failed.
int SetRunValue(HKEY root, SettingsRecord& record);

// Puts the program's own file (not its command line, which may carry
// arguments or name the program without its folder) in the record's
// PathInfo, which the Run value names. False when it cannot be found.
bool RecordProgramFile(SettingsRecord& record);
int DeleteRunValue(HKEY root);   // 0 when the Run key cannot be opened, else 1

// Writes (on: naming pathInfo, in quotes when it holds a blank) or deletes
// the current user's Run value; deletes it also when on while the machine
// starts the program (two starts at logon would open the sheet). ERROR_SUCCESS, or the error opening the Run
// key (which it does not create).
LONG WriteRunAtStartup(bool on, const std::string& pathInfo);

// True when the machine's Run key has the program's value (the package's
// AUTOSTART): every user's logon starts the program, and no user needs a
// value of their own.
bool MachineStartsProgram();

// True when the current user's Run value is a string that names pathInfo,
// with or without quotes around it, ignoring case. Any failure: false.
bool RunValueMatchesPathInfo(const std::string& pathInfo);

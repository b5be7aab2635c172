// Registry values of the program: the start-with-Windows value, the scanner
// SDK's key, and the load and save entries that combine them with the file.
#pragma once

#include <windows.h>

// The registry root handed to the scanner SDK; HKEY_CURRENT_USER once static
// initialisation has run.
extern const HKEY SdkRegistryRoot;

inline constexpr char SdkKeyPath[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0";
inline constexpr char RunKeyPath[] = "software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char RunValueName[] = "Brontel Vask";

// Makes sure the current user has the SDK key, copying the machine's; returns
// the root to hand to the SDK. Runs during static initialisation.
HKEY EnsureSdkRegistryKey();

int SetRunValue(HKEY root);      // 1 written, 0 failed; records PathInfo
int DeleteRunValue(HKEY root);   // 0 when the Run key cannot be opened, else 1
int LoadSettings();              // 1 when the settings file was read
LONG SaveSettings();             // 1, or the error opening the Run key

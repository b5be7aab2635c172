// The first configuration step of the program's start: the current
// directory. The first load of the settings is the store's (SettingsStore.h).
#pragma once

// Makes the folder of the program's own executable the current directory, so
// the relative "ConfigSettings.xml" is the one beside the program also when
// the system starts it from the Run key with another current directory.
// The entry point calls it before anything reads the settings. False when
// the folder cannot be set.
bool UseProgramFolderAsCurrentDirectory();

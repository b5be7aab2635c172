// The configuration steps of the program's start: the current directory and
// the first load of the settings.
#pragma once

#include "config/SettingsRecord.h"

// Makes the folder of the program's own executable the current directory, so
// the relative "ConfigSettings.xml" is the one beside the program also when
// the system starts it from the Run key with another current directory.
// The entry point calls it before anything reads the settings. False when
// the folder cannot be set.
bool UseProgramFolderAsCurrentDirectory();

// Loads the settings into record at start-up. A missing file is created from
// the record's current values and loaded again. A file that exists but does not
// load is first kept as "ConfigSettings.xml.bad" (replacing an older copy) and
// only then replaced; when no copy can be made it is left as it is. A file
// that cannot be read at the moment (held open by another program, no
// access) is never replaced: the defaults stay until it can be read (see
// CatchUpUnreadSection). runAtStartup comes from the Run value in every case.
// Returns 1 when settings were read from the file, else 0.
int LoadSettingsAtStartup(SettingsRecord& record, int& runAtStartup);

// A run whose start-up could not read the user's section holds values that
// the user never saw (the defaults); they must never overwrite the stored
// ones. Before each save: while the section is unread, it is read again.
// False while it still cannot be read: nothing may be saved then. Once it is
// read, record takes the stored values except where the user changed a member
// during this run (the user's change wins, member by member), runAtStartup
// is settled again unless the user changed it, and saving goes on as usual.
// True at once when start-up read the section.
bool CatchUpUnreadSection(SettingsRecord& record, int& runAtStartup);

// True while the section read at start-up is still missing.
bool SectionUnread();

// Back to the state of a run whose start-up read its section.
void ForgetUnreadSection();

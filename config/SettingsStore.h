// The settings store: the settings record loaded at start-up and saved into
// the user's section of the settings file, with the Run value that goes
// with it; and what a run that could not read its section at start-up holds
// back until it can. Above the file code (SettingsFile.h, SettingsLocation.h)
// and the registry (Registry.h).
#pragma once

#include <windows.h>

#include "config/SettingsRecord.h"

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

// Writes record into the settings file (SaveSettingsFile), then writes or
// deletes the Run value as runAtStartup says. ERROR_SUCCESS; the error
// opening the Run key; or ERROR_NOT_READY while this user's section of the
// file is unread (a file that could not be read is left as it is, and so is
// the Run value).
LONG SaveSettings(SettingsRecord& record, int& runAtStartup);

// The file part of SaveSettings: writes the record into the calling user's
// section, or a new file when there is none. A file that does not load is
// kept as "ConfigSettings.xml.bad" before it is replaced; a file that cannot
// be read at the moment is left alone. A run that could not read its section
// at start-up first catches up with it (CatchUpUnreadSection, which may
// change both values) and saves nothing until it has.
void SaveSettingsFile(SettingsRecord& record, int& runAtStartup);

// The profiles in force, kept as one key each under the user's options key
// (HKEY_CURRENT_USER\Software\Brontel Vask\Profiles\<name>) or, replacing
// them all, under the policies' key (HKEY_LOCAL_MACHINE\Software\Policies
// \Brontel Vask\Profiles\<name>). A profile's values:
//   "Program", "WindowTitle"               strings (the title: a text it contains)
//   "Strip", "PrefixChar", "PrefixCharCtrl", "SuffixFirstChar",
//   "SuffixFirstCharCtrl", "SuffixSecondChar", "SuffixSecondCharCtrl"
//                                          the format settings (strings and DWORDs)
//   "BarcodeRules"                         a string of lines, or a multi-string
//   "KeyPresses", "KeyDelayMs", "BarcodeDelayMs"   DWORDs
// A value missing, or of another type, takes its default (the format's
// defaults, no rules, characters, no delays); a key without "Program" is no
// profile.
#pragma once

#include <memory>
#include <vector>

#include "config/Profile.h"

inline constexpr char ProfilesSubkey[] = "Profiles";

struct ProfileList {
    std::vector<Profile> profiles;  // in the registry's order of their names
    bool byPolicy = false;
};

// The profiles now, read again only after a change under the options' keys.
// Any thread.
std::shared_ptr<const ProfileList> ProfilesInForce();

// Replaces the user's profiles with these; false when a key cannot be
// written.
bool WriteUserProfiles(const std::vector<Profile>& profiles);

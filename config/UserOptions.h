// The program's own options beyond the shared settings file: kept per user
// under HKEY_CURRENT_USER\Software\Brontel Vask, and set for everyone by an
// administrator under HKEY_LOCAL_MACHINE\Software\Policies\Brontel Vask,
// whose value wins. Each is a DWORD value; a value that is missing or of
// another type counts as not set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "config/TypingPace.h"

inline constexpr char UserOptionsKey[] = "Software\\Brontel Vask";
inline constexpr char PolicyOptionsKey[] = "Software\\Policies\\Brontel Vask";

// "ShowBalloons": 1 (the default) shows the tray's balloons, 0 none.
inline constexpr char ShowBalloonsValue[] = "ShowBalloons";
// Policy only (a kiosk's): 1 locks the settings. The sheet's Connections,
// Options and Format pages are shown but cannot be changed, and nothing is
// saved from them. A user's value of this name counts for nothing.
inline constexpr char LockSettingsValue[] = "LockSettings";

// "KeyDelayMs" (0-200) and "BarcodeDelayMs" (0-2000): the typing pace, 0 by
// default; a larger stored value counts as the largest.
inline constexpr char KeyDelayValue[] = "KeyDelayMs";
inline constexpr char BarcodeDelayValue[] = "BarcodeDelayMs";

// "BarcodeRules": how barcodes are shaped before they are typed (encoding,
// control characters, rules), in the rules' text form, UTF-8 once read. A
// string whose lines are apart by CR LF or LF, or a multi-string of lines
// (what the policy template writes). Empty by default: typed as they are.
inline constexpr char BarcodeRulesValue[] = "BarcodeRules";

// "AllowedPrograms": the programs that may receive barcodes, image file
// names ("excel.exe") one to a line (a multi-string, or a string of lines).
// Empty by default: every program. A policy's list replaces the user's.
inline constexpr char AllowedProgramsValue[] = "AllowedPrograms";

// "KeyPresses": 1 types characters as the key presses of the receiving
// window's keyboard layout, for programs that read key codes; 0 (the
// default) as Unicode character events.
inline constexpr char KeyPressesValue[] = "KeyPresses";

struct UserOption {
    uint32_t value = 0;
    bool byPolicy = false;  // the policy's value: the user cannot change it
};

// The option's value: the policy's, else the user's, else `fallback`.
UserOption ReadUserOption(const char* name, uint32_t fallback);
// Stores the user's value; false when the key cannot be written.
bool WriteUserOption(const char* name, uint32_t value);

// A text option, UTF-8 with LF between lines (CRs dropped): the policy's,
// else the user's, else empty. A value of another type counts as not set.
struct UserText {
    std::string text;
    bool byPolicy = false;
};
UserText ReadUserText(const char* name);
// Stores the user's text (a string, CR LF between lines); false when the key
// cannot be written.
bool WriteUserText(const char* name, std::string_view utf8);

// A DWORD value, or a string's or multi-string's text (UTF-8, one line per
// string, CRs dropped), under root\path (an empty path: root itself);
// nullopt when missing or of another type.
std::optional<uint32_t> ReadDwordValue(HKEY root, const char* path, const char* name);
std::optional<std::string> ReadTextValue(HKEY root, const char* path, const char* name);

// A number that changes whenever anything under the user's options key or
// the policies may have changed since it was last asked (every time, where
// the system cannot tell): what was read at one number still holds.
uint64_t OptionsGeneration();

// The names of the values the administrator's policy sets, in the order
// the registry keeps them; empty when there is none.
std::vector<std::string> PoliciesInForce();

// Whether an administrator's policy locks the settings.
bool SettingsLocked();

// Whether the tray shows balloons now.
bool BalloonsWanted();
// The typing pace now.
TypingPace TypingPaceWanted();
// Whether characters go as key presses now.
bool KeyPressesWanted();

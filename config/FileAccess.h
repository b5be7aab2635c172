// Opening the settings file to the local users: at every start the program
// grants the local Users group the modify right on "ConfigSettings.xml", so
// that users who are not administrators can save their section into the one
// shared file. The installer package grants the same entry when it installs
// the file (its MsiLockPermissionsEx row).
#pragma once

#include <windows.h>

#include <vector>

// The local Users group by its well-known SID: its name differs with the
// language of Windows ("Benutzer", "Utilisateurs").
inline constexpr char LocalUsersSid[] = "S-1-5-32-545";

// Adds an access-allowed entry (object and container inherit, mask) for the
// account, given as a SID string ("S-1-...") or a name, to the file's access
// list. Returns 0 on success, also when the list already holds that entry or
// grants everyone everything (no list), else a system error code (87 for an
// empty path or account or a zero mask).
DWORD GrantFileAccess(const char* path, const char* account, DWORD mask);

// The "modify" right the local users get on the settings file: read, write,
// run and delete.
inline constexpr DWORD ModifyAccess = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
static_assert(ModifyAccess == 0x1301BF);

// The flags of the entry that is added, and of every entry that is copied.
inline constexpr BYTE GrantedEntryFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The new access list, built before it is handed to the system.
struct GrantedAcl {
    DWORD error = ERROR_SUCCESS;  // a step failed: its system code
    bool unchanged = false;       // nothing to add: the list already grants it
    std::vector<BYTE> buffer;     // otherwise the new list

    ACL* acl() { return reinterpret_cast<ACL*>(buffer.data()); }
};

// Builds the list to write from the file's current list: each entry copied in
// order with its own type and mask, its flags set to object and container
// inherit (an inherited entry becomes the file's own; an inherit-only entry
// stays inherit-only, so no copy grants more than before), then the new
// access-allowed entry for sid with mask. When an equal entry (allowed, same
// flags, mask and SID) is there already, or current is null (a file without
// a list denies nobody), the result is unchanged.
GrantedAcl BuildGrantedAcl(const ACL* current, PSID sid, DWORD mask);

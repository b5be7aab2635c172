#include "config/Registry.h"

#include <shlwapi.h>

#include "win/Scoped.h"

HKEY EnsureSdkRegistryKey() {
    win::UniqueKey existing;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SdkKeyPath, 0, KEY_READ | KEY_WRITE, existing.put()) == ERROR_SUCCESS)
        return HKEY_CURRENT_USER;

    win::UniqueKey created;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, SdkKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, created.put(), nullptr) == ERROR_SUCCESS) {
        // A machine without the SDK's own key leaves the new key empty.
        (void)::SHCopyKeyA(HKEY_LOCAL_MACHINE, SdkKeyPath, created.get(), 0);
    }
    return HKEY_CURRENT_USER;
}

// Named connections of the simulated SDK, kept where the SDK keeps them: under
// "Software\Zantrovix\VantuPlus SDK\1.0\Connections\<name>" of the registry
// root the caller names, as the found-device record (REG_BINARY "Record") and
// the connection type (REG_DWORD "Mode").
#pragma once

#include <windows.h>

#include <cstdint>

#include "sdk/FoundDeviceRecord.h"

namespace sdksim {

uint32_t SaveConnection(HKEY root, const char* name, const FoundDeviceRecord& record, int32_t mode);
// 2 when no connection of that name is stored under root.
uint32_t LoadConnection(HKEY root, const char* name, FoundDeviceRecord& record, int32_t& mode);
// Every stored connection, under the current user and the machine.
void RemoveAllConnections();

}  // namespace sdksim

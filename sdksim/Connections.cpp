#include "sdksim/Connections.h"

#include <string>

#include "sdksim/SimState.h"
#include "win/Scoped.h"

namespace sdksim {
namespace {

constexpr char ConnectionsKey[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0\\Connections";

bool IsValidConnectionName(const char* name) {
    return name && *name && std::string(name).find('\\') == std::string::npos;
}

std::string KeyOf(const char* name) { return std::string(ConnectionsKey) + "\\" + name; }

}  // namespace

uint32_t SaveConnection(HKEY root, const char* name, const FoundDeviceRecord& record, int32_t mode) {
    if (!IsValidConnectionName(name) || !root) return ResultInvalidParameter;
    win::UniqueKey key;
    LONG status = ::RegCreateKeyExA(root, KeyOf(name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    auto modeValue = static_cast<DWORD>(mode);
    status = ::RegSetValueExA(key.get(), "Record", 0, REG_BINARY, record.bytes.data(),
                              static_cast<DWORD>(record.bytes.size()));
    if (status == ERROR_SUCCESS)
        status = ::RegSetValueExA(key.get(), "Mode", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&modeValue), sizeof modeValue);
    return static_cast<uint32_t>(status);
}

uint32_t LoadConnection(HKEY root, const char* name, FoundDeviceRecord& record, int32_t& mode) {
    if (!IsValidConnectionName(name) || !root) return ResultInvalidParameter;
    win::UniqueKey key;
    LONG status = ::RegOpenKeyExA(root, KeyOf(name).c_str(), 0, KEY_READ, key.put());
    if (status != ERROR_SUCCESS) return ResultNoConnectionStored;
    DWORD type = 0, size = static_cast<DWORD>(record.bytes.size());
    status = ::RegQueryValueExA(key.get(), "Record", nullptr, &type, record.bytes.data(), &size);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size != record.bytes.size())
        return ResultNoConnectionStored;
    DWORD modeValue = 0;
    size = sizeof modeValue;
    status = ::RegQueryValueExA(key.get(), "Mode", nullptr, &type, reinterpret_cast<BYTE*>(&modeValue), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return ResultNoConnectionStored;
    mode = static_cast<int32_t>(modeValue);
    return 0;
}

void RemoveAllConnections() {
    (void)::RegDeleteTreeA(HKEY_CURRENT_USER, ConnectionsKey);
    (void)::RegDeleteTreeA(HKEY_LOCAL_MACHINE, ConnectionsKey);
}

}  // namespace sdksim

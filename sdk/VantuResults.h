// Result codes of the scanner SDK that the program tells apart. Plain C++, so
// the texts chosen by them and the simulator's rules are tested natively.
#pragma once

#include <cstdint>

namespace vantu {

using Result = uint32_t;

constexpr Result NoConnectionStored = 2;
constexpr Result TransferInProgress = 0x20010016;
constexpr Result DeviceNotConnected = 0x20010019;
constexpr Result PortAccessDenied = 0x2001001A;
constexpr Result NoScannersInList = 0x20010041;
constexpr Result DeviceNotConnected2 = 0x20010044;
constexpr Result NoBluetoothTransmitter = 0x20010037;
constexpr Result NoBluetoothDrivers = 0x20010069;
constexpr Result NoBluetoothTransmitter2 = 0x20010070;

}  // namespace vantu

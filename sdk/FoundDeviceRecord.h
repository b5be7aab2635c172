// The scanner SDK's 316-byte record of one found scanner. The program keeps it
// whole and hands it back whole; only the fields below are read.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

struct FoundDeviceRecord {
    static constexpr size_t Size = 316;
    static constexpr size_t BluetoothAddressOffset = 0;   // 6 bytes
    static constexpr size_t BluetoothNameOffset = 6;      // NUL-terminated, up to 254 bytes
    static constexpr size_t PortNameOffset = 260;         // NUL-terminated, up to 36 bytes
    static constexpr size_t BaudCodeOffset = 296;         // 32-bit
    static constexpr size_t DeviceIdOffset = 300;         // NUL-terminated, up to 12 bytes
    static constexpr size_t DeviceKindOffset = 312;       // 32-bit

    std::array<uint8_t, Size> bytes{};

    std::array<uint8_t, 6> BluetoothAddress() const {
        std::array<uint8_t, 6> a{};
        std::memcpy(a.data(), bytes.data() + BluetoothAddressOffset, a.size());
        return a;
    }
    std::string BluetoothName() const { return Text(BluetoothNameOffset, PortNameOffset); }
    std::string PortName() const { return Text(PortNameOffset, BaudCodeOffset); }
    int32_t BaudCode() const { return Int(BaudCodeOffset); }
    std::string DeviceId() const { return Text(DeviceIdOffset, DeviceKindOffset); }
    int32_t DeviceKind() const { return Int(DeviceKindOffset); }

    void SetBluetoothAddress(const std::array<uint8_t, 6>& a) {
        std::memcpy(bytes.data() + BluetoothAddressOffset, a.data(), a.size());
    }
    void SetBluetoothName(const std::string& s) { SetText(BluetoothNameOffset, PortNameOffset, s); }
    void SetPortName(const std::string& s) { SetText(PortNameOffset, BaudCodeOffset, s); }
    void SetBaudCode(int32_t v) { SetInt(BaudCodeOffset, v); }
    void SetDeviceId(const std::string& s) { SetText(DeviceIdOffset, DeviceKindOffset, s); }
    void SetDeviceKind(int32_t v) { SetInt(DeviceKindOffset, v); }

private:
    // A text field ends at its NUL or, if it has none, at the next field.
    std::string Text(size_t from, size_t to) const {
        const char* p = reinterpret_cast<const char*>(bytes.data() + from);
        return std::string(p, strnlen(p, to - from));
    }
    void SetText(size_t from, size_t to, const std::string& s) {
        size_t n = std::min(s.size(), to - from - 1);
        std::memset(bytes.data() + from, 0, to - from);
        std::memcpy(bytes.data() + from, s.data(), n);
    }
    int32_t Int(size_t at) const {
        int32_t v;
        std::memcpy(&v, bytes.data() + at, sizeof v);
        return v;
    }
    void SetInt(size_t at, int32_t v) { std::memcpy(bytes.data() + at, &v, sizeof v); }
};

static_assert(sizeof(FoundDeviceRecord) == FoundDeviceRecord::Size);

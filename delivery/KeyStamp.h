// Every key the typist sends carries a stamp in its extra information
// (dwExtraInfo): the program's mark, the typing job's tag and the key's unit
// in the job (its prefix, each byte of the barcode, its suffixes, counted
// from 0). A key of ours that lands in one of our own windows (one came
// forward between the typist's look at the window in front and the key) is
// known by its mark there, taken out of that window's input, and handed back
// to the typist, which types it again into the barcode's window. Plain C++.
#pragma once

#include <cstdint>

inline constexpr uint32_t KeyMark = 0x56A50000u;
inline constexpr uint32_t KeyMarkMask = 0xFFFF0000u;
inline constexpr uint16_t KeyTags = 16;       // tags wrap after this many jobs
inline constexpr uint16_t KeyUnitsPerTag = 4096;
// The unit of the typist's checkpoint event: handed back with nothing to type again.
inline constexpr uint16_t CheckpointUnit = KeyUnitsPerTag - 1;

inline constexpr uintptr_t KeyStamp(uint16_t tag, uint16_t unit) {
    return KeyMark | (static_cast<uint32_t>(tag % KeyTags) << 12) | (unit % KeyUnitsPerTag);
}
inline constexpr bool IsOurKey(uintptr_t extraInfo) { return (extraInfo & KeyMarkMask) == KeyMark; }
inline constexpr uint16_t TagOfKey(uintptr_t extraInfo) { return static_cast<uint16_t>((extraInfo >> 12) & 0xF); }
inline constexpr uint16_t UnitOfKey(uintptr_t extraInfo) { return static_cast<uint16_t>(extraInfo & 0xFFF); }

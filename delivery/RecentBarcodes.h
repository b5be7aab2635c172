// The barcodes fetched in this run, kept in memory only: newest first, at most
// RecentBarcodes::Capacity of them, the oldest going first. Plain C++: no
// Windows headers.
//
// Threads: the polling thread adds (Add); the user-interface thread copies
// out (CopyNewerThan) and clears. One small lock guards the ring; nobody holds
// it for more than one entry's copy (Add) or Capacity entries' copy
// (CopyNewerThan), and nothing is allocated while it is held.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// A local time of day, and its date (year 0: not known).
struct ClockTime {
    uint8_t hour = 0, minute = 0, second = 0;
    uint16_t year = 0;
    uint8_t month = 0, day = 0;

    // Both dates known and different.
    bool OnAnotherDayThan(const ClockTime& other) const {
        return year != 0 && other.year != 0 && (year != other.year || month != other.month || day != other.day);
    }
};

// What became of a barcode: on its way (typing, or waiting for its window),
// typed whole, written into the Trace page, or typed only in part (its window
// closed, or a new activation or the exit came first): the rest went nowhere.
// Unfinished: fetched by an earlier run and never typed whole there; its
// destination says what that run got done ("not typed (program ended)",
// "4 of 13 characters into TITLE"). Skipped: a barcode rule said not to type
// it; its destination says which ("skipped by rule 2").
enum class BarcodeFate : uint8_t { Typing, Typed, Traced, PartlyTyped, Unfinished, Skipped };

// One remembered barcode. Fixed size, so the ring's memory is fixed.
struct RecentBarcode {
    static constexpr size_t DestinationCapacity = 100;  // a window title as the polling thread reads it
    static constexpr size_t BarcodeCapacity = 256;      // the SDK's barcode buffer

    uint64_t sequence = 0;  // 1 for the first barcode of the run, then counting up
    uint64_t revision = 0;  // the history's revision when this entry last changed
    ClockTime time;
    BarcodeFate fate = BarcodeFate::Typed;
    uint16_t keysTyped = 0;  // of a partly typed barcode: keys typed, of keysTotal
    uint16_t keysTotal = 0;
    uint8_t destinationLength = 0;
    char destination[DestinationCapacity] = {};  // the window typed into, or "Trace"
    uint16_t length = 0;
    uint8_t bytes[BarcodeCapacity] = {};
    // What the barcode rules made of it, as the trace shows it; empty when
    // none were in force.
    static constexpr size_t TypedCapacity = 256;
    uint16_t typedLength = 0;
    char typed[TypedCapacity] = {};

    // The profile that typed it (ANSI code page); empty for the default.
    static constexpr size_t ProfileCapacity = 64;
    uint8_t profileLength = 0;
    char profile[ProfileCapacity] = {};

    std::string_view Destination() const { return {destination, destinationLength}; }
    std::string_view Typed() const { return {typed, typedLength}; }
    std::string_view Profile() const { return {profile, profileLength}; }
};

class RecentBarcodes {
public:
    static constexpr size_t Capacity = 500;

    RecentBarcodes() = default;
    RecentBarcodes(const RecentBarcodes&) = delete;
    RecentBarcodes& operator=(const RecentBarcodes&) = delete;

    // Remembers one barcode, dropping the oldest when full. A destination or
    // barcode longer than an entry holds is cut, and so are `typed` (what the
    // barcode rules made of it) and `profile`. Returns its sequence number.
    uint64_t Add(ClockTime time, std::string_view destination, const uint8_t* bytes, size_t length,
                 BarcodeFate fate = BarcodeFate::Typed, std::string_view typed = {}, std::string_view profile = {});

    // Records what became of barcode `sequence` and where it went. False when
    // it is no longer kept.
    bool Settle(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped,
                uint16_t keysTotal);

    // Replaces out by the entries added or changed after `revision`, newest
    // first (reuses out's storage); returns the history's revision now.
    uint64_t CopyChangedSince(uint64_t revision, std::vector<RecentBarcode>& out) const;

    // Replaces out by the remembered barcodes whose sequence is above `after`,
    // newest first (reuses out's storage).
    void CopyNewerThan(uint64_t after, std::vector<RecentBarcode>& out) const;

    // Forgets every barcode; sequence numbers go on counting.
    void Clear();

    size_t Size() const;

private:
    // The entry `age` places back from the newest (0: the newest); under the lock.
    RecentBarcode& Back(size_t age) { return ring_[(next_ + Capacity - 1 - age) % Capacity]; }
    const RecentBarcode& Back(size_t age) const { return ring_[(next_ + Capacity - 1 - age) % Capacity]; }

    mutable std::mutex mutex_;
    std::array<RecentBarcode, Capacity> ring_{};
    size_t next_ = 0;   // where the next barcode goes
    size_t size_ = 0;
    uint64_t lastSequence_ = 0;
    uint64_t revision_ = 0;
};

// "hh:mm:ss"
std::string ClockText(ClockTime time);

// Where the barcode went, as the list shows it: the window's title (or
// "Trace"), and for a barcode typed in part "4 of 13 characters into TITLE"
// ("not typed" when no key went).
std::string DestinationText(const RecentBarcode& barcode);

// The list's line for one barcode: time, destination (its control
// characters, tabs included, as blanks) and the barcode as the Trace page
// shows raw data, followed by "  (typed as ...)" when the barcode rules
// changed it, separated by tabs (the list's columns). The time is
// "yyyy-mm-dd hh:mm:ss" for a barcode from another day than `now`.
std::string RecentBarcodeLine(const RecentBarcode& barcode, const ClockTime& now = {});

// The barcodes' text for the clipboard, one per line (CR LF between them), in
// the order given. Each byte becomes the character it is typed as: the code
// units U+0000..U+00FF.
std::u16string ClipboardText(const std::vector<const RecentBarcode*>& barcodes);

#include "delivery/RecentBarcodes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "delivery/TraceText.h"

namespace {

void SetDestination(RecentBarcode& entry, std::string_view destination) {
    const size_t length = std::min(destination.size(), RecentBarcode::DestinationCapacity);
    entry.destinationLength = static_cast<uint8_t>(length);
    std::memcpy(entry.destination, destination.data(), length);
}

}  // namespace

uint64_t RecentBarcodes::Add(ClockTime time, std::string_view destination, const uint8_t* bytes, size_t length,
                             BarcodeFate fate, std::string_view typed, std::string_view profile) {
    const size_t barcodeLength = std::min(length, RecentBarcode::BarcodeCapacity);
    std::lock_guard<std::mutex> lock(mutex_);
    RecentBarcode& entry = ring_[next_];
    entry.sequence = ++lastSequence_;
    entry.revision = ++revision_;
    entry.time = time;
    entry.fate = fate;
    entry.keysTyped = entry.keysTotal = 0;
    SetDestination(entry, destination);
    entry.length = static_cast<uint16_t>(barcodeLength);
    if (barcodeLength > 0) std::memcpy(entry.bytes, bytes, barcodeLength);
    entry.typedLength = static_cast<uint16_t>(std::min(typed.size(), RecentBarcode::TypedCapacity));
    if (entry.typedLength > 0) std::memcpy(entry.typed, typed.data(), entry.typedLength);
    entry.profileLength = static_cast<uint8_t>(std::min(profile.size(), RecentBarcode::ProfileCapacity));
    if (entry.profileLength > 0) std::memcpy(entry.profile, profile.data(), entry.profileLength);
    next_ = (next_ + 1) % Capacity;
    if (size_ < Capacity) ++size_;
    return entry.sequence;
}

void RecentBarcodes::CopyNewerThan(uint64_t after, std::vector<RecentBarcode>& out) const {
    out.clear();
    out.reserve(Capacity);  // allocated before the lock, once for the reader's lifetime
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < size_; ++i) {
        const RecentBarcode& entry = Back(i);
        if (entry.sequence <= after) break;
        out.push_back(entry);
    }
}

bool RecentBarcodes::Settle(uint64_t sequence, BarcodeFate fate, std::string_view destination, uint16_t keysTyped,
                            uint16_t keysTotal) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t age = lastSequence_ - sequence;
    if (sequence == 0 || sequence > lastSequence_ || age >= size_) return false;
    RecentBarcode& entry = Back(age);
    entry.revision = ++revision_;
    entry.fate = fate;
    entry.keysTyped = keysTyped;
    entry.keysTotal = keysTotal;
    SetDestination(entry, destination);
    return true;
}

uint64_t RecentBarcodes::CopyChangedSince(uint64_t revision, std::vector<RecentBarcode>& out) const {
    out.clear();
    out.reserve(Capacity);  // allocated before the lock, once for the reader's lifetime
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < size_; ++i) {
        const RecentBarcode& entry = Back(i);
        if (entry.revision > revision) out.push_back(entry);
    }
    return revision_;
}

void RecentBarcodes::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_ = 0;
}

size_t RecentBarcodes::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
}

std::string ClockText(ClockTime time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned{time.hour}, unsigned{time.minute},
                  unsigned{time.second});
    return text;
}

std::string DestinationText(const RecentBarcode& barcode) {
    // An earlier run's barcode carries what the next start found of it.
    if (barcode.fate == BarcodeFate::Unfinished)
        return barcode.destinationLength ? std::string(barcode.Destination()) : "not typed (program ended)";
    if (barcode.fate != BarcodeFate::PartlyTyped) return std::string(barcode.Destination());
    if (barcode.keysTyped == 0) return "not typed";
    return std::to_string(barcode.keysTyped) + " of " + std::to_string(barcode.keysTotal) + " characters into " +
           std::string(barcode.Destination());
}

std::string RecentBarcodeLine(const RecentBarcode& barcode, const ClockTime& now) {
    std::string line;
    if (barcode.time.OnAnotherDayThan(now)) {
        char date[16];
        std::snprintf(date, sizeof date, "%04u-%02u-%02u ", unsigned{barcode.time.year}, unsigned{barcode.time.month},
                      unsigned{barcode.time.day});
        line = date;
    }
    line += ClockText(barcode.time);
    line += '\t';
    // A window title may hold a tab (which would start another column) or
    // another control character: each shows as a blank.
    for (char c : DestinationText(barcode)) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    line += '\t';
    line += RawDisplayText(barcode.bytes, barcode.length);
    if (barcode.typedLength > 0) {
        line += "  (typed as ";
        for (char c : barcode.Typed()) line += c == '\t' ? ' ' : c;
        line += ')';
    }
    if (barcode.profileLength > 0) {
        line += "  (profile ";
        for (char c : barcode.Profile()) line += c == '\t' ? ' ' : c;
        line += ')';
    }
    return line;
}

std::u16string ClipboardText(const std::vector<const RecentBarcode*>& barcodes) {
    std::u16string text;
    for (size_t n = 0; n < barcodes.size(); ++n) {
        if (n > 0) text += u"\r\n";
        for (uint16_t i = 0; i < barcodes[n]->length; ++i) text += static_cast<char16_t>(barcodes[n]->bytes[i]);
    }
    return text;
}

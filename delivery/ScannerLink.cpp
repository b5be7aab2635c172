#include "delivery/ScannerLink.h"

#include <utility>

#include "config/SettingsRecord.h"
#include "delivery/AllowedPrograms.h"

namespace {

constexpr char ProgramName[] = "Brontel Vask";
constexpr size_t TipBytes = 127;

std::string Barcodes(uint32_t count) {
    return std::to_string(count) + (count == 1 ? " barcode" : " barcodes");
}

std::string StateLine(const TrayView& view) {
    const std::string at = view.place.empty() ? std::string() : " (" + view.place + ")";
    if (!view.sdkLoaded) return "Scanner SDK missing: " + view.sdkFile;
    if (view.polled && view.lost) return ScannerLostText + at;
    if (!view.polled) return view.retrying ? "Scanner not connected; trying again..." : "No scanner activated";
    if (view.paused) return "Typing paused" + at;
    return "Scanner connected" + at;
}

std::string CountLine(const TrayView& view) {
    const std::string typed = ", " + std::to_string(view.typed) + " typed";
    if (view.waiting < 0) return "Counting the barcodes on the scanner..." + typed;
    std::string line = Barcodes(static_cast<uint32_t>(view.waiting)) + " waiting";
    const bool heldNow = view.held && view.waiting > 0 && !view.paused;
    if (heldNow && !view.heldForBarred) line += " (held while Brontel Vask is in front)";
    line += typed;
    if (heldNow && view.heldForBarred) line += "\nHeld: " + BarredProgramText(view.heldFor);
    return line;
}

}  // namespace

void LinkState::NoteTyped(const std::string& title) {
    const std::lock_guard<std::mutex> lock(batchMutex_);
    if (running_.count == 0 || running_.title != title) running_ = {0, title};
    ++running_.count;
}

void LinkState::NoteHeldFor(bool barred, const std::string& program) {
    const std::lock_guard<std::mutex> lock(batchMutex_);
    if (!barred) heldFor_.reset();
    else if (heldFor_ != program) heldFor_ = program;
}

std::optional<std::string> LinkState::HeldFor() {
    const std::lock_guard<std::mutex> lock(batchMutex_);
    return heldFor_;
}

void LinkState::NoteNoneWaiting() {
    const std::lock_guard<std::mutex> lock(batchMutex_);
    if (running_.count > BatchWorthTelling) ended_ = running_;
    running_ = {};
}

std::optional<TypedBatch> LinkState::TakeEndedBatch() {
    const std::lock_guard<std::mutex> lock(batchMutex_);
    return std::exchange(ended_, std::nullopt);
}

std::string BatchBalloonText(const TypedBatch& batch) {
    return std::to_string(batch.count) + " barcodes typed into " + (batch.title.empty() ? "a window" : batch.title);
}

TrayLook TrayLookFor(const TrayView& view) {
    if (!view.sdkLoaded) return TrayLook::NoSdk;
    if (!view.polled || view.lost) return TrayLook::NotConnected;
    if (view.paused || (view.held && view.waiting > 0)) return TrayLook::Waiting;
    return TrayLook::Connected;
}

std::string TrayTipText(const TrayView& view) {
    std::string tip = std::string(ProgramName) + "\n" + StateLine(view);
    if (view.sdkLoaded && view.polled && !view.lost) tip += "\n" + CountLine(view);
    if (tip.size() > TipBytes) tip.resize(TipBytes);
    return tip;
}

std::string ScannerPlace(int activatedMode, const std::string& deviceInfo) {
    if (activatedMode == BluetoothMode) return "Bluetooth";
    if (activatedMode != SerialMode) return {};
    const size_t on = deviceInfo.rfind(" on ");
    if (on == std::string::npos) return {};
    std::string place = deviceInfo.substr(on + 4);
    if (!place.empty() && place.back() == '.') place.pop_back();
    return place;
}

std::string WaitingBalloonText(int32_t waiting) {
    const std::string count = waiting == 1 ? "1 barcode is" : std::to_string(waiting) + " barcodes are";
    return count + " waiting on the scanner. Click here or choose Resume Typing to type them.";
}

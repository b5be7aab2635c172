#include "delivery/BarcodeRecords.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "delivery/BarcodeHistory.h"
#include "delivery/DeliveryRule.h"
#include "delivery/JournalFile.h"
#include "delivery/ScanLog.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace records {
namespace {

constexpr DWORD ReadLimit = 64 * 1024 * 1024;  // a file of unfinished barcodes beyond this is not read
// Rows appended before the file of unfinished barcodes is written anew with
// the open records alone.
constexpr size_t RowsBeforeRewrite = 256;

enum class Stage {
    Fetched,     // no key yet; the typist has it
    Typing,      // its first key went (or is about to go) into `window`
    Claimed,     // taken by Type Again before its first key
    Retyping,    // Type Again is typing it into `window`
    Unfinished,  // ended without being typed whole: the next start lists it
};

struct Record {
    Stage stage = Stage::Fetched;
    std::string barcode;  // as the log writes it (ScanLogText.h)
    uint32_t length = 0;
    std::string window;   // UTF-8
    uint16_t keysTyped = 0;
    uint16_t keysTotal = 0;
    std::string typed;    // what the rules made of it; empty: typed as it is
    std::string profile;  // UTF-8; empty: the default profile
    bool listedPartly = false;  // Recent Barcodes shows what its first window got, whatever comes after
};

std::mutex RecordsMutex;  // never held across a disk call
std::map<uint64_t, Record> Open;

JournalFile& UnfinishedFile() {
    static JournalFile file;
    return file;
}

std::wstring UnfinishedPath() {
    const std::wstring folder = scanlog::UserFolder();
    return folder.empty() ? std::wstring() : folder + L"\\Unfinished Barcodes.csv";
}

const char* OutcomeOf(Stage stage) {
    switch (stage) {
    case Stage::Fetched:
    case Stage::Claimed: return scanlog::Fetched;
    case Stage::Typing:
    case Stage::Retyping: return scanlog::Typing;
    case Stage::Unfinished: return scanlog::PartlyTyped;
    }
    return scanlog::Fetched;
}

scanlog::Row RowOf(uint64_t sequence, const Record& record, const char* outcome) {
    return {scanlog::KeyOf(sequence), scanlog::IsoNow(), record.barcode, outcome, record.window, record.length,
            record.keysTyped, record.keysTotal, record.typed, record.profile};
}

// Every change goes to the file of unfinished barcodes and to the scan log.
void Journal(const scanlog::Row& row, bool flush) {
    (void)UnfinishedFile().Append(UnfinishedPath(), scanlog::RowText(row), flush);
    scanlog::Append(row, flush);
}

// Once no record is open the file is emptied; after many rows it is written
// anew with the open records' rows alone. Under the file's lock, so no row
// appended meanwhile is lost.
void KeepUnfinishedFileSmall() {
    UnfinishedFile().Rewrite(UnfinishedPath(), [](size_t appended) -> std::optional<std::string> {
        const std::lock_guard<std::mutex> lock(RecordsMutex);
        if (appended == 0 || (!Open.empty() && appended < RowsBeforeRewrite)) return std::nullopt;
        std::string rows;
        for (const auto& [sequence, record] : Open)
            rows += scanlog::RowText(RowOf(sequence, record, OutcomeOf(record.stage)));
        return rows;
    });
}

std::string ReadWhole(const std::wstring& path) {
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > ReadLimit) return {};
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) return {};
    text.resize(read);
    return text;
}

// Ends a record: typed whole, or kept as unfinished for the next start.
void End(uint64_t sequence, std::string_view title, uint16_t keysTyped, uint16_t keysTotal, const char* wholeOutcome,
         std::string_view typed = {}) {
    const bool whole = keysTyped >= keysTotal;
    std::optional<scanlog::Row> row;
    bool listed = false;
    {
        const std::lock_guard<std::mutex> lock(RecordsMutex);
        const auto found = Open.find(sequence);
        if (found == Open.end()) return;
        Record& record = found->second;
        if (!title.empty()) record.window = scanlog::Utf8Title(title);
        if (!typed.empty()) record.typed = typed;
        record.keysTyped = keysTyped;
        record.keysTotal = keysTotal;
        record.stage = Stage::Unfinished;
        row = RowOf(sequence, record, whole ? wholeOutcome : scanlog::PartlyTyped);
        listed = std::exchange(record.listedPartly, record.listedPartly || !whole);
        if (whole) Open.erase(found);
    }
    if (!listed)
        SettleInHistory(sequence, whole ? BarcodeFate::Typed : BarcodeFate::PartlyTyped, title, keysTyped, keysTotal);
    Journal(*row, false);
    KeepUnfinishedFileSmall();
}

}  // namespace

uint64_t Fetched(const FetchedBarcode& barcode, std::string_view typed, std::string_view profile) {
    // The list is in the ANSI code page; the log keeps UTF-8.
    const auto ansi = [](std::string_view utf8) {
        return utf8.empty() ? std::string() : win::WideToAnsi(win::Utf8ToWide(std::string(utf8)));
    };
    const uint64_t sequence =
        AddToHistory({}, barcode.bytes, barcode.length, BarcodeFate::Typing, nullptr, ansi(typed), ansi(profile));
    if (sequence == 0) return 0;
    Record record;
    record.barcode = scanlog::TypedText(barcode.bytes, barcode.length);
    record.length = barcode.length;
    record.typed = typed;
    record.profile = profile;
    const scanlog::Row row = RowOf(sequence, record, scanlog::Fetched);
    {
        const std::lock_guard<std::mutex> lock(RecordsMutex);
        Open[sequence] = std::move(record);
    }
    Journal(row, true);
    return sequence;
}

void Skipped(uint64_t sequence, size_t rule) {
    std::optional<scanlog::Row> row;
    {
        const std::lock_guard<std::mutex> lock(RecordsMutex);
        const auto found = Open.find(sequence);
        if (found == Open.end()) return;
        row = RowOf(sequence, found->second, scanlog::SkippedByRule);
        Open.erase(found);
    }
    SettleInHistory(sequence, BarcodeFate::Skipped, "skipped by rule " + std::to_string(rule + 1));
    Journal(*row, false);
    KeepUnfinishedFileSmall();
}

void Traced(const FetchedBarcode& barcode) {
    const uint64_t sequence = AddToHistory(TracePageTitle, barcode.bytes, barcode.length, BarcodeFate::Traced);
    if (sequence == 0) return;
    scanlog::Append({scanlog::KeyOf(sequence), scanlog::IsoNow(), scanlog::TypedText(barcode.bytes, barcode.length),
                     scanlog::Traced, "Trace", barcode.length},
                    false);
}

bool BeginTyping(uint64_t sequence, std::string_view title, bool again) {
    std::optional<scanlog::Row> row;
    {
        const std::lock_guard<std::mutex> lock(RecordsMutex);
        const auto found = Open.find(sequence);
        if (found == Open.end()) return again || sequence == 0;
        Record& record = found->second;
        if (!again && record.stage != Stage::Fetched && record.stage != Stage::Typing) return false;
        if (again && record.stage != Stage::Claimed && record.stage != Stage::Unfinished &&
            record.stage != Stage::Retyping)
            return true;
        record.stage = again ? Stage::Retyping : Stage::Typing;
        record.window = scanlog::Utf8Title(title);
        row = RowOf(sequence, record, scanlog::Typing);
    }
    Journal(*row, true);
    return true;
}

void Ended(uint64_t sequence, std::string_view title, uint16_t keysTyped, uint16_t keysTotal) {
    End(sequence, title, keysTyped, keysTotal, scanlog::Typed);
}

bool TakenByTypeAgain(uint64_t sequence) {
    if (sequence == 0) return false;
    const std::lock_guard<std::mutex> lock(RecordsMutex);
    const auto found = Open.find(sequence);
    return found == Open.end() || (found->second.stage != Stage::Fetched && found->second.stage != Stage::Typing);
}

bool ClaimForTypeAgain(const std::vector<uint64_t>& sequences) {
    const std::lock_guard<std::mutex> lock(RecordsMutex);
    for (uint64_t sequence : sequences) {
        const auto found = Open.find(sequence);
        if (found != Open.end() && (found->second.stage == Stage::Typing || found->second.stage == Stage::Retyping))
            return false;
    }
    for (uint64_t sequence : sequences) {
        const auto found = Open.find(sequence);
        if (found != Open.end() && found->second.stage == Stage::Fetched) found->second.stage = Stage::Claimed;
    }
    return true;
}

void TypedAgain(uint64_t sequence, std::string_view title, uint16_t keysTyped, uint16_t keysTotal,
                std::string_view typed) {
    End(sequence, title, keysTyped, keysTotal, scanlog::TypedAgain, typed);
}

void OfferWhatEarlierRunsLeft() {
    const std::vector<scanlog::Row> unfinished = scanlog::Unfinished(scanlog::ParseRows(ReadWhole(UnfinishedPath())));
    for (const scanlog::Row& row : unfinished) {
        const std::vector<uint8_t> bytes = scanlog::BarcodeBytes(row.barcode);
        const std::optional<ClockTime> time = scanlog::ParseIsoTime(row.time);
        const std::string text = win::WideToAnsi(win::Utf8ToWide(*scanlog::OfferText(row)));
        (void)AddToHistory(text, bytes.data(), bytes.size(), BarcodeFate::Unfinished, time ? &*time : nullptr);
        scanlog::Row ended = row;
        ended.time = scanlog::IsoNow();
        ended.outcome = scanlog::ProgramEnded;
        scanlog::Append(ended, false);
    }
    // Listed now: the file starts afresh for this run (nothing of it is open yet).
    UnfinishedFile().Rewrite(UnfinishedPath(), [](size_t) { return std::optional<std::string>(std::string()); });
    scanlog::DeleteExpired();
}

}  // namespace records

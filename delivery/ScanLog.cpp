#include "delivery/ScanLog.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "config/UserOptions.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace scanlog {
namespace {

constexpr DWORD ReadLimit = 64 * 1024 * 1024;  // a day's file beyond this is not read back

struct Now {
    ClockTime local;
    int offsetMinutes = 0;
};

Now LocalNow() {
    FILETIME utc{}, local{};
    ::GetSystemTimeAsFileTime(&utc);
    ::FileTimeToLocalFileTime(&utc, &local);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    SYSTEMTIME s{};
    ::FileTimeToSystemTime(&local, &s);
    Now now;
    now.local = {static_cast<uint8_t>(s.wHour), static_cast<uint8_t>(s.wMinute), static_cast<uint8_t>(s.wSecond),
                 s.wYear, static_cast<uint8_t>(s.wMonth), static_cast<uint8_t>(s.wDay)};
    now.offsetMinutes = static_cast<int>((ticks(local) - ticks(utc)) / (10'000'000LL * 60));
    return now;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                          nullptr);
    return text;
}

// This run's part of each key: its start and process, so that keys of two
// runs on one day never meet.
const std::string& RunKey() {
    static const std::string key = [] {
        const Now now = LocalNow();
        char text[48];
        std::snprintf(text, sizeof text, "%02u%02u%02u.%lu", unsigned{now.local.hour}, unsigned{now.local.minute},
                      unsigned{now.local.second}, static_cast<unsigned long>(::GetCurrentProcessId()));
        return std::string(text);
    }();
    return key;
}

std::string KeyOf(uint64_t sequence) { return RunKey() + "-" + std::to_string(sequence); }

bool OfThisRun(const std::string& key) { return key.rfind(RunKey() + "-", 0) == 0; }

class LogFile {
public:
    // Appends the row to today's file (made with its header first), and
    // flushes it to disk when asked.
    void Append(const Row& row, const ClockTime& day, bool flush) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!OpenFor(day)) return NoteTrouble("cannot open " + win::WideToAnsi(path_));
        if (!Write(RowText(row)) || (flush && !::FlushFileBuffers(file_.get())))
            NoteTrouble("cannot write to " + win::WideToAnsi(path_));
    }

    std::optional<std::string> TakeTrouble() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (told_ || trouble_.empty()) return std::nullopt;
        told_ = true;
        return trouble_;
    }

private:
    bool OpenFor(const ClockTime& day) {
        if (Folder().empty()) return false;
        const std::wstring path = Folder() + L"\\" + win::AnsiToWide(FileName(day));
        if (file_ && path == path_) return true;
        file_.reset();
        path_ = path;
        (void)::SHCreateDirectoryExW(nullptr, Folder().c_str(), nullptr);
        file_ = win::UniqueFile(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return false;
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0 &&
            !Write(std::string(ByteOrderMark) + HeaderRow)) {
            file_.reset();
            return false;
        }
        return true;
    }

    bool Write(const std::string& text) {
        DWORD written = 0;
        const bool ok = ::WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        if (ok && written == text.size()) return true;
        file_.reset();  // opened afresh for the next row
        return false;
    }

    void NoteTrouble(const std::string& what) {
        if (trouble_.empty()) trouble_ = what;
    }

    std::mutex mutex_;
    win::UniqueFile file_;
    std::wstring path_;
    std::string trouble_;
    bool told_ = false;
};

LogFile& TheLog() {
    static LogFile log;
    return log;
}

void Log(uint64_t sequence, const std::string& barcode, size_t length, const char* outcome,
         const std::string& window, bool flush) {
    if (sequence == 0 || !Wanted()) return;
    const Now now = LocalNow();
    TheLog().Append({KeyOf(sequence), IsoTime(now.local, now.offsetMinutes), barcode, outcome, window,
                     static_cast<uint32_t>(length)},
                    now.local, flush);
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

// The log's file names, oldest first (their names sort by date).
std::vector<std::string> LogFileNames() {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((Folder() + L"\\*.csv").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(win::WideToAnsi(found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool Wanted() { return ReadUserOption(OnValue, 0).value != 0; }

uint32_t RetentionDays() { return RetentionWithin(ReadUserOption(DaysValue, DefaultRetentionDays).value); }

std::wstring Folder() {
    // Looked up once: the shell's answer is slow, and the user's folder stays for the run.
    static const std::wstring folder = [] {
        wchar_t base[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
            return std::wstring();
        return std::wstring(base) + L"\\Brontel Vask\\Scan Log";
    }();
    return folder;
}

void LogFetched(uint64_t sequence, const uint8_t* bytes, size_t length, bool flush) {
    Log(sequence, TypedText(bytes, length), length, Fetched, {}, flush);
}

void LogTraced(uint64_t sequence, const uint8_t* bytes, size_t length) {
    Log(sequence, TypedText(bytes, length), length, Traced, "Trace", false);
}

void LogOutcome(const RecentBarcode& settled) {
    Log(settled.sequence, TypedText(settled.bytes, settled.length), settled.length, OutcomeText(settled.fate),
        Utf8(win::AnsiToWide(std::string(settled.Destination()))), false);
}

std::vector<Row> TakeUnfinishedOfEarlierRuns() {
    std::vector<std::string> names = LogFileNames();
    const ClockTime today = LocalNow().local;
    const uint32_t days = RetentionDays();
    for (const std::string& name : names)
        if (Expired(name, today, days)) (void)::DeleteFileW((Folder() + L"\\" + win::AnsiToWide(name)).c_str());
    if (!Wanted()) return {};
    names = LogFileNames();
    std::vector<Row> rows;
    for (size_t i = names.size() > 2 ? names.size() - 2 : 0; i < names.size(); ++i) {
        const std::vector<Row> read = ParseRows(ReadWhole(Folder() + L"\\" + win::AnsiToWide(names[i])));
        rows.insert(rows.end(), read.begin(), read.end());
    }
    std::vector<Row> unfinished = Unfinished(rows);
    unfinished.erase(std::remove_if(unfinished.begin(), unfinished.end(),
                                    [](const Row& row) { return OfThisRun(row.key); }),
                     unfinished.end());
    const Now now = LocalNow();
    for (const Row& row : unfinished) {
        Row ended = row;
        ended.time = IsoTime(now.local, now.offsetMinutes);
        ended.outcome = ProgramEnded;
        TheLog().Append(ended, now.local, true);
    }
    return unfinished;
}

bool SaveAs(const std::wstring& path, const std::vector<const RecentBarcode*>& barcodes) {
    const int offset = LocalNow().offsetMinutes;
    std::string text = std::string(ByteOrderMark) + HeaderRow;
    for (const RecentBarcode* barcode : barcodes) {
        const ClockTime time = barcode->time.year ? barcode->time : LocalNow().local;
        text += RowText({KeyOf(barcode->sequence), IsoTime(time, offset), TypedText(barcode->bytes, barcode->length),
                         OutcomeText(barcode->fate), Utf8(win::AnsiToWide(std::string(barcode->Destination()))),
                         barcode->length});
    }
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::optional<std::string> TakeTrouble() { return TheLog().TakeTrouble(); }

}  // namespace scanlog

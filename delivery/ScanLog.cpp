#include "delivery/ScanLog.h"

#include <shlobj.h>

#include <algorithm>

#include "config/UserOptions.h"
#include "delivery/JournalFile.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace scanlog {
namespace {

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

}  // namespace

std::string KeyOf(uint64_t sequence) { return RunKey() + "-" + std::to_string(sequence); }

std::string IsoNow(ClockTime* local) {
    const Now now = LocalNow();
    if (local) *local = now.local;
    return IsoTime(now.local, now.offsetMinutes);
}

std::string Utf8Title(std::string_view ansiTitle) { return Utf8(win::AnsiToWide(std::string(ansiTitle))); }

namespace {

JournalFile& TheLog() {
    static JournalFile log;
    return log;
}

// The log's file names, oldest first (their names sort by date).
std::vector<std::string> LogFileNames() {
    std::vector<std::string> names;
    if (Folder().empty()) return names;  // never a search at the root of a drive
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

std::wstring UserFolder() {
    // Looked up once: the shell's answer is slow, and the user's folder stays for the run.
    static const std::wstring folder = [] {
        wchar_t base[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
            return std::wstring();
        return std::wstring(base) + L"\\Brontel Vask";
    }();
    return folder;
}

std::wstring Folder() { return UserFolder().empty() ? std::wstring() : UserFolder() + L"\\Scan Log"; }

void Append(const Row& row, bool flush) {
    if (!Wanted()) return;
    ClockTime day;
    (void)IsoNow(&day);
    if (Folder().empty()) return;
    (void)TheLog().Append(Folder() + L"\\" + win::AnsiToWide(FileName(day)), RowText(row), flush);
}

void DeleteExpired() {
    ClockTime today;
    (void)IsoNow(&today);
    const uint32_t days = RetentionDays();
    for (const std::string& name : LogFileNames())
        if (Expired(name, today, days)) (void)::DeleteFileW((Folder() + L"\\" + win::AnsiToWide(name)).c_str());
}

bool SaveAs(const std::wstring& path, const std::vector<const RecentBarcode*>& barcodes) {
    const int offset = LocalNow().offsetMinutes;
    std::string text = std::string(ByteOrderMark) + HeaderRow;
    for (const RecentBarcode* barcode : barcodes) {
        const ClockTime time = barcode->time.year ? barcode->time : LocalNow().local;
        text += RowText({KeyOf(barcode->sequence), IsoTime(time, offset), TypedText(barcode->bytes, barcode->length),
                         OutcomeText(barcode->fate), Utf8Title(barcode->Destination()), barcode->length,
                         barcode->keysTyped, barcode->keysTotal});
    }
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::optional<std::string> TakeTrouble() { return TheLog().TakeTrouble(); }

}  // namespace scanlog

// One CSV file of barcode rows (ScanLogText.h) on disk, appended to row by
// row: the scan log's file of the day, or the file of unfinished barcodes.
// A file that cannot be opened or written loses only its rows: the trouble
// is kept, once, for the tray to tell.
//
// Threads: any thread but the user-interface thread writes (one lock keeps
// each row whole, held across the disk calls); TakeTrouble, which the
// user-interface thread calls, never takes that lock.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "win/Scoped.h"

class JournalFile {
public:
    JournalFile() = default;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Appends rows to the file at `path` (made, with the header, when new;
    // its folder too) and flushes them to disk when asked. False when they
    // could not be written whole.
    bool Append(const std::wstring& path, const std::string& rows, bool flush);

    // Under the file's lock: `rows()` says what the file must hold now, or
    // nullopt to leave it as it is; the file is then written anew with
    // those rows alone (none: emptied) and flushed.
    void Rewrite(const std::wstring& path, const std::function<std::optional<std::string>(size_t appended)>& rows);

    // Why the file could not be written ("cannot open C:\..."), once.
    std::optional<std::string> TakeTrouble();

private:
    bool OpenFor(const std::wstring& path);
    bool Write(const std::string& text);
    void NoteTrouble(const std::string& what);

    std::mutex mutex_;
    win::UniqueFile file_;
    std::wstring path_;
    size_t appended_ = 0;  // rows appended since the file was last written anew

    std::mutex troubleMutex_;  // never held across a disk call
    std::string trouble_;
    std::atomic<bool> troubled_{false};
    std::atomic<bool> told_{false};
};

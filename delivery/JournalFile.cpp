#include "delivery/JournalFile.h"

#include <shlobj.h>

#include "delivery/ScanLogText.h"
#include "win/WinText.h"

namespace {

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

size_t LineCount(const std::string& rows) {
    size_t lines = 0;
    for (char c : rows) lines += c == '\n';
    return lines;
}

}  // namespace

bool JournalFile::Append(const std::wstring& path, const std::string& rows, bool flush) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!OpenFor(path)) return NoteTrouble("cannot open " + win::WideToAnsi(path)), false;
    if (!Write(rows) || (flush && !::FlushFileBuffers(file_.get())))
        return NoteTrouble("cannot write to " + win::WideToAnsi(path)), false;
    appended_ += LineCount(rows);
    return true;
}

void JournalFile::Rewrite(const std::wstring& path,
                          const std::function<std::optional<std::string>(size_t appended)>& rows) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<std::string> kept = rows(appended_);
    if (!kept) return;
    appended_ = 0;
    if (kept->empty() && !file_ && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!OpenFor(path)) return NoteTrouble("cannot open " + win::WideToAnsi(path));
    // Rows that are dropped need no flush: should they stay on disk, they
    // say nothing new.
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_.get()) ||
        !Write(std::string(scanlog::ByteOrderMark) + scanlog::HeaderRow + *kept) ||
        (!kept->empty() && !::FlushFileBuffers(file_.get())))
        return NoteTrouble("cannot write to " + win::WideToAnsi(path));
}

std::optional<std::string> JournalFile::TakeTrouble() {
    if (!troubled_.load() || told_.exchange(true)) return std::nullopt;
    const std::lock_guard<std::mutex> lock(troubleMutex_);
    return trouble_;
}

// Under the lock.
bool JournalFile::OpenFor(const std::wstring& path) {
    if (path.empty()) return false;
    if (file_ && path == path_) return true;
    file_.reset();
    path_ = path;
    (void)::SHCreateDirectoryExW(nullptr, FolderOf(path).c_str(), nullptr);
    file_ = win::UniqueFile(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0 &&
        !Write(std::string(scanlog::ByteOrderMark) + scanlog::HeaderRow)) {
        file_.reset();
        return false;
    }
    return true;
}

// Under the lock: at the file's end.
bool JournalFile::Write(const std::string& text) {
    DWORD written = 0;
    LARGE_INTEGER none{};
    const bool ok = ::SetFilePointerEx(file_.get(), none, nullptr, FILE_END) &&
                    ::WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (ok && written == text.size()) return true;
    file_.reset();  // opened afresh for the next row
    return false;
}

void JournalFile::NoteTrouble(const std::string& what) {
    if (troubled_.load()) return;
    {
        const std::lock_guard<std::mutex> lock(troubleMutex_);
        trouble_ = what;
    }
    troubled_ = true;
}

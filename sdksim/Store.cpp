#include "sdksim/Store.h"

#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>

#include "win/Scoped.h"

namespace sdksim {
namespace {

// One state for the whole machine, so one lock for every session: the
// program and vask-sim may run in different sessions (a service, fast user
// switching), and every user may take the lock.
constexpr char MutexName[] = "Global\\VantuPlusSDKSimulatorState";
constexpr char MutexAccess[] = "D:(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)(A;;0x100001;;;WD)";
// The state folder: every user of the machine reads and writes the state
// (modify right, inherited by the files), whoever created the folder.
constexpr char FolderAccess[] = "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301BF;;;BU)";
constexpr size_t AppendPieceBytes = 1 << 20;

HANDLE CreateSharedMutex() {
    win::UniqueLocal descriptor;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(
            MutexAccess, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr))
        attributes.lpSecurityDescriptor = descriptor.get();
    HANDLE mutex = ::CreateMutexA(&attributes, FALSE, MutexName);
    if (!mutex && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex = ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, MutexName);
    return mutex;
}

HANDLE SharedMutex() {
    // One handle per process, kept for its whole life.
    static HANDLE mutex = CreateSharedMutex();
    return mutex;
}

void CreateSharedFolder(const std::string& folder) {
    win::UniqueLocal descriptor;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(
            FolderAccess, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr))
        attributes.lpSecurityDescriptor = descriptor.get();
    ::CreateDirectoryA(folder.c_str(), &attributes);
}

std::string DefaultFolder() {
    char base[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base)))
        return {};
    std::string folder = std::string(base) + "\\Zantrovix";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\VantuPlus SDK Simulator";
    CreateSharedFolder(folder);
    return folder;
}

std::string FolderFile(const std::string& name) { return StateFolder() + "\\" + name; }

std::string LogPath(uint32_t scannerId) {
    return FolderFile("scanner-" + std::to_string(scannerId) + ".log");
}

win::UniqueFile OpenFile(const std::string& path, DWORD access, DWORD disposition) {
    return win::UniqueFile(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
    DWORD got = 0;
    return ::ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool SeekTo(HANDLE file, uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
}

// A FindFirstFile search, closed with FindClose.
class FileSearch {
public:
    explicit FileSearch(HANDLE h) : h_(h) {}
    ~FileSearch() { if (Started()) ::FindClose(h_); }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    bool Started() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

uint64_t FileTimeValue(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

bool ProcessAlive(const SimHandle& handle) {
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, handle.pid));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;  // exists, but not ours to ask
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code) || code != STILL_ACTIVE) return false;
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return true;
    return FileTimeValue(created) == handle.processStart;
}

}  // namespace

std::string StateFolder() {
    char overridden[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableA("VASK_SIM_DIR", overridden, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        ::CreateDirectoryA(overridden, nullptr);
        return overridden;
    }
    static const std::string folder = DefaultFolder();
    return folder;
}

StateLock::StateLock(DWORD timeoutMs) {
    HANDLE mutex = SharedMutex();
    if (!mutex) return;
    DWORD wait = ::WaitForSingleObject(mutex, timeoutMs);
    // An abandoned mutex is ours now; the state file is whole since it is
    // only ever replaced by a rename.
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

StateLock::~StateLock() {
    if (held_) ::ReleaseMutex(SharedMutex());
}

Parsed<SimState> LoadState() {
    win::UniqueFile file = OpenFile(FolderFile("state.txt"), GENERIC_READ, OPEN_EXISTING);
    if (!file) {
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return Parsed<SimState>::Ok(SimState{});
        return Parsed<SimState>::Fail("cannot open the state file (error " + std::to_string(error) + ")");
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024)
        return Parsed<SimState>::Fail("cannot read the state file");
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    if (!text.empty() && !ReadExactly(file.get(), text.data(), static_cast<DWORD>(text.size())))
        return Parsed<SimState>::Fail("cannot read the state file");
    return DecodeState(text);
}

bool SaveState(const SimState& state) {
    std::string path = FolderFile("state.txt"), fresh = FolderFile("state.new");
    {
        win::UniqueFile file = OpenFile(fresh, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file || !WriteAll(file.get(), EncodeState(state))) return false;
    }
    return ::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::optional<uint64_t> AppendBarcodes(const SimScanner& scanner, const std::vector<std::string>& barcodes,
                                       uint32_t repeat) {
    win::UniqueFile file = OpenFile(LogPath(scanner.id), GENERIC_WRITE, OPEN_ALWAYS);
    if (!file || !SeekTo(file.get(), scanner.storedBytes)) return std::nullopt;
    uint64_t written = 0;
    std::string piece;
    auto flush = [&] {
        bool ok = WriteAll(file.get(), piece);
        written += piece.size();
        piece.clear();
        return ok;
    };
    for (const std::string& b : barcodes) {
        const std::string record = EncodeLogRecord(b);
        for (uint32_t i = 0; i < repeat; ++i) {
            piece += record;
            if (piece.size() >= AppendPieceBytes && !flush()) return std::nullopt;
        }
    }
    if (!flush() || !::SetEndOfFile(file.get())) return std::nullopt;
    return written;
}

std::optional<std::string> ReadBarcode(uint32_t scannerId, uint64_t offset) {
    win::UniqueFile file = OpenFile(LogPath(scannerId), GENERIC_READ, OPEN_EXISTING);
    uint8_t head[4];
    if (!file || !SeekTo(file.get(), offset) || !ReadExactly(file.get(), head, sizeof head))
        return std::nullopt;
    uint32_t length = head[0] | head[1] << 8 | head[2] << 16 | static_cast<uint32_t>(head[3]) << 24;
    if (length == 0 || length > MaxBarcodeLength) return std::nullopt;
    std::string barcode(length, '\0');
    if (!ReadExactly(file.get(), barcode.data(), length)) return std::nullopt;
    return barcode;
}

void RemoveBarcodeLog(uint32_t scannerId) { ::DeleteFileA(LogPath(scannerId).c_str()); }

void RemoveAllBarcodeLogs() {
    WIN32_FIND_DATAA found;
    FileSearch search(::FindFirstFileA(FolderFile("scanner-*.log").c_str(), &found));
    if (!search.Started()) return;
    do {
        ::DeleteFileA(FolderFile(found.cFileName).c_str());
    } while (::FindNextFileA(search.Get(), &found));
}

ProcessIdentity CurrentProcess() {
    static const ProcessIdentity me = [] {
        ProcessIdentity id;
        id.pid = ::GetCurrentProcessId();
        FILETIME created, exited, kernel, user;
        if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
            id.start = FileTimeValue(created);
        return id;
    }();
    return me;
}

bool OwnedByCurrentProcess(const SimHandle& handle) {
    ProcessIdentity me = CurrentProcess();
    return handle.pid == me.pid && handle.processStart == me.start;
}

std::string EndedWithHandleOpen(const SimHandle& handle) {
    return "process " + std::to_string(handle.pid) + " ended with handle " + std::to_string(handle.value) +
           " open";
}

bool DropEndedHandles(SimState& state, bool quietly) {
    size_t before = state.handles.size();
    std::erase_if(state.handles, [&](const SimHandle& h) {
        bool ended = !OwnedByCurrentProcess(h) && !ProcessAlive(h);
        if (ended && !quietly) state.breaches.Add(EndedWithHandleOpen(h));
        return ended;
    });
    return state.handles.size() != before;
}

}  // namespace sdksim

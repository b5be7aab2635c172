// The simulated scanner SDK, built as VantuPlusSDK_Win32_API.dll: the twelve
// calls of the maker's library over the virtual scanners of the shared state
// (Store.h). Every call takes the simulator's mutex while it reads or changes
// the state, so calls from several threads, and vask-sim changing the state
// from another process meanwhile, each see a consistent state. The last
// search's results are this process's own, as with the maker's library.
//
// It also checks how it is used, and records each breach of the contract in
// the shared state (vask-sim status shows them): a call on a handle that is
// closed, was never opened or belongs to another process; a call on a
// handle while another thread is inside a call on the same handle (we take
// the maker's library to be not reentrant per handle: one call at a time per
// handle, from any thread; calls on different handles may overlap), which
// includes any call while VantuClose of that handle runs; and a process that
// ends with a handle still open. No exception ever leaves an exported call:
// a failure inside answers ResultStateUnavailable.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <type_traits>
#include <vector>

#include "sdk/VantuSdkAbi.h"
#include "sdksim/Connections.h"
#include "sdksim/Store.h"

using namespace sdksim;
using vantu::Handle;
using vantu::Result;

namespace {

// The records of the last search, handed out one per VantuGetFoundDeviceInfo.
class SearchResults {
public:
    void Replace(std::vector<FoundDeviceRecord> records, std::map<uint32_t, uint32_t> passFaults) {
        std::lock_guard lock(mutex_);
        records_ = std::move(records);
        passFaults_ = std::move(passFaults);
        nextPass_ = 0;
    }

    // A failed pass still uses up its scanner, so pass i always belongs to
    // scanner i; the record is written only on success.
    Result Next(void* record316) {
        std::lock_guard lock(mutex_);
        uint32_t pass = nextPass_++;
        auto fault = passFaults_.find(pass);
        if (fault != passFaults_.end() && fault->second != 0) return fault->second;
        if (pass >= records_.size()) return ResultNoScannersInList;
        std::memcpy(record316, records_[pass].bytes.data(), FoundDeviceRecord::Size);
        return 0;
    }

private:
    std::mutex mutex_;
    std::vector<FoundDeviceRecord> records_;
    std::map<uint32_t, uint32_t> passFaults_;
    uint32_t nextPass_ = 0;
};

SearchResults& LastSearch() {
    static SearchResults results;
    return results;
}

// Set once this process has opened a handle: only then is there anything to
// check when it ends.
std::atomic<bool> openedAny{false};

void RecordBreach(std::string text) {
    (void)WithState([&](SimState& state, bool& changed) -> uint32_t {
        state.breaches.Add(std::move(text));
        changed = true;
        return 0;
    });
}

std::string OfThisProcess() { return " (process " + std::to_string(CurrentProcess().pid) + ")"; }

// The calls running on each handle of this process, to catch two at once.
class CallsInFlight {
public:
    // Registers the call; the text of the breach when another thread is
    // inside a call on the same handle.
    std::optional<std::string> Enter(Handle handle, const char* call) {
        std::lock_guard lock(mutex_);
        std::optional<std::string> breach;
        for (auto [it, end] = calls_.equal_range(handle); it != end && !breach; ++it) {
            if (it->second.thread == ::GetCurrentThreadId()) continue;
            breach = std::string(call) + " on handle " + std::to_string(handle) + " while " + it->second.call +
                     " of it runs on another thread" + OfThisProcess();
        }
        calls_.emplace(handle, Running{call, ::GetCurrentThreadId()});
        return breach;
    }
    void Leave(Handle handle) {
        std::lock_guard lock(mutex_);
        for (auto [it, end] = calls_.equal_range(handle); it != end; ++it)
            if (it->second.thread == ::GetCurrentThreadId()) {
                calls_.erase(it);
                return;
            }
    }

private:
    struct Running {
        const char* call;
        DWORD thread;
    };
    std::mutex mutex_;
    std::multimap<Handle, Running> calls_;
};

CallsInFlight& InFlight() {
    static CallsInFlight calls;
    return calls;
}

// A call on a handle, for its whole length.
class HandleCall {
public:
    HandleCall(Handle handle, const char* call) : handle_(handle) {
        if (auto breach = InFlight().Enter(handle, call)) RecordBreach(std::move(*breach));
    }
    ~HandleCall() { InFlight().Leave(handle_); }
    HandleCall(const HandleCall&) = delete;
    HandleCall& operator=(const HandleCall&) = delete;

private:
    Handle handle_;
};

// Why a handle this process may not use is not valid.
std::string InvalidHandleBreach(const SimState& state, Handle handle, const char* call) {
    const SimHandle* h = state.FindHandle(handle);
    const char* why = h                                             ? "which another process opened"
                      : handle == 0 || handle >= state.nextHandle ? "which was never opened"
                                                                    : "which is closed";
    return std::string(call) + " on handle " + std::to_string(handle) + ", " + why + OfThisProcess();
}

// The delay fault of a call: sleeps outside the simulator's mutex.
void SleepIfSlow(Handle handle, SlowCall call) {
    uint32_t ms = 0;
    (void)WithState([&](SimState& state, bool& changed) -> uint32_t {
        const SimHandle* h = state.FindHandle(handle);
        SimScanner* s = h ? state.FindById(h->scannerId) : nullptr;
        if (s) ms = s->delays[call];
        if (ms) ++s->slowedCalls, changed = true;
        return 0;
    });
    if (ms) ::Sleep(ms);
}

BOOL CALLBACK FoundWindow(HWND, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

bool CallingThreadOwnsAWindow() {
    bool found = false;
    (void)::EnumThreadWindows(::GetCurrentThreadId(), FoundWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A thread that owns a window keeps its windows answering only while it is
// not inside a call that may take seconds: such a call is a breach.
void CheckCallingThread(const char* call) {
    if (!CallingThreadOwnsAWindow()) return;
    (void)WithState([&](SimState& state, bool& changed) -> uint32_t {
        if (state.windowThreadsAllowed) return 0;
        state.breaches.Add(std::string(call) + " from a thread that owns a window" + OfThisProcess());
        changed = true;
        return 0;
    });
}

// Runs body, answering ResultStateUnavailable for anything it throws.
template <typename Body>
Result Guarded(const char* call, Body&& body) noexcept {
    try {
        CheckCallingThread(call);
        return body();
    } catch (...) {
        return ResultStateUnavailable;
    }
}

// The largest search delay of the scanners: a search sleeps that long first.
void SleepIfSearchIsSlow() {
    uint32_t ms = 0;
    (void)WithState([&](SimState& state, bool&) -> uint32_t {
        for (const SimScanner& s : state.scanners) ms = std::max(ms, s.delays[SlowCall::Search]);
        return 0;
    });
    if (ms) ::Sleep(ms);
}

// Runs a search: picks the scanners, keeps their records for the passes and
// answers the count; the search fault (if any) is the result.
template <typename Pick>
Result Search(int16_t* count, Pick&& pick) {
    SleepIfSearchIsSlow();
    uint32_t found = 0;
    Result result = WithState([&](SimState& state, bool&) -> uint32_t {
        std::vector<FoundDeviceRecord> records;
        for (const SimScanner* s : pick(state)) records.push_back(RecordOf(*s));
        found = static_cast<uint32_t>(records.size());
        LastSearch().Replace(std::move(records), state.search.info);
        return state.search.find;
    });
    *count = static_cast<int16_t>(std::min<uint32_t>(found, INT16_MAX));
    return result;
}

// Runs call(state, scanner, changed) for a handle this process opened on a
// scanner that is present and plugged in, after the call's delay fault.
template <typename Call>
Result OnOpenScanner(Handle handle, const char* name, SlowCall slow, Call&& call) {
    HandleCall running(handle, name);
    SleepIfSlow(handle, slow);
    return WithState([&](SimState& state, bool& changed) -> uint32_t {
        const SimHandle* h = state.FindHandle(handle);
        if (!h || !OwnedByCurrentProcess(*h)) {
            state.breaches.Add(InvalidHandleBreach(state, handle, name));
            changed = true;
            return ResultInvalidHandle;
        }
        SimScanner* scanner = state.FindById(h->scannerId);
        if (!scanner || !scanner->plugged) return ResultDeviceNotConnected;
        return call(state, *scanner, changed);
    });
}

// At the end of the process (or an unload): every handle it still holds is
// a breach, and is let go so that its scanner can be opened again.
void LetGoOfOwnHandles() {
    if (!openedAny) return;
    StateLock lock(2000);  // the process is ending: do not hold it up for long
    if (!lock.Held()) return;
    auto loaded = LoadState();
    if (!loaded) return;
    SimState& state = *loaded.value;
    size_t before = state.handles.size();
    std::erase_if(state.handles, [&](const SimHandle& h) {
        if (!OwnedByCurrentProcess(h)) return false;
        state.breaches.Add(EndedWithHandleOpen(h));
        return true;
    });
    if (state.handles.size() != before) (void)SaveState(state);
}

Result OpenScanner(SimState& state, const FoundDeviceRecord& record, int32_t mode, Handle* handle,
                   bool& changed) {
    const SimScanner* scanner = ScannerForConnection(state, record, mode);
    if (!scanner) return ResultDeviceNotConnected;
    if (scanner->faults.open != 0) return scanner->faults.open;
    if (!scanner->plugged) return ResultDeviceNotConnected;
    changed = DropEndedHandles(state);
    if (state.IsOpen(scanner->id)) return ResultPortAccessDenied;
    ProcessIdentity me = CurrentProcess();
    SimHandle h{state.nextHandle++, scanner->id, me.pid, me.start};
    if (state.nextHandle == 0) state.nextHandle = 1;  // 0 is never a handle
    state.handles.push_back(h);
    changed = true;
    *handle = h.value;
    openedAny = true;
    return 0;
}

// The delay of the scanner that a stored record names.
uint32_t RecordDelay(const FoundDeviceRecord& record, int32_t mode, SlowCall call) {
    uint32_t ms = 0;
    (void)WithState([&](SimState& state, bool& changed) -> uint32_t {
        const SimScanner* found = ScannerForConnection(state, record, mode);
        SimScanner* s = found ? state.FindById(found->id) : nullptr;
        if (s) ms = s->delays[call];
        if (ms) ++s->slowedCalls, changed = true;
        return 0;
    });
    return ms;
}

}  // namespace

extern "C" {

Result WINAPI VantuFindAllOnCOMPorts(int32_t firstPort, int32_t lastPort, int16_t* count) {
    return Guarded("VantuFindAllOnCOMPorts", [&] {
        if (!count) return ResultInvalidParameter;
        return Search(count, [&](const SimState& s) { return SerialScannersInRange(s, firstPort, lastPort); });
    });
}

Result WINAPI VantuFindAllInRange(int16_t* count, uint32_t* second) {
    return Guarded("VantuFindAllInRange", [&] {
        if (!count) return ResultInvalidParameter;
        if (second) *second = 0;
        return Search(count, [](const SimState& s) { return BluetoothScanners(s); });
    });
}

Result WINAPI VantuGetFoundDeviceInfo(void* record316) {
    return Guarded("VantuGetFoundDeviceInfo", [&] {
        if (!record316) return ResultInvalidParameter;
        return LastSearch().Next(record316);
    });
}

Result WINAPI VantuCreateConnection(const void* record316, const char* name, int32_t mode, HKEY root) {
    return Guarded("VantuCreateConnection", [&] {
        if (!record316 || (mode != SerialConnectionMode && mode != BluetoothConnectionMode))
            return ResultInvalidParameter;
        FoundDeviceRecord record;
        std::memcpy(record.bytes.data(), record316, FoundDeviceRecord::Size);
        if (uint32_t ms = RecordDelay(record, mode, SlowCall::Connection)) ::Sleep(ms);
        return SaveConnection(root, name, record, mode);
    });
}

Result WINAPI VantuConnectionOpen(Handle* handle, const char* name, HKEY root) {
    return Guarded("VantuConnectionOpen", [&] {
        if (!handle) return ResultInvalidParameter;
        *handle = 0;
        FoundDeviceRecord record;
        int32_t mode = 0;
        if (Result stored = LoadConnection(root, name, record, mode); stored != 0) return stored;
        if (uint32_t ms = RecordDelay(record, mode, SlowCall::Open)) ::Sleep(ms);
        return WithState([&](SimState& state, bool& changed) -> uint32_t {
            return OpenScanner(state, record, mode, handle, changed);
        });
    });
}

Result WINAPI VantuSetBarCodeIDMode(Handle handle, int32_t) {
    return Guarded("VantuSetBarCodeIDMode", [&] {
        return OnOpenScanner(handle, "VantuSetBarCodeIDMode", SlowCall::IdMode,
                             [](SimState&, SimScanner& s, bool&) { return s.faults.idmode; });
    });
}

Result WINAPI VantuRequestDownload(Handle handle) {
    return Guarded("VantuRequestDownload", [&] {
        return OnOpenScanner(handle, "VantuRequestDownload", SlowCall::Download,
                             [](SimState&, SimScanner& s, bool& changed) -> uint32_t {
                                 StartDownload(s);
                                 changed = true;
                                 return 0;
                             });
    });
}

Result WINAPI VantuGetBarCodeCount(Handle handle, int16_t* count) {
    return Guarded("VantuGetBarCodeCount", [&] {
        if (!count) return ResultInvalidParameter;
        *count = 0;
        return OnOpenScanner(handle, "VantuGetBarCodeCount", SlowCall::Count,
                             [&](SimState&, SimScanner& s, bool& changed) -> uint32_t {
                                 if (s.faults.count != 0) return s.faults.count;
                                 CountAnswer answer = QueryCount(s);
                                 changed = answer.result == ResultTransferInProgress;
                                 *count = answer.count;
                                 return answer.result;
                             });
    });
}

Result WINAPI VantuGetBarCode(Handle handle, uint8_t* buffer256, uint16_t* length, uint8_t* extra16) {
    return Guarded("VantuGetBarCode", [&] {
        if (!buffer256 || !length) return ResultInvalidParameter;
        *length = 0;
        if (extra16) std::memset(extra16, 0, vantu::BarcodeExtraSize);
        return OnOpenScanner(handle, "VantuGetBarCode", SlowCall::Fetch,
                             [&](SimState&, SimScanner& s, bool& changed) -> uint32_t {
                                 if (s.Waiting() == 0) return ResultNoBarcodeReady;
                                 auto barcode = ReadBarcode(s.id, s.deliveredBytes);
                                 if (!barcode) return ResultStateUnavailable;
                                 size_t written = std::min(barcode->size(), vantu::BarcodeBufferSize);
                                 std::memcpy(buffer256, barcode->data(), written);
                                 *length = static_cast<uint16_t>(written);
                                 MarkDelivered(s, barcode->size());
                                 changed = true;
                                 return 0;
                             });
    });
}

Result WINAPI VantuSDKClearStoredBarcodes(Handle handle) {
    return Guarded("VantuSDKClearStoredBarcodes", [&] {
        // Not slowed by any delay fault: it has none of its own.
        HandleCall running(handle, "VantuSDKClearStoredBarcodes");
        return WithState([&](SimState& state, bool& changed) -> uint32_t {
            const SimHandle* h = state.FindHandle(handle);
            if (!h || !OwnedByCurrentProcess(*h)) {
                state.breaches.Add(InvalidHandleBreach(state, handle, "VantuSDKClearStoredBarcodes"));
                changed = true;
                return ResultInvalidHandle;
            }
            SimScanner* s = state.FindById(h->scannerId);
            if (!s || !s->plugged) return ResultDeviceNotConnected;
            DiscardReady(*s);
            changed = true;
            return 0;
        });
    });
}

// Closing works also when the scanner is unplugged or removed meanwhile; a
// close fault leaves the handle open.
Result WINAPI VantuClose(Handle handle) {
    return Guarded("VantuClose", [&] {
        HandleCall running(handle, "VantuClose");
        SleepIfSlow(handle, SlowCall::Close);
        return WithState([&](SimState& state, bool& changed) -> uint32_t {
            const SimHandle* h = state.FindHandle(handle);
            if (!h || !OwnedByCurrentProcess(*h)) {
                state.breaches.Add(InvalidHandleBreach(state, handle, "VantuClose"));
                changed = true;
                return ResultInvalidHandle;
            }
            if (SimScanner* s = state.FindById(h->scannerId); s && s->faults.close != 0) return s->faults.close;
            std::erase_if(state.handles, [&](const SimHandle& x) { return x.value == handle; });
            changed = true;
            return 0;
        });
    });
}

int32_t WINAPI VantuAPIGetVersion() {
    try {
        CheckCallingThread("VantuAPIGetVersion");
        int32_t version = DefaultVersion;
        (void)WithState([&](SimState& state, bool&) -> uint32_t {
            version = state.version;
            return 0;
        });
        return version;
    } catch (...) {
        return 0;
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        try {
            LetGoOfOwnHandles();
        } catch (...) {
        }
    }
    return TRUE;
}

}  // extern "C"

// The exports have exactly the types the program binds them with.
static_assert(std::is_same_v<decltype(&VantuFindAllOnCOMPorts), vantu::FindAllOnCOMPortsFn>);
static_assert(std::is_same_v<decltype(&VantuFindAllInRange), vantu::FindAllInRangeFn>);
static_assert(std::is_same_v<decltype(&VantuGetFoundDeviceInfo), vantu::GetFoundDeviceInfoFn>);
static_assert(std::is_same_v<decltype(&VantuCreateConnection), vantu::CreateConnectionFn>);
static_assert(std::is_same_v<decltype(&VantuConnectionOpen), vantu::ConnectionOpenFn>);
static_assert(std::is_same_v<decltype(&VantuSetBarCodeIDMode), vantu::SetBarCodeIDModeFn>);
static_assert(std::is_same_v<decltype(&VantuRequestDownload), vantu::RequestDownloadFn>);
static_assert(std::is_same_v<decltype(&VantuGetBarCodeCount), vantu::GetBarCodeCountFn>);
static_assert(std::is_same_v<decltype(&VantuGetBarCode), vantu::GetBarCodeFn>);
static_assert(std::is_same_v<decltype(&VantuSDKClearStoredBarcodes), vantu::SDKClearStoredBarcodesFn>);
static_assert(std::is_same_v<decltype(&VantuClose), vantu::CloseFn>);
static_assert(std::is_same_v<decltype(&VantuAPIGetVersion), vantu::APIGetVersionFn>);

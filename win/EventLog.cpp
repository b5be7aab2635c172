#include "win/EventLog.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "win/Scoped.h"
#include "win/WinText.h"
#include "win/WorkerThread.h"

namespace win {

namespace {

struct Event {
    DWORD id;
    std::vector<std::wstring> inserts;
};

WORD LevelOf(DWORD id) {
    switch (id >> 30) {
    case STATUS_SEVERITY_ERROR: return EVENTLOG_ERROR_TYPE;
    case STATUS_SEVERITY_WARNING: return EVENTLOG_WARNING_TYPE;
    default: return EVENTLOG_INFORMATION_TYPE;
    }
}

const char* LevelName(WORD level) {
    return level == EVENTLOG_ERROR_TYPE ? "Error" : level == EVENTLOG_WARNING_TYPE ? "Warning" : "Information";
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    (void)::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The copy for tests, when VASK_EVENT_FILE names one.
void CopyToEventFile(const Event& event) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"VASK_EVENT_FILE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const std::string line = std::to_string(event.id & 0xFFFF) + "\t" + LevelName(LevelOf(event.id)) + "\t" +
                             WideToUtf8(EventText(event.id, event.inserts)) + "\n";
    UniqueFile file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) (void)::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void Write(HANDLE source, const Event& event) {
    std::vector<LPCWSTR> strings;
    for (const std::wstring& insert : event.inserts) strings.push_back(insert.c_str());
    if (source)
        (void)::ReportEventW(source, LevelOf(event.id), 0, event.id, nullptr, static_cast<WORD>(strings.size()), 0,
                             strings.empty() ? nullptr : strings.data(), nullptr);
    CopyToEventFile(event);
}

// The writer: one thread, the events in the order reported.
class EventWriter {
public:
    void Report(Event event) {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            if (ending_) return;
            queue_.push_back(std::move(event));
        }
        changed_.notify_one();
        std::call_once(started_, [this] { (void)thread_.Start(Main, this); });
    }

    void Flush(DWORD ms) {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            ending_ = true;
        }
        changed_.notify_one();
        (void)thread_.Join(ms);
    }

private:
    static DWORD WINAPI Main(void* self) {
        static_cast<EventWriter*>(self)->Run();
        return 0;
    }

    void Run() {
        const HANDLE source = ::RegisterEventSourceW(nullptr, EventSourceName);
        for (;;) {
            std::unique_lock<std::mutex> hold(mutex_);
            changed_.wait(hold, [this] { return ending_ || !queue_.empty(); });
            if (queue_.empty()) break;
            Event event = std::move(queue_.front());
            queue_.pop_front();
            hold.unlock();
            Write(source, event);
        }
        if (source) (void)::DeregisterEventSource(source);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Event> queue_;
    bool ending_ = false;
    std::once_flag started_;
    WorkerThread thread_;
};

// Never destroyed: its thread may still wait on it while the process's
// static objects go at the end.
EventWriter& Writer() {
    static EventWriter* const writer = new EventWriter;
    return *writer;
}

}  // namespace

std::wstring EventText(DWORD id, const std::vector<std::wstring>& inserts) {
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& insert : inserts) arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, ThisModule(), id,
        0, reinterpret_cast<LPWSTR>(&text), 0,
        arguments.empty() ? nullptr : reinterpret_cast<va_list*>(arguments.data()));
    if (length == 0) return {};
    const UniqueLocal owned(text);
    std::wstring result(text, length);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
    return result;
}

void ReportProgramEvent(DWORD id, std::vector<std::string> inserts) {
    Event event{id, {}};
    for (const std::string& insert : inserts) event.inserts.push_back(Utf8ToWide(insert));
    Writer().Report(std::move(event));
}

void FlushEvents(DWORD ms) { Writer().Flush(ms); }

}  // namespace win

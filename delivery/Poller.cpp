#include "delivery/Poller.h"

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "config/Application.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/KeyPlan.h"
#include "delivery/KeySender.h"
#include "delivery/OwnWindows.h"
#include "delivery/TraceState.h"
#include "delivery/TraceText.h"
#include "sdk/VantuSdk.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace {

constexpr DWORD DeviceSettleMs = 200;  // after the open and ID mode, before the first request
constexpr DWORD StartDelayMs = 200;
constexpr DWORD CycleMs = 100;
constexpr int TitleBufferSize = 50;  // titles are compared with short fixed names

std::atomic<IntegrityProbe> CurrentIntegrityProbe{nullptr};

constexpr DWORD TargetRecheckMs = 20;

// The polling thread and "Type Again" take turns barcode by barcode, so the
// keystrokes of two barcodes never mix.
std::mutex TypingTurn;
constexpr int TypingTurnTries = 100;  // 2 s in steps of TargetRecheckMs
constexpr DWORD TypeAgainPatienceMs = 2000;

// Read without sending the window a message: the settings window belongs to
// the user-interface thread, which may be busy.
std::string ShortTitle(HWND window) {
    wchar_t wide[TitleBufferSize] = {};
    const int length = window ? ::InternalGetWindowText(window, wide, TitleBufferSize) : 0;
    if (length <= 0) return {};
    return win::WideToAnsi(std::wstring(wide, static_cast<size_t>(length)));
}

std::optional<uint32_t> ProcessIntegrityLevel(HANDLE process) {
    win::UniqueHandle token;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.put())) return std::nullopt;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size))
        return std::nullopt;
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (!sid || !::IsValidSid(sid)) return std::nullopt;
    const UCHAR parts = *::GetSidSubAuthorityCount(sid);
    if (parts == 0) return std::nullopt;
    return *::GetSidSubAuthority(sid, parts - 1);
}

std::optional<uint32_t> OwnIntegrityLevel() {
    static const std::optional<uint32_t> level = ProcessIntegrityLevel(::GetCurrentProcess());
    return level;
}

std::optional<uint32_t> WindowIntegrityLevel(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return std::nullopt;
    if (processId == ::GetCurrentProcessId()) return OwnIntegrityLevel();
    // Limited query is granted across integrity levels; a refusal means a
    // process of another account or the system.
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    return ProcessIntegrityLevel(process.get());
}

bool IntegrityOutranksUs(HWND window) {
    const IntegrityProbe probe = CurrentIntegrityProbe.load();
    return probe ? probe(window) : WindowOutranksUs(window);
}


// A window being brought forward may not have the keyboard focus yet: keys
// sent then arrive as system keys, which programs ignore.
bool HasKeyboardFocus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(0, &info) && info.hwndFocus;
}

// Asked before every key: the window that took the previous key is accepted
// again at the cost of one call; any other is looked at in full. While none
// may take keys (our tray menu, the "Confirm Exit" box, the sheet, no window,
// no focus) or one of ours is coming forward, it waits, so that a key meant
// for another program never answers one of ours. A key found free to go
// keeps the key turn until it has been sent (the next call, or the end).
class KeyTarget {
public:
    // `accepted`: the window already found fit to take keys, if any.
    KeyTarget(const std::function<bool()>& keepRunning, HWND accepted)
        : keepRunning_(keepRunning), accepted_(accepted) {}

    bool WaitUntilReady() {
        if (keyTurn_.owns_lock()) keyTurn_.unlock();  // the previous key has been sent
        for (;;) {
            keyTurn_ = TakeKeyTurn();
            if (MayType()) return true;
            keyTurn_.unlock();
            if (!keepRunning_()) return false;
            ::Sleep(TargetRecheckMs);
        }
    }

private:
    bool MayType() {
        const HWND foreground = ::GetForegroundWindow();
        bool oursInFront = false;
        if (foreground != accepted_) {
            const ForegroundView view = ObserveWindow(foreground);
            oursInFront = view.ours;
            accepted_ = TakesTypedKeys(view) ? foreground : nullptr;
        }
        return !OwnWindowComing(oursInFront) && accepted_ && HasKeyboardFocus();
    }

    const std::function<bool()>& keepRunning_;
    HWND accepted_;
    std::unique_lock<std::recursive_mutex> keyTurn_;
};

bool TypePiece(const KeySender& keys, TypingJob& job) {
    const FormatSettings& format = job.format;
    switch (job.piece) {
    case 0: return keys.TypeToken(format.PrefixChar, format.PrefixCharCtrl);
    case 1: {
        const ByteRange range = TypedRange(job.barcode.length, format.strip, 0);
        const auto from = static_cast<int>(range.first + job.bytesTyped);
        job.bytesTyped += keys.TypeBarcode(job.barcode.bytes, job.barcode.length, from, 0);
        return job.bytesTyped >= range.count;
    }
    case 2: return keys.TypeToken(format.SuffixFirstChar, format.SuffixFirstCharCtrl);
    case 3: return keys.TypeToken(format.SuffixSecondChar, format.SuffixSecondCharCtrl);
    default: return true;
    }
}

}  // namespace

bool ContinueTyping(TypingJob& job, const std::function<bool()>& keepRunning, HWND accepted) {
    KeyTarget target(keepRunning, accepted);
    const KeySender keys([&target] { return target.WaitUntilReady(); });
    for (; job.piece < 4; ++job.piece)
        if (!TypePiece(keys, job)) return false;
    return true;
}

bool TypeFormattedBarcode(const Application& app, const uint8_t* bytes, size_t length) {
    TypingJob job;
    job.barcode.length = static_cast<uint16_t>(std::min<size_t>(length, sizeof job.barcode.bytes));
    std::copy_n(bytes, job.barcode.length, job.barcode.bytes);
    job.format = app.Format();
    // The polling thread may hold the turn while it waits for a window to
    // type into: the user-interface thread does not wait for it for long.
    std::unique_lock<std::mutex> turn(TypingTurn, std::defer_lock);
    for (int tries = 0; !turn.try_lock(); ++tries) {
        if (tries == TypingTurnTries) return false;
        ::Sleep(TargetRecheckMs);
    }
    // A window just brought forward takes a moment to get the focus; a
    // window that does not become fit soon ends it, as nothing else would.
    const DWORD start = ::GetTickCount();
    return ContinueTyping(job, [start] { return ::GetTickCount() - start < TypeAgainPatienceMs; });
}

bool WindowOutranksUs(HWND window) {
    return OutranksUs(WindowIntegrityLevel(window), OwnIntegrityLevel());
}

TypingTarget CheckTypingTarget(HWND window) {
    if (!window || !::IsWindow(window)) return TypingTarget::Gone;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == ::GetCurrentProcessId()) return TypingTarget::Ours;
    return IntegrityOutranksUs(window) ? TypingTarget::HigherIntegrity : TypingTarget::Fine;
}

void SetIntegrityProbe(IntegrityProbe probe) { CurrentIntegrityProbe = probe; }

ForegroundView ObserveForeground() { return ObserveWindow(::GetForegroundWindow()); }

ForegroundView ObserveWindow(HWND foreground) {
    ForegroundView view;
    if (!foreground) return view;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(foreground, &processId);
    // Gone meanwhile: whose it was is unknown, so it counts as none.
    if (processId == 0) return view;
    view.exists = true;
    view.title = ShortTitle(foreground);
    view.ours = processId == ::GetCurrentProcessId();
    if (view.ours) {
        if (view.title == SettingsWindowTitle) view.firstChildTitle = ShortTitle(::GetWindow(foreground, GW_CHILD));
    } else {
        view.higherIntegrity = IntegrityOutranksUs(foreground);
    }
    return view;
}

namespace {

// Character positions, paragraph marks counted once, as EM_SETSEL takes them.
size_t TraceLength(HWND traceWindow) {
    GETTEXTLENGTHEX query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT length = ::SendMessageA(traceWindow, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    if (length < 0) length = ::SendMessageA(traceWindow, WM_GETTEXTLENGTH, 0, 0);
    return length < 0 ? 0 : static_cast<size_t>(length);
}

void ReplaceTraceRange(HWND traceWindow, size_t from, size_t to, const char* text) {
    ::SendMessageA(traceWindow, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    ::SendMessageA(traceWindow, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

// The text's length in characters as the control counts them (UTF-16 units).
size_t CharacterCount(const std::string& text) {
    if (text.empty()) return 0;
    const int count = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    return count > 0 ? static_cast<size_t>(count) : text.size();
}

// Makes room under the control's limit, appends, and tells whether all of the
// text went in (the control gives no answer of its own: at its limit it
// takes what fits and drops the rest without a word).
bool AppendWithinLimit(HWND traceWindow, const std::string& text, size_t added) {
    const auto limit = static_cast<size_t>(::SendMessageA(traceWindow, EM_GETLIMITTEXT, 0, 0));
    size_t end = TraceLength(traceWindow);
    if (const size_t drop = TraceCharsToDrop(end, added, limit)) {
        ReplaceTraceRange(traceWindow, 0, drop, "");
        end = TraceLength(traceWindow);
    }
    ReplaceTraceRange(traceWindow, end, end, text.c_str());
    return TraceLength(traceWindow) == end + added;
}

}  // namespace

bool AppendTrace(HWND traceWindow, const std::string& text) {
    if (!traceWindow) return false;
    const size_t added = CharacterCount(text);
    if (AppendWithinLimit(traceWindow, text, added)) return true;
    // Refused (the user cleared the trace in between, or the control is short
    // of memory): the barcode has left the scanner, so it gets the room the
    // old text took.
    ReplaceTraceRange(traceWindow, 0, static_cast<size_t>(-1), "");
    return AppendWithinLimit(traceWindow, text, added);
}

bool FetchBarcode(vantu::Handle connection, FetchedBarcode& barcode) {
    uint8_t extra[vantu::BarcodeExtraSize] = {};
    barcode.length = 0;  // a failed call must not hand on the previous barcode again
    const vantu::Result result = vantu::VantuGetBarCode(connection, barcode.bytes, &barcode.length, extra);
    return result == 0 || barcode.length > 0;
}

DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection,
                                   const std::function<bool()>& keepRunning,
                                   std::optional<TypingJob>& unfinished) {
    const int32_t rawTrace = Trace.RawTrace.load();
    const HWND trace = Trace.TraceWindow.load();
    const HWND foreground = ::GetForegroundWindow();
    const ForegroundView view = ObserveWindow(foreground);
    const DeliveryDecision decision = DecideDelivery(view, rawTrace, trace && ::IsWindow(trace));
    if (decision.rawTrace != rawTrace) Trace.RawTrace.store(decision.rawTrace);
    if (decision.delivery == Delivery::Leave) return DeliveryOutcome::Held;

    TypingJob job;
    const FetchedBarcode& barcode = job.barcode;
    if (!FetchBarcode(connection, job.barcode)) return DeliveryOutcome::NothingReady;
    switch (decision.delivery) {
    case Delivery::Type:
        job.format = app.Format();
        if (const std::lock_guard<std::mutex> turn(TypingTurn); !ContinueTyping(job, keepRunning, foreground))
            unfinished = std::move(job);
        break;
    case Delivery::TraceRaw:
        (void)AppendTrace(trace, RawDisplayText(barcode.bytes, barcode.length));
        break;
    case Delivery::TraceFormatted:
        (void)AppendTrace(trace, FormattedTraceText(barcode.bytes, barcode.length, app.Format()));
        break;
    case Delivery::Leave:
        break;
    }
    RememberBarcode(decision.delivery == Delivery::Type ? std::string_view(view.title) : TracePageTitle,
                    barcode.bytes, barcode.length);
    return DeliveryOutcome::Delivered;
}

void PollBarcodes(Application& app, vantu::Handle connection, const std::function<bool()>& keepRunning,
                  std::optional<TypingJob>& unfinished) {
    if (unfinished) {
        const std::lock_guard<std::mutex> turn(TypingTurn);
        if (!ContinueTyping(*unfinished, keepRunning)) return;
        unfinished.reset();
    }
    // The scanner settles after the open here, not on the thread that
    // activated it, which may be the user's.
    ::Sleep(DeviceSettleMs);
    // Asked here rather than by the activation, so the download is waited
    // for by this thread and nobody else uses the connection meanwhile.
    if (!keepRunning()) return;
    (void)vantu::VantuRequestDownload(connection);
    ::Sleep(StartDelayMs);
    while (keepRunning()) {
        int16_t count = 0;
        // A failed query (a transfer in progress, a lost link) counts as none ready.
        if (vantu::VantuGetBarCodeCount(connection, &count) != 0) count = 0;
        for (int16_t i = 0; i < count && keepRunning(); ++i) {
            // A held barcode holds the ones behind it too: the window in front
            // is looked at again next cycle, not once per waiting barcode. A
            // stale count is asked again next cycle as well.
            if (DeliverNextBarcode(app, connection, keepRunning, unfinished) != DeliveryOutcome::Delivered) break;
        }
        if (!keepRunning()) break;
        ::Sleep(CycleMs);
    }
}

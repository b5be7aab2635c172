#include "delivery/Poller.h"

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/BarcodeRecords.h"
#include "delivery/JobProfile.h"
#include "delivery/ScannerLink.h"
#include "delivery/ShapedTrace.h"
#include "delivery/ShapingInForce.h"
#include "delivery/WindowInFront.h"
#include "delivery/TraceState.h"
#include "delivery/TraceText.h"
#include "sdk/VantuSdk.h"
#include "win/Scoped.h"
#include "win/WinText.h"

namespace {

constexpr DWORD DeviceSettleMs = 200;  // after the open and ID mode, before the first request
constexpr DWORD StartDelayMs = 200;
constexpr DWORD CycleMs = 100;
constexpr UINT Utf16CodePage = 1200;  // the rich edit counts in UTF-16 code units

// Character positions, paragraph marks counted once, as EM_SETSEL takes them.
size_t TraceLength(HWND traceWindow) {
    GETTEXTLENGTHEX query = {GTL_NUMCHARS | GTL_PRECISE, Utf16CodePage};
    LRESULT length = ::SendMessageA(traceWindow, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    if (length < 0) length = ::SendMessageA(traceWindow, WM_GETTEXTLENGTH, 0, 0);
    return length < 0 ? 0 : static_cast<size_t>(length);
}

// The text in `codePage`: the ANSI code page, or UTF-8 for what the barcode
// rules made (characters the ANSI code page may not have).
void ReplaceTraceRange(HWND traceWindow, size_t from, size_t to, const char* text, UINT codePage = CP_ACP) {
    ::SendMessageA(traceWindow, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    if (codePage == CP_ACP) {
        ::SendMessageA(traceWindow, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
        return;
    }
    SETTEXTEX how = {ST_SELECTION, codePage};
    ::SendMessageA(traceWindow, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text));
}

// The text's length in characters as the control counts them (UTF-16 units).
size_t CharacterCount(const std::string& text, UINT codePage) {
    if (text.empty()) return 0;
    const int count = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    return count > 0 ? static_cast<size_t>(count) : text.size();
}

// Makes room under the control's limit, appends, and tells whether all of the
// text went in (the control gives no answer of its own: at its limit it
// takes what fits and drops the rest without a word).
bool AppendWithinLimit(HWND traceWindow, const std::string& text, size_t added, UINT codePage) {
    const auto limit = static_cast<size_t>(::SendMessageA(traceWindow, EM_GETLIMITTEXT, 0, 0));
    size_t end = TraceLength(traceWindow);
    if (const size_t drop = TraceCharsToDrop(end, added, limit)) {
        ReplaceTraceRange(traceWindow, 0, drop, "");
        end = TraceLength(traceWindow);
    }
    ReplaceTraceRange(traceWindow, end, end, text.c_str(), codePage);
    return TraceLength(traceWindow) == end + added;
}

}  // namespace

bool AppendTrace(HWND traceWindow, const std::string& text, UINT codePage) {
    if (!traceWindow) return false;
    const size_t added = CharacterCount(text, codePage);
    if (AppendWithinLimit(traceWindow, text, added, codePage)) return true;
    // Refused (the user cleared the trace in between, or the control is short
    // of memory): the barcode has left the scanner, so it gets the room the
    // old text took.
    ReplaceTraceRange(traceWindow, 0, static_cast<size_t>(-1), "");
    return AppendWithinLimit(traceWindow, text, added, codePage);
}

bool AppendFormattedTrace(HWND traceWindow, const FetchedBarcode& barcode, const FormatSettings& format) {
    const std::shared_ptr<const BarcodeShaper> shaper = ShaperInForce();
    if (!shaper) return AppendTrace(traceWindow, FormattedTraceText(barcode.bytes, barcode.length, format));
    const ShapedBarcode shaped = ShapeBarcode(barcode.bytes, barcode.length, format.strip, shaper.get());
    const std::string utf8 = shaped.skipped ? SkippedTraceText(*shaped.skippedBy)
                                            : ShapedTraceText(shaped.units, format, SystemAnsiCodePage());
    return AppendTrace(traceWindow, utf8, CP_UTF8);
}

bool FetchBarcode(vantu::Handle connection, FetchedBarcode& barcode) {
    uint8_t extra[vantu::BarcodeExtraSize] = {};
    barcode.length = 0;  // a failed call must not hand on the previous barcode again
    const vantu::Result result = vantu::VantuGetBarCode(connection, barcode.bytes, &barcode.length, extra);
    return result == 0 || barcode.length > 0;
}

DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection,
                                   const std::function<bool()>& keepRunning) {
    // Paused: every barcode stays on the scanner, and nothing is looked at.
    if (Link.Paused.load()) return DeliveryOutcome::Held;
    const int32_t rawTrace = Trace.RawTrace.load();
    const HWND trace = Trace.TraceWindow.load();
    const HWND foreground = ::GetForegroundWindow();
    const ForegroundView view = ObserveWindow(foreground);
    const DeliveryDecision decision = DecideDelivery(view, rawTrace, trace && ::IsWindow(trace));
    if (decision.rawTrace != rawTrace) Trace.RawTrace.store(decision.rawTrace);
    Link.Held = decision.delivery == Delivery::Leave;
    Link.NoteHeldFor(view.barred, view.program);
    if (decision.delivery == Delivery::Leave) return DeliveryOutcome::Held;
    // The program is ending (a polling thread an activation started beside
    // the shutdown): a barcode fetched now could not be typed.
    if (decision.delivery == Delivery::Type && !SoleTypist.Accepting()) return DeliveryOutcome::Held;

    TypingJob job;
    const FetchedBarcode& barcode = job.barcode;
    if (!FetchBarcode(connection, job.barcode)) return DeliveryOutcome::NothingReady;
    switch (decision.delivery) {
    case Delivery::Type: {
        TakeProfile(job, ProfileForWindow(foreground, view), app.Format());
        ShapedBarcode shaped;
        ShapeJob(job, &shaped);
        // Listed before its first key: should the program end in between, it is on record.
        job.sequence = records::Fetched(
            barcode, ChangedTypedText(barcode.bytes, barcode.length, job.format.strip, job.units), job.profile);
        if (shaped.skipped) {
            records::Skipped(job.sequence, *shaped.skippedBy);
            break;
        }
        job.followsPause = true;
        job.intended = foreground;
        (void)SoleTypist.Type(std::move(job), keepRunning);
        break;
    }
    case Delivery::TraceRaw:
        (void)AppendTrace(trace, RawDisplayText(barcode.bytes, barcode.length));
        records::Traced(barcode);
        break;
    case Delivery::TraceFormatted:
        (void)AppendFormattedTrace(trace, barcode, app.Format());
        records::Traced(barcode);
        break;
    case Delivery::Leave:
        break;
    }
    return DeliveryOutcome::Delivered;
}

namespace {

// Sleeps ms in steps of one cycle, so a stop is seen within one.
void PauseWhile(DWORD ms, const std::function<bool()>& keepRunning) {
    for (DWORD slept = 0; slept < ms && keepRunning(); slept += CycleMs) ::Sleep(CycleMs);
}

void RequestDownload(vantu::Handle connection, const std::function<bool()>& keepRunning) {
    if (!keepRunning()) return;
    (void)vantu::VantuRequestDownload(connection);
    ::Sleep(StartDelayMs);
}

// Follows the count query's result: lost after failures, a new download
// when the scanner answers again. Returns the barcodes ready (0 on failure).
int16_t FollowCount(LinkWatch& watch, vantu::Result result, int16_t count, vantu::Handle connection,
                    const std::function<bool()>& keepRunning) {
    switch (watch.OnCountResult(result)) {
    case LinkWatch::Change::Lost:
        Link.Lost = true;
        break;
    case LinkWatch::Change::Found:
        Link.Lost = false;
        RequestDownload(connection, keepRunning);
        return 0;  // asked again next cycle, once the download is under way
    case LinkWatch::Change::None:
        break;
    }
    if (result != 0) return 0;
    Link.Waiting = count;
    if (count == 0) {
        Link.Held = false;
        Link.NoteNoneWaiting();
    }
    return count;
}

}  // namespace

void PollBarcodes(Application& app, vantu::Handle connection, ActivationCause cause,
                  const std::function<bool()>& keepRunning) {
    // At most one fetched barcode is ever in hand: one from an earlier
    // activation is typed (or given up) first.
    if (!SoleTypist.WaitUntilEmptyHanded(keepRunning)) return;
    // The scanner settles after the open here, not on the thread that
    // activated it, which may be the user's.
    ::Sleep(DeviceSettleMs);
    // Asked here rather than by the activation, so the download is waited
    // for by this thread and nobody else uses the connection meanwhile.
    RequestDownload(connection, keepRunning);
    LinkWatch watch;
    bool firstAnswer = true;
    while (keepRunning()) {
        int16_t count = 0;
        const vantu::Result result = vantu::VantuGetBarCodeCount(connection, &count);
        count = FollowCount(watch, result, count, connection, keepRunning);
        // The program activated the scanner on its own: a batch already
        // waiting is not typed into whatever window happens to be in front.
        if (result == 0 && std::exchange(firstAnswer, false) && cause == ActivationCause::Program && count > 0) {
            Link.HeldAtStart = count;
            Link.Paused = true;
        }
        for (int16_t i = 0; i < count && keepRunning(); ++i) {
            // A held barcode holds the ones behind it too: the window in front
            // is looked at again next cycle, not once per waiting barcode. A
            // stale count is asked again next cycle as well.
            if (DeliverNextBarcode(app, connection, keepRunning) != DeliveryOutcome::Delivered) break;
        }
        PauseWhile(watch.Lost() ? LinkWatch::LostAskEveryMs : CycleMs, keepRunning);
    }
}

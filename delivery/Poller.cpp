#include "delivery/Poller.h"

#include <richedit.h>

#include <atomic>
#include <optional>
#include <vector>

#include "config/Application.h"
#include "delivery/TraceText.h"
#include "scanner/VantuSdk.h"
#include "win/Scoped.h"

namespace {

constexpr DWORD StartDelayMs = 200;
constexpr DWORD CycleMs = 100;
constexpr int TitleBufferSize = 50;  // titles are compared with short fixed names

std::atomic<IntegrityProbe> CurrentIntegrityProbe{nullptr};

// Read without sending the window a message: the settings window belongs to
// the user-interface thread, which may be busy.
std::string ShortTitle(HWND window) {
    wchar_t wide[TitleBufferSize] = {};
    if (!window || ::InternalGetWindowText(window, wide, TitleBufferSize) <= 0) return {};
    char narrow[TitleBufferSize * 2] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
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

void TypeIntoForeground(const Application& app, const FetchedBarcode& barcode) {
    const FormatSettings format = app.Format.Get();
    app.Keys.TypeToken(format.PrefixChar, format.PrefixCharCtrl);
    app.Keys.TypeBarcode(barcode.bytes, barcode.length, format.strip, 0);
    app.Keys.TypeToken(format.SuffixFirstChar, format.SuffixFirstCharCtrl);
    app.Keys.TypeToken(format.SuffixSecondChar, format.SuffixSecondCharCtrl);
}

}  // namespace

bool WindowOutranksUs(HWND window) {
    return OutranksUs(WindowIntegrityLevel(window), OwnIntegrityLevel());
}

void SetIntegrityProbe(IntegrityProbe probe) { CurrentIntegrityProbe = probe; }

ForegroundView ObserveForeground() {
    ForegroundView view;
    const HWND foreground = ::GetForegroundWindow();
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
        const IntegrityProbe probe = CurrentIntegrityProbe.load();
        view.higherIntegrity = probe ? probe(foreground) : WindowOutranksUs(foreground);
    }
    return view;
}

void AppendTrace(HWND traceWindow, const std::string& text) {
    if (!traceWindow) return;
    // Character positions, paragraph marks counted once, as EM_SETSEL takes them.
    GETTEXTLENGTHEX query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT end = ::SendMessageA(traceWindow, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    if (end < 0) end = ::SendMessageA(traceWindow, WM_GETTEXTLENGTH, 0, 0);
    ::SendMessageA(traceWindow, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageA(traceWindow, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

bool FetchBarcode(vantu::Handle connection, FetchedBarcode& barcode) {
    uint8_t extra[vantu::BarcodeExtraSize] = {};
    barcode.length = 0;  // a failed call must not hand on the previous barcode again
    const vantu::Result result = vantu::VantuGetBarCode(connection, barcode.bytes, &barcode.length, extra);
    return result == 0 || barcode.length > 0;
}

DeliveryOutcome DeliverNextBarcode(Application& app, vantu::Handle connection) {
    const int32_t rawTrace = app.RawTrace.load();
    const HWND trace = app.TraceWindow.load();
    const DeliveryDecision decision = DecideDelivery(ObserveForeground(), rawTrace, trace && ::IsWindow(trace));
    if (decision.rawTrace != rawTrace) app.RawTrace.store(decision.rawTrace);
    if (decision.delivery == Delivery::Leave) return DeliveryOutcome::Held;

    FetchedBarcode barcode;
    if (!FetchBarcode(connection, barcode)) return DeliveryOutcome::NothingReady;
    switch (decision.delivery) {
    case Delivery::Type:
        TypeIntoForeground(app, barcode);
        break;
    case Delivery::TraceRaw:
        AppendTrace(trace, RawDisplayText(barcode.bytes, barcode.length));
        break;
    case Delivery::TraceFormatted:
        AppendTrace(trace, FormattedTraceText(barcode.bytes, barcode.length, app.Format.Get()));
        break;
    case Delivery::Leave:
        break;
    }
    return DeliveryOutcome::Delivered;
}

void PollBarcodes(Application& app, vantu::Handle connection, const std::function<bool()>& keepRunning) {
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
            if (DeliverNextBarcode(app, connection) != DeliveryOutcome::Delivered) break;
        }
        if (!keepRunning()) break;
        ::Sleep(CycleMs);
    }
}

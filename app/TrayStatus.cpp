#include "app/TrayStatus.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/Shell.h"
#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/ScanLog.h"
#include "pages/ConnectionsPage.h"
#include "res/resource.h"
#include "scanner/Activation.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"
#include "win/EventLog.h"
#include "win/ProgramFile.h"
#include "win/WinText.h"

namespace {

constexpr UINT BalloonTimeoutMs = 10000;

template <size_t N>
void CopyCut(char (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string SdkFolder() { return win::WideToAnsi(win::ProgramFolder()); }

}  // namespace

UINT TrayStatus::IconId() const {
    switch (look_) {
    case TrayLook::Connected:
        return IDI_VASK;
    case TrayLook::Waiting:
        return IDI_VASK_WAITING;
    case TrayLook::NotConnected:
        return IDI_VASK_LOST;
    case TrayLook::NoSdk:
        return IDI_VASK_NO_SDK;
    }
    return IDI_VASK;
}

TrayView TrayStatus::Observe() const {
    const SettingsRecord settings = App.Settings.Get();
    TrayView view;
    view.sdkLoaded = !vantu::SdkLoadFailed();
    view.polled = Link.PolledBy.load() != 0 && Scanner.Polled();
    view.lost = Link.Lost.load();
    view.paused = Link.Paused.load();
    view.retrying = RetryWorker.ShouldRun();
    view.waiting = Link.Waiting.load();
    view.held = Link.Held.load();
    if (const std::optional<std::string> program = Link.HeldFor()) {
        view.heldForBarred = true;
        view.heldFor = *program;
    }
    view.typed = Link.Typed.load();
    view.place = ScannerPlace(settings.ActivatedScannerMode, settings.DeviceInfo);
    view.sdkFile = vantu::DllName;
    return view;
}

void TrayStatus::NoteChanges(const TrayView& view) {
    const std::string at = view.place.empty() ? std::string() : " (" + view.place + ")";
    if (view.polled && view.lost && !last_.lost) {
        ShowLinkChange(ScannerLostText, true);
        win::ReportProgramEvent(VASK_EVENT_SCANNER_LOST, {App.Settings.Get().DeviceInfo});
        Queue({"Scanner lost", ScannerLostText + at, NIIF_WARNING});
    } else if (view.polled && !view.lost && last_.lost) {
        ShowLinkChange(scannertext::ScannerConnected, false);
        win::ReportProgramEvent(VASK_EVENT_SCANNER_FOUND_AGAIN, {App.Settings.Get().DeviceInfo});
        Queue({"Scanner found again", ScannerFoundAgainText + at, NIIF_INFO});
    }
    if (view.retrying && !retryNoted_) {
        retryNoted_ = true;
        Queue({"Scanner not connected",
               "Brontel Vask could not connect to the scanner" + at + " and keeps trying.", NIIF_WARNING});
    }
    if (!view.retrying) retryNoted_ = false;
    if (!view.sdkLoaded && last_.sdkLoaded) {
        win::ReportProgramEvent(VASK_EVENT_SDK_MISSING, {view.sdkFile, SdkFolder()});
        Queue({"Scanner SDK missing", view.sdkFile + " is not in " + SdkFolder() + ". No scanner can be used.",
               NIIF_ERROR});
    }
    if (const std::optional<TypedBatch> batch = Link.TakeEndedBatch())
        Queue({"Barcodes typed", BatchBalloonText(*batch), NIIF_INFO});
    if (const int32_t held = Link.HeldAtStart.exchange(0); held > 0 && view.paused)
        Queue({"Typing paused", WaitingBalloonText(held), NIIF_INFO, true});
    if (const std::optional<std::string> trouble = scanlog::TakeTrouble()) {
        win::ReportProgramEvent(VASK_EVENT_SCAN_LOG_TROUBLE, {*trouble});
        Queue({"Scan log", "The scan log " + *trouble + ". Barcodes are still typed; those not logged are not on record.",
               NIIF_WARNING});
    }
    last_ = view;
}

void TrayStatus::Queue(Balloon balloon) {
    if (!BalloonsWanted()) return;
    pending_ = std::move(balloon);
}

void TrayStatus::ShowDueBalloon() {
    if (!pending_) return;
    const DWORD now = ::GetTickCount();
    if (shownAny_ && now - shownAt_ < BalloonGapMs) return;
    NOTIFYICONDATAA data = Record(NIF_INFO);
    CopyCut(data.szInfo, pending_->text);
    CopyCut(data.szInfoTitle, pending_->title);
    data.uTimeout = BalloonTimeoutMs;
    data.dwInfoFlags = pending_->flags;
    if (!::Shell_NotifyIconA(NIM_MODIFY, &data)) return;  // tried again next refresh
    shownAny_ = true;
    shownAt_ = now;
    shownOffersResume_ = pending_->offersResume;
    pending_.reset();
}

NOTIFYICONDATAA TrayStatus::Record(UINT flags) const {
    NOTIFYICONDATAA data{};
    static_assert(NOTIFYICONDATAA_V2_SIZE == 488);
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner_;
    data.uID = 0;
    data.uFlags = flags;
    if (flags & NIF_MESSAGE) data.uCallbackMessage = TrayCallbackMessage;
    if (flags & NIF_ICON) data.hIcon = ::LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IconId()));
    if (flags & NIF_TIP) CopyCut(data.szTip, tip_);
    return data;
}

BOOL TrayStatus::Add(HWND owner) {
    owner_ = owner;
    NOTIFYICONDATAA data = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    return ::Shell_NotifyIconA(NIM_ADD, &data);
}

void TrayStatus::Remove() {
    NOTIFYICONDATAA data = Record(0);
    (void)::Shell_NotifyIconA(NIM_DELETE, &data);
}

void TrayStatus::Refresh() {
    const TrayView view = Observe();
    NoteChanges(view);
    const TrayLook look = TrayLookFor(view);
    std::string tip = TrayTipText(view);
    if (!sent_ || look != look_ || tip != tip_) {
        look_ = look;
        tip_ = std::move(tip);
        NOTIFYICONDATAA data = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
        sent_ = ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
    }
    ShowDueBalloon();
}

#include "app/TypeAgainFlow.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/RecentStatus.h"
#include "config/Application.h"
#include "delivery/AllowedPrograms.h"
#include "delivery/BarcodeRecords.h"
#include "delivery/JobProfile.h"
#include "delivery/OwnWindows.h"
#include "delivery/Typist.h"
#include "delivery/WindowInFront.h"

namespace {

constexpr UINT NextWindowStepMs = 50;
constexpr DWORD NextWindowPatienceMs = 10000;

// Why nothing may be typed into the remembered window, or nullopt when it may.
std::optional<std::string> RefusalFor(HWND target) {
    if (!target) return "No other program's window was in front as the menu opened: nothing typed.";
    switch (CheckTypingTarget(target)) {
    case TypingTarget::Fine:
        return std::nullopt;
    case TypingTarget::Gone:
        return "The window that was in front has closed: nothing typed.";
    case TypingTarget::Ours:
        return "The window that was in front belongs to Brontel Vask: nothing typed.";
    case TypingTarget::Shell:
        return "No other program's window was in front as the menu opened: nothing typed.";
    case TypingTarget::HigherIntegrity:
        return "The window that was in front runs with higher rights: nothing typed.";
    case TypingTarget::Barred:
        return BarredProgramText(WindowProgram(target)) + ": nothing typed.";
    }
    return std::nullopt;
}

// Shown without taking the activation: keys of the batch may still wait in
// the receiver's queue, and a window of ours activated now would take them
// (under Wine they are lost). It comes to the front once they have been read.
void ShowAgainWith(HWND dialog, const std::string& status) {
    ::ShowWindow(dialog, SW_SHOWNA);
    BringOwnWindowForward(dialog);
    SetRecentStatus(dialog, status);
}

// The barcodes as the typist takes them, each shaped and typed as the
// profile in force for `target` says now (the typist applies it): its own,
// or the default's current format settings, barcode rules and pace.
std::vector<TypingJob> JobsOf(const std::vector<const RecentBarcode*>& barcodes, HWND target) {
    std::vector<TypingJob> jobs(barcodes.size());
    const std::optional<Profile> profile = target ? ProfileForWindow(target, ObserveWindow(target)) : std::nullopt;
    const FormatSettings format = App.Format();
    for (size_t i = 0; i < barcodes.size(); ++i) {
        jobs[i].barcode.length = std::min<uint16_t>(barcodes[i]->length, sizeof jobs[i].barcode.bytes);
        std::memcpy(jobs[i].barcode.bytes, barcodes[i]->bytes, jobs[i].barcode.length);
        TakeProfile(jobs[i], profile, format);
        jobs[i].sequence = barcodes[i]->sequence;
    }
    return jobs;
}

// Hides the window and hands the barcodes to the typist for `target`; the
// typist says how far it got (OnDone). One still waiting to be typed is
// taken from the typist first, so that it goes only where the user asks; one
// being typed right now is left to finish.
void HandToTypist(HWND dialog, std::vector<TypingJob> jobs, HWND target) {
    std::vector<uint64_t> sequences;
    for (const TypingJob& job : jobs) sequences.push_back(job.sequence);
    if (!records::ClaimForTypeAgain(sequences))
        return ShowAgainWith(dialog,
                             "A barcode chosen is being typed right now: type it again once it has been typed.");
    SetRecentStatus(dialog, "Typing " + Plural(jobs.size(), "barcode") + "...");
    {
        // Hiding may bring the sheet forward for a moment; the target follows.
        const QuietActivations quiet;
        ::ShowWindow(dialog, SW_HIDE);
    }
    ::SetForegroundWindow(target);
    SoleTypist.TypeAgain(std::move(jobs), target, dialog);
}

const char* StopText(TypeAgainStop stop) {
    switch (stop) {
    case TypeAgainStop::WindowClosed: return "the window has closed";
    case TypeAgainStop::NotInFront: return "the window did not stay in front";
    case TypeAgainStop::NoFocus: return "the window lost the keyboard focus";
    case TypeAgainStop::ProgramEnding: return "the program is ending";
    case TypeAgainStop::SkippedByRule: return "a barcode rule skips the others";
    case TypeAgainStop::None: break;
    }
    return "";
}

}  // namespace

void TypeAgainFlow::Start(HWND dialog, const std::vector<const RecentBarcode*>& barcodes, HWND target) {
    if (barcodes.empty()) return SetRecentStatus(dialog, "Select the barcodes to type first.");
    std::vector<TypingJob> jobs = JobsOf(barcodes, target);
    if (const auto refusal = RefusalFor(target)) {
        if (!OfferTheNextWindow(dialog, *refusal, jobs)) SetRecentStatus(dialog, *refusal);
        return;
    }
    HandToTypist(dialog, std::move(jobs), target);
}

// With no window to type into, the user may click one: the next other
// program's window that comes forward within NextWindowPatienceMs, under the
// usual rules, takes the barcodes.
bool TypeAgainFlow::OfferTheNextWindow(HWND dialog, const std::string& refusal, std::vector<TypingJob>& jobs) {
    const std::string question = refusal + "\n\nType the " + Plural(jobs.size(), "barcode") +
                                 " into the next window you click instead?";
    if (::MessageBoxA(dialog, question.c_str(), "Type Again", MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    awaiting_ = AwaitedWindow{std::move(jobs), ::GetTickCount()};
    ::SetTimer(dialog, NextWindowTimer, NextWindowStepMs, nullptr);
    SetRecentStatus(dialog, "Click the window to type into within 10 seconds (Esc cancels).");
    return true;
}

void TypeAgainFlow::StopWaiting(HWND dialog, const std::string& status) {
    ::KillTimer(dialog, NextWindowTimer);
    awaiting_.reset();
    SetRecentStatus(dialog, status);
}

void TypeAgainFlow::Cancel(HWND dialog) { StopWaiting(dialog, "Cancelled: nothing typed."); }

void TypeAgainFlow::OnTimer(HWND dialog) {
    if (!awaiting_) return;
    const HWND front = ::GetForegroundWindow();
    if (front && front != dialog && CheckTypingTarget(front) == TypingTarget::Fine) {
        std::vector<TypingJob> jobs = std::move(awaiting_->jobs);
        StopWaiting(dialog, "");
        return HandToTypist(dialog, std::move(jobs), front);
    }
    if (::GetTickCount() - awaiting_->since >= NextWindowPatienceMs)
        StopWaiting(dialog, "No window was clicked within 10 seconds: nothing typed.");
}

// What the typist actually typed: all, or how far it got and why it stopped.
void TypeAgainFlow::OnDone(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const size_t typed = LOWORD(wParam), total = HIWORD(wParam);
    const auto stop = static_cast<TypeAgainStop>(lParam);
    if (stop == TypeAgainStop::None && typed == total)
        return SetRecentStatus(dialog, "Typed " + Plural(typed, "barcode") + " again.");
    ShowAgainWith(dialog, "Typed " + std::to_string(typed) + " of " + Plural(total, "barcode") + " again: " +
                              StopText(stop) + ".");
}

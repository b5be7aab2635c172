// vask-bench-typing.exe [--chars N] [--runs R]: typing throughput of
// KeySender::TypeBarcode into the keystroke receiver, as Unicode characters
// and as key presses of the layout, side by side with the limit of the same
// characters sent as one SendInput call holding all their events. Each run times from the first event sent to the last character
// recorded by the receiver; runs alternate between the two ways. Prints the
// median characters per second of each and their ratio.
#include "bench/Clock.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/Profiles.h"
#include "config/UserOptions.h"
#include "delivery/JobProfile.h"
#include "delivery/KeySender.h"
#include "delivery/LayoutKeys.h"
#include "delivery/TypingJob.h"
#include "delivery/WindowInFront.h"
#include "tests/support/KeyReceiver.h"

namespace {

constexpr double TargetRatio = 0.8;
// Key down, WM_CHAR, key up: VK_PACKET's, or (key presses) the letter's or
// digit's own key, which needs no Shift.
constexpr size_t EventsPerCharacter = 3;

struct Options {
    size_t chars = 1000;
    int runs = 15;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--chars") == 0) o.chars = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--runs") == 0) o.runs = std::atoi(argv[i + 1]);
    }
    o.chars = std::max<size_t>(o.chars, 1);
    o.runs = std::max(o.runs, 1);
    return o;
}

// Small letters and digits only: every one goes as a Unicode event, or as
// one key without Shift.
std::string SampleText(size_t n) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text;
    for (size_t i = 0; i < n; ++i) text += alphabet[(i * 7) % (sizeof alphabet - 1)];
    return text;
}

void SendAllAtOnce(const std::string& text) {
    std::vector<INPUT> events(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        for (size_t k = 0; k < 2; ++k) {
            INPUT& e = events[i * 2 + k];
            e.type = INPUT_KEYBOARD;
            e.ki.wScan = static_cast<unsigned char>(text[i]);
            e.ki.dwFlags = KEYEVENTF_UNICODE | (k ? KEYEVENTF_KEYUP : 0);
        }
    }
    ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

struct Run {
    double charsPerSecond = 0;
    double sendSeconds = 0;  // until the sending call returned
    bool complete = false;
};

template <typename Send>
Run TimeOne(testsupport::KeyReceiver& receiver, const std::string& text, Send send) {
    Run run;
    receiver.Focus();
    receiver.Clear();
    const double start = SecondsNow();
    send();
    run.sendSeconds = SecondsNow() - start;
    const DWORD timeoutMs = static_cast<DWORD>(60000 + text.size() * 10);
    run.complete = receiver.WaitForEvents(text.size() * EventsPerCharacter, timeoutMs);
    const double elapsed = SecondsNow() - start;
    std::wstring arrived = receiver.Text();
    run.complete = run.complete && arrived == std::wstring(text.begin(), text.end());
    run.charsPerSecond = static_cast<double>(text.size()) / elapsed;
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRow(const char* name, const std::vector<Run>& runs) {
    std::vector<double> rates, sends;
    for (const Run& r : runs) {
        rates.push_back(r.charsPerSecond);
        sends.push_back(r.sendSeconds * 1000);
    }
    std::printf("  %-26s %9.0f chars/s   send %6.1f ms   runs:", name, Median(rates), Median(sends));
    for (const Run& r : runs) std::printf(" %.0f%s", r.charsPerSecond, r.complete ? "" : "(incomplete)");
    std::printf("\n");
}

// One barcode of `text` (no prefix or suffix) typed the program's way, with
// the window check before each key, at `pace`.
TypingJob JobOf(const std::string& text, TypingPace pace) {
    TypingJob job;
    job.barcode.length = static_cast<uint16_t>(std::min(text.size(), sizeof job.barcode.bytes));
    std::memcpy(job.barcode.bytes, text.data(), job.barcode.length);
    job.format.PrefixChar = job.format.SuffixFirstChar = job.format.SuffixSecondChar = "None";
    job.pace = pace;
    return job;
}

// Characters per second of ContinueTyping at each key delay, side by side
// (runs alternate), against what the delay allows; and what reading the
// user's pace costs the polling thread per barcode.
void PrintPaceRows(testsupport::KeyReceiver& receiver, int runs) {
    const std::string text = SampleText(40);
    const DWORD delays[] = {0, 20, 50};
    std::vector<std::vector<Run>> byDelay(std::size(delays));
    for (int i = 0; i < runs; ++i)
        for (size_t d = 0; d < std::size(delays); ++d)
            byDelay[d].push_back(TimeOne(receiver, text, [&] {
                TypingJob job = JobOf(text, TypingPace::Within(delays[d], 0));
                (void)ContinueTyping(job, [] { return true; });
            }));
    std::printf("Typing the program's way (window check before each key), %zu characters, %d runs each:\n",
                text.size(), runs);
    for (size_t d = 0; d < std::size(delays); ++d) {
        char name[64];
        std::snprintf(name, sizeof name, "key delay %lu ms", static_cast<unsigned long>(delays[d]));
        PrintRow(name, byDelay[d]);
        if (delays[d]) std::printf("  %-26s %9.1f chars/s at most\n", "", 1000.0 / delays[d]);
    }
    std::vector<double> reads;
    for (int i = 0; i < 1000; ++i) {
        const double start = SecondsNow();
        (void)TypingPaceWanted();
        reads.push_back((SecondsNow() - start) * 1e6);
    }
    std::printf("  reading the pace (once per barcode): median %.1f us\n", Median(reads));
}

// What choosing the profile costs the polling thread per barcode, beside
// the look at the window it takes anyway (the program's name read, the
// profiles looked through), with no profile and with ten, the last of them
// the receiver's.
void PrintProfileRow(HWND window) {
    const ForegroundView view = ObserveWindow(window);
    const auto median = [&] {
        std::vector<double> times;
        for (int i = 0; i < 1000; ++i) {
            const double start = SecondsNow();
            (void)ProfileForWindow(window, view);
            times.push_back((SecondsNow() - start) * 1e6);
        }
        return Median(times);
    };
    const double none = median();
    std::vector<Profile> profiles(10);
    for (size_t i = 0; i < profiles.size(); ++i) {
        profiles[i].name = "Bench " + std::to_string(i);
        profiles[i].program = i + 1 < profiles.size() ? "other" + std::to_string(i) + ".exe" : "keyrecv.exe";
    }
    if (!WriteUserProfiles(profiles)) std::printf("  the profiles could not be written\n");
    const double ten = median();
    const bool found = ProfileForWindow(window, view).has_value();
    (void)WriteUserProfiles({});
    std::printf("  choosing the profile (once per barcode): median %.1f us without profiles, %.1f us with ten%s\n",
                none, ten, found ? "" : " (NOT found)");
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready() || !receiver.Focus()) {
        std::printf("keyrecv.exe did not start or take the focus\n");
        return 2;
    }
    if (::GetKeyState(VK_CAPITAL) & 1) {
        std::printf("Caps Lock is on: TypeBarcode would add key presses; switch it off first\n");
        return 2;
    }
    const double learnStart = SecondsNow();
    const size_t keyed = KeyPressesOfLayout(::GetKeyboardLayout(0)).size();
    const double learnMs = (SecondsNow() - learnStart) * 1000;
    const KeySender keys;
    KeySender keyPresses;
    keyPresses.TypeAs(Keystrokes::KeyPresses);
    const std::string text = SampleText(options.chars);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    std::vector<Run> typed, pressed, limit;
    for (int i = 0; i < options.runs; ++i) {
        typed.push_back(TimeOne(receiver, text, [&] { keys.TypeBarcode(bytes, text.size(), 0, 0); }));
        pressed.push_back(TimeOne(receiver, text, [&] { keyPresses.TypeBarcode(bytes, text.size(), 0, 0); }));
        limit.push_back(TimeOne(receiver, text, [&] { SendAllAtOnce(text); }));
    }

    std::printf("Typing throughput into keyrecv.exe: %zu characters per run, %d runs each (medians)\n",
                options.chars, options.runs);
    PrintRow("TypeBarcode", typed);
    PrintRow("TypeBarcode, key presses", pressed);
    PrintRow("one SendInput (limit)", limit);
    std::vector<double> pressedRates;
    for (const Run& r : pressed) pressedRates.push_back(r.charsPerSecond);
    std::printf("  learning the layout's key presses (once per layout): %.1f ms, %zu characters\n", learnMs, keyed);
    std::vector<double> a, b, pairs;
    for (size_t i = 0; i < typed.size(); ++i) {
        a.push_back(typed[i].charsPerSecond);
        b.push_back(limit[i].charsPerSecond);
        pairs.push_back(typed[i].charsPerSecond / limit[i].charsPerSecond);
    }
    const double ratio = Median(a) / Median(b);
    std::printf("  ratio key presses / characters: %.2f; key presses / limit: %.2f\n",
                Median(pressedRates) / Median(a), Median(pressedRates) / Median(b));
    std::printf("  ratio TypeBarcode / limit: %.2f (target >= %.2f) %s\n", ratio, TargetRatio,
                ratio >= TargetRatio ? "met" : "NOT met");
    // Neighbouring runs share the machine's load of the moment.
    std::printf("  median ratio of neighbouring runs: %.2f\n", Median(pairs));
    const auto complete = [](const std::vector<Run>& runs) {
        return std::all_of(runs.begin(), runs.end(), [](const Run& r) { return r.complete; });
    };
    const bool allComplete = complete(typed) && complete(pressed) && complete(limit);
    if (!allComplete) std::printf("  some runs did not deliver every character in order\n");
    PrintPaceRows(receiver, std::max(options.runs / 3, 3));
    PrintProfileRow(receiver.Window());
    return allComplete ? 0 : 1;
}

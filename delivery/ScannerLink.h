// What the tray shows of the scanner link, and how the polling thread decides
// that a scanner is lost and found again. Plain C++, so the rules and the
// texts are tested natively.
//
// Threads: the polling thread writes LinkState (Link, PollingThread.cpp) as
// it polls and the typist notes each barcode typed; the user-interface thread
// reads it for the tray twice a second and writes Paused. The fields are
// lock-free atomics read and written whole; the batch being typed, which
// holds a window title, and the name of a program kept from barcodes are
// behind their own lock, held only to copy them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "sdk/VantuResults.h"

// Whether the user asked for an activation (a click) or the program made it
// (at start-up, or its retry): a batch waiting on the scanner is typed into
// whatever window is in front only after a click.
enum class ActivationCause { User, Program };

// A run of barcodes typed into one window, told once none wait any more.
struct TypedBatch {
    uint32_t count = 0;
    std::string title;  // the window's title as the typist saw it
};

// Batches of more than this many barcodes are told when they end.
inline constexpr uint32_t BatchWorthTelling = 10;

struct LinkState {
    std::atomic<uint32_t> PolledBy{0};    // the polling thread (its generation) on an open connection; 0: none
    std::atomic<bool> Lost{false};        // its scanner stopped answering; it keeps asking
    std::atomic<bool> Held{false};        // barcodes wait: a window of the program, or of one not allowed them, is in front
    std::atomic<int32_t> Waiting{-1};     // barcodes on the scanner, by the last answered count; -1: none yet
    std::atomic<uint32_t> Typed{0};       // barcodes typed this run
    std::atomic<bool> Paused{false};      // the user's Pause Typing: barcodes stay on the scanner
    std::atomic<int32_t> HeldAtStart{0};  // an activation nobody clicked found these waiting and paused

    // The typist: one more barcode typed whole into the window with this title.
    void NoteTyped(const std::string& title);
    // The polling thread: whether the program in front keeps barcodes on the
    // scanner, not being allowed to receive them, and its name.
    void NoteHeldFor(bool barred, const std::string& program);
    // The user-interface thread: the same, for the tray; nullopt for none.
    std::optional<std::string> HeldFor();
    // The polling thread: the scanner has none waiting; a batch worth
    // telling that ended is kept for TakeEndedBatch.
    void NoteNoneWaiting();
    // The user-interface thread: the batch that ended, once.
    std::optional<TypedBatch> TakeEndedBatch();

private:
    std::mutex batchMutex_;
    TypedBatch running_;
    std::optional<TypedBatch> ended_;
    std::optional<std::string> heldFor_;  // behind batchMutex_
};

// The program's one scanner link.
extern LinkState Link;

static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Tells from the count queries' results whether the scanner still answers.
// Three failed queries in a row make it lost (at the polling pace they fall
// within 0.3 s; a slow failing call makes them take longer, and still counts).
// A transfer in progress is an answer: the scanner is busy sending its batch.
class LinkWatch {
public:
    enum class Change { None, Lost, Found };

    static constexpr int FailuresToLose = 3;
    // While lost, the scanner is asked at most this often (120 times a minute).
    static constexpr uint32_t LostAskEveryMs = 500;

    Change OnCountResult(vantu::Result result) {
        if (result == 0 || result == vantu::TransferInProgress) {
            failures_ = 0;
            if (!lost_) return Change::None;
            lost_ = false;
            return Change::Found;
        }
        if (lost_ || ++failures_ < FailuresToLose) return Change::None;
        lost_ = true;
        return Change::Lost;
    }
    bool Lost() const { return lost_; }

private:
    int failures_ = 0;
    bool lost_ = false;
};

enum class TrayLook { Connected, Waiting, NotConnected, NoSdk };

// What the tray shows, read from LinkState and the settings at one moment.
struct TrayView {
    bool sdkLoaded = true;
    bool polled = false;
    bool lost = false;
    bool paused = false;
    bool retrying = false;   // a start-up activation failed and is being tried again
    int32_t waiting = 0;     // barcodes on the scanner; -1 before the first count
    bool held = false;       // barcodes wait because a window of the program is in front
    bool heldForBarred = false;  // ... or because the program in front may not receive barcodes:
    std::string heldFor;         // this one (empty when its name could not be read)
    uint32_t typed = 0;
    std::string place;       // "Com 3", "Bluetooth" or blank
    std::string sdkFile;     // the DLL's name, for the missing-DLL tip
};

TrayLook TrayLookFor(const TrayView& view);

// The tooltip: the program's name, then the state in words, at most 127
// bytes (the tray record's tip field holds 128 with its terminator).
std::string TrayTipText(const TrayView& view);

// Where the configured scanner is, from its stored list entry: "Com 3" for
// "Device ID: 12 on Com 3.", "Bluetooth" for a Bluetooth scanner, else blank.
std::string ScannerPlace(int activatedMode, const std::string& deviceInfo);

// "25 barcodes typed into Orders - Notepad".
std::string BatchBalloonText(const TypedBatch& batch);

// The balloon after an activation nobody clicked found barcodes waiting.
std::string WaitingBalloonText(int32_t waiting);

inline constexpr char ScannerLostText[] = "Scanner connection lost; trying again...";
inline constexpr char ScannerFoundAgainText[] = "Scanner connected again.";

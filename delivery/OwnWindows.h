// Keys and our own windows take turns. A key on its way to another program
// is routed by the system to whatever window is in front when it gets there:
// were one of our windows to come forward at that moment, an Enter meant for
// the user's spreadsheet would answer our "Confirm Exit". So a window of ours
// comes forward only between two keys, and no key leaves while one of ours
// is coming forward.
//
// A window the program itself brings forward (from the tray, its menu, a
// second start, Exit) never waits for a key on its way: the command asks
// first (TryAnnounceOwnWindow) and is put off and tried again if a key is
// on its way, since another program's keyboard hook may hold that key for
// seconds. Any other activation of our window (a click on it, another
// program's SetForegroundWindow) is only recorded by the hook, which never
// waits: the typist stops before its next key. Every key the typist sends
// carries its stamp (KeyStamp.h), so one that lands in our window all the
// same is taken out of that window's input, never acted on, and handed back
// to the typist, which types it again into the barcode's window.
//
// Threads: AnnounceOwnWindow and OwnWindowWatch run on the thread that owns
// our windows; the key turn is taken by the typist.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <optional>

#include "win/Scoped.h"

// Held by the typist from the decision that a key may go until it has been
// sent.
class KeyTurn {
public:
    KeyTurn() = default;
    ~KeyTurn() { Release(); }
    KeyTurn(const KeyTurn&) = delete;
    KeyTurn& operator=(const KeyTurn&) = delete;

    void Take();
    void Release();

private:
    std::unique_lock<std::mutex> lock_;
};

// A window of ours is about to come forward: waits for the key on its way,
// if any, then holds the keys that follow until one of our windows has been
// seen in front, or OwnWindowPatienceMs have passed (it did not come).
void AnnounceOwnWindow();
constexpr DWORD OwnWindowPatienceMs = 2000;

// For a window of ours the program itself brings forward: when no key is on
// its way, announces it and returns true. Otherwise returns false at once;
// the typist then lets our window go before its next key, if the caller
// asks again within OwnWindowWantedMs.
bool TryAnnounceOwnWindow();
constexpr DWORD OwnWindowWantedMs = 250;

// Announces, then brings our window to the front.
void BringOwnWindowForward(HWND window);

// Our windows are gone (the shutdown closed them): no announcement holds keys
// any longer.
void ForgetOwnWindowAnnouncement();

// Under the key turn: whether keys must still wait for a window of ours that
// was announced. `oursInFront`: a window of ours is in front now, which ends
// the wait (from then on the window in front decides).
bool OwnWindowComing(bool oursInFront);

// While one lives, activations of the calling thread's windows are not
// announced: for hiding our window that was in front, when no key can be on
// its way (none goes while ours is in front) and the keys that follow go
// to the window brought forward next.
class QuietActivations {
public:
    QuietActivations();
    ~QuietActivations();
    QuietActivations(const QuietActivations&) = delete;
    QuietActivations& operator=(const QuietActivations&) = delete;
};

// Announces every window of the calling thread just before it is activated,
// whatever activates it (a box, the sheet, a click), and takes every key of
// the typist's (KeyStamp.h) out of those windows' input before any of them
// acts on it, handing it back to the typist: thread-local hooks.
class OwnWindowWatch {
public:
    OwnWindowWatch();
    OwnWindowWatch(const OwnWindowWatch&) = delete;
    OwnWindowWatch& operator=(const OwnWindowWatch&) = delete;

private:
    win::UniqueHook activations_;
    win::UniqueHook messages_;
};

// The typist: the first unit of job `tag` that landed in a window of ours
// since it last asked, and was taken out there; it never reached the
// barcode's window. Nullopt when none did.
std::optional<uint16_t> TakeHandedBackKey(uint16_t tag);

// The typist, with a window of ours in front: sends a checkpoint event, which
// goes to that window behind any key of ours already on its way there, and
// waits up to ms for our window to take it; by then every such key has been
// handed back. False when it did not arrive in time.
bool AwaitHandBacks(uint16_t tag, DWORD ms);

// Our windows' side of the key turn (KeyTurn.h). A window the program
// itself brings forward (from the tray, its menu, a second start, Exit) asks
// first (TryAnnounceOwnWindow) and is put off and tried again if keys are on
// their way, since another program's keyboard hook may hold a key for
// seconds. A click on a window of ours that is not in front asks the same
// way: while keys are on their way the click is taken out, and the window
// comes forward once they have been read. Any other activation of our window
// (another program's SetForegroundWindow, a box) is only recorded by the
// hook, which never waits: the typist stops before its next key. Every key
// the typist sends carries its stamp (KeyStamp.h), so one that lands in our
// window all the same is taken out of that window's input, never acted on,
// and handed back to the typist, which types it again into the barcode's
// window.
//
// Threads: everything here but TakeHandedBackKey and AwaitHandBacks runs on
// the thread that owns our windows; those two are the typist's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "win/Scoped.h"

// For a window of ours the program itself brings forward: when no key is on
// its way, announces it and returns true. Otherwise returns false at once;
// the typist then lets our window go before its next key, if the caller
// asks again within OwnWindowWantedMs.
bool TryAnnounceOwnWindow();

// Brings our window to the front: at once when no key is on its way (the
// callers have mostly announced already), otherwise as soon as the keys have
// been read, as a put-off click does. Never waits.
void BringOwnWindowForward(HWND window);

// Our windows are gone (the shutdown closed them): no announcement holds keys
// any longer.
void ForgetOwnWindowAnnouncement();

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
// whatever activates it (a box, the sheet, a click), puts off a click that
// would activate one while keys are on their way, and takes every key of the
// typist's (KeyStamp.h) out of those windows' input before any of them acts
// on it, handing it back to the typist: thread-local hooks.
class OwnWindowWatch {
public:
    OwnWindowWatch();
    OwnWindowWatch(const OwnWindowWatch&) = delete;
    OwnWindowWatch& operator=(const OwnWindowWatch&) = delete;

private:
    win::UniqueHook activations_;
    win::UniqueHook clicks_;
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

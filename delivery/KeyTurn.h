// Keys and our own windows take turns. A key on its way to another program
// waits in that program's input until the program reads it; were one of our
// windows to come forward meanwhile, the key would be routed to ours (an
// Enter meant for the user's spreadsheet would answer our "Confirm Exit") or
// dropped (Wine drops what a window that lost the keyboard had not read).
//
// The turn is one small state under one lock, never held across a key, a
// wait or the disk:
//
//   idle               no key of ours is on its way: a window of ours may come;
//   keys on their way  the typist has sent keys its window has not yet been
//                      seen to read;
//   ours coming        a window of ours was announced, or is being activated:
//                      no key leaves until one of ours is in front, or
//                      OwnWindowPatienceMs have passed (it did not come).
//
// A window of ours that asks while keys are on their way is refused and
// marked wanted: the typist lets its window read what was sent and hands the
// turn over before its next key, and takes no new turn while the window is
// wanted (OwnWindowWantedMs: its timer asks again well within that). Nobody
// else waits for the typist, and the typist waits for nobody but its window.
#pragma once

#include <windows.h>

#include <mutex>

constexpr DWORD OwnWindowPatienceMs = 2000;
constexpr DWORD OwnWindowWantedMs = 250;

class KeyTurn {
public:
    // Our windows' thread. Idle: a window of ours is coming, true. Keys on
    // their way: the window is wanted, false; it asks again later.
    bool TryAnnounce();
    // An activation of ours nobody announced is under way (a program's
    // SetForegroundWindow, a box): recorded, never waited for.
    void NoteActivation();
    // Our windows are gone: no announcement holds keys any longer.
    void Forget();

    // The typist, with a window that may take keys in front: true when the
    // key may go, the turn then being the typist's (keys on their way) until
    // Release; false while a window of ours is wanted or coming.
    bool TakeForKey();
    // The typist, with a window of ours in front: from now on the window in
    // front decides, and an announcement has served its purpose.
    void OursInFront();
    // The typist: whether a window of ours waits for the turn it holds.
    bool OursWaiting();
    // The typist: every key sent has been read (or was given up on): idle.
    void Release();
    bool HeldByTypist();

private:
    bool WantedNow(DWORD now) const { return wantedAt_ != 0 && now - wantedAt_ < OwnWindowWantedMs; }
    bool ComingNow(DWORD now) const { return announcedAt_ != 0 && now - announcedAt_ < OwnWindowPatienceMs; }
    void AnnounceUnderLock(DWORD now);

    std::mutex lock_;
    bool keysOnTheirWay_ = false;
    DWORD announcedAt_ = 0;  // GetTickCount() | 1; 0: none
    DWORD wantedAt_ = 0;     // GetTickCount() | 1; 0: none
};

// The one turn between the typist and our windows.
KeyTurn& TheKeyTurn();

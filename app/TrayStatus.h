// The tray icon, its one owner: added, changed and removed only here. What
// it says: its look and tooltip, refreshed from the scanner
// link twice a second, and the balloons for what changed (a scanner lost or
// found again, a start-up that keeps trying, a missing SDK, barcodes that
// wait on the scanner after an activation nobody clicked). At most one
// balloon shows in 5 s; one that comes sooner waits, and a newer one replaces it.
//
// User-interface thread only.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "delivery/ScannerLink.h"

class TrayStatus {
public:
    static constexpr UINT RefreshEveryMs = 500;
    static constexpr DWORD BalloonGapMs = 5000;

    // Puts the icon in the notification area for owner, whose window gets
    // its mouse messages as TrayCallbackMessage; again after the taskbar was
    // made anew. FALSE when the shell did not take it.
    BOOL Add(HWND owner);
    // Takes the icon out of the notification area (the shutdown).
    void Remove();
    // Reads the link; tells the shell when the look or the tip changed, and
    // shows a balloon that is due.
    void Refresh();
    UINT IconId() const;
    const std::string& Tip() const { return tip_; }
    // A click on the balloon: true when it offered to resume typing.
    bool BalloonOffersResume() const { return shownOffersResume_; }

private:
    struct Balloon {
        std::string title;
        std::string text;
        DWORD flags;
        bool offersResume = false;
    };

    // A record for the shell naming our icon, with what `flags` say filled in.
    NOTIFYICONDATAA Record(UINT flags) const;
    TrayView Observe() const;
    void NoteChanges(const TrayView& view);
    void Queue(Balloon balloon);
    void ShowDueBalloon();

    HWND owner_ = nullptr;
    TrayLook look_ = TrayLook::NotConnected;
    std::string tip_ = "Brontel Vask";
    bool sent_ = false;
    TrayView last_;
    bool retryNoted_ = false;
    std::optional<Balloon> pending_;
    bool shownAny_ = false;
    DWORD shownAt_ = 0;
    bool shownOffersResume_ = false;
};

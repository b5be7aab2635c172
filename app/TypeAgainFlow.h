// "Type Again" of the Recent Barcodes window: the chosen barcodes go to the
// typist for the window that was in front as the tray menu opened, or, when
// that window may not take them, into the next window the user clicks. The
// window hides while the typist types and says what it typed in its status
// line. One flow per open window, owned by it; user-interface thread only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "delivery/RecentBarcodes.h"
#include "delivery/TypingJob.h"

class TypeAgainFlow {
public:
    // The dialog's timer that watches for the next window clicked: its
    // WM_TIMER goes to OnTimer.
    static constexpr UINT_PTR NextWindowTimer = 1;

    // Types `barcodes` (oldest first) into `target`, under the usual rules;
    // when it may not take them, says why and offers the next window clicked.
    void Start(HWND dialog, const std::vector<const RecentBarcode*>& barcodes, HWND target);

    // Whether the flow waits for the user to click a window.
    bool Waiting() const { return awaiting_.has_value(); }
    // Esc while it waits: nothing is typed.
    void Cancel(HWND dialog);
    void OnTimer(HWND dialog);

    // The typist's report (TypeAgainDoneMessage's wParam and lParam).
    static void OnDone(HWND dialog, WPARAM wParam, LPARAM lParam);

private:
    // The barcodes while the user is to click the window they go into.
    struct AwaitedWindow {
        std::vector<TypingJob> jobs;
        DWORD since = 0;
    };

    bool OfferTheNextWindow(HWND dialog, const std::string& refusal, std::vector<TypingJob>& jobs);
    void StopWaiting(HWND dialog, const std::string& status);

    std::optional<AwaitedWindow> awaiting_;
};

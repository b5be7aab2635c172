// What a new Connections page shows for the scanner's state as it finds it:
// the start-up outcome it has still to show (once), or the state as it is.
// The page applies the answer to its controls.
//
// Plain C++ so the decision is tested natively.
#pragma once

#include <optional>

#include "scanner/ConnectionState.h"

// The Activate button's captions: the button offers the one that is not
// the scanner's state.
inline constexpr char ActivateCaption[] = "Ac&tivate";
inline constexpr char DeactivateCaption[] = "Deac&tivate";

struct ConnectionsPageView {
    // What the scanner's State becomes; none: it is left alone (the retry
    // thread may write it meanwhile).
    std::optional<ConnectionState> newState;
    // The new lasting status text; none: it stays. The page shows the lasting
    // text either way.
    const char* lastingStatus = nullptr;
    bool clearStatusError = false;     // the status line turns black
    bool listOnlyStoredScanner = false;  // the list shows the first found entry alone; else every found one, reselected
    bool selectFirstEntry = false;
    const char* activateCaption = nullptr;  // none: as it is
    // Enabled or disabled; none: as the template or the refilled list left it.
    std::optional<bool> findEnabled;
    std::optional<bool> activateEnabled;
    std::optional<bool> listEnabled;
};

ConnectionsPageView ConnectionsPageViewFor(ConnectionState state, bool scannerConnected, bool scannersFound);

#include "pages/ConnectionsPageView.h"

#include "scanner/ScannerTexts.h"

namespace {

// An activated scanner: Deactivate offered, searching and choosing locked.
void ShowActivated(ConnectionsPageView& view) {
    view.activateCaption = DeactivateCaption;
    view.findEnabled = false;
    view.activateEnabled = true;
    view.listEnabled = false;
}

}  // namespace

ConnectionsPageView ConnectionsPageViewFor(ConnectionState state, bool scannerConnected, bool scannersFound) {
    ConnectionsPageView view;
    switch (state) {
    case ConnectionState::ActivatedAtStartup:
        view.newState = ConnectionState::OutcomeShown;
        view.lastingStatus = scannertext::ScannerConnected;
        view.selectFirstEntry = true;
        ShowActivated(view);
        break;
    case ConnectionState::ActivationAtStartupFailed:
        // The stored scanner, which the retry keeps trying, is the only entry.
        view.newState = ConnectionState::OutcomeShown;
        view.lastingStatus = scannertext::ScannerNotConnected;
        view.listOnlyStoredScanner = true;
        view.selectFirstEntry = true;
        view.findEnabled = true;
        view.activateEnabled = false;
        break;
    case ConnectionState::NothingPending:
        if (scannerConnected) {
            view.clearStatusError = true;
            ShowActivated(view);
        } else if (!scannersFound) {
            view.activateEnabled = false;  // nothing to activate before any search
        }
        break;
    case ConnectionState::OutcomeShown:
    case ConnectionState::ActivatingAtStartup:  // the page shows the outcome when it comes
        if (scannerConnected) ShowActivated(view);
        break;
    }
    return view;
}

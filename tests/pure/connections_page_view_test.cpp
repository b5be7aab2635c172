#include <gtest/gtest.h>

#include <string>

#include "pages/ConnectionsPageView.h"

namespace {

std::string Text(const char* text) { return text ? text : "<unchanged>"; }

void ExpectActivatedControls(const ConnectionsPageView& view) {
    EXPECT_EQ(Text(view.activateCaption), "Deac&tivate");
    EXPECT_EQ(view.findEnabled, false);
    EXPECT_EQ(view.activateEnabled, true);
    EXPECT_EQ(view.listEnabled, false);
}

}  // namespace

TEST(ConnectionsPageView, AStartUpActivationIsShownOnceWithTheScannerActivated) {
    for (bool found : {false, true}) {
        const ConnectionsPageView view = ConnectionsPageViewFor(ConnectionState::ActivatedAtStartup, true, found);
        EXPECT_EQ(view.newState, ConnectionState::OutcomeShown);
        EXPECT_EQ(Text(view.lastingStatus), "Scanner Connected");
        EXPECT_FALSE(view.listOnlyStoredScanner) << "every found scanner is listed";
        EXPECT_TRUE(view.selectFirstEntry);
        EXPECT_FALSE(view.clearStatusError);
        ExpectActivatedControls(view);
    }
}

TEST(ConnectionsPageView, AFailedStartUpActivationListsTheStoredScannerAndOffersASearch) {
    const ConnectionsPageView view = ConnectionsPageViewFor(ConnectionState::ActivationAtStartupFailed, false, false);
    EXPECT_EQ(view.newState, ConnectionState::OutcomeShown);
    EXPECT_EQ(Text(view.lastingStatus), "Scanner Not Connected");
    EXPECT_TRUE(view.listOnlyStoredScanner);
    EXPECT_TRUE(view.selectFirstEntry);
    EXPECT_EQ(view.activateCaption, nullptr);
    EXPECT_EQ(view.findEnabled, true);
    EXPECT_EQ(view.activateEnabled, false);
    EXPECT_EQ(view.listEnabled, std::nullopt);
}

// Once the outcome is shown (or there was none), the page shows the scanner
// as it is and leaves the state and the lasting text to their writers.
TEST(ConnectionsPageView, WithoutAnOutcomeToShowTheControlsFollowTheScanner) {
    for (ConnectionState state : {ConnectionState::NothingPending, ConnectionState::OutcomeShown}) {
        for (bool found : {false, true}) {
            const ConnectionsPageView connected = ConnectionsPageViewFor(state, true, found);
            EXPECT_EQ(connected.newState, std::nullopt);
            EXPECT_EQ(connected.lastingStatus, nullptr);
            EXPECT_FALSE(connected.listOnlyStoredScanner);
            EXPECT_FALSE(connected.selectFirstEntry);
            EXPECT_EQ(connected.clearStatusError, state == ConnectionState::NothingPending);
            ExpectActivatedControls(connected);

            const ConnectionsPageView idle = ConnectionsPageViewFor(state, false, found);
            EXPECT_EQ(idle.newState, std::nullopt);
            EXPECT_EQ(idle.lastingStatus, nullptr);
            EXPECT_FALSE(idle.clearStatusError);
            EXPECT_EQ(idle.activateCaption, nullptr);
            EXPECT_EQ(idle.findEnabled, std::nullopt);
            EXPECT_EQ(idle.listEnabled, std::nullopt);
            // Nothing to activate before any search, on a page with no outcome shown before.
            const bool locked = state == ConnectionState::NothingPending && !found;
            EXPECT_EQ(idle.activateEnabled, locked ? std::optional<bool>(false) : std::nullopt)
                << static_cast<int>(state) << " found " << found;
        }
    }
}

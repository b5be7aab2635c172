#include "app/ShellRules.h"

#include <gtest/gtest.h>

namespace {

TEST(StartPage, StartUpOutcomeWaitingOpensConnectionsAndKeepsTheAboutRequest) {
    for (ConnectionState state : {ConnectionState::ActivatedAtStartup, ConnectionState::ActivationAtStartupFailed}) {
        bool openAtAbout = true;
        EXPECT_EQ(shell::ChooseStartPage(1, state, openAtAbout, 4), 1) << static_cast<int>(state);
        EXPECT_TRUE(openAtAbout) << "the About request waits for the next sheet";
    }
}

TEST(StartPage, OutcomeIsIgnoredWithoutActivateOrWhenAlreadyShown) {
    bool openAtAbout = false;
    EXPECT_EQ(shell::ChooseStartPage(0, ConnectionState::ActivatedAtStartup, openAtAbout, 3), 3);
    EXPECT_EQ(shell::ChooseStartPage(1, ConnectionState::OutcomeShown, openAtAbout, 3), 3);
    EXPECT_EQ(shell::ChooseStartPage(1, ConnectionState::NothingPending, openAtAbout, 4), 4);
}

TEST(StartPage, AboutRequestIsUsedOnce) {
    bool openAtAbout = true;
    EXPECT_EQ(shell::ChooseStartPage(0, ConnectionState::NothingPending, openAtAbout, 4), 0);
    EXPECT_FALSE(openAtAbout);
    EXPECT_EQ(shell::ChooseStartPage(0, ConnectionState::NothingPending, openAtAbout, 4), 4);
}

TEST(SheetClosed, ClosedAfterSavingClearsCancelledOnlyWhenCancelled) {
    shell::SheetClosing exit = shell::OnSheetClosed(1, 0, false);
    EXPECT_TRUE(exit.clearOpen);
    EXPECT_FALSE(exit.clearCancelled);

    shell::SheetClosing closeAfterSave = shell::OnSheetClosed(1, 1, false);
    EXPECT_TRUE(closeAfterSave.clearOpen);
    EXPECT_TRUE(closeAfterSave.clearCancelled);
}

TEST(SheetClosed, CloseWithoutSavingOnlyClearsTheFlags) {
    for (intptr_t result : {0, 2}) {
        shell::SheetClosing closing = shell::OnSheetClosed(result, 1, false);
        EXPECT_TRUE(closing.clearOpen);
        EXPECT_TRUE(closing.clearCancelled);
    }
}

TEST(SheetClosed, SheetThatCouldNotBeCreatedFreesTheTray) {
    shell::SheetClosing failed = shell::OnSheetClosed(-1, 0, false);
    EXPECT_TRUE(failed.clearOpen);
}

TEST(SheetClosed, ReplacedSheetChangesNothing) {
    for (intptr_t result : {-1, 0, 1, 2}) {
        shell::SheetClosing closing = shell::OnSheetClosed(result, 0, true);
        EXPECT_FALSE(closing.clearOpen);
        EXPECT_FALSE(closing.clearCancelled);
    }
}

TEST(StoredScanner, BlankTextsMeanNoScanner) {
    EXPECT_FALSE(shell::HasStoredScanner(""));
    EXPECT_FALSE(shell::HasStoredScanner(" "));
    EXPECT_FALSE(shell::HasStoredScanner(" \t\r\n "));
    EXPECT_TRUE(shell::HasStoredScanner(" Device ID: 7 on Com  3. "));
    EXPECT_TRUE(shell::HasStoredScanner("x"));
}

}  // namespace

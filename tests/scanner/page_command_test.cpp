// A page command that throws on the scanner worker still ends: its end is
// reported (Failed) after the count of running commands went down, so the
// page that waits for it takes input again, and the worker goes on with the
// next command.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "scanner/PageCommand.h"
#include "tests/support/Process.h"

namespace {

std::atomic<int> Reports{0};
std::atomic<CommandEnd> LastEnd{CommandEnd::None};
std::atomic<bool> RunningWhenReported{true};

void Report(CommandEnd end) {
    RunningWhenReported = PageCommandRuns();
    LastEnd = end;
    ++Reports;
}

TEST(PageCommand, OneThatThrowsStillEndsAndTheNextRuns) {
    ASSERT_TRUE(PostPageCommand([]() -> CommandEnd { throw std::runtime_error("the SDK call failed"); }, Report));
    ASSERT_TRUE(testsupport::WaitUntil([] { return Reports.load() == 1; }, 10000)) << "no end reported";
    EXPECT_EQ(LastEnd.load(), CommandEnd::Failed);
    EXPECT_FALSE(RunningWhenReported.load()) << "the page would still refuse clicks as its end arrives";
    EXPECT_FALSE(PageCommandRuns());

    ASSERT_TRUE(PostPageCommand([] { return CommandEnd::Searched; }, Report));
    ASSERT_TRUE(testsupport::WaitUntil([] { return Reports.load() == 2; }, 10000)) << "the worker stopped";
    EXPECT_EQ(LastEnd.load(), CommandEnd::Searched);
}

}  // namespace

#include <gtest/gtest.h>

#include "app/CommandLine.h"

using cmdline::Command;
using cmdline::Parse;

TEST(CommandLine, OneCommandInAnyCaseWithOrWithoutQuietAndNothingElse) {
    EXPECT_EQ(Parse({}).command, Command::None);
    EXPECT_EQ(Parse({"/PAUSE"}).command, Command::Pause);
    EXPECT_EQ(Parse({"-resume"}).command, Command::Resume);
    const cmdline::Parsed quietExit = Parse({"/quiet", "/Exit"});
    EXPECT_EQ(quietExit.command, Command::Exit);
    EXPECT_TRUE(quietExit.quiet);
    EXPECT_TRUE(quietExit.error.empty());
    EXPECT_EQ(Parse({"/status", "/status"}).command, Command::Status);
    EXPECT_TRUE(Parse({"/stop", "/QUIET"}).quiet) << "wherever it stands";

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"/stop"}, {"pause"}, {"/"}, {"/pause", "/exit"}, {"/status", "C:\\file.txt"}}) {
        EXPECT_FALSE(Parse(bad).error.empty()) << bad.back();
    }
    // The box names what was wrong before the usage.
    EXPECT_EQ(cmdline::BadArgumentsText(Parse({"/stop"}).error).rfind("Unknown argument: /stop\n", 0), 0u);
}

#include "config/Profile.h"

#include <gtest/gtest.h>

namespace {

Profile Named(const char* name, const char* program, const char* title = "") {
    Profile profile;
    profile.name = name;
    profile.program = program;
    profile.titleContains = title;
    return profile;
}

}  // namespace

// A profile names its program by file name (a path, or another case, counts
// the same); one with a title text wins where the title contains it (ASCII
// in either case), else the program's profile without a title text; no
// program named, or no program read, is the default.
TEST(ChooseProfile, TheProgramsProfileWithAMatchingTitleFirst) {
    const std::vector<Profile> profiles = {Named("Any sheet", "C:\\Office\\EXCEL.EXE"),
                                           Named("Budget", "excel.exe", "Budget"), Named("Orders", "orders.exe")};
    const auto chosen = [&](const char* program, const char* title) {
        const Profile* profile = ChooseProfile(profiles, program, title);
        return profile ? profile->name : std::string("default");
    };
    EXPECT_EQ(chosen("excel.exe", "Book1 - Excel"), "Any sheet");
    EXPECT_EQ(chosen("Excel.exe", "BUDGET 2027.xlsx - Excel"), "Budget");
    EXPECT_EQ(chosen("ORDERS.EXE", "Orders"), "Orders");
    EXPECT_EQ(chosen("notepad.exe", "Budget"), "default");
    EXPECT_EQ(chosen("", "Budget"), "default");
    EXPECT_EQ(ChooseProfile({Named("Only titled", "excel.exe", "Budget")}, "excel.exe", "Book1"), nullptr);
}

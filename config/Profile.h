// A profile: how barcodes are typed into the windows of one program (and,
// optionally, only those whose title contains a text). It holds what the
// default profile (the Format page, the barcode rules, the Options page's
// pace and key presses) holds for every other program. Plain C++.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/FormatSettings.h"
#include "config/TypingPace.h"

struct Profile {
    std::string name;           // as the user named it
    std::string program;        // image file name ("excel.exe"); a path counts by its file name
    std::string titleContains;  // UTF-8; empty: every window of the program
    FormatSettings format;
    std::string rules;          // the barcode rules' text, UTF-8, LF between lines
    bool keyPresses = false;    // characters as key presses of the layout
    TypingPace pace;
};

// The profile for a window of `program` (its image file name) titled
// `title` (UTF-8): of the profiles naming the program (case does not
// matter), the first whose title text the title contains (ASCII letters in
// either case), else the first without a title text; nullptr: the default.
const Profile* ChooseProfile(const std::vector<Profile>& profiles, std::string_view program, std::string_view title);

// The user's format settings: how each barcode is shaped before it is typed.
// They are the first seven members of the settings record (SettingsRecord.h);
// the polling thread takes them as one copy for each barcode. Members carry
// the names of their elements in the settings file.
#pragma once

#include <string>

struct FormatSettings {
    int strip = 0;                              // leading bytes cut from each barcode
    std::string PrefixChar = "None";            // token typed before the barcode
    int PrefixCharCtrl = 0;
    std::string SuffixFirstChar = "<ENTER>";    // first token typed after it
    int SuffixFirstCharCtrl = 0;
    std::string SuffixSecondChar = "None";      // second token typed after it
    int SuffixSecondCharCtrl = 0;

    bool operator==(const FormatSettings&) const = default;
};

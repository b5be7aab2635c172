#include <gtest/gtest.h>

#include <string>

#include "config/SettingsBytes.h"

namespace {
std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}
}  // namespace

TEST(SettingsBytes, OrdinarySettingsFileIsAcceptable) {
    EXPECT_EQ(CheckSettingsBytes("<?xml version='1.0'?>\n<!--c-->\n<Zantrovix><Admin/></Zantrovix>\n"),
              SettingsBytesVerdict::Acceptable);
    EXPECT_EQ(CheckSettingsBytes(""), SettingsBytesVerdict::Acceptable);
    EXPECT_EQ(CheckSettingsBytes("<DeviceInfo>&lt;!DOCTYPE</DeviceInfo>"), SettingsBytesVerdict::Acceptable);
    EXPECT_EQ(CheckSettingsBytes("<!DOCTYP"), SettingsBytesVerdict::Acceptable);
}

TEST(SettingsBytes, DocumentTypeIsRefusedInAnyCaseAndEncoding) {
    EXPECT_EQ(CheckSettingsBytes("<?xml version='1.0'?><!DOCTYPE a [<!ENTITY x 'y'>]><a/>"),
              SettingsBytesVerdict::HasDocumentType);
    EXPECT_EQ(CheckSettingsBytes("<!doctype a>"), SettingsBytesVerdict::HasDocumentType);
    EXPECT_EQ(CheckSettingsBytes("<<!DOCTYPE a>"), SettingsBytesVerdict::HasDocumentType);
    EXPECT_EQ(CheckSettingsBytes("<!DOC<!DOCTYPE a>"), SettingsBytesVerdict::HasDocumentType);
    EXPECT_EQ(CheckSettingsBytes(Utf16Le("<?xml version='1.0'?><!DOCTYPE a><a/>")),
              SettingsBytesVerdict::HasDocumentType);
    EXPECT_EQ(CheckSettingsBytes(Utf16Le("<a/>")), SettingsBytesVerdict::Acceptable);
}

TEST(SettingsBytes, FilesBeyondTheBoundAreRefused) {
    std::string big(MaxSettingsFileBytes, ' ');
    EXPECT_EQ(CheckSettingsBytes(big), SettingsBytesVerdict::Acceptable);
    big += ' ';
    EXPECT_EQ(CheckSettingsBytes(big), SettingsBytesVerdict::TooLarge);
}

TEST(SettingsBytes, ElementsNestedBeyondTheBoundAreRefused) {
    auto nested = [](int depth) {  // the empty <x/> at the bottom counts too
        std::string open, close;
        for (int i = 0; i < depth - 1; ++i) {
            open += "<e a='/>'><x/>";
            close = "</e>" + close;
        }
        return open + close;
    };
    EXPECT_EQ(CheckSettingsBytes(nested(MaxSettingsElementDepth)), SettingsBytesVerdict::Acceptable);
    EXPECT_EQ(CheckSettingsBytes(nested(MaxSettingsElementDepth + 1)), SettingsBytesVerdict::TooDeep);
    EXPECT_EQ(CheckSettingsBytes(Utf16Le(nested(MaxSettingsElementDepth + 1))), SettingsBytesVerdict::TooDeep);
    // Thousands of sections side by side are not deep.
    std::string wide = "<Zantrovix>";
    for (int i = 0; i < 5000; ++i) wide += "<u" + std::to_string(i) + "><strip>1</strip></u" + std::to_string(i) + ">";
    EXPECT_EQ(CheckSettingsBytes(wide + "</Zantrovix>"), SettingsBytesVerdict::Acceptable);
}

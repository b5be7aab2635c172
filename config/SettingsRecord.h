// The settings record as the settings file holds it: the 19 setting elements
// of every section, in the order in which they are written and read, and the
// text form of each value.
//
// Plain C++: no windows.h. Texts are narrow (ANSI code page); the conversion
// to and from the document's UTF-16 happens at the document.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/FormatSettings.h"

// The transport values of `mode` and `ActivatedScannerMode`.
constexpr int SerialMode = 4;
constexpr int BluetoothMode = 9;
// The serial ports searched until the user picks others.
constexpr int DefaultFromPort = 1;
constexpr int DefaultToPort = 16;

// The settings that the settings file keeps, as one value: every persisted
// setting but RunAtStartup, which the registry's Run value stands for. The
// format settings are its first seven members (strip ... SuffixSecondCharCtrl),
// so the polling thread can take them alone.
struct SettingsRecord : FormatSettings {
    // Declared so that SettingsRecord{} is the defaults, not an aggregate
    // initialisation of the base (which GCC misreads as uninitialised).
    SettingsRecord() = default;

    int Activate = 0;
    int Minimize = 0;
    std::string Name = " ";
    std::string Company = " ";
    std::string PathInfo;
    std::string DeviceInfo = " ";
    int mode = SerialMode;
    int ActivatedScannerMode = 0;
    int FromPort = DefaultFromPort;
    int ToPort = DefaultToPort;
    int LeftPosition = 250;
    int TopPosition = 200;

    bool operator==(const SettingsRecord&) const = default;
};

// One setting element: its name and the member it holds, either an integer
// or a text (the other pointer is null).
struct SettingsElement {
    const char* name;
    int SettingsRecord::*integer;
    std::string SettingsRecord::*text;
};

inline constexpr size_t SettingsElementCount = 19;

// The elements in file order.
const std::array<SettingsElement, SettingsElementCount>& SettingsElements();

// Decimal text of a 32-bit value: minus sign when negative, no leading zeros.
std::string FormatInteger(int32_t value);

// A 32-bit signed decimal integer, optionally signed, with white space
// (blank, tab, line breaks) around it; nothing else. Empty, not a number or
// out of range: no value.
std::optional<int32_t> ParseInteger(std::string_view text);

// The element's value as the text that goes into the document.
std::string ElementText(const SettingsRecord& record, const SettingsElement& element);

// Takes an element's text into the record. A text element takes it whole; an
// integer element takes it only when it parses, and otherwise keeps its
// current value, as for an element that is missing.
void TakeElementText(SettingsRecord& record, const SettingsElement& element, std::string_view text);

// The record once the stored values arrive late (the section could not be
// read when the run began with startedWith): every member that the user
// changed since (current differs from startedWith) keeps the user's value,
// every other member takes the stored one.
SettingsRecord KeepUserChanges(const SettingsRecord& startedWith, const SettingsRecord& current,
                               const SettingsRecord& stored);

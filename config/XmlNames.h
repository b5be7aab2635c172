// Element names for users' sections of the settings file.
//
// A user's section is named after the logon name, and the same name goes into
// the selection pattern that finds it. A logon name may hold characters that
// no element name may hold (a blank, as in "Ann Lee"; a leading digit; a
// colon, which would make it a prefixed name), and a name may equal one of the
// document's own element names, which a pattern "//name" would find first
// (also "Admin", the administrators' section, for a standard user). Such
// names are encoded: each offending UTF-16 unit becomes _xHHHH_ (its hex
// code), and in an encoded name an underscore that starts "_x" is itself
// written _x005F_, so the encoding can be undone. A valid name that holds an
// escape (a logon name "_x0020_") is encoded as well, or it would share the
// section of the name the escape stands for (" "). Every other name is kept
// exactly as it is, so the sections of existing files are still found.
//
// Plain C++: no windows.h. Names are UTF-16, as the document holds them.
#pragma once

#include <string>
#include <string_view>

namespace settingsnames {

// True when text is a non-empty XML 1.0 (fifth edition) name without a colon.
bool IsValidElementName(std::u16string_view text);

// True for the names that a user's section may not take: the root element,
// the 19 setting elements (names the document uses at other levels) and
// "Admin", the administrators' section, which a standard user of that logon
// name would otherwise read and overwrite.
bool IsReservedName(std::u16string_view text);

// The element name of a user's section for this logon name; empty for an
// empty logon name (no section can be named then).
std::u16string EncodeSectionName(std::u16string_view logonName);

// The logon name that EncodeSectionName turned into sectionName.
std::u16string DecodeSectionName(std::u16string_view sectionName);

// "//" + name: the pattern that selects the first element of that name.
std::u16string SectionPattern(std::u16string_view sectionName);

}  // namespace settingsnames

namespace settingsnames {

// The text without the characters that an XML 1.0 document cannot hold at
// all (control characters other than tab, line feed and carriage return,
// U+FFFE, U+FFFF, unpaired surrogates): a file holding one would not load
// again.
std::u16string WithoutForbiddenCharacters(std::u16string_view text);

}  // namespace settingsnames

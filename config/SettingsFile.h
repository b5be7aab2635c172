// The settings file "ConfigSettings.xml": the document that holds one section
// for administrators (Admin) and one for every other user who has saved, and
// the operations that create it, write the record into it and read it back.
//
// Every operation that makes a document initialises COM for the calling
// thread (single-threaded apartment) for its own duration; no document
// outlives the operation. Only the user-interface thread calls these.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <msxml2.h>

#include <string>

#include "config/Identity.h"
#include "config/SettingsRecord.h"
#include "win/Scoped.h"

inline constexpr char SettingsFileName[] = "ConfigSettings.xml";
// Where a settings file that no longer loads is kept before it is replaced.
inline constexpr char BadSettingsFileName[] = "ConfigSettings.xml.bad";

// A new MSXML 3.0 document: synchronous, no validation, no external
// resources, white space preserved, XPath selections. Empty when the
// component cannot be created.
win::ComPtr<IXMLDOMDocument> SettingsDocument();

// Appends a text node holding whitespace as the last child of node.
void AddWhitespace(IXMLDOMDocument* document, const wchar_t* whitespace, IXMLDOMNode* node);

// Writes a complete new file from record: declaration, comment, root and the
// calling user's section. Replaces any file of that name.
void CreateSettingsFile(const SettingsRecord& record);

// Loads the file and writes record into the calling user's section (created
// for a user who has none yet), then saves it.
void WriteSettingsFile(const SettingsRecord& record);

// Writes record into the existing elements of the Admin section and saves.
void UpdateAdminSection(IXMLDOMDocument* document, const SettingsRecord& record);

// Writes record into the existing elements of the section named sectionName
// (an encoded name, see XmlNames.h), appending the section after the last one
// when it is missing, and saves.
void UpdateUserSection(IXMLDOMDocument* document, const std::wstring& sectionName, const SettingsRecord& record);

// Read the elements of one section into record; missing elements keep their values.
void ReadAdminSection(IXMLDOMDocument* document, SettingsRecord& record);
void ReadUserSection(IXMLDOMDocument* document, const std::wstring& sectionName, SettingsRecord& record);

// One diagnostic line (at most 1023 characters) to the debugger and stdout.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- pieces shared with the location and load/save code ----

enum class SettingsLoad {
    Loaded,
    ComponentMissing,  // no document could be created; nothing was read
    Missing,           // there is no settings file
    Unreadable,        // the file exists but cannot be read now (locked, no access)
    Malformed,         // the file was read but is not a document the program accepts
};

// Loads "ConfigSettings.xml" into document. The bytes are read once (shared
// with other readers and writers), checked (size, no document type) and then
// parsed from memory.
SettingsLoad LoadSettingsDocument(IXMLDOMDocument* document);

// Copies the settings file to "ConfigSettings.xml.bad", replacing an older
// copy; false when the copy could not be made.
bool KeepBadSettingsCopy();

// The calling user's section name: the logon name, encoded where it is not
// an element name of its own; empty when there is no logon name.
std::wstring UserSectionName(const std::string& logonName);

// "//" + sectionName: the pattern that finds a user's section.
std::wstring UserSectionPattern(const std::wstring& sectionName);

// A found node of the document, or empty.
win::ComPtr<IXMLDOMNode> SelectNode(IXMLDOMDocument* document, const std::wstring& pattern);

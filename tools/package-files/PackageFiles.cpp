// vask-package-files.exe: what the installer package takes from the program
// itself (tools/package.sh).
//   vask-package-files PROGRAM FOLDER [SETTINGS]
//     - prints the product version of PROGRAM's version record as a.b.c.d;
//     - writes FOLDER\ConfigSettings.xml: without SETTINGS, the file that an
//       administrator's first save of the default settings writes, made by
//       the program's own code; with SETTINGS, that administrator's prepared
//       file, byte for byte, after the program's own load has read it and
//       found an Admin section with the 19 setting elements in order.
//   vask-package-files --file-versions FILE...
//     - prints for each file "<file version> <language>" from its version
//       record (the File table's Version and Language), or an empty line.
// Exit code 0 when everything is done; 1 otherwise, with the reason on
// standard error (for instance when the user is no administrator: the file
// would then hold a user's section, not Admin).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/Identity.h"
#include "config/SettingsBytes.h"
#include "config/SettingsFile.h"
#include "win/Scoped.h"

namespace {

struct VersionRecord {
    std::vector<unsigned char> block;
    VS_FIXEDFILEINFO* fixed = nullptr;
};

VersionRecord ReadVersionRecord(const char* file) {
    VersionRecord record;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(file, &ignored);
    if (size == 0) return record;
    record.block.resize(size);
    UINT length = 0;
    if (!::GetFileVersionInfoA(file, 0, size, record.block.data()) ||
        !::VerQueryValueA(record.block.data(), "\\", reinterpret_cast<void**>(&record.fixed), &length) ||
        length < sizeof *record.fixed)
        record.fixed = nullptr;
    return record;
}

bool PrintProductVersion(const char* program) {
    const VersionRecord record = ReadVersionRecord(program);
    if (!record.fixed) return false;
    const VS_FIXEDFILEINFO& fixed = *record.fixed;
    std::printf("%u.%u.%u.%u\n", HIWORD(fixed.dwProductVersionMS), LOWORD(fixed.dwProductVersionMS),
                HIWORD(fixed.dwProductVersionLS), LOWORD(fixed.dwProductVersionLS));
    return true;
}

// The file version and the language of the record's first translation.
void PrintFileVersion(const char* file) {
    VersionRecord record = ReadVersionRecord(file);
    if (!record.fixed) {
        std::printf("\n");
        return;
    }
    const VS_FIXEDFILEINFO& fixed = *record.fixed;
    WORD* translation = nullptr;
    UINT length = 0;
    const unsigned language =
        ::VerQueryValueA(record.block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                         &length) && length >= 2 * sizeof(WORD)
            ? translation[0]
            : 0;
    std::printf("%u.%u.%u.%u %u\n", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
                HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS), language);
}

// The record holds the constructor's defaults: nothing has been loaded.
bool WriteDefaultAdminSettings() {
    if (!IsAdministrator()) {
        std::fprintf(stderr, "vask-package-files: run as an administrator\n");
        return false;
    }
    ::DeleteFileA(SettingsFileName);
    CreateSettingsFile(SettingsRecord{});  // the defaults
    return ::GetFileAttributesA(SettingsFileName) != INVALID_FILE_ATTRIBUTES;
}

std::string NodeName(IXMLDOMNode* node) {
    win::Bstr name;
    if (FAILED(node->get_nodeName(name.put())) || !name.get()) return {};
    std::wstring wide(name.get(), ::SysStringLen(name.get()));
    return std::string(wide.begin(), wide.end());
}

// Why the settings file in the current folder is no file to ship, or "".
std::string PreparedSettingsFault() {
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    if (!document) return "the XML component cannot be created";
    if (LoadSettingsDocument(document.get()) != SettingsLoad::Loaded) {
        win::UniqueFile file(::CreateFileA(SettingsFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        std::string bytes(MaxSettingsFileBytes + 1, '\0');
        DWORD read = 0;
        if (file) (void)::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        switch (CheckSettingsBytes(bytes)) {
        case SettingsBytesVerdict::HasDocumentType: return "it holds a document type declaration (<!DOCTYPE)";
        case SettingsBytesVerdict::TooLarge: return "it is larger than any settings file";
        case SettingsBytesVerdict::TooDeep: return "its elements nest deeper than a settings file's";
        case SettingsBytesVerdict::Acceptable: break;
        }
        return "it is not well-formed XML";
    }
    win::ComPtr<IXMLDOMNode> admin = SelectNode(document.get(), L"//Admin");
    if (!admin) return "it has no Admin section";
    std::vector<std::string> names;
    win::ComPtr<IXMLDOMNode> child;
    (void)admin->get_firstChild(child.put());
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) names.push_back(NodeName(child.get()));
        win::ComPtr<IXMLDOMNode> next;
        (void)child->get_nextSibling(next.put());
        child = std::move(next);
    }
    const auto& expected = SettingsElements();
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i >= names.size()) return std::string("its Admin section lacks <") + expected[i].name + ">";
        if (names[i] != expected[i].name)
            return "its Admin section holds <" + names[i] + "> where <" + expected[i].name + "> belongs (element " +
                   std::to_string(i + 1) + " of " + std::to_string(expected.size()) + ")";
    }
    if (names.size() > expected.size()) return "its Admin section holds <" + names[expected.size()] + "> after <TopPosition>";
    return {};
}

bool TakePreparedSettings(const char* prepared) {
    if (!::CopyFileA(prepared, SettingsFileName, FALSE)) {
        std::fprintf(stderr, "vask-package-files: cannot read %s (error %lu)\n", prepared, ::GetLastError());
        return false;
    }
    const std::string fault = PreparedSettingsFault();
    if (fault.empty()) return true;
    std::fprintf(stderr, "vask-package-files: %s is no settings file to ship: %s\n", prepared, fault.c_str());
    ::DeleteFileA(SettingsFileName);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--file-versions") {
        for (int i = 2; i < argc; ++i) PrintFileVersion(argv[i]);
        return 0;
    }
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: vask-package-files PROGRAM FOLDER [SETTINGS] | --file-versions FILE...\n");
        return 2;
    }
    // The prepared file's name is taken before the folder changes.
    char prepared[MAX_PATH] = {};
    if (argc == 4 && !::GetFullPathNameA(argv[3], MAX_PATH, prepared, nullptr)) return 1;
    if (!PrintProductVersion(argv[1]) || !::SetCurrentDirectoryA(argv[2])) return 1;
    return (argc == 4 ? TakePreparedSettings(prepared) : WriteDefaultAdminSettings()) ? 0 : 1;
}

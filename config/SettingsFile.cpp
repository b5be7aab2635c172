#include "config/SettingsFile.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>

#include "config/SettingsBytes.h"
#include "config/SettingsSection.h"
#include "config/XmlNames.h"
#include "win/EventLog.h"
#include "win/ProgramFile.h"
#include "win/WinText.h"

namespace {

// MSXML 3.0 is named by its own GUIDs; GCC has no __uuidof.
constexpr CLSID ClsidDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID IidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID IidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

constexpr wchar_t NewlineTab[] = L"\n\t";
constexpr wchar_t RootName[] = L"Zantrovix";
constexpr wchar_t AdminSectionName[] = L"Admin";

// ---- text between the record (ANSI code page) and the document (UTF-16) ----

std::wstring ToDocumentText(const std::string& text) { return win::AnsiToWide(text); }
std::string FromDocumentText(const std::wstring& text) { return win::WideToAnsi(text); }

std::u16string AsU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring AsWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Whole text, also with NUL characters inside.
void AssignBstr(win::Bstr& b, const std::wstring& text) {
    *b.put() = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring NodeText(IXMLDOMNode* node) {
    win::Bstr text;
    if (FAILED(node->get_text(text.put())) || !text.get()) return {};
    return std::wstring(text.get(), ::SysStringLen(text.get()));
}

void SetNodeText(IXMLDOMNode* node, const std::string& value) {
    std::wstring text = AsWide(settingsnames::WithoutForbiddenCharacters(AsU16(ToDocumentText(value))));
    win::Bstr b;
    AssignBstr(b, text);
    (void)node->put_text(b.get());
}

// ---- building and saving ----

HRESULT Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
    win::ComPtr<IXMLDOMNode> added;
    return parent->appendChild(child, added.put());
}

win::ComPtr<IXMLDOMElement> NewElement(IXMLDOMDocument* document, const std::wstring& name) {
    win::ComPtr<IXMLDOMElement> element;
    win::Bstr b;
    AssignBstr(b, name);
    if (FAILED(document->createElement(b.get(), element.put()))) element.reset();
    return element;
}

// The file is always written as UTF-8, but Wine's MSXML keeps a loaded
// declaration's encoding as it is: a file declared UTF-16 would no longer
// load after a save, and one declared ISO-8859-1 would read its letters
// beyond ASCII wrongly. Such a declaration is replaced by one that names no
// encoding (as the program writes it); any other is left alone.
void DeclareWithoutEncoding(IXMLDOMDocument* document) {
    win::ComPtr<IXMLDOMNode> first;
    DOMNodeType type = NODE_INVALID;
    if (FAILED(document->get_firstChild(first.put())) || !first || FAILED(first->get_nodeType(&type)) ||
        type != NODE_PROCESSING_INSTRUCTION)
        return;
    win::Bstr name;
    if (FAILED(first->get_nodeName(name.put())) || !name.get() || std::wstring(name.get()) != L"xml") return;
    VARIANT data;
    ::VariantInit(&data);
    const bool namesEncoding = SUCCEEDED(first->get_nodeValue(&data)) && data.vt == VT_BSTR && data.bstrVal &&
                               std::wstring(data.bstrVal, ::SysStringLen(data.bstrVal)).find(L"encoding") !=
                                   std::wstring::npos;
    ::VariantClear(&data);
    if (!namesEncoding) return;
    win::ComPtr<IXMLDOMProcessingInstruction> replacement;
    win::Bstr target(L"xml"), version(L"version=\"1.0\"");
    if (FAILED(document->createProcessingInstruction(target.get(), version.get(), replacement.put()))) return;
    win::ComPtr<IXMLDOMNode> old;
    (void)document->replaceChild(replacement.get(), first.get(), old.put());
}

void SaveDocument(IXMLDOMDocument* document) {
    DeclareWithoutEncoding(document);
    const win::BstrVariant target(win::AnsiToWide(SettingsFileName).c_str());
    // A save that fails (folder not writable, file read-only or locked) is not
    // reported: the record in memory stays as it is.
    (void)document->save(target.get());
}

// newline-tab, then every setting element followed by newline-tab.
win::ComPtr<IXMLDOMDocumentFragment> SettingsFragment(IXMLDOMDocument* document, const SettingsRecord& record) {
    win::ComPtr<IXMLDOMDocumentFragment> fragment;
    if (FAILED(document->createDocumentFragment(fragment.put()))) return {};
    AddWhitespace(document, NewlineTab, fragment.get());
    for (const SettingsElement& setting : SettingsElements()) {
        win::ComPtr<IXMLDOMElement> element = NewElement(document, ToDocumentText(setting.name));
        if (!element) return {};
        SetNodeText(element.get(), ElementText(record, setting));
        (void)Append(fragment.get(), element.get());
        AddWhitespace(document, NewlineTab, fragment.get());
    }
    return fragment;
}

win::ComPtr<IXMLDOMElement> NewSection(IXMLDOMDocument* document, const std::wstring& name, const SettingsRecord& record) {
    win::ComPtr<IXMLDOMElement> section = NewElement(document, name);
    if (!section) return {};
    win::ComPtr<IXMLDOMDocumentFragment> fragment = SettingsFragment(document, record);
    if (!fragment) return {};
    (void)Append(section.get(), fragment.get());
    return section;
}

bool AppendPrologue(IXMLDOMDocument* document) {
    win::ComPtr<IXMLDOMProcessingInstruction> declaration;
    win::Bstr target(L"xml"), data(L"version='1.0'");
    if (FAILED(document->createProcessingInstruction(target.get(), data.get(), declaration.put()))) return false;
    win::ComPtr<IXMLDOMComment> comment;
    win::Bstr commentText(L"Configuration Settings created using XML DOM object.");
    if (FAILED(document->createComment(commentText.get(), comment.put()))) return false;
    return SUCCEEDED(Append(document, declaration.get())) && SUCCEEDED(Append(document, comment.get()));
}

win::ComPtr<IXMLDOMElement> NewRoot(IXMLDOMDocument* document) {
    win::ComPtr<IXMLDOMElement> root = NewElement(document, RootName);
    win::ComPtr<IXMLDOMAttribute> created;
    win::Bstr attributeName(L"created");
    if (!root || FAILED(document->createAttribute(attributeName.get(), created.put()))) return {};
    const win::BstrVariant value(L"using dom");
    HRESULT hr = created->put_value(value.get());
    win::ComPtr<IXMLDOMAttribute> replaced;
    if (FAILED(hr) || FAILED(root->setAttributeNode(created.get(), replaced.put()))) return {};
    return root;
}

// ---- reading and updating one section ----

void ReadSection(IXMLDOMDocument* document, const std::wstring& sectionPattern, bool printDeviceInfo,
                 SettingsRecord& record) {
    for (const SettingsElement& setting : SettingsElements()) {
        win::ComPtr<IXMLDOMNode> node = SelectNode(document, sectionPattern + L"/" + ToDocumentText(setting.name));
        if (!node) continue;
        std::string text = FromDocumentText(NodeText(node.get()));
        TakeElementText(record, setting, text);
        if (printDeviceInfo && setting.text == &SettingsRecord::DeviceInfo) DebugPrint("\t%s\n\n", text.c_str());
    }
}

// Writes into the elements that the section has; a missing one is not added.
void WriteSection(IXMLDOMDocument* document, const std::wstring& sectionPattern, const SettingsRecord& record) {
    for (const SettingsElement& setting : SettingsElements()) {
        win::ComPtr<IXMLDOMNode> node = SelectNode(document, sectionPattern + L"/" + ToDocumentText(setting.name));
        if (node) SetNodeText(node.get(), ElementText(record, setting));
    }
}

std::wstring AdminPattern() { return std::wstring(L"//") + AdminSectionName; }

// ---- reading the file ----

struct FileBytes {
    SettingsLoad outcome = SettingsLoad::Loaded;
    std::string bytes;
};

SettingsLoad OutcomeOfOpenError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SettingsLoad::Missing
                                                                          : SettingsLoad::Unreadable;
}

FileBytes ReadSettingsFileBytes() {
    win::UniqueFile file(::CreateFileA(SettingsFileName, GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {OutcomeOfOpenError(::GetLastError()), {}};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return {SettingsLoad::Unreadable, {}};
    if (size.QuadPart > static_cast<LONGLONG>(MaxSettingsFileBytes)) return {SettingsLoad::Malformed, {}};
    FileBytes result;
    result.bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD total = 0;
    while (total < result.bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), result.bytes.data() + total, static_cast<DWORD>(result.bytes.size() - total),
                        &read, nullptr))
            return {SettingsLoad::Unreadable, {}};
        if (read == 0) break;  // the file shrank meanwhile
        total += read;
    }
    result.bytes.resize(total);
    return result;
}

SettingsLoad ParseFromMemory(IXMLDOMDocument* document, const std::string& bytes) {
    win::ComPtr<IStream> stream;
    *stream.put() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!stream) return SettingsLoad::Unreadable;
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream.get();  // borrowed: the variant is not cleared
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = document->load(source, &loaded);
    return SUCCEEDED(hr) && loaded == VARIANT_TRUE ? SettingsLoad::Loaded : SettingsLoad::Malformed;
}

}  // namespace

win::ComPtr<IXMLDOMDocument> SettingsDocument() {
    win::ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(ClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IidXmlDomDocument,
                                  document.put_void())))
        return {};
    (void)document->put_async(VARIANT_FALSE);
    (void)document->put_validateOnParse(VARIANT_FALSE);
    (void)document->put_resolveExternals(VARIANT_FALSE);
    (void)document->put_preserveWhiteSpace(VARIANT_TRUE);
    // The patterns are the same in XPath and in MSXML 3.0's default XSL
    // pattern language, but the latter does not take every element name:
    // Wine's implementation finds no names with letters beyond ASCII and fails
    // on names such as "and" or "or". XPath takes any element name.
    win::ComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document->QueryInterface(IidXmlDomDocument2, document2.put_void()))) {
        const win::BstrVariant language(L"XPath");
        win::Bstr property(L"SelectionLanguage");
        (void)document2->setProperty(property.get(), language.get());
        // MSXML 3.0 accepts a document type declaration unless told not to,
        // and nests without bound; the byte check before each parse refuses
        // both as well, but it reads only encodings that look like ASCII.
        win::Bstr prohibitDtd(L"ProhibitDTD");
        (void)document2->setProperty(prohibitDtd.get(), win::ValueVariant::Bool(true).get());
        win::Bstr maxDepth(L"MaxElementDepth");
        (void)document2->setProperty(maxDepth.get(), win::ValueVariant::Int(MaxSettingsElementDepth).get());
    }
    return document;
}

void AddWhitespace(IXMLDOMDocument* document, const wchar_t* whitespace, IXMLDOMNode* node) {
    win::ComPtr<IXMLDOMText> text;
    win::Bstr b(whitespace);
    if (SUCCEEDED(document->createTextNode(b.get(), text.put()))) (void)Append(node, text.get());
}

void CreateSettingsFile(const SettingsRecord& record) {
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    if (!document) return;
    const std::string logonName = LogonName();
    std::wstring sectionName;
    switch (ChooseSectionToWrite(IsAdministrator(), !logonName.empty())) {
    case SettingsSection::Admin: sectionName = AdminSectionName; break;
    case SettingsSection::UsersOwn: sectionName = UserSectionName(logonName); break;
    case SettingsSection::None: return;  // no section can be named
    }
    if (!AppendPrologue(document.get())) return;
    win::ComPtr<IXMLDOMElement> root = NewRoot(document.get());
    win::ComPtr<IXMLDOMElement> section = NewSection(document.get(), sectionName, record);
    if (!root || !section) return;
    AddWhitespace(document.get(), NewlineTab, root.get());
    (void)Append(root.get(), section.get());
    AddWhitespace(document.get(), NewlineTab, root.get());
    if (FAILED(Append(document.get(), root.get()))) return;
    SaveDocument(document.get());
}

void WriteSettingsFile(const SettingsRecord& record) {
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    if (!document || LoadSettingsDocument(document.get()) != SettingsLoad::Loaded) return;
    const std::string logonName = LogonName();
    switch (ChooseSectionToWrite(IsAdministrator(), !logonName.empty())) {
    case SettingsSection::Admin: UpdateAdminSection(document.get(), record); break;
    case SettingsSection::UsersOwn: UpdateUserSection(document.get(), UserSectionName(logonName), record); break;
    case SettingsSection::None: break;
    }
}

void UpdateAdminSection(IXMLDOMDocument* document, const SettingsRecord& record) {
    WriteSection(document, AdminPattern(), record);
    SaveDocument(document);
}

void UpdateUserSection(IXMLDOMDocument* document, const std::wstring& sectionName, const SettingsRecord& record) {
    std::wstring pattern = UserSectionPattern(sectionName);
    if (SelectNode(document, pattern)) {
        WriteSection(document, pattern, record);
    } else {
        win::ComPtr<IXMLDOMNode> root = SelectNode(document, std::wstring(L"//") + RootName);
        win::ComPtr<IXMLDOMElement> section = NewSection(document, sectionName, record);
        if (!root || !section) return;  // a document without the root is not one of ours: left alone
        AddWhitespace(document, NewlineTab, root.get());
        (void)Append(root.get(), section.get());
    }
    SaveDocument(document);
}

void ReadAdminSection(IXMLDOMDocument* document, SettingsRecord& record) {
    ReadSection(document, AdminPattern(), true, record);
}

void ReadUserSection(IXMLDOMDocument* document, const std::wstring& sectionName, SettingsRecord& record) {
    ReadSection(document, UserSectionPattern(sectionName), false, record);
}

void DebugPrint(const char* format, ...) {
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    (void)std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    ::OutputDebugStringA(line);
    std::printf("%s", line);
}

SettingsLoad LoadSettingsDocument(IXMLDOMDocument* document) {
    FileBytes file = ReadSettingsFileBytes();
    if (file.outcome != SettingsLoad::Loaded) return file.outcome;
    if (CheckSettingsBytes(file.bytes) != SettingsBytesVerdict::Acceptable) return SettingsLoad::Malformed;
    return ParseFromMemory(document, file.bytes);
}

bool KeepBadSettingsCopy() {
    if (!::CopyFileA(SettingsFileName, BadSettingsFileName, FALSE)) return false;
    const std::string folder = win::WideToAnsi(win::ProgramFolder()) + "\\";
    win::ReportProgramEvent(VASK_EVENT_SETTINGS_REPLACED, {folder + SettingsFileName, folder + BadSettingsFileName});
    return true;
}

std::wstring UserSectionName(const std::string& logonName) {
    return AsWide(settingsnames::EncodeSectionName(AsU16(ToDocumentText(logonName))));
}

std::wstring UserSectionPattern(const std::wstring& sectionName) {
    return AsWide(settingsnames::SectionPattern(AsU16(sectionName)));
}

win::ComPtr<IXMLDOMNode> SelectNode(IXMLDOMDocument* document, const std::wstring& pattern) {
    win::ComPtr<IXMLDOMNode> node;
    win::Bstr b;
    AssignBstr(b, pattern);
    // S_FALSE (nothing found) leaves the pointer empty.
    if (FAILED(document->selectSingleNode(b.get(), node.put()))) node.reset();
    return node;
}

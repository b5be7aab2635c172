// The resources inside VaskSW.exe, read the way Explorer or another program
// would (the file loaded as data): the Connections dialog template, the tray
// menu, the icon sizes, the strings, the accelerators, the version record and
// the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/UiDriver.h"

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExA(testsupport::VaskApp::ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << "VaskSW.exe not found";
    }
    void TearDown() override {
        if (module_) ::FreeLibrary(module_);
    }

    // The raw bytes of one resource, empty when it is missing.
    std::vector<unsigned char> Raw(LPCSTR type, LPCSTR name) const {
        HRSRC info = ::FindResourceA(module_, name, type);
        if (!info) return {};
        HGLOBAL loaded = ::LoadResource(module_, info);
        const auto* bytes = static_cast<const unsigned char*>(::LockResource(loaded));
        return std::vector<unsigned char>(bytes, bytes + ::SizeofResource(module_, info));
    }

    HMODULE module_ = nullptr;
};

// ---------------------------------------------------------------- dialog 145

struct DialogItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className;  // by name, or "#0080" for the predefined atoms
    std::wstring caption;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring caption, font;
    WORD pointSize = 0;
    std::vector<DialogItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    WORD Word() {
        WORD w = 0;
        std::memcpy(&w, &bytes_.at(pos_), 2);
        pos_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d = 0;
        std::memcpy(&d, &bytes_.at(pos_), 4);
        pos_ += 4;
        return d;
    }
    // A string, or an ordinal (0xFFFF then a word) as "#hhhh".
    std::wstring SzOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) {
            wchar_t ordinal[8];
            swprintf(ordinal, 8, L"#%04x", Word());
            return ordinal;
        }
        std::wstring text;
        for (WORD c = first; c != 0; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~size_t{3}; }

private:
    const std::vector<unsigned char>& bytes_;
    size_t pos_ = 0;
};

DialogTemplate ParseDialogEx(const std::vector<unsigned char>& bytes) {
    DialogTemplate t;
    TemplateReader r(bytes);
    EXPECT_EQ(r.Word(), 1) << "DLGTEMPLATEEX";
    EXPECT_EQ(r.Word(), 0xFFFF);
    r.Dword();  // help id
    r.Dword();  // extended style
    t.style = r.Dword();
    const WORD count = r.Word();
    r.Word();  // x
    r.Word();  // y
    t.cx = static_cast<short>(r.Word());
    t.cy = static_cast<short>(r.Word());
    r.SzOrOrdinal();  // menu
    r.SzOrOrdinal();  // class
    t.caption = r.SzOrOrdinal();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        r.Word();  // weight
        r.Word();  // italic, charset
        t.font = r.SzOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        DialogItem item;
        r.Dword();  // help id
        r.Dword();  // extended style
        item.style = r.Dword();
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = r.Dword();
        item.className = r.SzOrOrdinal();
        item.caption = r.SzOrOrdinal();
        const WORD extra = r.Word();
        for (WORD b = 0; b < extra; b += 2) r.Word();
        t.items.push_back(item);
    }
    return t;
}

TEST_F(Resources, ConnectionsTemplateHasItsControlsWhereTheyBelong) {
    const DialogTemplate t = ParseDialogEx(Raw(RT_DIALOG, MAKEINTRESOURCEA(145)));
    EXPECT_EQ(t.caption, L"Connections");
    EXPECT_EQ(t.cx, 244);
    EXPECT_EQ(t.cy, 133);
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_FALSE(t.style & WS_VISIBLE) << "not visible when created";
    EXPECT_FALSE(t.style & WS_CHILD) << "start-up creates it without a parent";

    struct Expected {
        DWORD id;
        const wchar_t* className;
        const wchar_t* caption;
        short x, y, cx, cy;
        DWORD styleBits;
    };
    const DWORD none = 0xFFFF;
    const Expected expected[] = {
        {1044, L"ListBox", L"", 6, 7, 146, 100,
         LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP},
        {none, L"Button", L"", 160, 3, 86, 83, BS_GROUPBOX},
        {1048, L"Button", L"Bluet&ooth", 175, 16, 51, 8, BS_AUTORADIOBUTTON},
        {1049, L"Button", L"&Serial Ports", 175, 28, 53, 8, BS_AUTORADIOBUTTON},
        {none, L"Static", L"From", 165, 47, 16, 12, WS_GROUP},
        {1154, L"ComboBox", L"", 183, 46, 24, 90, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
        {none, L"Static", L"To", 208, 47, 8, 12, WS_GROUP},
        {1155, L"ComboBox", L"", 217, 46, 24, 90, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
        {1053, L"Button", L"&Find Scanners", 176, 67, 55, 14, WS_TABSTOP},
        {1045, L"Button", L"Ac&tivate", 176, 93, 56, 14, WS_TABSTOP | WS_DISABLED},
        {1056, L"Static", L"", 6, 114, 240, 10, SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    };
    ASSERT_EQ(t.items.size(), std::size(expected));
    for (size_t i = 0; i < t.items.size(); ++i) {
        const DialogItem& item = t.items[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(e.id));
        EXPECT_EQ(item.id & 0xFFFF, e.id);
        EXPECT_EQ(_wcsicmp(item.className.c_str(), e.className), 0) << "class names ignore case";
        EXPECT_EQ(item.caption, e.caption);
        EXPECT_EQ(item.x, e.x);
        EXPECT_EQ(item.y, e.y);
        EXPECT_EQ(item.cx, e.cx);
        EXPECT_EQ(item.cy, e.cy);
        EXPECT_EQ(item.style & e.styleBits, e.styleBits);
        EXPECT_TRUE(item.style & WS_VISIBLE);
    }
    EXPECT_FALSE(t.items[0].style & LBS_SORT) << "the list keeps the SDK's order";
}

// ---------------------------------------------------------------- menu, strings, accelerators

TEST_F(Resources, TrayMenuOffersAboutOpenAndExit) {
    HMENU menu = ::LoadMenuA(module_, MAKEINTRESOURCEA(137));
    ASSERT_NE(menu, nullptr);
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 6);
    const struct {
        UINT id;
        const char* text;
    } items[] = {{32780, "&About"}, {32778, "&Open"}, {32781, "&Recent Barcodes..."}, {32782, "&Pause Typing"},
                 {0, ""}, {32779, "&Exit"}};
    for (int i = 0; i < 6; ++i) {
        char text[64] = {};
        ::GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].text) << i;
        if (items[i].id) {
            EXPECT_EQ(::GetMenuItemID(popup, i), items[i].id) << i;
        }
    }
    MENUITEMINFOA separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoA(popup, 4, TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    ::DestroyMenu(menu);
    // While paused the fourth item reads so, and keeps an access key of its own.
    char resume[64] = {};
    ASSERT_GT(::LoadStringA(module_, 110, resume, sizeof resume), 0);
    EXPECT_STREQ(resume, "Resume Ty&ping");
}

TEST_F(Resources, StringsNameTheMainWindow) {
    char text[100] = {};
    EXPECT_EQ(::LoadStringA(module_, 103, text, sizeof text), 11);
    EXPECT_STREQ(text, "BrontelVask");
    EXPECT_EQ(::LoadStringA(module_, 109, text, sizeof text), 12);
    EXPECT_STREQ(text, "Brontel Vask");
}

TEST_F(Resources, AcceleratorsAltQuestionMarkAndAltSlash) {
    HACCEL table = ::LoadAcceleratorsA(module_, MAKEINTRESOURCEA(109));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    const int n = ::CopyAcceleratorTableA(table, entries, 8);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[1].key, '/');
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(entries[i].cmd, 104);
        EXPECT_EQ(entries[i].fVirt & (FALT | FVIRTKEY), FALT) << "Alt with the character";
    }
    ::DestroyAcceleratorTable(table);
}

// ---------------------------------------------------------------- icon

TEST_F(Resources, IconHasEverySizeFrom16To48) {
    std::vector<unsigned char> group = Raw(RT_GROUP_ICON, MAKEINTRESOURCEA(152));
    ASSERT_GE(group.size(), 6u);
    const WORD count = static_cast<WORD>(group[4] | (group[5] << 8));
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const unsigned char* entry = &group[6 + 14 * i];  // GRPICONDIRENTRY
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        EXPECT_EQ(entry[6] | (entry[7] << 8), 32) << "32-bit colour with alpha";
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48}));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(::LoadImageA(module_, MAKEINTRESOURCEA(152), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        if (icon) ::DestroyIcon(icon);
    }
}

// ---------------------------------------------------------------- version and manifest

std::string VersionString(const std::vector<unsigned char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
    return std::string(value, length > 0 ? length - 1 : 0);
}

TEST_F(Resources, VersionRecordNamesTheProgram) {
    const std::string exe = testsupport::VaskApp::ExePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 2));  // 2.1
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 0));  // .0.1
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(1, 0));

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409) << "US English";
    EXPECT_EQ(translation[1], 1200) << "Unicode";

    EXPECT_EQ(VersionString(block, "ProductName"), "Brontel Vask");
    EXPECT_EQ(VersionString(block, "FileDescription"), "Brontel Vask");
    EXPECT_EQ(VersionString(block, "InternalName"), "VaskSW");
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "VaskSW.exe");
    EXPECT_EQ(VersionString(block, "FileVersion"), "2.1.0.1");
}

TEST_F(Resources, ManifestAsksForCommonControls6AndSystemDpiAwareness) {
    std::vector<unsigned char> raw = Raw(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));  // RT_MANIFEST
    ASSERT_FALSE(raw.empty());
    const std::string manifest(raw.begin(), raw.end());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Brontel.Vask.VaskSW\" version=\"2.1.0.1\""), std::string::npos)
        << "the program's own version, as in the version record";
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos) << "no elevation asked for";
}

}  // namespace

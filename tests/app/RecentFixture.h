// What the tests of the Recent Barcodes window and of the barcode records
// share: the open window as seen from outside, the scan log's folder, and a
// fixture with the simulated scanner "s1" activated.
#pragma once

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "delivery/ScanLogText.h"
#include "res/resource.h"
#include "tests/app/AppFixture.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"

namespace apptest {

using testsupport::KeyReceiver;
using testsupport::WaitUntil;

inline constexpr char RecentCaption[] = "Recent Barcodes";
inline constexpr char ReceiverTitle[] = "Vask Key Receiver";

// The open Recent Barcodes window.
class RecentView {
public:
    static RecentView WaitFor() {
        RecentView view;
        WaitUntil([&] {
            view.window_ = testsupport::FindTopWindow(testsupport::DialogClass, RecentCaption);
            return view.window_ && ::IsWindowVisible(view.window_);
        }, 10000);
        return view;
    }
    explicit operator bool() const { return window_ && ::IsWindow(window_); }
    HWND window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    // Each row as "time<tab>where<tab>barcode".
    std::vector<std::string> Lines() const { return testsupport::ListEntries(Item(IDC_RECENT_LIST)); }
    std::string Status() const { return testsupport::WindowTextOf(Item(IDC_RECENT_STATUS)); }
    void SelectAll() const { EXPECT_TRUE(testsupport::SelectListRow(Item(IDC_RECENT_LIST), -1)); }
    // Adds a row to the selection.
    void Select(int index) const { EXPECT_TRUE(testsupport::SelectListRow(Item(IDC_RECENT_LIST), index)); }
    void SelectOnly(int index) const {
        EXPECT_TRUE(testsupport::SelectListRow(Item(IDC_RECENT_LIST), -1, false));
        Select(index);
    }
    bool Click(int id) const { return testsupport::Click(Item(id)); }
    bool WaitForLines(size_t count, DWORD timeoutMs = 20000) const {
        return WaitUntil([&] { return Lines().size() == count; }, timeoutMs);
    }

private:
    HWND window_ = nullptr;
};

// "12:34:56<tab>destination<tab>text": the destination and text of a line.
inline std::string WithoutTime(const std::string& line) {
    const size_t tab = line.find('\t');
    EXPECT_EQ(tab, 8u) << line;
    return tab == std::string::npos ? line : line.substr(tab + 1);
}

inline std::vector<scanlog::Row> ReadRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return scanlog::ParseRows(text.str());
}

// Answers the question Type Again asks when no window can take its barcodes.
inline bool AnswerTheNextWindowOffer(int answer) {
    const testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Type Again");
    return box && box.Answer(answer);
}

class Recent : public AppTest {
protected:
    // The tray menu's "&Recent Barcodes..." with whatever is in front now.
    RecentView OpenRecent() {
        EXPECT_TRUE(app.OpenTrayMenu());
        EXPECT_TRUE(app.PickTrayMenuItem('r'));
        RecentView view = RecentView::WaitFor();
        EXPECT_TRUE(view) << "the Recent Barcodes window did not open";
        return view;
    }
};

// The scan log's folder, emptied when made and when it goes.
class ScanLogFolder {
public:
    ScanLogFolder() {
        char base[MAX_PATH] = {};
        EXPECT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)));
        path_ = std::string(base) + "\\Brontel Vask\\Scan Log";
        Empty();
    }
    ~ScanLogFolder() { Empty(); }
    std::string Path(const std::string& name) const { return path_ + "\\" + name; }
    // Every row of every day's file, oldest file first.
    std::vector<scanlog::Row> Rows() const {
        std::vector<scanlog::Row> rows;
        for (const std::string& name : Names()) {
            const std::vector<scanlog::Row> read = ReadRows(Path(name));
            rows.insert(rows.end(), read.begin(), read.end());
        }
        return rows;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found{};
        const HANDLE search = ::FindFirstFileA(Path("*.csv").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    void Empty() const {
        for (const std::string& name : Names()) ::DeleteFileA(Path(name).c_str());
    }
    std::string path_;
};

}  // namespace apptest

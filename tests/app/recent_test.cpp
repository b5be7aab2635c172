// The Recent Barcodes window, driven from outside against the simulated
// scanner: what it lists, Copy, Type Again and its refusals, the newest 500.
#include "tests/app/RecentFixture.h"

#include <algorithm>
#include <string>
#include <vector>

#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "delivery/RecentBarcodes.h"
#include "delivery/ScanLogText.h"
#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"

namespace apptest {
namespace {

std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return L"(clipboard busy)";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

// Types `path` into the program's open "Save As" dialog as a user would and
// confirms it; true once the dialog has gone.
bool NameTheFileInTheSaveDialog(const std::string& path) {
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = testsupport::FindTopWindow(testsupport::DialogClass, "Save As")); }, 10000))
        return false;
    constexpr int FileNameCombo = 0x47C, FileNameEdit = 0x480;  // cmb13, edt1
    HWND name = ::GetDlgItem(dialog, FileNameEdit);
    if (HWND combo = ::GetDlgItem(dialog, FileNameCombo)) {
        // A combo box, or (Wine) a ComboBoxEx holding one: its edit box takes the name.
        const HWND inner = ::FindWindowExA(combo, nullptr, "ComboBox", nullptr);
        name = ::FindWindowExA(inner ? inner : combo, nullptr, "Edit", nullptr);
    }
    if (!name) return false;
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !::IsWindow(dialog); }, 10000);
}

// Three barcodes typed into the receiver are listed with its title, newest
// first; Copy puts their exact text on the clipboard; Type Again types the
// same keystrokes into the receiver once more, oldest first.
TEST_F(Recent, TypedBarcodesAreListedCopiedAndTypedAgain) {
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "ABC123", "X\\xE9Y", "T\\t9"});
    const std::wstring typed = L"ABC123\rX\u00E9Y\rT\t9\r";
    ASSERT_TRUE(receiver.WaitForText(typed, 10000));
    ASSERT_TRUE(receiver.WaitForQuiet(500, 5000));
    const std::vector<KeyRecord> firstTime = receiver.Records();

    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(3));
    std::vector<std::string> lines = view.Lines();
    EXPECT_EQ(WithoutTime(lines[0]), std::string(ReceiverTitle) + "\tT<HT>9");
    EXPECT_EQ(WithoutTime(lines[1]), std::string(ReceiverTitle) + "\tX\xE9Y");
    EXPECT_EQ(WithoutTime(lines[2]), std::string(ReceiverTitle) + "\tABC123");

    // Save As writes the selected rows, oldest first, in the scan log's form.
    view.SelectOnly(0);
    view.Select(2);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string saved = std::string(temp) + "vask-saved-barcodes.csv";
    ::DeleteFileA(saved.c_str());
    testsupport::PostClick(view.Item(IDC_RECENT_SAVE_AS));
    ASSERT_TRUE(NameTheFileInTheSaveDialog(saved));
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Saved 2 barcodes."; }, 5000)) << view.Status();
    const std::vector<scanlog::Row> rows = ReadRows(saved);
    ::DeleteFileA(saved.c_str());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].barcode, "ABC123");
    EXPECT_EQ(rows[1].barcode, "T\t9");
    EXPECT_EQ(rows[1].outcome, scanlog::Typed);
    EXPECT_EQ(rows[1].window, ReceiverTitle);

    view.SelectAll();
    ASSERT_TRUE(view.Click(IDC_RECENT_COPY));
    EXPECT_EQ(ClipboardText(), L"ABC123\r\nX\u00E9Y\r\nT\t9");
    EXPECT_EQ(view.Status(), "Copied 3 barcodes.");

    receiver.Clear();
    ASSERT_TRUE(view.Click(IDC_RECENT_TYPE_AGAIN));
    EXPECT_TRUE(receiver.WaitForText(typed, 10000));
    ASSERT_TRUE(receiver.WaitForQuiet(500, 5000));
    EXPECT_EQ(receiver.Records(), firstTime) << "the same keystrokes as the first time";
    EXPECT_FALSE(::IsWindowVisible(view.window())) << "the window hides while it types";
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Typed 3 barcodes again."; }, 5000)) << view.Status();

    // Barcodes that arrive later join the list at the top; the selected rows
    // stay with their barcodes.
    // It is listed before its first key, and with its window once typed.
    Sim({"scan", "s1", "LATER"});
    ASSERT_TRUE(view.WaitForLines(4));
    EXPECT_FALSE(testsupport::IsListRowSelected(view.Item(IDC_RECENT_LIST), 0));
    EXPECT_EQ(testsupport::SelectedListRows(view.Item(IDC_RECENT_LIST)), 3);
    EXPECT_TRUE(WaitUntil([&] { return WithoutTime(view.Lines()[0]) == std::string(ReceiverTitle) + "\tLATER"; },
                          10000))
        << view.Lines()[0];
}

// Type Again hands its barcodes to the typist and returns at once; its status
// line says what was actually typed. Here the window is in front but never
// takes the keyboard focus, so nothing is typed, and it says so.
TEST_F(Recent, TypeAgainSaysWhatItTypedWhenTheWindowHasNoFocus) {
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "R1", "R2", "R3", "R4"});
    ASSERT_TRUE(receiver.WaitForText(L"R1\rR2\rR3\rR4\r", 10000));
    ASSERT_TRUE(receiver.WaitForQuiet(300, 5000));

    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(4));
    view.SelectAll();
    receiver.Clear();
    ASSERT_TRUE(receiver.RefuseFocus());
    ASSERT_TRUE(testsupport::Click(view.Item(IDC_RECENT_TYPE_AGAIN), 1000)) << "the click returns at once";
    EXPECT_TRUE(WaitUntil([&] {
        return view.Status() == "Typed 0 of 4 barcodes again: the window lost the keyboard focus.";
    }, 15000)) << view.Status();
    EXPECT_EQ(receiver.Text(), L"");
    EXPECT_TRUE(::IsWindowVisible(view.window())) << "the window comes back to say so";
}

// Type Again shapes with the barcode rules in force at its click, not those
// of the barcode's fetch; a barcode the rules now skip is not typed, and the
// window says so.
TEST_F(Recent, TypeAgainTypesWithTheRulesInForceAtTheClick) {
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "A-1", "SKIP-2"});
    ASSERT_TRUE(receiver.WaitForText(L"A-1\rSKIP-2\r", 10000));
    ASSERT_TRUE(receiver.WaitForQuiet(300, 5000));

    const char rules[] = "always replace \"-\" with \"/\" and continue\r\nif begins \"SKIP\" then skip";
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brontel Vask", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, "BarcodeRules", 0, REG_SZ, reinterpret_cast<const BYTE*>(rules), sizeof rules),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    struct Forget {
        ~Forget() { (void)::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Brontel Vask", "BarcodeRules"); }
    } forget;

    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(2));
    view.SelectAll();
    receiver.Clear();
    ASSERT_TRUE(view.Click(IDC_RECENT_TYPE_AGAIN));
    EXPECT_TRUE(receiver.WaitForText(L"A/1\r", 10000)) << receiver.Text().size();
    EXPECT_TRUE(WaitUntil([&] {
        return view.Status() == "Typed 1 of 2 barcodes again: a barcode rule skips the others.";
    }, 10000)) << view.Status();
    EXPECT_EQ(receiver.Text(), L"A/1\r");
}

// A barcode shown on the Trace page is listed as "Trace". Type Again refuses,
// and says why in its status line, when the window that was in front is one
// of ours or has closed.
TEST_F(Recent, TracedBarcodesAndTheWindowsTypeAgainRefuses) {
    Sheet sheet = StartActivated();
    ASSERT_TRUE(sheet.SelectPage(TracePage));
    ASSERT_TRUE(testsupport::ClickTitleBar(sheet.window()));
    Sim({"scan", "s1", "TR1"});
    ASSERT_TRUE(WaitUntil([&] { return sheet.ItemText(IDC_TRACE_TEXT).find("TR1") != std::string::npos; }, 10000));

    RecentView view = OpenRecent();  // the sheet was in front
    ASSERT_TRUE(view.WaitForLines(1));
    EXPECT_EQ(WithoutTime(view.Lines()[0]), "Trace\tTR1");
    // With this window in front a barcode waits on the scanner: no keys go
    // into a window of ours.
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == view.window(); }, 5000));
    Sim({"scan", "s1", "HELD"});
    ASSERT_TRUE(WaitUntil([] { return testsupport::TrayTipHolds("1 barcode waiting (held"); }, 10000));
    EXPECT_EQ(view.Lines().size(), 1u);
    EXPECT_EQ(testsupport::sim::StatusOf("s1")->delivered, 1u);

    view.SelectOnly(0);
    testsupport::PostClick(view.Item(IDC_RECENT_TYPE_AGAIN));
    ASSERT_TRUE(AnswerTheNextWindowOffer(IDNO));
    EXPECT_EQ(view.Status(), "The window that was in front belongs to Brontel Vask: nothing typed.");
    EXPECT_TRUE(::IsWindowVisible(view.window()));
    EXPECT_EQ(sheet.ItemText(IDC_TRACE_TEXT).find("TR1", sheet.ItemText(IDC_TRACE_TEXT).find("TR1") + 1),
              std::string::npos) << "nothing was typed into the trace";

    {
        KeyReceiver gone;
        ASSERT_TRUE(gone.Ready());
        ASSERT_TRUE(gone.Focus());
        // The held barcode goes to the first other program in front; its keys
        // must be in before the tray menu takes the keyboard.
        ASSERT_TRUE(gone.WaitForText(L"HELD\r", 10000));
        ASSERT_TRUE(gone.WaitForQuiet(300, 3000));
        view = OpenRecent();
    }
    view.SelectOnly(0);
    testsupport::PostClick(view.Item(IDC_RECENT_TYPE_AGAIN));
    ASSERT_TRUE(AnswerTheNextWindowOffer(IDNO));
    EXPECT_EQ(view.Status(), "The window that was in front has closed: nothing typed.");

    // Offered the next window clicked instead: Esc in this window cancels it.
    testsupport::PostClick(view.Item(IDC_RECENT_TYPE_AGAIN));
    ASSERT_TRUE(AnswerTheNextWindowOffer(IDYES));
    EXPECT_TRUE(WaitUntil([&] { return view.Status().rfind("Click the window", 0) == 0; }, 5000)) << view.Status();
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == view.window(); }, 5000));
    ::keybd_event(VK_ESCAPE, 0x01, 0, 0);
    ::keybd_event(VK_ESCAPE, 0x01, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Cancelled: nothing typed."; }, 5000)) << view.Status();
    EXPECT_TRUE(::IsWindowVisible(view.window()));

    // Taken up: our own windows in front are passed over, the receiver
    // brought forward gets the barcode.
    testsupport::PostClick(view.Item(IDC_RECENT_TYPE_AGAIN));
    ASSERT_TRUE(AnswerTheNextWindowOffer(IDYES));
    EXPECT_TRUE(WaitUntil([&] { return view.Status().rfind("Click the window", 0) == 0; }, 5000)) << view.Status();
    ASSERT_TRUE(testsupport::ClickTitleBar(sheet.window()));
    KeyReceiver next;
    ASSERT_TRUE(next.Ready());
    ASSERT_TRUE(next.Focus());
    EXPECT_TRUE(next.WaitForText(L"HELD\r", 10000));
    EXPECT_TRUE(WaitUntil([&] { return view.Status() == "Typed 1 barcode again."; }, 10000)) << view.Status();
    EXPECT_EQ(sheet.ItemText(IDC_TRACE_TEXT).find("HELD"), std::string::npos) << "nothing went into the sheet";

    // Clear asks first: No keeps the list, Yes empties it.
    for (const int answer : {IDNO, IDYES}) {
        testsupport::PostClick(view.Item(IDC_RECENT_CLEAR));
        const testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Clear Recent Barcodes");
        ASSERT_TRUE(box);
        EXPECT_EQ(box.Text(), "Forget the 2 barcodes listed here? They cannot be typed again or copied afterwards.");
        ASSERT_TRUE(box.Answer(answer));
        EXPECT_TRUE(WaitUntil([&] { return view.Lines().size() == (answer == IDYES ? 0u : 2u); }, 5000));
    }
}

// Of 600 barcodes the newest 500 stay. With the window open, 1,400 more
// leave the newest 500 in it, and the program's resident memory grows by
// less than an eighth of what they would take if they were all kept.
TEST_F(Recent, SixHundredBarcodesKeepTheNewest500AndMemoryStaysBounded) {
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    auto scan = [&](int from, int to) {
        std::vector<std::string> barcodes;
        for (int i = from; i <= to; ++i) barcodes.push_back("N" + std::to_string(1000 + i));
        ASSERT_TRUE(testsupport::sim::Scan("s1", barcodes));
        ASSERT_TRUE(receiver.WaitForText(L"N" + std::to_wstring(1000 + to) + L"\r", 180000));
        receiver.Clear();
    };
    scan(1, 600);

    RecentView view = OpenRecent();
    ASSERT_TRUE(view.WaitForLines(500));
    std::vector<std::string> lines = view.Lines();
    EXPECT_EQ(WithoutTime(lines.front()), std::string(ReceiverTitle) + "\tN1600");
    EXPECT_EQ(WithoutTime(lines.back()), std::string(ReceiverTitle) + "\tN1101");

    const long before = testsupport::ResidentPrivateKiB(VaskApp::ExePath());
    ASSERT_GT(before, 0) << "VaskSW.exe not found under /proc";
    ASSERT_TRUE(receiver.Focus());
    scan(601, 2000);
    ASSERT_TRUE(WaitUntil([&] { return WithoutTime(view.Lines().front()) == std::string(ReceiverTitle) + "\tN3000"; },
                          20000));
    lines = view.Lines();
    EXPECT_EQ(lines.size(), 500u);
    EXPECT_EQ(WithoutTime(lines.back()), std::string(ReceiverTitle) + "\tN2501");
    const long after = testsupport::ResidentPrivateKiB(VaskApp::ExePath());
    const long keptAll = 1400 * static_cast<long>(sizeof(RecentBarcode)) / 1024;
    EXPECT_LT(after - before, keptAll / 8) << before << " KiB -> " << after << " KiB";
}

// What a receiver got, one UTF-8 text per line.
std::vector<std::string> Utf8Lines(const std::wstring& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find(L'\r', from)) != std::wstring::npos; from = end + 1) {
        const std::wstring line = text.substr(from, end - from);
        std::string utf8(line.size() * 3, '\0');
        utf8.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                                              utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                                              nullptr)));
        lines.push_back(utf8);
    }
    return lines;
}

// With the log on, each of 1,000 barcodes has its "fetched" row and then its
// "typed" row naming the receiver, and the rows read back as exactly what the
// receiver got: quotes, commas, tabs and bytes above 0x7F included.
TEST_F(Recent, WithTheLogOnEveryBarcodeIsLoggedAsTyped) {
    const UserOptions log({{"ScanLog", 1}});
    const ScanLogFolder folder;
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    std::vector<std::string> barcodes;
    std::wstring typed;
    for (int i = 0; i < 1000; ++i) {
        barcodes.push_back(i % 50 == 7 ? "Q\"" + std::to_string(i) + ",x\t\xE9" : "L" + std::to_string(i));
        for (unsigned char b : barcodes.back()) typed += static_cast<wchar_t>(b);
        typed += L"\r";
    }
    ASSERT_TRUE(testsupport::sim::Scan("s1", barcodes));
    ASSERT_TRUE(receiver.WaitForText(L"L999\r", 240000));
    EXPECT_EQ(receiver.Text(), typed);

    // The last barcode's "typed" row follows its last key, so the log is read
    // until every barcode has it.
    std::vector<scanlog::Row> rows;
    std::vector<std::string> fetched, typedRows;
    const auto readRows = [&] {
        rows = folder.Rows();
        fetched.clear();
        typedRows.clear();
        for (const scanlog::Row& row : rows) {
            if (row.outcome == scanlog::Fetched) fetched.push_back(row.barcode);
            if (row.outcome == scanlog::Typed) typedRows.push_back(row.barcode);
        }
        return typedRows.size() >= 1000;
    };
    EXPECT_TRUE(WaitUntil(readRows, 10000)) << rows.size() << " rows";
    for (const scanlog::Row& row : rows) {
        if (row.outcome == scanlog::Typed) {
            EXPECT_EQ(row.window, ReceiverTitle);
        }
    }
    ASSERT_EQ(fetched.size(), 1000u);
    ASSERT_EQ(typedRows.size(), 1000u);
    const std::vector<std::string> received = Utf8Lines(receiver.Text());
    ASSERT_EQ(received.size(), 1000u);
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(fetched[i], received[i]) << i;
        EXPECT_EQ(typedRows[i], received[i]) << i;
    }
    EXPECT_TRUE(scanlog::ParseIsoTime(rows.front().time)) << rows.front().time;

    // "Open Scan Log Folder" shows the folder in Explorer.
    RecentView view = OpenRecent();
    testsupport::PostClick(view.Item(IDC_RECENT_LOG_FOLDER));
    HWND explorer = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (explorer = ::FindWindowA(nullptr, "Scan Log")) != nullptr; }, 15000));
    if (explorer) ::PostMessageA(explorer, WM_CLOSE, 0, 0);
}

// A program that ended between a barcode's fetch and its first key (the
// receiver would not take the focus) leaves the barcode in the log: the next
// start lists it as not typed, once, and deletes the files older than the
// retention.
TEST_F(Recent, TheNextStartListsWhatTheLastRunFetchedAndNeverTyped) {
    const UserOptions log({{"ScanLog", 1}, {"ScanLogDays", 30}});
    const ScanLogFolder folder;
    { std::ofstream(folder.Path("2020-01-01.csv")) << "Key,Time,Barcode,Outcome,Window,Length\r\n"; }
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    const uint64_t slowed = testsupport::sim::StatusOf("s1").value_or(testsupport::sim::Status{}).slowed;
    ASSERT_TRUE(testsupport::sim::Delay("s1", "fetch", 1500));
    Sim({"scan", "s1", "LOST,1"});
    ASSERT_TRUE(testsupport::sim::WaitForSlowCall("s1", slowed));  // fetched for the receiver
    ASSERT_TRUE(receiver.RefuseFocus());                            // so no key may go
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<scanlog::Row> rows = folder.Rows();
        return !rows.empty() && rows.back().barcode == "LOST,1" && rows.back().outcome == scanlog::Fetched;
    }, 10000));
    ASSERT_TRUE(::TerminateProcess(app.process().handle(), 1));
    ASSERT_EQ(::WaitForSingleObject(app.process().handle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(receiver.Text(), L"");
    Sim({"reset"});  // the killed program's open scanner is no breach of the next one

    VaskApp again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.OpenTrayMenu());
    ASSERT_TRUE(again.PickTrayMenuItem('r'));
    RecentView view = RecentView::WaitFor();
    ASSERT_TRUE(view);
    ASSERT_TRUE(view.WaitForLines(1));
    EXPECT_EQ(WithoutTime(view.Lines()[0]), "not typed (program ended)\tLOST,1");
    // The log says so too, so the start after this one lists it no more.
    EXPECT_TRUE(WaitUntil([&] { return !folder.Rows().empty() && folder.Rows().back().outcome == scanlog::ProgramEnded; },
                          5000));
    EXPECT_TRUE(scanlog::Unfinished(folder.Rows()).empty());
    EXPECT_EQ(folder.Names().size(), 1u) << "the file of 2020-01-01 is gone";
}

// A log file that another program holds locked never stops the typing: the
// barcodes go into the receiver, and a balloon says the log's trouble.
TEST_F(Recent, ALockedScanLogNeverStopsTheTyping) {
    const UserOptions log({{"ScanLog", 1}});
    const ScanLogFolder folder;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const ClockTime today{0, 0, 0, now.wYear, static_cast<uint8_t>(now.wMonth), static_cast<uint8_t>(now.wDay)};
    ::SHCreateDirectoryExA(nullptr, folder.Path("").c_str(), nullptr);
    const HANDLE locked = ::CreateFileA(folder.Path(scanlog::FileName(today)).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    CloseSheet(StartActivated());
    KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "K1", "K2"});
    EXPECT_TRUE(receiver.WaitForText(L"K1\rK2\r", 10000));
    EXPECT_TRUE(WaitUntil([] { return testsupport::ShellShows("The scan log cannot open") != nullptr; }, 15000));
    ::CloseHandle(locked);
}

}  // namespace
}  // namespace apptest

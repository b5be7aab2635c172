// How the sheet and the tray menu look: every page's controls lie inside the
// page, do not overlap, and are wide enough for their texts; the sheet and
// the menu are really drawn. With VASK_SCREENSHOT_DIR set, each page and the
// tray menu are also saved as pictures (sheet-<page>.bmp, tray-menu.bmp),
// which `vask.sh test` turns into the README's screenshots.
#include "tests/app/AppFixture.h"

#include <cstdlib>

#include <commctrl.h>

#include "res/resource.h"
#include "tests/app/LayoutChecks.h"
#include "tests/support/KeyReceiver.h"

namespace apptest {
namespace {

using testsupport::Capture;
using testsupport::WaitUntil;
using testsupport::WindowTextOf;

class Layout : public AppTest {
protected:
    // The simulated scanner found and activated through the sheet, which is
    // then closed: what is scanned is typed.
    void ActivateAndCloseTheSheet() {
        CloseSheet(StartActivated());
    }
};

TEST_F(Layout, EveryPageIsDrawnWithoutClippedOrOverlappingControls) {
    VaskSettings settings;
    settings.LeftPosition = 60;
    settings.TopPosition = 40;
    Sheet sheet = StartWithSheet(settings);
    ASSERT_TRUE(sheet);
    const char* names[] = {"about", "connections", "options", "trace", "format"};
    for (int index = AboutPage; index <= FormatPage; ++index) {
        SCOPED_TRACE(names[index]);
        ASSERT_TRUE(sheet.SelectPage(index));
        ExpectControlsFit(sheet.Page());
        for (HWND button : {sheet.ExitButton(), sheet.CloseButton(), sheet.SaveButton()}) {
            Control c{button, "Button", WindowTextOf(button), ::GetWindowLongA(button, GWL_STYLE), {}};
            ::GetWindowRect(button, &c.rect);
            ExpectTextFits(c);
        }
        EXPECT_TRUE(testsupport::ClickTitleBar(sheet.window()));
        Capture picture;
        EXPECT_TRUE(WaitUntil([&] {
            picture = testsupport::CaptureWindow(sheet.window());
            return testsupport::CountDarkPixels(picture) > 200;
        }, 5000)) << "texts are drawn";
        ASSERT_FALSE(picture.empty());
        EXPECT_GT(ColourCount(picture), 8u);
        const char* dpi = std::getenv("VASK_DPI");
        SaveIfWanted(picture, std::string("sheet-") + names[index] + (dpi ? std::string("-") + dpi + "dpi" : ""));
    }
}

TEST_F(Layout, TrayMenuShowsItsThreeCommands) {
    VaskSettings settings;
    settings.Minimize = 1;
    StartWith(settings);
    testsupport::KeyReceiver other;  // the window the user works in
    ASSERT_TRUE(other.Ready());
    ASSERT_TRUE(other.Focus());
    ASSERT_TRUE(app.OpenTrayMenu());
    HWND menu = VaskApp::OpenMenuWindow();
    ASSERT_TRUE(menu);
    Capture picture;
    EXPECT_TRUE(WaitUntil([&] {
        picture = testsupport::CaptureWindow(menu);
        return testsupport::CountDarkPixels(picture) > 30;
    }, 5000)) << "item texts are drawn";
    RECT r{};
    ::GetWindowRect(menu, &r);
    // Three items and a separator, each at least a text line high.
    EXPECT_GE(r.bottom - r.top, 3 * 13);
    EXPECT_GE(r.right - r.left, TextWidth("&About") + 20);
    SaveIfWanted(picture, "tray-menu");
    // Escape closes the menu without a command, and gives the user's window back.
    ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([] { return VaskApp::OpenMenuWindow() == nullptr; }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == other.Window(); }, 3000));
    EXPECT_FALSE(WaitUntil([] { return static_cast<bool>(Sheet::Find()); }, 800));
}


std::wstring ClipboardUnicode() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return L"(busy)";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) text = chars;
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

void MoveMouseTo(POINT p) {
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = ::MulDiv(p.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = ::MulDiv(p.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &move, sizeof move);
}

// The text of a tooltip of owner's that shows now, or "".
std::string VisibleTooltipText(HWND owner) {
    for (HWND tip = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip;
         tip = ::FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr))
        if (::GetWindow(tip, GW_OWNER) == owner && ::IsWindowVisible(tip)) return testsupport::WindowTextOf(tip);
    return {};
}

// The Recent Barcodes window with three barcodes: laid out like the pages,
// drawn, and used by keyboard alone (Home, Ctrl+C, Tab, Enter, Esc); it opens
// again where it was left.
TEST_F(Layout, RecentBarcodesWindowFitsAndWorksByKeyboard) {
    ActivateAndCloseTheSheet();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "4006381333931", "ABC-123", "Caf\xE9\t42"});
    ASSERT_TRUE(receiver.WaitForText(L"Caf\u00E9\t42\r", 10000));

    auto open = [&] {
        EXPECT_TRUE(receiver.Focus());
        EXPECT_TRUE(app.OpenTrayMenu());
        EXPECT_TRUE(app.PickTrayMenuItem('r'));
        HWND found = nullptr;
        WaitUntilSteady([&] {
            found = testsupport::FindTopWindow(testsupport::DialogClass, "Recent Barcodes");
            return found && ::GetForegroundWindow() == found;
        }, 500, 10000);
        return found;
    };
    // vask.sh runs this test at 144 DPI too: then the display must be at it.
    const char* dpi = std::getenv("VASK_DPI");
    if (dpi) {
        HDC screen = ::GetDC(nullptr);
        EXPECT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), std::atoi(dpi));
        ::ReleaseDC(nullptr, screen);
    }

    HWND window = open();
    ASSERT_TRUE(window);
    HWND list = ::GetDlgItem(window, IDC_RECENT_LIST);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ListEntries(list).size() == 3; }, 10000));
    EXPECT_EQ(testsupport::SelectedListRows(list), 1) << "the newest alone is selected";
    EXPECT_TRUE(testsupport::IsListRowSelected(list, 0));
    ExpectControlsFit(window);
    EXPECT_TRUE(testsupport::ClickTitleBar(window));
    testsupport::SelectListRow(list, 0);
    Capture picture;
    EXPECT_TRUE(WaitUntil([&] {
        picture = testsupport::CaptureWindow(window);
        return testsupport::CountDarkPixels(picture) > 300;
    }, 5000)) << "texts are drawn";
    SaveIfWanted(picture, dpi ? std::string("recent-barcodes-") + dpi + "dpi" : std::string("recent-barcodes"));

    // Made larger, the list takes the room; Close stays at the right edge.
    RECT before{}, listBefore{};
    ::GetWindowRect(window, &before);
    ::GetWindowRect(list, &listBefore);
    ::SetWindowPos(window, nullptr, 0, 0, before.right - before.left + 200, before.bottom - before.top + 100,
                   SWP_NOMOVE | SWP_NOZORDER);
    RECT listAfter{}, close{}, client{};
    ::GetWindowRect(list, &listAfter);
    // Within a pixel: the template's sizes and the margins round apart.
    EXPECT_NEAR(listAfter.right - listAfter.left, listBefore.right - listBefore.left + 200, 1);
    EXPECT_NEAR(listAfter.bottom - listAfter.top, listBefore.bottom - listBefore.top + 100, 1);
    ::GetWindowRect(::GetDlgItem(window, IDCANCEL), &close);
    ::GetClientRect(window, &client);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_NEAR(client.right - close.right, listBefore.left - client.left, 1);
    ExpectControlsFit(window);

    // Resting the mouse on a row shows its whole barcode in the list's info tip.
    const RECT item = testsupport::ListRowRect(list, 0);
    EXPECT_TRUE(WaitUntil([&] {
        MoveMouseTo(POINT{item.left + (item.right - item.left) * 3 / 4, (item.top + item.bottom) / 2});
        return VisibleTooltipText(window) == "Caf\xE9<HT>42";
    }, 10000)) << "tooltip: \"" << VisibleTooltipText(window) << "\"";

    ASSERT_TRUE(ClickUntilItHasTheFocus(list)) << "in front: \"" << testsupport::WindowTextOf(::GetForegroundWindow())
        << "\", focus " << FocusOfForeground() << ", list " << list << ", window " << window;
    // End, then Home: the newest alone is selected (a click below the rows
    // selects none, and Wine's list view takes Home only from another row).
    PressKey(VK_END);
    PressKey(VK_HOME);
    PressKey('C', true);
    EXPECT_TRUE(WaitUntil([] { return ClipboardUnicode() == L"Caf\u00E9\t42"; }, 3000)) << "Ctrl+C copies";
    PressKey(VK_TAB);
    EXPECT_EQ(FocusOfForeground(), ::GetDlgItem(window, IDC_RECENT_TYPE_AGAIN)) << "Tab goes on to Type Again";
    PressKey(VK_TAB, false);
    EXPECT_EQ(FocusOfForeground(), ::GetDlgItem(window, IDC_RECENT_COPY));
    PressAccessKey('B');
    EXPECT_TRUE(WaitUntil([&] { return FocusOfForeground() == list; }, 3000)) << "Alt+B goes back to the list";

    ::SetWindowPos(window, nullptr, 90, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(window); }, 3000)) << "Esc closes";

    window = open();
    ASSERT_TRUE(window);
    RECT r{};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 90);
    EXPECT_EQ(r.top, 110);
    EXPECT_EQ(r.right - r.left, before.right - before.left + 200) << "its size is kept for the run";
    list = ::GetDlgItem(window, IDC_RECENT_LIST);
    ASSERT_TRUE(ClickUntilItHasTheFocus(list)) << "in front: \"" << testsupport::WindowTextOf(::GetForegroundWindow())
        << "\", focus " << FocusOfForeground() << ", list " << list << ", window " << window;
    PressKey(VK_END);
    PressKey(VK_HOME);
    receiver.Clear();
    PressKey(VK_RETURN);
    EXPECT_TRUE(receiver.WaitForText(L"Caf\u00E9\t42\r", 10000))
        << "Enter types again; status: " << testsupport::WindowTextOf(::GetDlgItem(window, IDC_RECENT_STATUS));
    EXPECT_FALSE(::IsWindowVisible(window));
}

// The list's columns, at the display's DPI: a real drag on the divider after
// the window column makes that column wider, enough to show a long window
// title whole (as wide as the list's own fit: the text and 12 pixels), and a
// maximised window gives its window column what the list gained.
TEST_F(Layout, RecentBarcodesColumnsWidenForALongWindowTitle) {
    ActivateAndCloseTheSheet();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    // As long as the program reads a title (49 characters).
    const std::string title = "Stock count 2024, warehouse 7 - Inventory Manager";
    ASSERT_TRUE(::SetWindowTextA(receiver.Window(), title.c_str()));
    ASSERT_TRUE(receiver.Focus());
    Sim({"scan", "s1", "4006381333931"});
    ASSERT_TRUE(receiver.WaitForText(L"4006381333931\r", 10000));
    ASSERT_TRUE(app.OpenTrayMenu());
    ASSERT_TRUE(app.PickTrayMenuItem('r'));
    const HWND window = testsupport::WaitForTopWindow(testsupport::DialogClass, "Recent Barcodes", 10000);
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitUntilSteady([&] { return ::GetForegroundWindow() == window; }, 300, 10000));
    const HWND list = ::GetDlgItem(window, IDC_RECENT_LIST);
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::string> rows = testsupport::ListEntries(list);
        return rows.size() == 1 && rows[0].find("\t" + title + "\t4006381333931") != std::string::npos;
    }, 10000)) << ::testing::PrintToString(testsupport::ListEntries(list));
    constexpr int WindowColumn = 1;
    const int fits = testsupport::ListStringWidth(list, title) + 12;
    const int before = testsupport::ListColumnWidth(list, WindowColumn);
    ASSERT_GT(fits, before + 20) << "the title is cut at first";

    // A real drag on the divider at the window column's right edge, by the
    // room the title lacks. Under Wine the pointer now and then lands a press
    // or a release off its place (the press then misses the divider): the
    // user drags again, and so does this, from where the divider is then.
    const auto header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    std::string drags;
    for (int attempt = 0; attempt < 3 && testsupport::ListColumnWidth(list, WindowColumn) < fits; ++attempt) {
        const int width = testsupport::ListColumnWidth(list, WindowColumn);
        const RECT heading = testsupport::ListHeadingRect(list, WindowColumn);
        const POINT divider{heading.right - 1, (heading.top + heading.bottom) / 2};
        const bool pressed = testsupport::RealDrag(header, divider, POINT{divider.x + fits + 4 - width, divider.y});
        if (pressed) (void)WaitUntil([&] { return testsupport::ListColumnWidth(list, WindowColumn) != width; }, 2000);
        drags += " " + std::to_string(divider.x) + (pressed ? "+" : "(missed)+") + std::to_string(fits + 4 - width) +
                 ": " + std::to_string(testsupport::ListColumnWidth(list, WindowColumn)) + ";";
    }
    EXPECT_GE(testsupport::ListColumnWidth(list, WindowColumn), fits)
        << "the title needs " << fits << ", drags" << drags;
    EXPECT_LE(testsupport::ListColumnWidth(list, WindowColumn), fits + 10) << "the column follows the mouse:" << drags;

    // Maximised and restored, the window column takes (and gives back) what
    // the list gains; the other columns keep their widths.
    const int widened = testsupport::ListColumnWidth(list, WindowColumn);
    const int time = testsupport::ListColumnWidth(list, 0), barcode = testsupport::ListColumnWidth(list, 2);
    auto listWidth = [&] {
        RECT r{};
        ::GetWindowRect(list, &r);
        return static_cast<int>(r.right - r.left);
    };
    const int draggedAt = listWidth();
    auto followsTheList = [&] {
        return testsupport::ListColumnWidth(list, WindowColumn) == widened + listWidth() - draggedAt;
    };
    ::PostMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsZoomed(window) && listWidth() > draggedAt + 100 && followsTheList(); },
                          5000))
        << "maximised: list " << draggedAt << " -> " << listWidth() << ", window column " << widened << " -> "
        << testsupport::ListColumnWidth(list, WindowColumn);
    EXPECT_EQ(testsupport::ListColumnWidth(list, 0), time);
    EXPECT_EQ(testsupport::ListColumnWidth(list, 2), barcode);
    const int maximised = listWidth();
    ::PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitUntil([&] { return listWidth() < maximised && followsTheList(); }, 5000))
        << "restored: list " << draggedAt << " -> " << listWidth() << ", window column " << widened << " -> "
        << testsupport::ListColumnWidth(list, WindowColumn);
}


// The Format page by keyboard alone: Tab reads each field, then its Ctrl box;
// each label's access key reaches its field.
TEST_F(Layout, FormatPageFieldsFollowTheirLabelsByTabAndAccessKey) {
    Sheet sheet = StartWithSheet();
    ASSERT_TRUE(sheet.SelectPage(FormatPage));
    ASSERT_TRUE(ClickUntilItHasTheFocus(sheet.Item(IDC_STRIP_COUNT)));
    for (int id : {IDC_PREFIX_CHAR, IDC_PREFIX_CTRL, IDC_SUFFIX1_CHAR, IDC_SUFFIX1_CTRL, IDC_SUFFIX2_CHAR,
                   IDC_SUFFIX2_CTRL}) {
        PressKey(VK_TAB);
        EXPECT_TRUE(WaitUntil([&] { return FocusIn(sheet.Item(id)); }, 3000)) << "Tab to control " << id;
    }
    const std::pair<BYTE, int> accessKeys[] = {
        {'P', IDC_PREFIX_CHAR}, {'F', IDC_SUFFIX1_CHAR}, {'O', IDC_SUFFIX2_CHAR}, {'S', IDC_STRIP_COUNT}};
    for (const auto& [key, id] : accessKeys) {
        PressAccessKey(key);
        EXPECT_TRUE(WaitUntil([&] { return FocusIn(sheet.Item(id)); }, 3000)) << "Alt+" << key;
    }
    EXPECT_TRUE(sheet) << "no access key answered the sheet's buttons";
}

}  // namespace
}  // namespace apptest

// Drives a running VaskSW.exe from another process, the way a user (or
// another program) could: through its windows, window messages and real
// mouse and keyboard input. Nothing here needs a hook inside the program.
//
// Isolation: the program makes its own folder (build/bin) its current
// directory, so its settings file is build/bin/ConfigSettings.xml. A test
// writes that file before each start (VaskApp::WriteSettings), and Start()
// first ends any instance left over by an earlier test.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/SettingsRecord.h"
#include "tests/support/Process.h"

namespace testsupport {

// ---------------------------------------------------------------- settings file

// The 19 settings of one section, with the program's defaults.
using VaskSettings = SettingsRecord;

// A whole settings file with one Admin section (the Wine user is an
// administrator), as the program itself writes it.
std::string SettingsXml(const VaskSettings& settings);

// Element name -> text of the first section of a settings file; empty when the
// file is missing. Only as much XML as the program writes is understood.
std::map<std::string, std::string> ReadSettingsElements(const std::string& path);

// ---------------------------------------------------------------- windows

std::string WindowTextOf(HWND window);      // WM_GETTEXT, works across processes
// The text the system keeps for the window, read without a message (so also
// while the window's thread is busy).
std::string StoredText(HWND window);
std::string ClassNameOf(HWND window);
// A top-level window of the given class and caption, or nullptr.
HWND FindTopWindow(const char* className, const char* caption);
// Every visible top-level window of a class (for example "#32768" menus).
std::vector<HWND> VisibleTopWindows(const char* className);
HWND WaitForTopWindow(const char* className, const char* caption, DWORD timeoutMs);

bool IsEnabled(HWND window);
// The window's thread does not answer within timeoutMs (it works inside a
// click, for example).
bool IsBusy(HWND window, DWORD timeoutMs = 100);
bool IsVisible(HWND window);

// A click as BM_CLICK. Sent (waits until the program has handled it, as long
// as that takes up to timeoutMs) or posted (returns at once; for buttons
// whose handling opens a modal box).
bool Click(HWND button, DWORD timeoutMs = 60000);
void PostClick(HWND button);
// A Connections page command (Find Scanners, Activate or Deactivate): the
// click, then the wait until the page takes input again, as its command runs
// on the program's scanner worker (the transport buttons are enabled again).
bool ClickCommand(HWND button, DWORD timeoutMs = 60000);
// A real left click at the centre of the window, or at a screen point,
// through SendInput.
bool RealClick(HWND window);
bool RealClickAt(POINT screenPoint);
// A real drag with the left button held, through SendInput: pressed at a
// screen point of window `on` (which captures the mouse), moved in steps to
// another point, released there.
bool RealDrag(HWND on, POINT from, POINT to);
// Activates a top-level window as a user does: a click on its title bar.
bool ClickTitleBar(HWND window);

// Picks list entry or combo entry `index` and tells the parent, as a user's
// click does (LBN_SELCHANGE / CBN_SELCHANGE).
void SelectListEntry(HWND list, int index);
void SelectComboEntry(HWND combo, int index);
int ListSelection(HWND list);
// A list box's entries, or a report-style list view's rows, each row as its
// columns' texts joined by tabs.
std::vector<std::string> ListEntries(HWND list);
int ComboSelection(HWND combo);
std::string ComboText(HWND combo);   // text of the selected entry
std::vector<std::string> ComboEntries(HWND combo);
bool IsChecked(HWND button);

// A list view of another process (report style). Messages that carry a
// pointer get one into a buffer in the list's own process.
bool IsListRowSelected(HWND list, int row);
int SelectedListRows(HWND list);
// Selects or deselects one row, or every row (-1), as LVM_SETITEMSTATE does.
bool SelectListRow(HWND list, int row, bool selected = true);
int ListColumnWidth(HWND list, int column);
// The width of text in the list's font (LVM_GETSTRINGWIDTH).
int ListStringWidth(HWND list, const std::string& text);
// Screen rectangles: a row's, and a column's item of the list's header.
RECT ListRowRect(HWND list, int row);
RECT ListHeadingRect(HWND list, int column);

// Typed text: WM_CHAR per character into the window (no focus needed), or
// real keystrokes (SendInput Unicode) into whatever has the focus.
void PostChars(HWND window, const std::string& text);
bool TypeKeys(const std::wstring& text);

// ---------------------------------------------------------------- pictures

// The screen pixels of a window's rectangle (top-down BGRA rows).
struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    bool empty() const { return pixels.empty(); }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Capture CaptureWindow(HWND window);
Capture CaptureScreenRect(const RECT& rect);
// Pixels that are clearly red (the status line's error colour).
int CountRedPixels(const Capture& capture);
// Pixels that are near black (normal text).
int CountDarkPixels(const Capture& capture);
// A 24-bit BMP file; true when written.
bool SaveBmp(const Capture& capture, const std::string& path);
// The folder named by VASK_SCREENSHOT_DIR (a Unix path under Wine works),
// or nullopt when screenshots are not wanted.
std::optional<std::string> ScreenshotDir();

// ---------------------------------------------------------------- the notification area

// A tooltip of the notification area as the shell holds it: an icon's tip,
// or a balloon (shown while its window is visible).
struct ShellTip {
    std::string text;
    bool visible = false;
    HWND window = nullptr;
};

// Every tool text of the shell's tooltip windows for icons it shows, read out
// of the shell's process (the texts live there; a message cannot carry them
// across).
std::vector<ShellTip> ShellTips();
// The visible tooltip of the shell that holds text (a balloon, or a tip); none when none shows.
HWND ShellShows(const std::string& text);
// Whether the program's tray icon tip (shown or not) holds text.
bool TrayTipHolds(const std::string& text);
// Waits until the tray says an activated scanner has answered with nothing
// waiting: a start-up activation is done with its download, and what is
// scanned from now on is typed.
bool WaitUntilScannerIdle(DWORD timeoutMs = 15000);

// ---------------------------------------------------------------- the program

inline constexpr char MainWindowClass[] = "Brontel Vask";
inline constexpr char MainWindowTitle[] = "BrontelVask";
inline constexpr char SheetCaption[] = "Brontel Vask";
inline constexpr char DialogClass[] = "#32770";
inline constexpr char MenuClass[] = "#32768";
inline constexpr UINT TrayMessage = 201;
inline constexpr int ApplyButtonId = 12321;

// The open settings sheet and its pages.
class Sheet {
public:
    Sheet() = default;
    explicit Sheet(HWND window) : window_(window) {}
    static Sheet Find();
    static Sheet WaitFor(DWORD timeoutMs = 10000);
    // Waits until no sheet is open.
    static bool WaitGone(DWORD timeoutMs = 10000);

    explicit operator bool() const { return window_ && ::IsWindow(window_); }
    HWND window() const { return window_; }

    int PageIndex() const;            // the tab on display, -1 when none
    HWND Page() const;                // PSM_GETCURRENTPAGEHWND
    std::string PageTitle() const;    // the page's caption ("About", ...)
    bool SelectPage(int index) const; // PSM_SETCURSEL, then waits until it shows
    HWND Item(int id) const;          // control of the page on display
    std::string ItemText(int id) const;

    HWND ExitButton() const { return ::GetDlgItem(window_, IDOK); }
    HWND CloseButton() const { return ::GetDlgItem(window_, IDCANCEL); }
    HWND SaveButton() const { return ::GetDlgItem(window_, ApplyButtonId); }
    RECT Rect() const;
    bool MoveTo(int left, int top) const;
    bool IsForeground() const { return ::GetForegroundWindow() == window_; }

private:
    HWND window_ = nullptr;
};

// A message box of the program, found by its caption.
class MessageBoxWindow {
public:
    static MessageBoxWindow WaitFor(const char* caption, DWORD timeoutMs = 10000);
    static bool Exists(const char* caption);
    explicit operator bool() const { return window_ && ::IsWindow(window_); }
    HWND window() const { return window_; }
    std::string Text() const;       // the message (static 0xFFFF)
    bool Answer(int buttonId) const;  // IDYES, IDNO, IDOK: clicks it and waits until the box is gone

private:
    HWND window_ = nullptr;
};

// One running VaskSW.exe.
class VaskApp {
public:
    VaskApp() = default;
    // A copy of the program elsewhere (an installed one), started in folder.
    VaskApp(std::string exePath, std::string folder) : exe_(std::move(exePath)), folder_(std::move(folder)) {}
    ~VaskApp();
    VaskApp(const VaskApp&) = delete;
    VaskApp& operator=(const VaskApp&) = delete;

    static std::string ExePath();
    static std::string SettingsPath();
    static void WriteSettings(const VaskSettings& settings);
    static void RemoveSettingsFile();
    // Ends every instance left over (main window found): politely, then by force.
    static void EndRunningInstances();
    // The hidden main window of the running instance, or nullptr.
    static HWND FindMainWindow();
    // Deletes the start-with-Windows value under both hives.
    static void ClearRunValues();
    // The user's file of unfinished barcodes, which the next start lists.
    static std::string UnfinishedBarcodesPath();
    // Deletes it, so that no earlier test's barcodes are listed.
    static void ForgetUnfinishedBarcodes();

    // Ends leftovers, starts the program and waits for its main window and
    // for its first wait for input (see SettledAfterStart).
    bool Start(DWORD timeoutMs = 20000);
    // Starts one more copy (for second-start tests) without waiting.
    ChildProcess StartAnother() const;

    ChildProcess& process() { return process_; }
    HWND MainWindow() const { return mainWindow_; }
    bool Running() const { return process_.Running(); }

    // Tray gestures, as the shell reports them to the main window.
    void TrayClick() const;          // WM_LBUTTONDOWN
    void TrayDoubleClick() const;    // WM_LBUTTONDBLCLK (posted)
    bool OpenTrayMenu(DWORD timeoutMs = 5000) const;  // WM_RBUTTONDOWN; waits for the menu
    // Picks "&About", "&Open" or "&Exit" of the open tray menu by its access key.
    bool PickTrayMenuItem(char accessKey) const;
    static HWND OpenMenuWindow();

    // "&Exit" from the tray, answered Yes; waits for the end. Returns the exit code.
    DWORD ExitThroughTray(DWORD timeoutMs = 15000);
    // Waits for the process to end; the exit code, or 0xFFFFFFFF on timeout.
    DWORD WaitForExit(DWORD timeoutMs);

private:
    bool SettledAfterStart(DWORD timeoutMs);

    ChildProcess process_;
    HWND mainWindow_ = nullptr;
    std::string exe_ = ExePath();
    std::string folder_ = BinDir();
};

}  // namespace testsupport

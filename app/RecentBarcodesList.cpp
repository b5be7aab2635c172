#include "app/RecentBarcodesList.h"

#include <algorithm>

#include "delivery/BarcodeHistory.h"
#include "delivery/TraceText.h"
#include "win/Shielded.h"

namespace {

enum Column : int { TimeColumn, WindowColumn, BarcodeColumn, ColumnCount };
constexpr const char* Headings[ColumnCount] = {"Time", "Window", "Barcode"};

// The window column's width at first, in dialog units; the barcode column
// takes the rest of the list's width, and keeps at least its minimum.
constexpr int WindowColumnUnits = 94;
constexpr int BarcodeColumnLeastUnits = 60;

int DialogUnitsX(HWND list, int units) {
    RECT r{0, 0, units, 0};
    ::MapDialogRect(::GetParent(list), &r);
    return r.right;
}

int TextWidth(HWND list, const char* text) {
    return static_cast<int>(::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text)));
}

// Room for the text and the blank the list leaves on either side of it.
int ColumnWidthFor(HWND list, const char* text) { return TextWidth(list, text) + TextWidth(list, "00"); }

int TimeColumnWidth(HWND list, bool dated) {
    return ColumnWidthFor(list, dated ? "0000-00-00 00:00:00" : "00:00:00");
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void SetColumnWidth(HWND list, int column, int width) {
    ::SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

int OuterWidth(HWND list) {
    RECT r{};
    ::GetWindowRect(list, &r);
    return r.right - r.left;
}

// The text in the program's code page as UTF-16, for a list that asks in Unicode.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(std::max(
        ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1, 0)));
    return wide;
}

// "time<tab>where<tab>barcode" as its three columns.
void SplitColumns(const std::string& line, std::string (&fields)[ColumnCount]) {
    size_t from = 0;
    for (int column = 0; column < ColumnCount; ++column) {
        const size_t tab = column + 1 < ColumnCount ? line.find('\t', from) : std::string::npos;
        fields[column] = line.substr(from, tab == std::string::npos ? std::string::npos : tab - from);
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
}

}  // namespace

void RecentBarcodesList::Attach(HWND list) {
    list_ = list;
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER;
    ::SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client{};
    ::GetClientRect(list_, &client);
    int widths[ColumnCount] = {TimeColumnWidth(list_, false), DialogUnitsX(list_, WindowColumnUnits), 0};
    // Room for a vertical scroll bar, so that a full list needs no horizontal one.
    widths[BarcodeColumn] = std::max<int>(client.right - ::GetSystemMetrics(SM_CXVSCROLL) - widths[0] - widths[1],
                                          DialogUnitsX(list_, BarcodeColumnLeastUnits));
    for (int column = 0; column < ColumnCount; ++column) {
        LVCOLUMNA heading{};
        heading.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        heading.pszText = const_cast<char*>(Headings[column]);
        heading.cx = widths[column];
        heading.iSubItem = column;
        ::SendMessageA(list_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&heading));
    }
    widthSeen_ = OuterWidth(list_);
    LendTipATool();
}

// A list view that shows no info tips itself (Wine's has a tooltip without a
// tool) lends its tooltip a tool over all its rows, which asks the window for
// its text; the row under the mouse says which barcode. A long barcode
// breaks into lines.
void RecentBarcodesList::LendTipATool() {
    const auto tip = reinterpret_cast<HWND>(::SendMessageA(list_, LVM_GETTOOLTIPS, 0, 0));
    if (!tip) return;
    ::SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, DialogUnitsX(list_, 300));
    if (::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0) > 0) return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(list_);
    tool.uId = reinterpret_cast<UINT_PTR>(list_);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    if (!::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) return;
    tip_ = tip;
    (void)::SetWindowSubclass(list_, FollowingTheMouse, 0, reinterpret_cast<DWORD_PTR>(this));
}

int RecentBarcodesList::RowUnderMouse() const {
    LVHITTESTINFO hit{};
    ::GetCursorPos(&hit.pt);
    ::ScreenToClient(list_, &hit.pt);
    return static_cast<int>(::SendMessageA(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

// The mouse went onto another row: the lent tooltip goes, and asks anew.
LRESULT CALLBACK RecentBarcodesList::FollowingTheMouse(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                                       UINT_PTR, DWORD_PTR self) {
    if (message == WM_MOUSEMOVE)
        win::Shielded([&] {
            auto* shown = reinterpret_cast<RecentBarcodesList*>(self);
            if (const int row = shown->RowUnderMouse(); row != shown->tipRow_) {
                shown->tipRow_ = row;
                ::SendMessageA(shown->tip_, TTM_POP, 0, 0);
            }
        });
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(list, FollowingTheMouse, 0);
    return ::DefSubclassProc(list, message, wParam, lParam);
}

// The list holds no rows of its own (LVS_OWNERDATA): it knows how many there
// are, which are selected and which has the focus, and asks for the texts of
// those it shows (OnNotify). With `added` rows new on top, the selection and
// the focus move down with their barcodes.
void RecentBarcodesList::ShowRows(int added) const {
    const std::vector<int> selected = SelectedRows();
    const auto focused =
        static_cast<int>(::SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const auto mark = static_cast<int>(::SendMessageA(list_, LVM_GETSELECTIONMARK, 0, 0));
    const auto count = static_cast<int>(shown_.size());
    ::SendMessageA(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOSCROLL);
    if (added == 0) return;
    SetRowState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : selected)
        if (row + added < count) SetRowState(row + added, LVIS_SELECTED, LVIS_SELECTED);
    if (focused >= 0 && focused + added < count) SetRowState(focused + added, LVIS_FOCUSED, LVIS_FOCUSED);
    if (mark >= 0 && mark + added < count) ::SendMessageA(list_, LVM_SETSELECTIONMARK, 0, mark + added);
}

void RecentBarcodesList::SetRowState(int row, UINT state, UINT mask) const {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    ::SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Newest first.
std::vector<int> RecentBarcodesList::SelectedRows() const {
    std::vector<int> rows;
    for (auto row = static_cast<int>(::SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         row >= 0 && static_cast<size_t>(row) < shown_.size();
         row = static_cast<int>(::SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
        rows.push_back(row);
    return rows;
}

std::string RecentBarcodesList::ColumnText(int row, int column) const {
    if (row < 0 || static_cast<size_t>(row) >= shown_.size() || column < 0 || column >= ColumnCount) return {};
    std::string fields[ColumnCount];
    SplitColumns(RecentBarcodeLine(shown_[static_cast<size_t>(row)], today_), fields);
    return fields[column];
}

// A listed barcode whose fate changed (typed, or typed only in part) shows
// it; the row keeps its selection.
void RecentBarcodesList::UpdateListed(const RecentBarcode& entry) {
    for (size_t i = 0; i < shown_.size(); ++i) {
        if (shown_[i].sequence != entry.sequence) continue;
        shown_[i] = entry;
        ::SendMessageA(list_, LVM_REDRAWITEMS, i, static_cast<LPARAM>(i));
        return;
    }
}

// Whether a row is from another day than today: then its time shows the
// date, the time column is wide enough for it, and the barcode column gives
// up that room.
void RecentBarcodesList::FollowDates() {
    today_ = LocalClockNow();
    const bool dated = std::any_of(shown_.begin(), shown_.end(),
                                   [this](const RecentBarcode& entry) { return entry.time.OnAnotherDayThan(today_); });
    if (dated == dated_) return;
    dated_ = dated;
    const int before = ColumnWidth(list_, TimeColumn);
    const int after = TimeColumnWidth(list_, dated);
    SetColumnWidth(list_, TimeColumn, after);
    SetColumnWidth(list_, BarcodeColumn,
                   std::max(ColumnWidth(list_, BarcodeColumn) - (after - before),
                            DialogUnitsX(list_, BarcodeColumnLeastUnits)));
}

void RecentBarcodesList::TakeNewBarcodes() {
    BarcodeHistoryNoticed();
    revisionSeen_ = BarcodeHistory().CopyChangedSince(revisionSeen_, arrived_);
    if (arrived_.empty()) return;
    int added = 0;
    for (auto entry = arrived_.rbegin(); entry != arrived_.rend(); ++entry) {
        if (entry->sequence <= newestSeen_) {
            UpdateListed(*entry);
            continue;
        }
        shown_.push_front(*entry);
        newestSeen_ = entry->sequence;
        ++added;
    }
    while (shown_.size() > RecentBarcodes::Capacity) shown_.pop_back();
    FollowDates();
    ShowRows(added);
    ::InvalidateRect(list_, nullptr, TRUE);
}

void RecentBarcodesList::Clear() {
    shown_.clear();
    ShowRows(0);
    FollowDates();
}

void RecentBarcodesList::SelectNewest() const {
    if (shown_.empty()) return;
    SetRowState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SendMessageA(list_, LVM_SETSELECTIONMARK, 0, 0);
    ::SendMessageA(list_, LVM_ENSUREVISIBLE, 0, FALSE);
}

std::vector<const RecentBarcode*> RecentBarcodesList::SelectedOldestFirst() const {
    const std::vector<int> rows = SelectedRows();
    std::vector<const RecentBarcode*> selected;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) selected.push_back(&shown_[static_cast<size_t>(*row)]);
    return selected;
}

std::vector<const RecentBarcode*> RecentBarcodesList::AllOldestFirst() const {
    std::vector<const RecentBarcode*> all;
    for (auto entry = shown_.rbegin(); entry != shown_.rend(); ++entry) all.push_back(&*entry);
    return all;
}

void RecentBarcodesList::FollowWidth() {
    if (!list_) return;
    const int width = OuterWidth(list_);
    if (width == widthSeen_) return;
    const int least = ColumnWidthFor(list_, Headings[WindowColumn]);
    SetColumnWidth(list_, WindowColumn, std::max(ColumnWidth(list_, WindowColumn) + width - widthSeen_, least));
    widthSeen_ = width;
}

std::string RecentBarcodesList::BarcodeOfRow(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= shown_.size()) return {};
    const RecentBarcode& entry = shown_[static_cast<size_t>(row)];
    return RawDisplayText(entry.bytes, entry.length);
}

// The texts of the rows it shows; the info tip of a row is its whole
// barcode, which its column may show cut. Typing in the list looks for no
// row (its rows are times).
bool RecentBarcodesList::OnNotify(NMHDR& header) {
    if (header.code == TTN_GETDISPINFOA && tip_ && header.idFrom == reinterpret_cast<UINT_PTR>(list_)) {
        tipRow_ = RowUnderMouse();
        tipText_ = BarcodeOfRow(tipRow_);
        reinterpret_cast<NMTTDISPINFOA&>(header).lpszText = tipText_.data();
        return false;
    }
    if (header.hwndFrom != list_) return false;
    if (header.code == LVN_ODFINDITEMA || header.code == LVN_ODFINDITEMW) {
        ::SetWindowLongPtrA(::GetParent(list_), DWLP_MSGRESULT, -1);
        return true;
    }
    if (header.code == LVN_GETDISPINFOA) {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(header).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            ::lstrcpynA(item.pszText, ColumnText(item.iItem, item.iSubItem).c_str(), item.cchTextMax);
    } else if (header.code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            ::lstrcpynW(item.pszText, Wide(ColumnText(item.iItem, item.iSubItem)).c_str(), item.cchTextMax);
    } else if (header.code == LVN_GETINFOTIPA) {
        auto& tip = reinterpret_cast<NMLVGETINFOTIPA&>(header);
        if (tip.pszText && tip.cchTextMax > 0)
            ::lstrcpynA(tip.pszText, BarcodeOfRow(tip.iItem).c_str(), tip.cchTextMax);
    } else if (header.code == LVN_GETINFOTIPW) {
        auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
        if (tip.pszText && tip.cchTextMax > 0)
            ::lstrcpynW(tip.pszText, Wide(BarcodeOfRow(tip.iItem)).c_str(), tip.cchTextMax);
    }
    return false;
}

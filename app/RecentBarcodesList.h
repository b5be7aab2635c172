// The Recent Barcodes window's list: a report-style list view of the
// barcodes of this run as the history holds them (delivery/BarcodeHistory.h),
// newest first, one row each in three columns: the time (with the date for a
// barcode from another day), where it went (the window that took its keys,
// or what became of it) and the barcode as the Trace page shows raw data.
// The barcodes are kept here alone: the list view holds no rows of its own
// (LVS_OWNERDATA), only their selection, and asks for the texts it shows, so
// its memory stays the same however many barcodes pass through it. Several
// rows may be selected. Resting the mouse on a row shows its whole barcode in
// an info tip. The user may drag a column wider; the window column takes
// what a larger window gains, so a long title can be read. Owned by its
// window; user-interface thread only.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "delivery/RecentBarcodes.h"

class RecentBarcodesList {
public:
    // Takes on the window's list view: its columns and extended styles.
    void Attach(HWND list);
    HWND Window() const { return list_; }

    // Copies out what the history added or changed since the last copy: new
    // barcodes go on top, changed ones are shown anew, the oldest beyond the
    // history's size fall off the end.
    void TakeNewBarcodes();
    // Forgets every row.
    void Clear();
    size_t Size() const { return shown_.size(); }

    // The newest row alone selected, with the focus, so Enter types it again.
    void SelectNewest() const;
    // The selected barcodes, and all of them, oldest first (the order they
    // were scanned in).
    std::vector<const RecentBarcode*> SelectedOldestFirst() const;
    std::vector<const RecentBarcode*> AllOldestFirst() const;

    // After the list was made wider or narrower: the window column gains (or
    // gives back) the difference.
    void FollowWidth();
    // A notification to the window (WM_NOTIFY): the list's texts and info
    // tips are answered here. True when the answer is the dialog's result
    // (DWLP_MSGRESULT).
    bool OnNotify(NMHDR& header);

private:
    void LendTipATool();
    static LRESULT CALLBACK FollowingTheMouse(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self);
    int RowUnderMouse() const;
    void ShowRows(int added) const;
    void SetRowState(int row, UINT state, UINT mask) const;
    std::vector<int> SelectedRows() const;
    std::string ColumnText(int row, int column) const;
    void UpdateListed(const RecentBarcode& entry);
    void FollowDates();
    std::string BarcodeOfRow(int row) const;

    HWND list_ = nullptr;
    std::deque<RecentBarcode> shown_;      // the rows' barcodes, newest first
    std::vector<RecentBarcode> arrived_;   // reused for each copy out of the history
    uint64_t newestSeen_ = 0;              // the newest sequence listed
    uint64_t revisionSeen_ = 0;            // the history's revision last copied
    ClockTime today_;                      // the day the rows' times are shown against
    bool dated_ = false;                   // a row is from another day: the time column shows dates
    int widthSeen_ = 0;                    // the list's width when its columns were last fitted
    HWND tip_ = nullptr;                   // the list's tooltip, when the list lent it a tool
    int tipRow_ = -1;                      // the row it shows the barcode of
    std::string tipText_;                  // that barcode, while the tooltip asks for it
};

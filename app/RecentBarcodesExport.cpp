#include "app/RecentBarcodesExport.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/RecentStatus.h"
#include "delivery/ScanLog.h"

namespace {

bool PutOnClipboard(HWND owner, const std::u16string& text) {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    if (void* data = ::GlobalLock(memory)) {
        std::memcpy(data, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(owner)) {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    const bool placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    if (!placed) ::GlobalFree(memory);  // the clipboard owns it only once placed
    return placed;
}

}  // namespace

void CopyBarcodes(HWND dialog, const std::vector<const RecentBarcode*>& barcodes) {
    if (barcodes.empty()) return SetRecentStatus(dialog, "Select the barcodes to copy first.");
    if (!PutOnClipboard(dialog, ClipboardText(barcodes)))
        return SetRecentStatus(dialog, "The clipboard is in use: nothing copied.");
    SetRecentStatus(dialog, "Copied " + Plural(barcodes.size(), "barcode") + ".");
}

void SaveBarcodesAs(HWND dialog, const std::vector<RecentBarcode>& barcodes) {
    if (barcodes.empty()) return SetRecentStatus(dialog, "There are no barcodes to save.");
    wchar_t path[MAX_PATH] = L"Recent Barcodes.csv";
    OPENFILENAMEW question{};
    question.lStructSize = sizeof question;
    question.hwndOwner = dialog;
    question.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    question.lpstrFile = path;
    question.nMaxFile = MAX_PATH;
    question.lpstrDefExt = L"csv";
    question.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&question)) return;
    std::vector<const RecentBarcode*> rows;
    for (const RecentBarcode& barcode : barcodes) rows.push_back(&barcode);
    if (!scanlog::SaveAs(path, rows)) return SetRecentStatus(dialog, "The file could not be written: nothing saved.");
    SetRecentStatus(dialog, "Saved " + Plural(barcodes.size(), "barcode") + ".");
}

void OpenScanLogFolder(HWND dialog) {
    const std::wstring folder = scanlog::Folder();
    (void)::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (reinterpret_cast<INT_PTR>(::ShellExecuteW(dialog, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <=
        32)
        SetRecentStatus(dialog, "The scan log's folder could not be opened.");
}

#include "pages/RulesDialog.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/RuleText.h"
#include "delivery/RuleTextLines.h"
#include "delivery/SampleText.h"
#include "delivery/ShapingInForce.h"
#include "pages/PageSupport.h"
#include "pages/RulesChoices.h"
#include "pages/DialogLayout.h"
#include "res/resource.h"
#include "win/ListControls.h"

namespace {

// What one dialog holds, on ShowBarcodeRules's stack; the dialog keeps a
// pointer in DWLP_USER from WM_INITDIALOG on.
struct RulesDialog {
    FormatSettings format;  // the Format page's settings, which frame the preview
    AnsiCodePage ansi;
    bool byPolicy = false;  // the administrator's text: shown, not edited
    bool statusIsError = false;
    std::unique_ptr<const BarcodeShaper> shaper;  // from the text as it stands
    dialoglayout::Layout layout;
};

// The rules text takes what the dialog gains, the rows under it keep their
// distance from the bottom, the sample and preview fields take the width,
// the buttons keep their distance from the right.
using namespace dialoglayout;
constexpr Rule LayoutRules[] = {
    {IDC_RULES_TEXT_LABEL, 0},
    {IDC_RULES_POLICY_NOTE, MoveRight},
    {IDC_RULES_TEXT, GrowWide | GrowTall},
    {IDC_RULES_STATUS, MoveDown | GrowWide},
    {IDC_RULES_ENCODING_LABEL, MoveDown},
    {IDC_RULES_ENCODING, MoveDown},
    {IDC_RULES_SEPARATOR_LABEL, MoveDown},
    {IDC_RULES_SEPARATOR, MoveDown},
    {IDC_RULES_SAMPLE_LABEL, MoveDown},
    {IDC_RULES_SAMPLE, MoveDown | GrowWide},
    {IDC_RULES_NEWEST, MoveDown | MoveRight},
    {IDC_RULES_PREVIEW_LABEL, MoveDown},
    {IDC_RULES_PREVIEW, MoveDown | GrowWide},
    {IDOK, MoveDown | MoveRight},
    {IDCANCEL, MoveDown | MoveRight},
};

RulesDialog* DataOf(HWND dialog) { return reinterpret_cast<RulesDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER)); }

HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

std::string TextOf(HWND dialog, int id) { return pages::LinesOf(Item(dialog, id)); }

void SetText(HWND dialog, int id, std::string_view utf8) { pages::SetLines(Item(dialog, id), utf8); }

void SetStatus(HWND dialog, RulesDialog& data, const std::string& text, bool isError) {
    data.statusIsError = isError;
    SetText(dialog, IDC_RULES_STATUS, text);
    ::InvalidateRect(Item(dialog, IDC_RULES_STATUS), nullptr, TRUE);
}

void ShowPreview(HWND dialog, const RulesDialog& data) {
    SetText(dialog, IDC_RULES_PREVIEW,
            RulesPreviewText(TextOf(dialog, IDC_RULES_SAMPLE), data.shaper.get(), data.format, data.ansi));
}

// The text changed (typed, or rewritten by a box): its first error, the
// boxes as it says, and the preview with it.
void RulesChanged(HWND dialog, RulesDialog& data) {
    const RuleText parsed = ParseRuleText(TextOf(dialog, IDC_RULES_TEXT));
    data.shaper = PreviewShaper(parsed.settings, data.ansi);
    SetStatus(dialog, data, RulesStatusText(parsed), !parsed.errors.empty());
    win::ComboBox(Item(dialog, IDC_RULES_ENCODING)).Select(EncodingItemIndex(parsed.settings.encoding));
    win::ComboBox(Item(dialog, IDC_RULES_SEPARATOR)).Select(SeparatorItemIndex(parsed.settings.controls.For(0x1D)));
    ShowPreview(dialog, data);
}

// A box's choice written into the text, the rest of the text kept. (A
// multi-line field tells nothing of a text set by the program.)
void OnChoice(HWND dialog, RulesDialog& data, int id) {
    const std::optional<int> index = win::ComboBox(Item(dialog, id)).Selected();
    if (!index) return;
    const std::string text = TextOf(dialog, IDC_RULES_TEXT);
    SetText(dialog, IDC_RULES_TEXT, id == IDC_RULES_ENCODING ? WithEncodingLine(text, EncodingOfItem(*index))
                                                             : WithControlLine(text, 0x1D, SeparatorOfItem(*index)));
    RulesChanged(dialog, data);
}

std::vector<RecentBarcode> RecentBarcodesNow() {
    std::vector<RecentBarcode> barcodes;
    BarcodeHistory().CopyNewerThan(0, barcodes);
    return barcodes;
}

void FillNewestBarcode(HWND dialog, const RulesDialog& data) {
    const std::vector<RecentBarcode> barcodes = RecentBarcodesNow();
    if (barcodes.empty()) return;
    const RecentBarcode& newest = barcodes.front();
    SetText(dialog, IDC_RULES_SAMPLE,
            SampleTextOf(std::string_view(reinterpret_cast<const char*>(newest.bytes), newest.length)));
    ShowPreview(dialog, data);
}

// The caret at the error, in the rules text, with the focus.
void PointAtError(HWND dialog, const RuleTextError& error) {
    const HWND text = Item(dialog, IDC_RULES_TEXT);
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(text), TRUE);
    const LRESULT lineStart = ::SendMessageW(text, EM_LINEINDEX, static_cast<WPARAM>(error.line - 1), 0);
    if (lineStart < 0) return;
    const auto at = static_cast<WPARAM>(lineStart) + (error.column > 0 ? error.column - 1 : 0);
    ::SendMessageW(text, EM_SETSEL, at, static_cast<LPARAM>(at));
    ::SendMessageW(text, EM_SCROLLCARET, 0, 0);
}

// OK: saved and closed only when every line reads.
void OnOk(HWND dialog, RulesDialog& data) {
    if (data.byPolicy) return;
    const std::string text = TextOf(dialog, IDC_RULES_TEXT);
    const RuleText parsed = ParseRuleText(text);
    if (!parsed.errors.empty()) {
        SetStatus(dialog, data, "Not saved: " + RuleTextErrorText(parsed.errors.front()), true);
        PointAtError(dialog, parsed.errors.front());
        return;
    }
    if (!WriteUserText(BarcodeRulesValue, text)) {
        SetStatus(dialog, data, "Not saved: the rules could not be written to the registry.", true);
        return;
    }
    ::EndDialog(dialog, IDOK);
}

// The administrator's text: read only, the boxes and OK greyed, the note shown.
void ShowPolicyText(HWND dialog) {
    ::SendMessageW(Item(dialog, IDC_RULES_TEXT), EM_SETREADONLY, TRUE, 0);
    for (int id : {IDC_RULES_ENCODING, IDC_RULES_SEPARATOR, IDOK}) ::EnableWindow(Item(dialog, id), FALSE);
    ::ShowWindow(Item(dialog, IDC_RULES_POLICY_NOTE), SW_SHOWNA);
    ::SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
}

void FillBox(HWND dialog, int id, const std::vector<std::string>& items) {
    const win::ComboBox box(Item(dialog, id));
    for (const std::string& item : items) box.Add(item);
}

void OnInit(HWND dialog, RulesDialog& data) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&data));
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VASK));
    ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    data.layout.Take(dialog, LayoutRules);
    FillBox(dialog, IDC_RULES_ENCODING, EncodingItems());
    FillBox(dialog, IDC_RULES_SEPARATOR, SeparatorItems());
    ::SendMessageW(Item(dialog, IDC_RULES_TEXT), EM_SETLIMITTEXT, 0, 0);  // no limit of 30,000 characters
    const UserText stored = ReadUserText(BarcodeRulesValue);
    data.byPolicy = stored.byPolicy;
    SetText(dialog, IDC_RULES_TEXT, stored.text);
    // Nothing is fetched while a window of ours is in front: the list cannot grow meanwhile.
    ::EnableWindow(Item(dialog, IDC_RULES_NEWEST), !RecentBarcodesNow().empty());
    if (data.byPolicy) ShowPolicyText(dialog);
    RulesChanged(dialog, data);
    ::SetFocus(Item(dialog, data.byPolicy ? IDC_RULES_SAMPLE : IDC_RULES_TEXT));
}

void OnCommand(HWND dialog, RulesDialog& data, int id, int code) {
    switch (id) {
    case IDC_RULES_TEXT:
        if (code == EN_CHANGE) RulesChanged(dialog, data);
        break;
    case IDC_RULES_SAMPLE:
        if (code == EN_CHANGE) ShowPreview(dialog, data);
        break;
    case IDC_RULES_ENCODING:
    case IDC_RULES_SEPARATOR:
        if (code == CBN_SELCHANGE) OnChoice(dialog, data, id);
        break;
    case IDC_RULES_NEWEST:
        if (code == BN_CLICKED) FillNewestBarcode(dialog, data);
        break;
    case IDOK: OnOk(dialog, data); break;
    case IDCANCEL: ::EndDialog(dialog, IDCANCEL); break;
    default: break;
    }
}

// An error in the status line is drawn in red.
INT_PTR OnStaticColour(HWND dialog, const RulesDialog& data, HDC dc, HWND control) {
    if (control != Item(dialog, IDC_RULES_STATUS) || !data.statusIsError) return FALSE;
    ::SetTextColor(dc, RGB(192, 0, 0));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR CALLBACK RulesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return pages::WithoutExceptions([&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            OnInit(dialog, *reinterpret_cast<RulesDialog*>(lParam));
            return FALSE;  // the focus is set
        }
        RulesDialog* data = DataOf(dialog);
        if (!data) return FALSE;
        switch (message) {
        case WM_COMMAND: OnCommand(dialog, *data, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_CTLCOLORSTATIC:
            return OnStaticColour(dialog, *data, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SIZE: data->layout.Follow(dialog); return FALSE;
        case WM_GETMINMAXINFO: data->layout.Limit(*reinterpret_cast<MINMAXINFO*>(lParam)); return FALSE;
        default: return FALSE;
        }
    });
}

}  // namespace

bool ShowBarcodeRules(HWND owner) {
    RulesDialog data;
    data.format = App.Format();
    data.ansi = SystemAnsiCodePage();
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BARCODE_RULES), owner, RulesDialogProc,
                             reinterpret_cast<LPARAM>(&data)) == IDOK;
}

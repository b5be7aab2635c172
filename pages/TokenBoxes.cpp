#include "pages/TokenBoxes.h"

#include <vector>

#include "pages/FormatChoices.h"
#include "win/WinText.h"

namespace pages {
namespace {

void FillCombo(const win::ComboBox& combo, const std::vector<std::string>& items) {
    combo.Clear();
    for (const std::string& item : items) combo.Add(item);
}

}  // namespace

void ShowStripCount(const win::ComboBox& combo, int strip) {
    FillCombo(combo, StripCountItems());
    combo.Select(StripItemIndex(strip));
}

void ShowStoredToken(const win::ComboBox& combo, const std::string& stored) {
    const std::vector<std::string> items = TokenItems();
    FillCombo(combo, items);
    const StoredTokenChoice choice = ChooseStoredToken(items, stored);
    if (choice.append) combo.Add(stored);
    combo.Select(choice.select);
}

std::string TypedToken(HWND combo) {
    const std::string text = win::WindowText(combo);
    if (text.empty()) return text;
    const char* next = ::CharNextA(text.c_str());
    return text.substr(0, static_cast<size_t>(next - text.c_str()));
}

}  // namespace pages

// What the Format page lists in its combo boxes and which item it selects for
// a stored setting. Plain C++: no Windows headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Items of the strip-count box: "0" to "5"; an item's index is its count.
constexpr int MaxStripCount = 5;
std::vector<std::string> StripCountItems();

// The item to select for a stored strip count; -1 (no selection) when the
// count is not one of the items.
int StripItemIndex(int strip);

// Items of a prefix or suffix box before the stored value is considered: the
// token names in the order of the token table.
std::vector<std::string> TokenItems();

// How a stored token is shown: the first item that begins with it (case
// ignored) is selected when its text equals the token exactly (case counts);
// otherwise the token is appended as an item of its own and that is selected.
// So a stored "n" finds "None" but still gets its own item.
struct StoredTokenChoice {
    bool append = false;  // add the stored token after `items`
    int select = -1;      // index to select, counting the appended item
};
StoredTokenChoice ChooseStoredToken(const std::vector<std::string>& items, std::string_view stored);

// The index of the first item that begins with `prefix`, ignoring case; -1 if none.
int FindItemStartingWith(const std::vector<std::string>& items, std::string_view prefix);

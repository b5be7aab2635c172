#include "pages/FormatChoices.h"

#include "delivery/Formatting.h"

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (FoldCase(text[i]) != FoldCase(prefix[i])) return false;
    return true;
}

}  // namespace

std::vector<std::string> StripCountItems() {
    std::vector<std::string> items;
    for (int count = 0; count <= MaxStripCount; ++count) items.push_back(std::to_string(count));
    return items;
}

int StripItemIndex(int strip) {
    return (strip >= 0 && strip <= MaxStripCount) ? strip : -1;
}

std::vector<std::string> TokenItems() {
    std::vector<std::string> items;
    for (const NamedToken& token : TokenTable) items.emplace_back(token.name);
    return items;
}

int FindItemStartingWith(const std::vector<std::string>& items, std::string_view prefix) {
    for (size_t i = 0; i < items.size(); ++i)
        if (StartsWithIgnoringCase(items[i], prefix)) return static_cast<int>(i);
    return -1;
}

StoredTokenChoice ChooseStoredToken(const std::vector<std::string>& items, std::string_view stored) {
    int found = FindItemStartingWith(items, stored);
    if (found >= 0 && items[static_cast<size_t>(found)] == stored) return {false, found};
    return {true, static_cast<int>(items.size())};
}

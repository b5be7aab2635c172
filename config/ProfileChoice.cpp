#include "config/Profile.h"

#include <algorithm>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y);
           });
}

std::string_view FileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool Contains(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char x, char y) {
               return Lower(x) == Lower(y);
           }) != text.end();
}

}  // namespace

const Profile* ChooseProfile(const std::vector<Profile>& profiles, std::string_view program, std::string_view title) {
    const Profile* anyWindow = nullptr;
    for (const Profile& profile : profiles) {
        if (program.empty() || !SameText(FileNameOf(profile.program), FileNameOf(program))) continue;
        if (profile.titleContains.empty()) {
            if (!anyWindow) anyWindow = &profile;
        } else if (Contains(title, profile.titleContains)) {
            return &profile;
        }
    }
    return anyWindow;
}

// Damaged settings files made from valid ones, for the mutation run of the
// start-up read: bytes flipped, elements cut, duplicated and nested, the
// text truncated, the encoding or its declaration changed. The same seed
// gives the same files.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace configtest {

class SettingsMutator {
public:
    explicit SettingsMutator(uint32_t seed) : random_(seed) {}

    // One to four mutations of file; what was done goes into description.
    std::string Mutate(const std::string& file, std::string& description);

    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(random_() % n); }

private:
    // One of the start tags (when there are at least `least`), picked at
    // random, and the end of its element; false when it has none.
    bool PickElement(const std::string& file, const std::vector<size_t>& tags, size_t least, size_t& at, size_t& end);
    std::string FlipBytes(std::string file, std::string& description);
    std::string CutElement(std::string file, std::string& description);
    std::string DuplicateElement(std::string file, std::string& description);
    std::string NestElement(std::string file, std::string& description);
    std::string NestDeeply(std::string file, std::string& description);
    std::string Truncate(std::string file, std::string& description);
    std::string RenameElement(std::string file, std::string& description);
    std::string InsertMarkup(std::string file, std::string& description);
    std::string ChangeDeclaration(std::string file, std::string& description);
    std::string ChangeEncoding(std::string file, std::string& description);

    std::mt19937 random_;
};

// The UTF-8 text as UTF-16 (little- or big-endian) or UTF-32LE bytes; bytes
// that are no UTF-8 are taken as Latin-1 characters.
std::string Utf8To(const std::string& utf8, int unitBytes, bool bigEndian);

}  // namespace configtest

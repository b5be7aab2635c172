#include "delivery/Formatting.h"

const NamedToken* FindNamedToken(std::string_view token) {
    for (const NamedToken& named : TokenTable)
        if (named.name == token) return &named;
    return nullptr;
}

std::string TokenDisplayText(std::string_view token, int ctrl) {
    if (const NamedToken* named = FindNamedToken(token))
        return std::string(ctrl ? named->ctrlTrace : named->trace);
    if (ctrl) return "<Ctrl " + std::string(token) + ">";
    return std::string(token);
}

std::string_view TokenCharacter(std::string_view token, LeadByteTest isLeadByte) {
    static constexpr char Terminator[1] = {'\0'};
    if (token.empty()) return {Terminator, 1};
    const bool pair = token.size() >= 2 && isLeadByte(static_cast<unsigned char>(token[0]));
    return token.substr(0, pair ? 2 : 1);
}

ByteRange StrippedRange(size_t length, int strip) {
    const int16_t s = static_cast<int16_t>(strip);
    const int16_t l = static_cast<int16_t>(length > 0x7FFF ? 0x7FFF : length);
    // A negative count (not offered by the page, but possible in a hand-edited
    // file) cuts nothing rather than reading before the barcode.
    if (s < 0) return {0, length};
    if (s >= l) return {static_cast<size_t>(s), 0};
    return {static_cast<size_t>(s), length - static_cast<size_t>(s)};
}

#include "common/Codec936.h"

#include "common/Text.h"

#include <algorithm>

namespace {
bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
} // namespace

std::string Codec936::cutBytes(std::string_view bytes, std::size_t maxBytes) {
    if (bytes.size() <= maxBytes)
        return std::string(bytes);
    // Walk from the start: a lead byte always starts a two-byte character in GBK.
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t width =
            (isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return std::string(bytes.substr(0, i));
}

std::u16string Codec936::cutToBytes(std::u16string_view text, std::size_t maxBytes) const {
    // Through the bytes even when the text fits: what the ANSI interface gives back has
    // "?" where the code page has no character.
    return decode(cutBytes(encode(text), maxBytes));
}

std::vector<std::u16string> Codec936::unencodable(std::u16string_view text) const {
    std::vector<std::u16string> lost;
    if (canEncode(text))
        return lost;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = Text::isHighSurrogate(text[i]) && i + 1 < text.size() &&
                          Text::isLowSurrogate(text[i + 1]);
        const std::size_t width = pair ? 2 : 1;
        std::u16string character(text.substr(i, width));
        if (std::find(lost.begin(), lost.end(), character) == lost.end() && !canEncode(character))
            lost.push_back(std::move(character));
        i += width;
    }
    return lost;
}

#pragma once

#include <string>
#include <string_view>

// Program text is UTF-16 (std::u16string); the file system, the environment and most
// libraries of Linux speak UTF-8. These are the only conversions between the two.
// Ill-formed input (a lone surrogate, a broken UTF-8 sequence) becomes U+FFFD.
namespace Text {
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view bytes);

inline bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace Text

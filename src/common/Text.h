#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Program text is UTF-16 (std::u16string); the file system, the environment and most
// libraries of Linux speak UTF-8. These are the only conversions between the two.
// Ill-formed input (a lone surrogate, a broken UTF-8 sequence) becomes U+FFFD.
namespace Text {
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view bytes);

// Decimal digits of a number, as program text.
std::u16string number(std::int64_t value);

// ASCII letters folded to lower case; every other character stays as it is.
std::u16string asciiLower(std::u16string_view text);
} // namespace Text

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Code page 936 (GBK), the ANSI code page of the system: list files, window titles,
// registry text and byte counts all pass through here. Each desktop gives its own
// conversion (the system's own where it has one); every implementation passes the same
// table of cases. Calls stand alone: no state carries from one call to the next.
class Codec936 {
public:
    virtual ~Codec936() = default;

    // A character that code page 936 cannot hold becomes "?", as the ANSI conversion does;
    // so does a lone surrogate.
    virtual std::string encode(std::u16string_view text) const = 0;
    // Bytes that are not valid code page 936 decode to U+FFFD, one for each byte that
    // starts no character; a lone lead byte at the end (half a character) is dropped. 0xFF
    // is U+F8F5, as in the system's table.
    virtual std::u16string decode(std::string_view bytes) const = 0;
    // True when every character of the text has a code page 936 form (no "?" substitution).
    virtual bool canEncode(std::u16string_view text) const = 0;

    std::size_t byteLength(std::u16string_view text) const { return encode(text).size(); }
    // The text as the ANSI interface gives it back in a buffer of maxBytes bytes: the
    // longest prefix that fits, a double-byte character never split, "?" for characters
    // the code page cannot hold.
    std::u16string cutToBytes(std::u16string_view text, std::size_t maxBytes) const;
    // The same cut on bytes already encoded: the result ends on a character boundary.
    static std::string cutBytes(std::string_view bytes, std::size_t maxBytes);
    // The characters of the text that code page 936 cannot hold, each once, in the order
    // they first appear (a character outside the BMP is one entry of two code units).
    std::vector<std::u16string> unencodable(std::u16string_view text) const;
};

#pragma once

#include "common/Codec936.h"

#include <functional>
#include <mutex>

// Code page 936 through glibc's iconv ("CP936": GBK with 0x80 as "€", as Windows has it).
// The two conversion descriptors are opened once; a mutex keeps each call whole, since a
// descriptor carries state while it converts.
class IconvCodec936 final : public Codec936 {
public:
    IconvCodec936();
    ~IconvCodec936() override;
    IconvCodec936(const IconvCodec936&) = delete;
    IconvCodec936& operator=(const IconvCodec936&) = delete;

    std::string encode(std::u16string_view text) const override;
    std::u16string decode(std::string_view bytes) const override;
    bool canEncode(std::u16string_view text) const override;

private:
    // Hands each converted piece to take; where the conversion cannot go on, asks stuck
    // (given the rest of the input and errno) how many input bytes to pass over: 0 stops,
    // and convert returns false.
    using Chunk = std::function<void(const char* bytes, std::size_t size)>;
    using Stuck = std::function<std::size_t(const char* at, std::size_t left, int error)>;
    bool convert(void* handle, std::string input, const Chunk& take, const Stuck& stuck) const;

    enum class Lost { Substitute, Stop };
    // Encodes the text; at a character without a code page form, writes "?" (Substitute)
    // or gives up and returns false (Stop).
    bool encodeInto(std::u16string_view text, std::string& out, Lost lost) const;

    void* m_toCp936;
    void* m_fromCp936;
    mutable std::mutex m_mutex;
};

#include "platform/linux/IconvCodec936.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {
constexpr char kCodePage[] = "CP936";
constexpr char kWide[] = "UTF-16LE";
constexpr char16_t kReplacement = 0xFFFD;
// The system's table maps the single byte 0xFF into the private use area; iconv has no
// character for it.
constexpr char16_t kByteFF = 0xF8F5;

iconv_t descriptor(void* handle) {
    return static_cast<iconv_t>(handle);
}

void* open(const char* to, const char* from) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert between UTF-16 and CP936");
    return cd;
}

// The text as little-endian bytes, whatever the machine's byte order.
std::string littleEndian(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void appendUnits(std::u16string& out, const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i + 1 < size; i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

bool isHighSurrogate(unsigned char highByte) {
    return highByte >= 0xD8 && highByte <= 0xDB;
}
} // namespace

IconvCodec936::IconvCodec936()
    : m_toCp936(open(kCodePage, kWide)), m_fromCp936(open(kWide, kCodePage)) {}

IconvCodec936::~IconvCodec936() {
    iconv_close(descriptor(m_toCp936));
    iconv_close(descriptor(m_fromCp936));
}

bool IconvCodec936::convert(void* handle, std::string input, const Chunk& take,
                            const Stuck& stuck) const {
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[512];
    const std::lock_guard guard(m_mutex);
    iconv(descriptor(handle), nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(descriptor(handle), &in, &inLeft, &outPtr, &outLeft);
        take(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        const std::size_t skip = stuck(in, inLeft, errno);
        if (skip == 0)
            return false;
        in += skip;
        inLeft -= skip;
    }
    return true;
}

bool IconvCodec936::encodeInto(std::u16string_view text, std::string& out, Lost lost) const {
    return convert(
        m_toCp936, littleEndian(text),
        [&](const char* bytes, std::size_t size) { out.append(bytes, size); },
        [&](const char* at, std::size_t left, int) -> std::size_t {
            // A character without a form here, or a lone surrogate: one "?" for the whole
            // character, as the ANSI conversion writes.
            if (lost == Lost::Stop)
                return 0;
            out += '?';
            const bool pair = left >= 4 && isHighSurrogate(static_cast<unsigned char>(at[1])) &&
                              static_cast<unsigned char>(at[3]) >= 0xDC &&
                              static_cast<unsigned char>(at[3]) <= 0xDF;
            return pair ? 4 : 2;
        });
}

std::string IconvCodec936::encode(std::u16string_view text) const {
    std::string out;
    encodeInto(text, out, Lost::Substitute);
    return out;
}

bool IconvCodec936::canEncode(std::u16string_view text) const {
    std::string ignored;
    return encodeInto(text, ignored, Lost::Stop);
}

std::u16string IconvCodec936::decode(std::string_view bytes) const {
    std::u16string out;
    out.reserve(bytes.size());
    convert(
        m_fromCp936, std::string(bytes),
        [&](const char* units, std::size_t size) { appendUnits(out, units, size); },
        [&](const char* at, std::size_t, int error) -> std::size_t {
            // Half a character at the end (EINVAL) is dropped; a byte that starts no
            // character (EILSEQ) is one replacement character, and the conversion goes on
            // after it.
            if (error == EINVAL)
                return 0;
            out += static_cast<unsigned char>(*at) == 0xFF ? kByteFF : kReplacement;
            return 1;
        });
    return out;
}

#include "platform/x11/X11Text.h"

#include "common/Codec936.h"

#include <algorithm>

namespace {

QByteArray upToNul(const QByteArray& bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

// The character sets a COMPOUND_TEXT segment can be in, as far as this reader knows them.
enum class Charset { Ascii, LatinRight, Gb2312, Jisx0208, Ksc5601, Unknown1, Unknown2 };

constexpr char kEsc = 0x1b;
constexpr unsigned char kCsi = 0x9b;

bool isIntermediate(unsigned char b) {
    return b >= 0x20 && b <= 0x2f;
}
bool isFinal(unsigned char b) {
    return b >= 0x30 && b <= 0x7e;
}

// Chinese, Japanese and Korean double-byte sets all hold the common Chinese characters;
// Xlib writes a title in whichever the locale names first.
Charset doubleByteSet(unsigned char final) {
    switch (final) {
    case 'A':
        return Charset::Gb2312;
    case 'B':
        return Charset::Jisx0208;
    case 'C':
        return Charset::Ksc5601;
    default:
        return Charset::Unknown2;
    }
}

constexpr const char* kCodePage = "GBK";

} // namespace

X11Text::X11Text()
    : m_encoder(kCodePage, QStringConverter::Flag::Stateless),
      m_decoder(kCodePage, QStringConverter::Flag::Stateless),
      m_eucJp("EUC-JP", QStringConverter::Flag::Stateless),
      m_eucKr("EUC-KR", QStringConverter::Flag::Stateless) {}

QString X11Text::decode(const QByteArray& bytes, Encoding encoding) {
    const QByteArray text = upToNul(bytes);
    switch (encoding) {
    case Encoding::Utf8:
        return QString::fromUtf8(text);
    case Encoding::Latin1:
        return QString::fromLatin1(text);
    case Encoding::CompoundText:
        return decodeCompoundText(text);
    }
    return {};
}

QString X11Text::decodeCompoundText(const QByteArray& input) {
    const QByteArray bytes = upToNul(input);
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const qsizetype n = bytes.size();
    Charset gl = Charset::Ascii;
    Charset gr = Charset::LatinRight;
    QString out;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = at(i);
        if (b == static_cast<unsigned char>(kEsc)) {
            // ESC % G starts UTF-8 text, which runs to ESC % @ (or the end).
            if (i + 2 < n && at(i + 1) == '%' && at(i + 2) == 'G') {
                const qsizetype start = i + 3;
                qsizetype end = bytes.indexOf("\x1b%@", start);
                if (end < 0)
                    end = n;
                out += QString::fromUtf8(bytes.mid(start, end - start));
                i = end == n ? n : end + 3;
                continue;
            }
            // ESC % / F M L: a segment of a named encoding, M and L giving its length.
            if (i + 5 < n && at(i + 1) == '%' && at(i + 2) == '/') {
                const qsizetype length = (at(i + 4) & 0x7f) * 128 + (at(i + 5) & 0x7f);
                out += QLatin1Char('?');
                i = std::min(n, i + 6 + length);
                continue;
            }
            qsizetype j = i + 1;
            QByteArray intermediates;
            while (j < n && isIntermediate(at(j)))
                intermediates += bytes[j++];
            if (j >= n)
                break;
            const unsigned char final = at(j);
            i = j + 1;
            if (!isFinal(final))
                continue;
            if (intermediates == "(")
                gl = (final == 'B' || final == 'J') ? Charset::Ascii : Charset::Unknown1;
            else if (intermediates == ")" || intermediates == "-")
                gr = final == 'A' && intermediates == "-" ? Charset::LatinRight : Charset::Unknown1;
            else if (intermediates == "$(")
                gl = doubleByteSet(final);
            else if (intermediates == "$)")
                gr = doubleByteSet(final);
            continue;
        }
        if (b == kCsi) {
            // A direction sequence: skip it up to its final byte.
            ++i;
            while (i < n && !(at(i) >= 0x40 && at(i) <= 0x7e))
                ++i;
            ++i;
            continue;
        }
        if (b < 0x20 || b == 0x7f) {
            if (b == '\t' || b == '\n')
                out += QChar(b);
            ++i;
            continue;
        }
        if (b >= 0x80 && b < 0xa0) {
            ++i; // C1 controls carry no text
            continue;
        }
        const Charset set = b < 0x80 ? gl : gr;
        if (b == ' ' && set != Charset::Ascii) {
            out += QLatin1Char(' ');
            ++i;
            continue;
        }
        switch (set) {
        case Charset::Ascii:
        case Charset::LatinRight:
            out += QChar(b);
            ++i;
            break;
        case Charset::Gb2312:
        case Charset::Jisx0208:
        case Charset::Ksc5601:
            if (i + 1 < n) {
                // The pair in EUC form (both high bits set), as the set's EUC decoder reads it.
                const char pair[2] = {static_cast<char>(b | 0x80),
                                      static_cast<char>(at(i + 1) | 0x80)};
                QStringDecoder& decoder = set == Charset::Gb2312     ? m_decoder
                                          : set == Charset::Jisx0208 ? m_eucJp
                                                                     : m_eucKr;
                out += decoder.decode(QByteArrayView(pair, 2));
            } else
                out += QLatin1Char('?');
            i += 2;
            break;
        case Charset::Unknown1:
            out += QLatin1Char('?');
            ++i;
            break;
        case Charset::Unknown2:
            out += QLatin1Char('?');
            i += 2;
            break;
        }
    }
    return out;
}

QString X11Text::ansi(const QString& text, qsizetype maxBytes) {
    const qsizetype nul = text.indexOf(QChar(0));
    const QString cut = nul < 0 ? text : text.left(nul);
    // ASCII is the same in code page 936, one byte a character.
    if (cut.size() <= maxBytes &&
        std::all_of(cut.begin(), cut.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return cut;
    const QByteArray bytes = m_encoder.encode(cut);
    return m_decoder.decode(Codec936::cutBytes(bytes, maxBytes));
}

QString X11Text::ansiTitle(const QString& text) {
    return ansi(text, kTitleBytes);
}

QString X11Text::className(const QByteArray& wmClass, Encoding encoding) {
    const qsizetype afterInstance = wmClass.indexOf('\0');
    if (afterInstance < 0)
        return {};
    return ansi(decode(wmClass.mid(afterInstance + 1), encoding), kClassBytes);
}

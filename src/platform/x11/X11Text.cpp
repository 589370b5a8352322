#include "platform/x11/X11Text.h"

#include "platform/qt/QtCodec936.h"

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

// The converter for the encoding an extended segment names (case does not matter); null
// for one this reader does not know. Xlib names the multibyte encodings of Chinese
// locales this way, and some one-byte sets that have no escape of their own.
QByteArray extendedEncoding(const QByteArray& segmentName) {
    struct Known {
        const char* name;
        const char* converter;
    };
    static constexpr Known kKnown[] = {
        {"gbk-0", "GBK"},
        {"gb18030-0", "GB18030"},
        {"big5-0", "Big5"},
        {"big5hkscs-0", "Big5-HKSCS"},
        {"koi8-r", "KOI8-R"},
        {"koi8-u", "KOI8-U"},
        {"microsoft-cp1251", "windows-1251"},
        {"microsoft-cp1255", "windows-1255"},
        {"microsoft-cp1256", "windows-1256"},
        // Two octets a character, high octet first.
        {"iso10646-1", "UTF-16BE"},
        {"utf-8", "UTF-8"},
    };
    const QByteArray name = segmentName.toLower();
    for (const Known& known : kKnown)
        if (name == known.name)
            return known.converter;
    // iso8859-1 to iso8859-16 are the ISO-8859 sets.
    if (name.startsWith("iso8859-")) {
        bool ok = false;
        const int part = name.mid(8).toInt(&ok);
        if (ok && part >= 1 && part <= 16 && name.mid(8) == QByteArray::number(part))
            return "ISO-8859-" + QByteArray::number(part);
    }
    return {};
}

} // namespace

X11Text::X11Text()
    : m_encoder(kCodePage, QStringConverter::Flag::Stateless),
      m_decoder(kCodePage, QStringConverter::Flag::Stateless),
      m_eucJp("EUC-JP", QStringConverter::Flag::Stateless),
      m_eucKr("EUC-KR", QStringConverter::Flag::Stateless) {}

QString X11Text::decode(const QByteArray& bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return QString::fromUtf8(upToNul(bytes));
    case Encoding::Latin1:
        return QString::fromLatin1(upToNul(bytes));
    case Encoding::CompoundText:
        // It finds its end itself: an extended segment may hold NUL bytes.
        return decodeCompoundText(bytes);
    }
    return {};
}

QString X11Text::decodeCompoundText(const QByteArray& input) {
    const QByteArray& bytes = input;
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
                const qsizetype end = std::min(n, i + 6 + length);
                out += decodeExtendedSegment(bytes.mid(i + 6, end - (i + 6)));
                i = end;
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
            if (b == 0)
                break;
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
    const qsizetype nul = out.indexOf(QChar(0));
    return nul < 0 ? out : out.left(nul);
}

QString X11Text::decodeExtendedSegment(const QByteArray& segment) {
    // The encoding's name, STX, then the text in that encoding.
    const qsizetype stx = segment.indexOf('\x02');
    const QByteArray converter = stx < 0 ? QByteArray() : extendedEncoding(segment.left(stx));
    if (converter.isEmpty())
        return QStringLiteral("?");
    // A converter of its own, whose error flag tells of this segment alone; made from the
    // converter data already loaded, it costs less than a microsecond.
    QStringDecoder decoder(converter.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QStringLiteral("?");
    QString text = decoder.decode(QByteArrayView(segment).sliced(stx + 1));
    // A character cut off at the segment's end leaves nothing but the error.
    if (decoder.hasError() && !text.contains(QChar::ReplacementCharacter))
        text += QLatin1Char('?');
    // Bytes the encoding does not hold read as "?", not as controls.
    for (QChar& c : text)
        if (c == QChar::ReplacementCharacter ||
            (c.unicode() > 0 && c.unicode() < 0x20 && c != u'\t' && c != u'\n'))
            c = QLatin1Char('?');
    return text;
}

QString X11Text::ansi(const QString& text, qsizetype maxBytes) {
    const qsizetype nul = text.indexOf(QChar(0));
    const QString cut = nul < 0 ? text : text.left(nul);
    // ASCII is the same in code page 936, one byte a character.
    if (cut.size() <= maxBytes &&
        std::all_of(cut.begin(), cut.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return cut;
    const QByteArray bytes = m_encoder.encode(cut);
    return m_decoder.decode(QtCodec936::cutBytes(bytes, maxBytes));
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

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// Turns the text properties of X windows into what the window-search module reads through
// the ANSI interface: a title of at most 79 bytes and a class name of at most 254 bytes of
// code page 936, each cut at its first NUL. Keeps its converters, which cost far more to
// make than to use, for the many titles of a pass.
class X11Text {
public:
    enum class Encoding { Utf8, Latin1, CompoundText };

    static constexpr qsizetype kTitleBytes = 79;
    static constexpr qsizetype kClassBytes = 254;

    X11Text();

    // The text of a property value, cut at its first NUL.
    QString decode(const QByteArray& bytes, Encoding encoding);
    // COMPOUND_TEXT: ASCII and Latin-1, GB 2312, JIS X 0208, KS C 5601 and UTF-8 segments
    // are read, and the extended segments of the encodings Xlib names in them (GBK, Big5,
    // Big5-HKSCS, GB 18030, the ISO 8859 and KOI8 sets and others); characters of any other
    // character set become "?", an extended segment of an unknown encoding one "?".
    QString decodeCompoundText(const QByteArray& bytes);
    // The title as the ANSI interface gives it.
    QString ansiTitle(const QString& text);
    // The class part of a WM_CLASS value ("instance\0class\0"), as the ANSI interface gives
    // it; empty when the value holds no class part.
    QString className(const QByteArray& wmClass, Encoding encoding);

private:
    // The text cut at its first NUL, through code page 936 (a character it cannot hold
    // becomes "?"), cut to maxBytes without splitting a double-byte character.
    QString ansi(const QString& text, qsizetype maxBytes);
    // The text of an extended segment: the encoding's name, STX and the encoded bytes.
    QString decodeExtendedSegment(const QByteArray& segment);

    QStringEncoder m_encoder;
    QStringDecoder m_decoder;
    // The other double-byte sets a COMPOUND_TEXT title may use for Chinese characters.
    QStringDecoder m_eucJp;
    QStringDecoder m_eucKr;
};

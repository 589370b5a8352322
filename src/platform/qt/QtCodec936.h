#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Code page 936 (GBK) on Qt's text classes, for the code that still speaks QString; it
// goes once that code speaks program text and takes a Codec936. Stateless; every call
// stands alone.
class QtCodec936 {
public:
    // A character that code page 936 cannot hold becomes "?", as the ANSI conversion does.
    static QByteArray encode(const QString& text);
    // Bytes that are not valid code page 936 decode to the replacement character.
    static QString decode(const QByteArray& bytes);
    static qsizetype byteLength(const QString& text);
    // The longest prefix of the text whose encoding takes at most maxBytes bytes; a
    // double-byte character is never split.
    static QString cutToBytes(const QString& text, qsizetype maxBytes);
    // The same cut on bytes already encoded: the result ends on a character boundary.
    static QByteArray cutBytes(const QByteArray& bytes, qsizetype maxBytes);
    // True when every character of the text has a code page 936 form (no "?" substitution).
    static bool canEncode(const QString& text);
    // The characters of the text that code page 936 cannot hold, each once, in the order
    // they first appear (a character outside the BMP is one entry of two code units).
    static QStringList unencodable(const QString& text);
};

#pragma once

#include <QByteArray>
#include <QString>

// Turns the text properties of X windows into what the window-search module reads through
// the ANSI interface: a title of at most 79 bytes and a class name of at most 254 bytes of
// code page 936, each cut at its first NUL. Stateless.
class X11Text {
public:
    enum class Encoding { Utf8, Latin1, CompoundText };

    static constexpr qsizetype kTitleBytes = 79;
    static constexpr qsizetype kClassBytes = 254;

    // The text of a property value, cut at its first NUL.
    static QString decode(const QByteArray& bytes, Encoding encoding);
    // COMPOUND_TEXT: ASCII and Latin-1, GB 2312 and UTF-8 segments are read; characters of
    // any other character set become "?".
    static QString decodeCompoundText(const QByteArray& bytes);
    // The title as the ANSI interface gives it.
    static QString ansiTitle(const QString& text);
    // The class part of a WM_CLASS value ("instance\0class\0"), as the ANSI interface gives
    // it; empty when the value holds no class part.
    static QString className(const QByteArray& wmClass, Encoding encoding);
};

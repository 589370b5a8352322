#pragma once

#include <QString>

// The first line of a list file: the opening bracket, the application title, a version text
// of four characters and the closing bracket. Stateless.
class ListHeader {
public:
    // Characters after the prefix that make up the version text.
    static constexpr int kVersionLength = 4;

    // "[墨枫哨兵1.00]", the header every written file starts with.
    static QString line();
    // "[墨枫哨兵": the opening bracket and the application title.
    static QString prefix();

    // The version text of a first line: up to four characters after the prefix, or empty
    // when the line does not start with the prefix.
    static QString versionOf(const QString& firstLine);

    // The value of a version text read from its start as a decimal number: an optional sign,
    // digits, a full stop as decimal point, more digits. Blanks (space, tab, line feed) are
    // passed over anywhere; reading stops at the first other character that cannot continue
    // the number. No number at the start counts as 0.
    static double valueOf(const QString& versionText);

    // True when this program can read a file of that version text (its value is at most 1).
    static bool isReadable(const QString& versionText) { return valueOf(versionText) <= 1.0; }
};

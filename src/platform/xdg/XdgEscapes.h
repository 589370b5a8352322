#pragma once

#include <QString>
#include <QStringView>

// The backslash escapes of the text files this platform writes: desktop entries and the
// settings file both know \n, \t, \r and \\; they differ in \s and in what an escape they
// do not know stands for.
class XdgEscapes {
public:
    struct Rules {
        bool space = false;       // "\s" is a space
        bool keepUnknown = false; // an unknown escape stays as written, else its character alone
    };

    // Undoes the escapes; a backslash that ends the text stays.
    static QString unescape(QStringView text, Rules rules);
};

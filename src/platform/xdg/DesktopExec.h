#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// The Exec line of a desktop entry made from a command line of the registry's kind, where
// the program may be an unquoted path with blanks ("/opt/my app/sentinel /auto").
class DesktopExec {
public:
    // Tells whether a path names an existing file; a seam for tests.
    using FileTest = std::function<bool(const QString&)>;
    static bool isExistingFile(const QString& path);

    // Program and arguments of a command line. A quoted program ends at its closing quote.
    // An unquoted one is the longest blank-ended prefix that names an existing file (so a
    // file planted at a shorter prefix, "/opt/my", is never run instead), else the first
    // word. Arguments follow the platform's rules for quotes and backslashes.
    static QStringList splitCommandLine(const QString& command, const FileTest& isFile);

    // The Exec value as written in the file: each argument quoted where the Desktop Entry
    // rules require, "%" doubled, then the string escapes applied. Empty for no program.
    static QString fromCommandLine(const QString& command, const FileTest& isFile);

    // One argument in the Exec quoting rules (before the string escapes).
    static QString quoteArgument(const QString& argument);
    // The string escapes of desktop entry values: backslash, newline, tab, return.
    static QString escapeValue(const QString& text);
    static QString unescapeValue(QStringView text);
};

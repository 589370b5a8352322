#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Reads desktop entries the way a desktop does, written from the Desktop Entry rules
// alone, to check the files the registry writes.
class DesktopEntryReader {
public:
    // The keys of the "[Desktop Entry]" group with their string escapes undone.
    static QMap<QString, QString> mainGroup(const QString& path);
    // The program and arguments an Exec value (escapes already undone) runs; an empty
    // list when the value breaks the quoting rules.
    static QStringList execArguments(const QString& exec);
};

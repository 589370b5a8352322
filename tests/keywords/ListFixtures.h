#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// Fixture bytes for list-file tests, built in code so that every byte is visible in the test.
class ListFixtures {
public:
    // Code page 936 bytes of UTF-8 source text.
    static QByteArray gbk(const char* utf8);
    // "[墨枫哨兵1.00]" in code page 936, without a line end.
    static QByteArray header();
    // The header, then each line, every one ending with CR LF.
    static QByteArray file(const QStringList& lines);

    static bool write(const QString& path, const QByteArray& bytes);
    // The file's bytes, or a null array when it cannot be read.
    static QByteArray read(const QString& path);
    // Names in a folder, hidden ones included, sorted.
    static QStringList names(const QString& folder);
};

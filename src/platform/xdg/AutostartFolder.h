#pragma once

#include "platform/xdg/DesktopExec.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// An XDG autostart folder seen as the values of a run key: each
// "<name>.desktop" file is the value <name>. The files this program writes run the
// command through Exec and keep the value's type and exact bytes beside it; any other
// desktop file reads as a text value holding its Exec line.
class AutostartFolder {
public:
    struct Entry {
        QByteArray name; // code page 936
        quint32 type = 0;
        QByteArray data;
        QString filePath;
    };

    explicit AutostartFolder(QString dir,
                             DesktopExec::FileTest isFile = &DesktopExec::isExistingFile);

    const QString& dir() const { return m_dir; }

    // Every entry, in the byte order of the file names.
    std::vector<Entry> entries() const;
    std::optional<Entry> find(const QByteArray& name) const;

    // Text values whose name can be a file name here become files.
    static bool holds(const QByteArray& name, quint32 type);
    // True when files can be made and removed in the folder (or it can be created).
    bool writable() const;

    // Writes the value's file (at existingPath when given, keeping its spelling). command
    // is the text the Exec line runs. Returns a Reg result code.
    qint32 write(const QByteArray& name, quint32 type, const QByteArray& data,
                 const QString& command, const QString& existingPath = {}) const;
    qint32 remove(const QString& filePath) const;

    // The file's contents as write() makes them.
    QByteArray contents(const QByteArray& name, quint32 type, const QByteArray& data,
                        const QString& command) const;

private:
    std::optional<Entry> read(const QString& filePath, const QByteArray& name) const;

    QString m_dir;
    DesktopExec::FileTest m_isFile;
};

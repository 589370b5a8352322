#pragma once

#include <QString>

// The program as its install rules lay it out: `cmake --install` of the build under test
// into a prefix of the test's own, so every test drives a copy that lives where a desktop
// finds it and keeps its KeyList.dat apart from every other test's.
class InstalledProgram {
public:
    // Installs into prefix (made if missing). Empty on success, else what went wrong.
    static QString install(const QString& prefix, const QString& destDir = QString());

    explicit InstalledProgram(QString prefix);

    const QString& prefix() const { return m_prefix; }
    // The command on PATH, as a desktop entry's Exec finds it.
    QString command() const;
    // The executable the command leads to.
    QString executable() const;
    // The keyword store, beside the executable.
    QString keyListPath() const;
    QString desktopEntry() const;
    // share/icons/hicolor/<size>x<size>/apps/sentinel.png, or scalable/apps/sentinel.svg
    // for size 0.
    QString icon(int size) const;

private:
    QString m_prefix;
};

#pragma once

#include <QString>

// The program's fixed names and where its executable lives. The paths are captured once
// (from the running application, or given by a test) and passed to whoever needs them.
class AppInfo {
public:
    AppInfo(QString exeDir, QString exeFileName);

    // The running executable's directory and file name (needs a QCoreApplication).
    static AppInfo fromApplication();

    static QString title() { return QStringLiteral("墨枫哨兵"); }
    static QString version() { return QStringLiteral("1.00"); }
    // The main window's caption: title, a blank, version.
    static QString mainCaption() { return title() + QLatin1Char(' ') + version(); }

    // Directory of the executable without a trailing separator.
    const QString& exeDir() const { return m_exeDir; }
    // File name of the executable ("sentinel").
    const QString& exeFileName() const { return m_exeFileName; }
    // File name without its extension.
    QString baseName() const;
    // Full path of the executable.
    QString exePath() const;
    // The keyword store beside the executable, formed anew at each use.
    QString keyListPath() const;

private:
    QString m_exeDir;
    QString m_exeFileName;
};

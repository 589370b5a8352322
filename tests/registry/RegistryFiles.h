#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the tests of the real registry need around it: files, the registry tool in a
// process of its own (also as a user who may not write), a probe program that records
// how it was started, and a real desktop-entry launcher.
class RegistryFiles {
public:
    static QByteArray read(const QString& path);
    static bool write(const QString& path, const QByteArray& bytes);

    struct Run {
        bool finished = false;
        int exitCode = -1;
        QString output;
    };
    // Runs the registry tool with args; limitedUser runs it as an unprivileged user when
    // this test runs as root (the caller makes the folders it needs readable).
    static Run tool(const QStringList& args, bool limitedUser = false);
    static bool runningAsRoot();

    // An executable script at dir/fileName that writes its own path and arguments, one a
    // line, to dir/launched when started.
    static QString makeProbe(const QString& dir, const QString& fileName);
    // The lines the probe in dir wrote, once it has run (empty if it did not in time).
    static QStringList waitForProbe(const QString& dir, int timeoutMs = 20000);
    // Starts a desktop entry as the desktop does, through GLib's launcher.
    static bool launch(const QString& desktopFile, QString* error);
};

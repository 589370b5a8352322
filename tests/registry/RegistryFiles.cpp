#include "registry/RegistryFiles.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#ifndef REGISTRY_TOOL
#define REGISTRY_TOOL ""
#endif

QByteArray RegistryFiles::read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool RegistryFiles::write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool RegistryFiles::runningAsRoot() {
    return ::geteuid() == 0;
}

RegistryFiles::Run RegistryFiles::tool(const QStringList& args, bool limitedUser) {
    QTemporaryDir out;
    out.setAutoRemove(true);
    ::chmod(QFile::encodeName(out.path()).constData(), 0777);
    const QString outFile = out.path() + QStringLiteral("/out");
    std::vector<std::string> argv;
    if (limitedUser && runningAsRoot())
        argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    argv.push_back(REGISTRY_TOOL);
    for (const QString& a : args)
        argv.push_back(a.toStdString());
    ChildProcess child;
    Run run;
    if (!child.start(argv, {}, -1, outFile.toStdString()))
        return run;
    run.finished = child.waitFor(60000);
    run.exitCode = child.exitCode();
    run.output = QString::fromUtf8(read(outFile)).trimmed();
    return run;
}

QString RegistryFiles::makeProbe(const QString& dir, const QString& fileName) {
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + fileName;
    const QByteArray script = "#!/bin/sh\n"
                              "d=$(dirname \"$0\")\n"
                              "{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '%s\\n' "
                              "\"$a\"; done; } > \"$d/launched.tmp\" && mv \"$d/launched.tmp\" "
                              "\"$d/launched\"\n";
    if (!write(path, script))
        return {};
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
    return path;
}

QStringList RegistryFiles::waitForProbe(const QString& dir, int timeoutMs) {
    const QString path = dir + QStringLiteral("/launched");
    QDeadlineTimer deadline(timeoutMs);
    while (!QFileInfo::exists(path) && !deadline.hasExpired())
        QThread::msleep(20);
    QString text = QString::fromUtf8(read(path));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

bool RegistryFiles::launch(const QString& desktopFile, QString* error) {
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        *error = QStringLiteral("the desktop launcher \"gio\" (Debian libglib2.0-bin) is missing");
        return false;
    }
    ChildProcess child;
    if (!child.start({gio.toStdString(), "launch", desktopFile.toStdString()})) {
        *error = QStringLiteral("gio could not start");
        return false;
    }
    if (!child.waitFor(30000) || child.exitCode() != 0) {
        *error = QStringLiteral("gio launch failed with %1").arg(child.exitCode());
        return false;
    }
    return true;
}

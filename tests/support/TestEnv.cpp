#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#ifndef SENTINEL_BINARY
#define SENTINEL_BINARY ""
#endif

TestEnv::TestEnv() {
    for (const QString& dir : {configHome(), configDir(), runtimeDir(), work()})
        QDir().mkpath(dir);
    ::chmod(QFile::encodeName(runtimeDir()).constData(), 0700);
    const QList<QPair<QByteArray, QString>> vars = {
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_CONFIG_DIRS", configDir()},
        {"XDG_RUNTIME_DIR", runtimeDir()},
        {"XDG_CACHE_HOME", cacheHome()},
    };
    for (const auto& [name, value] : vars) {
        m_saved.append(
            {name, qgetenv(name.constData()), qEnvironmentVariableIsSet(name.constData())});
        qputenv(name.constData(), QFile::encodeName(value));
    }
}

TestEnv::~TestEnv() {
    for (const Saved& s : m_saved) {
        if (s.wasSet)
            qputenv(s.name.constData(), s.value);
        else
            qunsetenv(s.name.constData());
    }
}

QString TestEnv::sentinelBinary() {
    const QString fromEnv = qEnvironmentVariable("SENTINEL_BINARY");
    return fromEnv.isEmpty() ? QString::fromUtf8(SENTINEL_BINARY) : fromEnv;
}

QString TestEnv::copyExecutable(const QString& source, const QString& folder) const {
    const QString from = source.isEmpty() ? sentinelBinary() : source;
    const QString dir = root() + QLatin1Char('/') + folder;
    QDir().mkpath(dir);
    const QString to = dir + QLatin1Char('/') + QFileInfo(from).fileName();
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return {};
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return to;
}

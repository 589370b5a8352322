#include "platform/xdg/XdgPaths.h"

#include <QDir>

namespace {
bool usable(const QString& path) {
    return !path.isEmpty() && QDir::isAbsolutePath(path);
}
} // namespace

QString XdgPaths::configHome() {
    const QString env = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (usable(env))
        return QDir::cleanPath(env);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgPaths::cacheHome() {
    const QString env = qEnvironmentVariable("XDG_CACHE_HOME");
    if (usable(env))
        return QDir::cleanPath(env);
    return QDir::homePath() + QStringLiteral("/.cache");
}

QString XdgPaths::firstConfigDir() {
    const QStringList dirs =
        qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs)
        if (usable(dir))
            return QDir::cleanPath(dir);
    return QStringLiteral("/etc/xdg");
}

QString XdgPaths::runtimeDir() {
    const QString env = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return usable(env) ? QDir::cleanPath(env) : QString();
}

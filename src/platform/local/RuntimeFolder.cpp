#include "platform/local/RuntimeFolder.h"

#include "platform/xdg/XdgPaths.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder is safe when it is a real directory (not a link), owned by us, private to us.
// (The folder's name holds the user id, so that users who share a cache folder by mistake
// still get one each.)
bool ensurePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString RuntimeFolder::path() {
    const QString runtime = XdgPaths::runtimeDir();
    if (!runtime.isEmpty() && ensurePrivateFolder(runtime + QStringLiteral("/sentinel")))
        return runtime + QStringLiteral("/sentinel");
    const QString user = QString::number(::getuid());
    const QString temp = QDir::tempPath() + QStringLiteral("/sentinel-") + user;
    if (ensurePrivateFolder(temp))
        return temp;
    // Anyone may take the name in the shared temp folder first; then a folder in the user's
    // own cache serves, so that the one-instance rule and the wake-up still hold.
    const QString cache = XdgPaths::cacheHome();
    QDir().mkpath(cache);
    const QString own = cache + QStringLiteral("/sentinel-") + user;
    return ensurePrivateFolder(own) ? own : QString();
}

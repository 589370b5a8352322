#include "platform/xdg/XdgRegistry.h"

#include "platform/qt/QtCodec936.h"
#include "platform/xdg/RegistryNames.h"
#include "platform/xdg/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <cstring>

#include <sys/stat.h>

namespace {

const QList<QByteArray> kRunPath = {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "Run"};
constexpr int kLockWaitMs = 10000;

int rootIndex(Reg::Handle root) {
    if (root == Reg::HkeyCurrentUser)
        return 0;
    if (root == Reg::HkeyLocalMachine)
        return 1;
    return -1;
}

QByteArray nameOf(const char* name) {
    return name == nullptr ? QByteArray() : QByteArray(name);
}

void copyOut(const QByteArray& bytes, void* to) {
    if (!bytes.isEmpty())
        std::memcpy(to, bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

XdgRegistry::XdgRegistry() : XdgRegistry(currentUserFiles(), localMachineFiles()) {}

XdgRegistry::XdgRegistry(RootFiles currentUser, RootFiles localMachine,
                         DesktopExec::FileTest isFile)
    : m_roots{std::move(currentUser), std::move(localMachine)}, m_isFile(std::move(isFile)) {}

XdgRegistry::RootFiles XdgRegistry::currentUserFiles() {
    const QString home = XdgPaths::configHome();
    return {home + QStringLiteral("/sentinel/registry/HKEY_CURRENT_USER.reg"),
            home + QStringLiteral("/autostart"), false};
}

XdgRegistry::RootFiles XdgRegistry::localMachineFiles() {
    const QString dir = XdgPaths::firstConfigDir();
    return {dir + QStringLiteral("/sentinel/registry/HKEY_LOCAL_MACHINE.reg"),
            dir + QStringLiteral("/autostart"), true};
}

const XdgRegistry::RootFiles& XdgRegistry::files(Reg::Handle root) const {
    return m_roots[root == Reg::HkeyLocalMachine ? 1 : 0];
}

qint32 XdgRegistry::resolve(Reg::Handle hKey, const char* lpSubKey, Target& target) const {
    const int root = rootIndex(hKey);
    if (root >= 0) {
        target.root = root;
        target.base.clear();
    } else {
        const auto it = m_open.find(hKey);
        if (it == m_open.end())
            return Reg::ErrorInvalidHandle;
        target.root = it->second.root;
        target.base = it->second.path;
    }
    const std::optional<QList<QByteArray>> sub = RegistryNames::splitPath(lpSubKey);
    if (!sub)
        return Reg::ErrorBadPathname;
    target.path = target.base + *sub;
    if (target.path.size() > RegistryNames::kMaxDepth)
        return Reg::ErrorBadPathname;
    return Reg::ErrorSuccess;
}

XdgRegistry::Load XdgRegistry::load(int root, RegistryHive& hive) const {
    Load result = Load::Ok;
    QFile file(m_roots[root].registryFile);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            hive.load({});
            result = Load::Unreadable;
        } else if (!hive.load(file.readAll())) {
            result = Load::Corrupt;
        }
    } else {
        hive.load({});
    }
    // The run key always exists, as the autostart folder it stands for does.
    hive.create(kRunPath);
    return result;
}

qint32 XdgRegistry::open(const Target& target, RegistryHive& hive, RegistryHive::Key*& key) const {
    load(target.root, hive);
    if (hive.find(target.base) == nullptr)
        return Reg::ErrorKeyDeleted;
    key = hive.find(target.path);
    return key == nullptr ? Reg::ErrorFileNotFound : Reg::ErrorSuccess;
}

qint32 XdgRegistry::openKey(Reg::Handle hKey, const char* lpSubKey, Opened& opened) const {
    if (const qint32 rc = resolve(hKey, lpSubKey, opened.target))
        return rc;
    return open(opened.target, opened.hive, opened.key);
}

qint32 XdgRegistry::openOwnKey(Reg::Handle hKey, Opened& opened) const {
    const qint32 rc = openKey(hKey, nullptr, opened);
    return rc == Reg::ErrorFileNotFound ? Reg::ErrorKeyDeleted : rc;
}

qint32 XdgRegistry::modify(int root, const Change& change) {
    const RootFiles& files = m_roots[root];
    const QString dir = QFileInfo(files.registryFile).absolutePath();
    QStringList created; // the folders this call makes, innermost first
    for (QFileInfo f(dir); !f.exists() && f.absoluteFilePath() != f.absolutePath();
         f = QFileInfo(f.absolutePath()))
        created.append(f.absoluteFilePath());
    if (!QDir().mkpath(dir))
        return Reg::ErrorAccessDenied;
    // Every user reads the machine's file, so each folder made on the way must let them.
    for (qsizetype i = 0; i < created.size(); ++i)
        if (files.shared || i == 0)
            ::chmod(QFile::encodeName(created[i]).constData(), files.shared ? 0755 : 0700);

    // The lock spans read, change and replace, so that writers in several processes
    // never lose each other's changes. A lock left by a crashed writer is stale.
    QLockFile lock(files.registryFile + QStringLiteral(".lock"));
    lock.setStaleLockTime(kLockWaitMs);
    if (!lock.tryLock(kLockWaitMs))
        return lock.error() == QLockFile::LockFailedError ? Reg::ErrorLockViolation
                                                          : Reg::ErrorAccessDenied;

    RegistryHive hive;
    switch (load(root, hive)) {
    case Load::Ok:
        break;
    // A file that is not ours is never overwritten: what it holds is not lost.
    case Load::Corrupt:
        return Reg::ErrorRegistryCorrupt;
    case Load::Unreadable:
        return Reg::ErrorAccessDenied;
    }
    bool dirty = false;
    After after;
    const qint32 rc = change(hive, dirty, after);
    if (rc != Reg::ErrorSuccess)
        return rc;
    if (dirty) {
        QSaveFile file(files.registryFile);
        if (!file.open(QIODevice::WriteOnly))
            return Reg::ErrorAccessDenied;
        ::fchmod(file.handle(), files.shared ? 0644 : 0600);
        const QByteArray bytes = hive.save();
        if (file.write(bytes) != bytes.size() || !file.commit())
            return Reg::ErrorAccessDenied;
    }
    return after ? after() : Reg::ErrorSuccess;
}

qint32 XdgRegistry::modifyUnder(const Target& target, const KeyChange& change) {
    return modify(target.root, [&](RegistryHive& hive, bool& dirty, After& after) {
        RegistryHive::Key* base = hive.find(target.base);
        if (base == nullptr)
            return Reg::ErrorKeyDeleted;
        return change(hive, *base, dirty, after);
    });
}

AutostartFolder XdgRegistry::folder(int root) const {
    return AutostartFolder(m_roots[root].autostartDir, m_isFile);
}

bool XdgRegistry::isRunKey(const QList<QByteArray>& path) const {
    return RegistryNames::samePath(path, kRunPath);
}

std::vector<XdgRegistry::ValueView> XdgRegistry::values(int root, RegistryHive::Key& key,
                                                        bool run) const {
    std::vector<ValueView> out;
    if (run)
        for (AutostartFolder::Entry& e : folder(root).entries())
            out.push_back({e.name, e.type, std::move(e.data), e.filePath});
    const qsizetype files = static_cast<qsizetype>(out.size());
    for (const RegistryHive::Value& v : key.values) {
        bool shadowed = false;
        for (qsizetype i = 0; i < files && !shadowed; ++i)
            shadowed = !v.name.isEmpty() && RegistryNames::fold(out[i].name) == v.fold;
        if (!shadowed)
            out.push_back({v.name, v.type, v.data, {}});
    }
    return out;
}

std::optional<XdgRegistry::ValueView>
XdgRegistry::findValue(int root, RegistryHive::Key& key, bool run, const QByteArray& name) const {
    if (run && !name.isEmpty())
        if (std::optional<AutostartFolder::Entry> e = folder(root).find(name))
            return ValueView{e->name, e->type, e->data, e->filePath};
    if (const RegistryHive::Value* v = key.value(name))
        return ValueView{v->name, v->type, v->data, {}};
    return std::nullopt;
}

QString XdgRegistry::command(quint32 type, const QByteArray& data) {
    const QByteArray text(data.constData(), qstrnlen(data.constData(), data.size()));
    if (type != Reg::TypeExpandSz)
        return QtCodec936::decode(text);
    const quint32 need = ExpandEnvironmentStringsA(text.constData(), nullptr, 0);
    QByteArray expanded(static_cast<qsizetype>(need), '\0');
    ExpandEnvironmentStringsA(text.constData(), expanded.data(), need);
    return QtCodec936::decode(QByteArray(expanded.constData()));
}

Reg::Handle XdgRegistry::newHandle(int root, QList<QByteArray> path) {
    Reg::Handle h = 0;
    do {
        h = m_next;
        m_next = m_next >= 0x7FFFFFF0u ? 0x100u : m_next + 4;
    } while (m_open.count(h) != 0);
    m_open[h] = {root, std::move(path)};
    return h;
}

qint32 XdgRegistry::RegOpenKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) {
    if (phkResult == nullptr)
        return Reg::ErrorInvalidParameter;
    Opened opened;
    if (const qint32 rc = openKey(hKey, lpSubKey, opened))
        return rc;
    *phkResult = newHandle(opened.target.root, opened.target.path);
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegCreateKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) {
    if (phkResult == nullptr)
        return Reg::ErrorInvalidParameter;
    // An existing key opens without writing, so that reading users may "create" it too.
    Opened opened;
    qint32 rc = openKey(hKey, lpSubKey, opened);
    const Target& t = opened.target;
    if (rc == Reg::ErrorFileNotFound) {
        rc = modifyUnder(t, [&](RegistryHive& h, RegistryHive::Key&, bool& dirty, After&) {
            h.create(t.path, &dirty);
            return Reg::ErrorSuccess;
        });
    }
    if (rc != Reg::ErrorSuccess)
        return rc;
    *phkResult = newHandle(t.root, t.path);
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegCloseKey(Reg::Handle hKey) {
    if (rootIndex(hKey) >= 0)
        return Reg::ErrorSuccess;
    return m_open.erase(hKey) == 1 ? Reg::ErrorSuccess : Reg::ErrorInvalidHandle;
}

qint32 XdgRegistry::RegQueryValueA(Reg::Handle hKey, const char* lpSubKey, char* lpData,
                                   qint32* lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr)
        return Reg::ErrorInvalidParameter;
    Opened opened;
    if (const qint32 rc = openKey(hKey, lpSubKey, opened))
        return rc;
    QByteArray text(1, '\0'); // an unset default reads as empty text
    if (const RegistryHive::Value* v = opened.key->value({})) {
        if (v->type != Reg::TypeSz && v->type != Reg::TypeExpandSz)
            return Reg::ErrorInvalidData;
        text = v->data;
        if (!text.endsWith('\0'))
            text.append('\0');
    }
    const qint32 need = static_cast<qint32>(text.size());
    if (lpData == nullptr) {
        if (lpcbData != nullptr)
            *lpcbData = need;
        return Reg::ErrorSuccess;
    }
    if (*lpcbData < need) {
        *lpcbData = need;
        return Reg::ErrorMoreData;
    }
    copyOut(text, lpData);
    *lpcbData = need;
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegQueryValueExA(Reg::Handle hKey, const char* lpValueName, quint32* lpType,
                                     quint8* lpData, quint32* lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr)
        return Reg::ErrorInvalidParameter;
    Opened opened;
    if (const qint32 rc = openOwnKey(hKey, opened))
        return rc;
    const Target& t = opened.target;
    const std::optional<ValueView> v =
        findValue(t.root, *opened.key, isRunKey(t.path), nameOf(lpValueName));
    if (!v)
        return Reg::ErrorFileNotFound;
    const auto need = static_cast<quint32>(v->data.size());
    if (lpType != nullptr)
        *lpType = v->type;
    if (lpData == nullptr) {
        if (lpcbData != nullptr)
            *lpcbData = need;
        return Reg::ErrorSuccess;
    }
    if (*lpcbData < need) {
        *lpcbData = need;
        return Reg::ErrorMoreData;
    }
    copyOut(v->data, lpData);
    *lpcbData = need;
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegEnumValueA(Reg::Handle hKey, quint32 dwIndex, char* lpValueName,
                                  quint32* lpcchValueName, quint32* lpType, quint8* lpData,
                                  quint32* lpcbData) {
    if (lpValueName == nullptr || lpcchValueName == nullptr ||
        (lpData != nullptr && lpcbData == nullptr))
        return Reg::ErrorInvalidParameter;
    Opened opened;
    if (const qint32 rc = openOwnKey(hKey, opened))
        return rc;
    const Target& t = opened.target;
    const std::vector<ValueView> all = values(t.root, *opened.key, isRunKey(t.path));
    if (dwIndex >= all.size())
        return Reg::ErrorNoMoreItems;
    const ValueView& v = all[dwIndex];
    const auto need = static_cast<quint32>(v.data.size());
    const bool nameFits = static_cast<quint32>(v.name.size()) < *lpcchValueName;
    const bool dataFits = lpData == nullptr || *lpcbData >= need;
    if (!nameFits || !dataFits) {
        if (lpcbData != nullptr)
            *lpcbData = need;
        return Reg::ErrorMoreData;
    }
    copyOut(v.name, lpValueName);
    lpValueName[v.name.size()] = '\0';
    *lpcchValueName = static_cast<quint32>(v.name.size());
    if (lpType != nullptr)
        *lpType = v.type;
    if (lpData != nullptr)
        copyOut(v.data, lpData);
    if (lpcbData != nullptr)
        *lpcbData = need;
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegEnumKeyA(Reg::Handle hKey, quint32 dwIndex, char* lpName, quint32 cchName) {
    if (lpName == nullptr)
        return Reg::ErrorInvalidParameter;
    Opened opened;
    if (const qint32 rc = openOwnKey(hKey, opened))
        return rc;
    const RegistryHive::Key& key = *opened.key;
    if (dwIndex >= key.subkeys.size())
        return Reg::ErrorNoMoreItems;
    const QByteArray& name = key.subkeys[dwIndex]->name;
    if (static_cast<quint32>(name.size()) >= cchName)
        return Reg::ErrorMoreData;
    copyOut(name, lpName);
    lpName[name.size()] = '\0';
    return Reg::ErrorSuccess;
}

qint32 XdgRegistry::RegSetValueA(Reg::Handle hKey, const char* lpSubKey, quint32 dwType,
                                 const char* lpData, quint32 cbData) {
    Q_UNUSED(cbData); // the size comes from the text, as on the platform
    if (dwType != Reg::TypeSz || lpData == nullptr)
        return Reg::ErrorInvalidParameter;
    Target t;
    if (const qint32 rc = resolve(hKey, lpSubKey, t))
        return rc;
    const QByteArray text = QByteArray(lpData) + '\0';
    return modifyUnder(t, [&](RegistryHive& hive, RegistryHive::Key&, bool& dirty, After&) {
        hive.create(t.path)->setValue({}, Reg::TypeSz, text);
        dirty = true;
        return Reg::ErrorSuccess;
    });
}

qint32 XdgRegistry::RegSetValueExA(Reg::Handle hKey, const char* lpValueName, quint32 dwType,
                                   const quint8* lpData, quint32 cbData) {
    if (lpData == nullptr && cbData > 0)
        return Reg::ErrorInvalidParameter;
    const QByteArray name = nameOf(lpValueName);
    if (name.size() > RegistryNames::kMaxValueName)
        return Reg::ErrorInvalidParameter;
    Target t;
    if (const qint32 rc = resolve(hKey, nullptr, t))
        return rc;
    const QByteArray data(reinterpret_cast<const char*>(lpData), cbData);
    const bool run = isRunKey(t.path);
    // A text value of the run key that cannot be an autostart file would never start:
    // refusing it says so, where keeping it would report a registration that is none.
    if (run && !name.isEmpty() && !AutostartFolder::holds(name, dwType) &&
        (dwType == Reg::TypeSz || dwType == Reg::TypeExpandSz))
        return Reg::ErrorInvalidParameter;
    const QString cmd = run ? command(dwType, data) : QString();
    return modifyUnder(t, [&](RegistryHive&, RegistryHive::Key& key, bool& dirty, After& after) {
        if (!run) {
            key.setValue(name, dwType, data);
            dirty = true;
            return Reg::ErrorSuccess;
        }
        const AutostartFolder autostart = folder(t.root);
        const std::optional<AutostartFolder::Entry> file =
            name.isEmpty() ? std::nullopt : autostart.find(name);
        if (AutostartFolder::holds(name, dwType)) {
            const qint32 rc =
                autostart.write(name, dwType, data, cmd, file ? file->filePath : QString());
            if (rc != Reg::ErrorSuccess)
                return rc;
            dirty = key.removeValue(name);
            return Reg::ErrorSuccess;
        }
        // Other types stay in the registry file; a file of the same name gives way.
        if (file && !autostart.writable())
            return Reg::ErrorAccessDenied;
        key.setValue(name, dwType, data);
        dirty = true;
        if (file)
            after = [autostart, path = file->filePath] { return autostart.remove(path); };
        return Reg::ErrorSuccess;
    });
}

qint32 XdgRegistry::RegDeleteValueA(Reg::Handle hKey, const char* lpValueName) {
    const QByteArray name = nameOf(lpValueName);
    Target t;
    if (const qint32 rc = resolve(hKey, nullptr, t))
        return rc;
    const bool run = isRunKey(t.path);
    return modifyUnder(t, [&](RegistryHive&, RegistryHive::Key& key, bool& dirty, After&) {
        if (run && !name.isEmpty()) {
            const AutostartFolder autostart = folder(t.root);
            if (const std::optional<AutostartFolder::Entry> file = autostart.find(name)) {
                if (const qint32 rc = autostart.remove(file->filePath))
                    return rc;
                dirty = key.removeValue(name); // one that the file hid
                return Reg::ErrorSuccess;
            }
        }
        if (!key.removeValue(name))
            return Reg::ErrorFileNotFound;
        dirty = true;
        return Reg::ErrorSuccess;
    });
}

qint32 XdgRegistry::RegDeleteKeyA(Reg::Handle hKey, const char* lpSubKey) {
    if (lpSubKey == nullptr)
        return Reg::ErrorInvalidParameter;
    Target t;
    if (const qint32 rc = resolve(hKey, lpSubKey, t))
        return rc;
    if (t.path.isEmpty() || isRunKey(t.path))
        return Reg::ErrorAccessDenied; // a root, or the autostart folder's key
    return modifyUnder(t, [&](RegistryHive& hive, RegistryHive::Key&, bool& dirty, After&) {
        RegistryHive::Key* key = hive.find(t.path);
        if (key == nullptr)
            return Reg::ErrorFileNotFound;
        if (!key->subkeys.empty())
            return Reg::ErrorAccessDenied;
        hive.remove(t.path);
        dirty = true;
        return Reg::ErrorSuccess;
    });
}

quint32 XdgRegistry::ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, quint32 nSize) {
    if (lpSrc == nullptr)
        return 0;
    const QByteArray src(lpSrc);
    QByteArray out;
    // "%" is never the second byte of a double-byte character, so bytes can be scanned.
    qsizetype i = 0;
    while (i < src.size()) {
        if (src[i] != '%') {
            out += src[i++];
            continue;
        }
        const qsizetype close = src.indexOf('%', i + 1);
        if (close < 0) {
            out += src.mid(i);
            break;
        }
        const QByteArray name = src.mid(i + 1, close - i - 1);
        const QByteArray local = QFile::encodeName(QtCodec936::decode(name));
        if (!name.isEmpty() && !name.contains('=') && qEnvironmentVariableIsSet(local)) {
            out += QtCodec936::encode(QString::fromLocal8Bit(qgetenv(local.constData())));
            i = close + 1;
        } else {
            // Not a variable: kept as written, and its closing "%" may open the next one.
            out += src.mid(i, close - i);
            i = close;
        }
    }
    const auto need = static_cast<quint32>(out.size() + 1);
    if (lpDst != nullptr && nSize >= need) {
        copyOut(out, lpDst);
        lpDst[out.size()] = '\0';
    }
    return need;
}

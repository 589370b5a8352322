#pragma once

#include "platform/RegistryApi.h"
#include "platform/xdg/AutostartFolder.h"
#include "platform/xdg/DesktopExec.h"
#include "platform/xdg/RegistryHive.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// The registry of this platform: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, each one file,
// read afresh by every call and replaced atomically under a lock file by every change,
// so that several processes share it safely. The run key of each root,
// SOFTWARE\Microsoft\Windows\CurrentVersion\Run, is that root's XDG autostart folder:
// its text values are desktop entries that the desktop starts at logon. A change the
// user may not make on disk (a folder or file that cannot be written) is refused with
// ErrorAccessDenied and leaves everything as it was.
class XdgRegistry : public RegistryApi {
public:
    struct RootFiles {
        QString registryFile;
        QString autostartDir;
        bool shared = false; // serves every user: readable by all, not private
    };

    // The roots under the XDG folders as the environment names them now:
    // $XDG_CONFIG_HOME for the user, the first folder of $XDG_CONFIG_DIRS for the machine.
    XdgRegistry();
    XdgRegistry(RootFiles currentUser, RootFiles localMachine,
                DesktopExec::FileTest isFile = &DesktopExec::isExistingFile);

    static RootFiles currentUserFiles();
    static RootFiles localMachineFiles();
    // The files of HkeyCurrentUser or HkeyLocalMachine.
    const RootFiles& files(Reg::Handle root) const;

    qint32 RegOpenKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) override;
    qint32 RegCreateKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) override;
    qint32 RegCloseKey(Reg::Handle hKey) override;
    qint32 RegQueryValueA(Reg::Handle hKey, const char* lpSubKey, char* lpData,
                          qint32* lpcbData) override;
    qint32 RegQueryValueExA(Reg::Handle hKey, const char* lpValueName, quint32* lpType,
                            quint8* lpData, quint32* lpcbData) override;
    qint32 RegEnumValueA(Reg::Handle hKey, quint32 dwIndex, char* lpValueName,
                         quint32* lpcchValueName, quint32* lpType, quint8* lpData,
                         quint32* lpcbData) override;
    qint32 RegEnumKeyA(Reg::Handle hKey, quint32 dwIndex, char* lpName, quint32 cchName) override;
    qint32 RegSetValueA(Reg::Handle hKey, const char* lpSubKey, quint32 dwType, const char* lpData,
                        quint32 cbData) override;
    qint32 RegSetValueExA(Reg::Handle hKey, const char* lpValueName, quint32 dwType,
                          const quint8* lpData, quint32 cbData) override;
    qint32 RegDeleteValueA(Reg::Handle hKey, const char* lpValueName) override;
    qint32 RegDeleteKeyA(Reg::Handle hKey, const char* lpSubKey) override;
    quint32 ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, quint32 nSize) override;

private:
    struct Target {
        int root = 0;
        QList<QByteArray> base; // the handle's own key
        QList<QByteArray> path; // base and the sub-key path
    };
    struct ValueView {
        QByteArray name;
        quint32 type = 0;
        QByteArray data;
        QString filePath; // set for values that are autostart files
    };
    enum class Load { Ok, Corrupt, Unreadable };
    using After = std::function<qint32()>;
    using Change = std::function<qint32(RegistryHive&, bool& dirty, After& after)>;

    // A key read for a query: the hive it lies in and where the handle led.
    struct Opened {
        Target target;
        RegistryHive hive;
        RegistryHive::Key* key = nullptr;
    };
    // A change to a hive in which the handle's own key, base, is known to be there still;
    // for a target without a sub-key it is the target's key itself.
    using KeyChange =
        std::function<qint32(RegistryHive&, RegistryHive::Key& base, bool& dirty, After& after)>;

    qint32 resolve(Reg::Handle hKey, const char* lpSubKey, Target& target) const;
    Load load(int root, RegistryHive& hive) const;
    // Reads the root's hive and finds the target's base and key. Returns a result code.
    qint32 open(const Target& target, RegistryHive& hive, RegistryHive::Key*& key) const;
    // Resolves the handle and sub-key and reads the key they name. Returns a result code.
    qint32 openKey(Reg::Handle hKey, const char* lpSubKey, Opened& opened) const;
    // The handle's own key: one that is missing was deleted under the handle.
    qint32 openOwnKey(Reg::Handle hKey, Opened& opened) const;
    // Read, change and replace one root's file under its lock.
    qint32 modify(int root, const Change& change);
    // The same for the target's root, refused when the target's base key is gone.
    qint32 modifyUnder(const Target& target, const KeyChange& change);

    AutostartFolder folder(int root) const;
    bool isRunKey(const QList<QByteArray>& path) const;
    std::vector<ValueView> values(int root, RegistryHive::Key& key, bool run) const;
    std::optional<ValueView> findValue(int root, RegistryHive::Key& key, bool run,
                                       const QByteArray& name) const;
    // The text an autostart entry runs for a value's data.
    QString command(quint32 type, const QByteArray& data);
    Reg::Handle newHandle(int root, QList<QByteArray> path);

    RootFiles m_roots[2];
    DesktopExec::FileTest m_isFile;
    struct OpenKey {
        int root;
        QList<QByteArray> path;
    };
    std::map<Reg::Handle, OpenKey> m_open;
    Reg::Handle m_next = 0x100;
};

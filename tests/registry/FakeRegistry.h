#pragma once

#include "platform/RegistryApi.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <map>
#include <memory>
#include <vector>

// An in-memory registry with the platform's calling conventions, for testing what is
// written against RegistryApi. Names compare without regard to ASCII case. It counts the
// changes made, can refuse every change (a user who may not write), and can delete whole
// trees at once (as some platforms do). ExpandEnvironmentStringsA reads the variables the
// test gives it.
class FakeRegistry : public RegistryApi {
public:
    struct Value {
        QByteArray name;
        quint32 type = 0;
        QByteArray data;
    };
    struct Key {
        QByteArray name;
        std::vector<Value> values;
        std::vector<std::unique_ptr<Key>> subkeys;
    };

    FakeRegistry();

    QMap<QByteArray, QByteArray> environment;
    bool denyWrites = false;
    bool deletesTrees = false;
    int changes() const { return m_changes; }
    int openHandles() const { return static_cast<int>(m_open.size()); }
    int calls() const { return m_calls; }

    // Direct access for setting up and checking, bypassing the interface.
    void put(Reg::Handle root, const QByteArray& path, const QByteArray& name, quint32 type,
             const QByteArray& data);
    void putKey(Reg::Handle root, const QByteArray& path);
    const Value* get(Reg::Handle root, const QByteArray& path, const QByteArray& name) const;
    bool hasKey(Reg::Handle root, const QByteArray& path) const;

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
    Key* rootKey(Reg::Handle root);
    Key* keyOf(Reg::Handle h); // the key a handle refers to, or nullptr
    Key* walk(Key* from, const char* path, bool create, bool* ok);
    Key* parentOf(Key* key, Key* from);
    Reg::Handle handleFor(Key* key);

    std::unique_ptr<Key> m_user;
    std::unique_ptr<Key> m_machine;
    std::map<Reg::Handle, Key*> m_open;
    Reg::Handle m_next = 0x1000;
    int m_changes = 0;
    int m_calls = 0;
};

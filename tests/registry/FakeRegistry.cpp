#include "registry/FakeRegistry.h"

#include <algorithm>
#include <cstring>

namespace {

bool same(const QByteArray& a, const QByteArray& b) {
    return a.toUpper() == b.toUpper();
}

FakeRegistry::Value* findValue(FakeRegistry::Key* key, const QByteArray& name) {
    for (FakeRegistry::Value& v : key->values)
        if (same(v.name, name))
            return &v;
    return nullptr;
}

QByteArray nameOf(const char* name) {
    return name ? QByteArray(name) : QByteArray();
}

// Stores need into *size and tells whether a buffer of *size bytes holds it.
bool fits(quint32* size, quint32 need) {
    const bool ok = *size >= need;
    *size = need;
    return ok;
}

} // namespace

FakeRegistry::FakeRegistry()
    : m_user(std::make_unique<Key>()), m_machine(std::make_unique<Key>()) {}

FakeRegistry::Key* FakeRegistry::rootKey(Reg::Handle root) {
    if (root == Reg::HkeyCurrentUser)
        return m_user.get();
    if (root == Reg::HkeyLocalMachine)
        return m_machine.get();
    return nullptr;
}

FakeRegistry::Key* FakeRegistry::keyOf(Reg::Handle h) {
    if (Key* root = rootKey(h))
        return root;
    const auto it = m_open.find(h);
    return it == m_open.end() ? nullptr : it->second;
}

FakeRegistry::Key* FakeRegistry::walk(Key* from, const char* path, bool create, bool* ok) {
    *ok = true;
    Key* key = from;
    for (const QByteArray& part : nameOf(path).split('\\')) {
        if (part.isEmpty())
            continue;
        auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                               [&](const auto& k) { return same(k->name, part); });
        if (it != key->subkeys.end()) {
            key = it->get();
            continue;
        }
        if (!create)
            return nullptr;
        key->subkeys.push_back(std::make_unique<Key>());
        key->subkeys.back()->name = part;
        key = key->subkeys.back().get();
        ++m_changes;
    }
    return key;
}

FakeRegistry::Key* FakeRegistry::parentOf(Key* key, Key* from) {
    for (const auto& sub : from->subkeys) {
        if (sub.get() == key)
            return from;
        if (Key* p = parentOf(key, sub.get()))
            return p;
    }
    return nullptr;
}

Reg::Handle FakeRegistry::handleFor(Key* key) {
    const Reg::Handle h = m_next;
    m_next += 4;
    m_open[h] = key;
    return h;
}

void FakeRegistry::putKey(Reg::Handle root, const QByteArray& path) {
    bool ok = false;
    walk(rootKey(root), path.constData(), true, &ok);
}

void FakeRegistry::put(Reg::Handle root, const QByteArray& path, const QByteArray& name,
                       quint32 type, const QByteArray& data) {
    bool ok = false;
    Key* key = walk(rootKey(root), path.constData(), true, &ok);
    if (Value* v = findValue(key, name)) {
        v->type = type;
        v->data = data;
    } else {
        key->values.push_back({name, type, data});
    }
}

const FakeRegistry::Value* FakeRegistry::get(Reg::Handle root, const QByteArray& path,
                                             const QByteArray& name) const {
    bool ok = false;
    Key* key = const_cast<FakeRegistry*>(this)->walk(const_cast<FakeRegistry*>(this)->rootKey(root),
                                                     path.constData(), false, &ok);
    return key ? findValue(key, name) : nullptr;
}

bool FakeRegistry::hasKey(Reg::Handle root, const QByteArray& path) const {
    bool ok = false;
    auto* self = const_cast<FakeRegistry*>(this);
    return self->walk(self->rootKey(root), path.constData(), false, &ok) != nullptr;
}

qint32 FakeRegistry::RegOpenKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) {
    ++m_calls;
    Key* from = keyOf(hKey);
    if (from == nullptr)
        return Reg::ErrorInvalidHandle;
    bool ok = false;
    Key* key = walk(from, lpSubKey, false, &ok);
    if (key == nullptr)
        return Reg::ErrorFileNotFound;
    *phkResult = handleFor(key);
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegCreateKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) {
    ++m_calls;
    Key* from = keyOf(hKey);
    if (from == nullptr)
        return Reg::ErrorInvalidHandle;
    bool ok = false;
    Key* key = walk(from, lpSubKey, false, &ok);
    if (key == nullptr) {
        if (denyWrites)
            return Reg::ErrorAccessDenied;
        key = walk(from, lpSubKey, true, &ok);
    }
    *phkResult = handleFor(key);
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegCloseKey(Reg::Handle hKey) {
    ++m_calls;
    if (rootKey(hKey))
        return Reg::ErrorSuccess;
    return m_open.erase(hKey) ? Reg::ErrorSuccess : Reg::ErrorInvalidHandle;
}

qint32 FakeRegistry::RegQueryValueA(Reg::Handle hKey, const char* lpSubKey, char* lpData,
                                    qint32* lpcbData) {
    ++m_calls;
    Key* from = keyOf(hKey);
    if (from == nullptr)
        return Reg::ErrorInvalidHandle;
    bool ok = false;
    Key* key = walk(from, lpSubKey, false, &ok);
    if (key == nullptr)
        return Reg::ErrorFileNotFound;
    QByteArray text(1, '\0');
    if (const Value* v = findValue(key, {}))
        text = v->data.endsWith('\0') ? v->data : v->data + '\0';
    const qint32 need = static_cast<qint32>(text.size());
    if (lpData == nullptr) {
        *lpcbData = need;
        return Reg::ErrorSuccess;
    }
    if (*lpcbData < need) {
        *lpcbData = need;
        return Reg::ErrorMoreData;
    }
    std::memcpy(lpData, text.constData(), static_cast<size_t>(need));
    *lpcbData = need;
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegQueryValueExA(Reg::Handle hKey, const char* lpValueName, quint32* lpType,
                                      quint8* lpData, quint32* lpcbData) {
    ++m_calls;
    Key* key = keyOf(hKey);
    if (key == nullptr)
        return Reg::ErrorInvalidHandle;
    const Value* v = findValue(key, nameOf(lpValueName));
    if (v == nullptr)
        return Reg::ErrorFileNotFound;
    if (lpType)
        *lpType = v->type;
    const auto need = static_cast<quint32>(v->data.size());
    if (lpData == nullptr) {
        *lpcbData = need;
        return Reg::ErrorSuccess;
    }
    if (!fits(lpcbData, need))
        return Reg::ErrorMoreData;
    if (need > 0)
        std::memcpy(lpData, v->data.constData(), need);
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegEnumValueA(Reg::Handle hKey, quint32 dwIndex, char* lpValueName,
                                   quint32* lpcchValueName, quint32* lpType, quint8* lpData,
                                   quint32* lpcbData) {
    ++m_calls;
    Key* key = keyOf(hKey);
    if (key == nullptr)
        return Reg::ErrorInvalidHandle;
    if (dwIndex >= key->values.size())
        return Reg::ErrorNoMoreItems;
    const Value& v = key->values[dwIndex];
    const auto need = static_cast<quint32>(v.data.size());
    if (static_cast<quint32>(v.name.size()) >= *lpcchValueName) {
        *lpcbData = need;
        return Reg::ErrorMoreData;
    }
    if (lpData != nullptr && !fits(lpcbData, need))
        return Reg::ErrorMoreData;
    std::memcpy(lpValueName, v.name.constData(), static_cast<size_t>(v.name.size()) + 1);
    *lpcchValueName = static_cast<quint32>(v.name.size());
    if (lpType)
        *lpType = v.type;
    if (lpData != nullptr && need > 0)
        std::memcpy(lpData, v.data.constData(), need);
    *lpcbData = need;
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegEnumKeyA(Reg::Handle hKey, quint32 dwIndex, char* lpName, quint32 cchName) {
    ++m_calls;
    Key* key = keyOf(hKey);
    if (key == nullptr)
        return Reg::ErrorInvalidHandle;
    if (dwIndex >= key->subkeys.size())
        return Reg::ErrorNoMoreItems;
    const QByteArray& name = key->subkeys[dwIndex]->name;
    if (static_cast<quint32>(name.size()) >= cchName)
        return Reg::ErrorMoreData;
    std::memcpy(lpName, name.constData(), static_cast<size_t>(name.size()) + 1);
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegSetValueA(Reg::Handle hKey, const char* lpSubKey, quint32 dwType,
                                  const char* lpData, quint32) {
    ++m_calls;
    Key* from = keyOf(hKey);
    if (from == nullptr)
        return Reg::ErrorInvalidHandle;
    if (dwType != Reg::TypeSz)
        return Reg::ErrorInvalidParameter;
    if (denyWrites)
        return Reg::ErrorAccessDenied;
    bool ok = false;
    Key* key = walk(from, lpSubKey, true, &ok);
    const QByteArray data = QByteArray(lpData) + '\0';
    if (Value* v = findValue(key, {})) {
        v->type = Reg::TypeSz;
        v->data = data;
    } else {
        key->values.push_back({{}, Reg::TypeSz, data});
    }
    ++m_changes;
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegSetValueExA(Reg::Handle hKey, const char* lpValueName, quint32 dwType,
                                    const quint8* lpData, quint32 cbData) {
    ++m_calls;
    Key* key = keyOf(hKey);
    if (key == nullptr)
        return Reg::ErrorInvalidHandle;
    if (denyWrites)
        return Reg::ErrorAccessDenied;
    const QByteArray data(reinterpret_cast<const char*>(lpData), cbData);
    if (Value* v = findValue(key, nameOf(lpValueName))) {
        v->type = dwType;
        v->data = data;
    } else {
        key->values.push_back({nameOf(lpValueName), dwType, data});
    }
    ++m_changes;
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegDeleteValueA(Reg::Handle hKey, const char* lpValueName) {
    ++m_calls;
    Key* key = keyOf(hKey);
    if (key == nullptr)
        return Reg::ErrorInvalidHandle;
    if (denyWrites)
        return Reg::ErrorAccessDenied;
    const QByteArray name = nameOf(lpValueName);
    const auto it = std::find_if(key->values.begin(), key->values.end(),
                                 [&](const Value& v) { return same(v.name, name); });
    if (it == key->values.end())
        return Reg::ErrorFileNotFound;
    key->values.erase(it);
    ++m_changes;
    return Reg::ErrorSuccess;
}

qint32 FakeRegistry::RegDeleteKeyA(Reg::Handle hKey, const char* lpSubKey) {
    ++m_calls;
    Key* from = keyOf(hKey);
    if (from == nullptr)
        return Reg::ErrorInvalidHandle;
    bool ok = false;
    Key* key = walk(from, lpSubKey, false, &ok);
    if (key == nullptr)
        return Reg::ErrorFileNotFound;
    if (key == m_user.get() || key == m_machine.get() || denyWrites)
        return Reg::ErrorAccessDenied;
    if (!key->subkeys.empty() && !deletesTrees)
        return Reg::ErrorAccessDenied;
    Key* parent = parentOf(key, m_user.get());
    if (parent == nullptr)
        parent = parentOf(key, m_machine.get());
    // Handles into the removed tree must not dangle: they refer to nothing until closed.
    for (auto it = m_open.begin(); it != m_open.end();) {
        bool inside = false;
        for (Key* k = it->second; k && !inside;) {
            inside = k == key;
            Key* up = parentOf(k, m_user.get());
            k = up ? up : parentOf(k, m_machine.get());
        }
        if (inside)
            it->second = nullptr;
        ++it;
    }
    const auto pos = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                                  [&](const auto& k) { return k.get() == key; });
    parent->subkeys.erase(pos);
    ++m_changes;
    return Reg::ErrorSuccess;
}

quint32 FakeRegistry::ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, quint32 nSize) {
    ++m_calls;
    QByteArray out;
    const QByteArray src(lpSrc);
    qsizetype i = 0;
    while (i < src.size()) {
        const qsizetype open = src.indexOf('%', i);
        const qsizetype close = open < 0 ? -1 : src.indexOf('%', open + 1);
        if (close < 0) {
            out += src.mid(i);
            break;
        }
        out += src.mid(i, open - i);
        const QByteArray name = src.mid(open + 1, close - open - 1);
        if (environment.contains(name)) {
            out += environment.value(name);
            i = close + 1;
        } else {
            out += src.mid(open, close - open);
            i = close;
        }
    }
    const auto need = static_cast<quint32>(out.size() + 1);
    if (nSize >= need)
        std::memcpy(lpDst, out.constData(), need);
    return need;
}

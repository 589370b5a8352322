#include "platform/xdg/RegistryHive.h"

#include "platform/xdg/RegistryNames.h"

#include <algorithm>

namespace {

bool plain(unsigned char b) {
    return b > 0x20 && b < 0x7F && b != '%' && b != '"' && b != '[' && b != ']' && b != '\\';
}

QByteArray escapeName(const QByteArray& name) {
    QByteArray out;
    for (const char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        if (plain(b)) {
            out += ch;
        } else {
            out += '%';
            out += QByteArray(1, ch).toHex().toUpper();
        }
    }
    return out;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool unescapeName(QByteArrayView text, QByteArray& out) {
    out.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
            return false;
        out += QByteArray::fromHex(text.sliced(i + 1, 2).toByteArray());
        i += 2;
    }
    return true;
}

// "<type>:<hex>"
bool parseData(QByteArrayView text, quint32& type, QByteArray& data) {
    const qsizetype colon = text.indexOf(':');
    if (colon <= 0)
        return false;
    bool ok = false;
    type = text.first(colon).toByteArray().toUInt(&ok);
    if (!ok)
        return false;
    const QByteArrayView hex = text.sliced(colon + 1);
    if (hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), isHex))
        return false;
    data = QByteArray::fromHex(hex.toByteArray());
    return true;
}

void saveValues(const RegistryHive::Key& key, QByteArray& out) {
    for (const RegistryHive::Value& v : key.values) {
        out += v.name.isEmpty() ? QByteArray("@") : '"' + escapeName(v.name) + '"';
        out += '=' + QByteArray::number(v.type) + ':' + v.data.toHex() + '\n';
    }
}

void saveKey(const RegistryHive::Key& key, const QByteArray& path, QByteArray& out) {
    out += '[' + path + "]\n";
    saveValues(key, out);
    for (const auto& sub : key.subkeys)
        saveKey(*sub, path + '\\' + escapeName(sub->name), out);
}

} // namespace

const QByteArray RegistryHive::kHeader = "#sentinel-registry 1";

RegistryHive::Key* RegistryHive::Key::child(const QByteArray& childName) {
    const QString f = RegistryNames::fold(childName);
    for (const auto& sub : subkeys)
        if (sub->fold == f)
            return sub.get();
    return nullptr;
}

RegistryHive::Value* RegistryHive::Key::value(const QByteArray& valueName) {
    const QString f = RegistryNames::fold(valueName);
    for (Value& v : values)
        if (v.fold == f)
            return &v;
    return nullptr;
}

void RegistryHive::Key::setValue(const QByteArray& valueName, quint32 type,
                                 const QByteArray& data) {
    if (Value* v = value(valueName)) {
        v->type = type;
        v->data = data;
        return;
    }
    values.push_back({valueName, RegistryNames::fold(valueName), type, data});
}

bool RegistryHive::Key::removeValue(const QByteArray& valueName) {
    const QString f = RegistryNames::fold(valueName);
    const auto it =
        std::find_if(values.begin(), values.end(), [&](const Value& v) { return v.fold == f; });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

RegistryHive::RegistryHive() : m_root(std::make_unique<Key>()) {}

bool RegistryHive::load(const QByteArray& bytes) {
    m_root = std::make_unique<Key>();
    if (bytes.isEmpty())
        return true;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.front().trimmed() != kHeader)
        return false;
    Key* current = m_root.get();
    for (qsizetype n = 1; n < lines.size(); ++n) {
        QByteArrayView line(lines[n]);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            // A key line that does not parse hides its values too, rather than moving them
            // into another key.
            current = nullptr;
            if (!line.endsWith(']'))
                continue;
            QList<QByteArray> path;
            bool ok = true;
            const QByteArrayView inner = line.sliced(1, line.size() - 2);
            for (const QByteArray& part : inner.toByteArray().split('\\')) {
                QByteArray name;
                ok = ok && !part.isEmpty() && unescapeName(part, name) && !name.isEmpty() &&
                     name.size() <= RegistryNames::kMaxKeyName;
                path.append(name);
            }
            if (ok && !inner.isEmpty() && path.size() <= RegistryNames::kMaxDepth)
                current = create(path);
            continue;
        }
        if (current == nullptr)
            continue;
        QByteArray name;
        QByteArrayView rest;
        if (line.startsWith("@=")) {
            rest = line.sliced(2);
        } else if (line.startsWith('"')) {
            const qsizetype close = line.indexOf('"', 1);
            if (close < 0 || close + 1 >= line.size() || line[close + 1] != '=' ||
                !unescapeName(line.sliced(1, close - 1), name) || name.isEmpty())
                continue;
            rest = line.sliced(close + 2);
        } else {
            continue;
        }
        quint32 type = 0;
        QByteArray data;
        if (parseData(rest, type, data))
            current->setValue(name, type, data);
    }
    return true;
}

QByteArray RegistryHive::save() const {
    QByteArray out = kHeader + '\n';
    saveValues(*m_root, out);
    for (const auto& sub : m_root->subkeys)
        saveKey(*sub, escapeName(sub->name), out);
    return out;
}

RegistryHive::Key* RegistryHive::find(const QList<QByteArray>& path) {
    Key* key = m_root.get();
    for (const QByteArray& part : path) {
        key = key->child(part);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

RegistryHive::Key* RegistryHive::create(const QList<QByteArray>& path, bool* created) {
    if (created)
        *created = false;
    Key* key = m_root.get();
    for (const QByteArray& part : path) {
        Key* next = key->child(part);
        if (next == nullptr) {
            auto fresh = std::make_unique<Key>();
            fresh->name = part;
            fresh->fold = RegistryNames::fold(part);
            next = fresh.get();
            key->subkeys.push_back(std::move(fresh));
            if (created)
                *created = true;
        }
        key = next;
    }
    return key;
}

bool RegistryHive::remove(const QList<QByteArray>& path) {
    if (path.isEmpty())
        return false;
    Key* parent = find(path.first(path.size() - 1));
    if (parent == nullptr)
        return false;
    const QString f = RegistryNames::fold(path.last());
    const auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                                 [&](const auto& k) { return k->fold == f; });
    if (it == parent->subkeys.end())
        return false;
    parent->subkeys.erase(it);
    return true;
}

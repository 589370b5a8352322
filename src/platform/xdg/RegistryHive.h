#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

// One root key of the registry in memory, and its file form. Names keep the spelling
// they were created with and are found without regard to case; values and sub-keys keep
// the order in which they were created, so enumeration is stable.
//
// File form (UTF-8, LF): the first line "#sentinel-registry 1", then "[A\B]" for each key
// (parents before children), each followed by its values, "@=<type>:<hex>" for the default
// value and "\"<name>\"=<type>:<hex>" for named ones. Values before the first key belong
// to the root. In names, bytes outside "!" to "~" and the characters % " [ ] \ are written
// as %XX, so any bytes round-trip exactly.
class RegistryHive {
public:
    struct Value {
        QByteArray name;
        QString fold;
        quint32 type = 0;
        QByteArray data;
    };
    struct Key {
        QByteArray name;
        QString fold;
        std::vector<Value> values;
        std::vector<std::unique_ptr<Key>> subkeys;

        Key* child(const QByteArray& childName);
        Value* value(const QByteArray& valueName);
        // Sets or replaces a value; a replaced value keeps its position and spelling.
        void setValue(const QByteArray& valueName, quint32 type, const QByteArray& data);
        bool removeValue(const QByteArray& valueName);
    };

    static const QByteArray kHeader;

    RegistryHive();

    // Reads a file's contents; false (and an empty hive) when they are no registry file.
    // Lines that do not parse are skipped.
    bool load(const QByteArray& bytes);
    QByteArray save() const;

    Key& root() { return *m_root; }
    Key* find(const QList<QByteArray>& path);
    // Creates the keys missing on the path; *created tells whether any was.
    Key* create(const QList<QByteArray>& path, bool* created = nullptr);
    // Removes the key at the path (not the root) with everything below it.
    bool remove(const QList<QByteArray>& path);

private:
    std::unique_ptr<Key> m_root;
};

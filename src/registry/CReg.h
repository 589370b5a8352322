#pragma once

#include "platform/RegistryApi.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

// The program's door to the registry: reads, writes, enumerates and deletes values and
// keys through RegistryApi only, and renders raw value data as text. It keeps no state of
// its own; the caller owns every handle that OpenKey or CreatKey gives out and closes it
// with CloseKey. No operation throws or shows anything: failure is a false result, or the
// platform's code for OpenKey and CloseKey. Text crosses to the platform in code page 936.
class CReg {
public:
    explicit CReg(RegistryApi& api);

    // The default value of SubKey as text; Value is untouched on failure.
    bool GetDefaultValue(Reg::Handle hKey, const QString& SubKey, QString& Value);
    // Data and type of a named value. Text types (1, 2, 7) lose their final NUL. When the
    // value cannot be found, Value and vType stay as they were.
    bool GetValue(Reg::Handle hKey, const QString& ValueName, QByteArray& Value, qint32& vType);
    // Name, type and data of the value at Index; data exactly as stored, NUL included.
    bool GetValueByIndex(Reg::Handle hKey, qint32 Index, QString& Name, QByteArray& Value,
                         qint32& vType);
    // Name of the sub-key at Index; KeyName is untouched on failure (past the end too).
    bool GetSubkeyByIndex(Reg::Handle hKey, qint32 Index, QString& KeyName);
    bool SetDefaultValue(Reg::Handle hKey, const QString& SubKey, const QString& Value);
    // Value is text or a number for types 1, 2, 7 (stored as text with one NUL) and 4, 5
    // (a signed 32-bit number, little-endian), or an array of numbers 0 to 255 for type 3,
    // of which the first lenValue become the data. A value that does not convert, and any
    // other type, writes nothing and gives false.
    bool SetValue(Reg::Handle hKey, const QString& ValueName, qint32 vType, const QVariant& Value,
                  qint16 lenValue);
    // The first lenValue bytes of Value, unconverted, with the caller's type code. A
    // lenValue beyond the array or below 0 writes nothing and gives false.
    bool SetBinaryValue(Reg::Handle hKey, const QString& ValueName, qint32 vType,
                        const QByteArray& Value, qint32 lenValue);
    // Deletes SubKey below hKey with all its sub-keys.
    bool DeleteSubkeyTree(Reg::Handle hKey, const QString& SubKey);
    // Display text of value data: expanded text (1, 2), hexadecimal (3), decimal (4, 5),
    // each string followed by ", " (7), empty text otherwise.
    QString ValueOutput(const QByteArray& bArr, qint32 vType);
    qint32 OpenKey(Reg::Handle hKey, const QString& lpSubKey, Reg::Handle& phkResult);
    qint32 CloseKey(Reg::Handle hKey);
    bool DelValue(Reg::Handle hKey, const QString& ValueName);
    bool CreatKey(Reg::Handle hKey, const QString& SubKey, Reg::Handle& Result);

    // Counts are 16-bit in the callers of this class, and so are these bounds.
    static constexpr int kMaxElements = 32767;
    static constexpr int kMaxExpandedChars = 32766;

private:
    static QString BytesToString(const QByteArray& bytes);
    // False when fewer than four bytes are given: that is no 32-bit number.
    static bool BytesToLong(const QByteArray& bytes, qint32& number);
    static QStringList BytesToStrings(const QByteArray& bytes);

    RegistryApi& m_api;
};

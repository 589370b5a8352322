#include "registry/CReg.h"

#include "platform/qt/QtCodec936.h"

#include <QLocale>
#include <QVariantList>

#include <cmath>
#include <limits>
#include <optional>

namespace {

// Name buffers of the enumerations: 255 bytes and the terminator.
constexpr quint32 kNameBuffer = 256;
constexpr int kMoreDataRetries = 10;

bool isTextType(qint32 type) {
    return type == Reg::TypeSz || type == Reg::TypeExpandSz || type == Reg::TypeMultiSz;
}

QByteArray ansi(const QString& text) {
    return QtCodec936::encode(text);
}

// The text before the first NUL of a buffer.
QByteArray untilNul(const char* data, qsizetype size) {
    qsizetype n = 0;
    while (n < size && data[n] != '\0')
        ++n;
    return QByteArray(data, n);
}

// Rounds half to even, as the platform's own conversions to whole numbers do.
std::optional<qint64> roundToWhole(double d, double lo, double hi) {
    if (!std::isfinite(d))
        return std::nullopt;
    const double r = std::nearbyint(d);
    if (r < lo || r > hi)
        return std::nullopt;
    return static_cast<qint64>(r);
}

// A number written as text: blanks around it are ignored; "&H" and "&O" prefixes give
// hexadecimal and octal, read as 32-bit patterns ("&HFFFFFFFF" is -1).
std::optional<qint64> numberFromText(const QString& raw, double lo, double hi) {
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.size() > 2 && text[0] == QLatin1Char('&')) {
        const QChar radixChar = text[1].toUpper();
        const int radix = radixChar == QLatin1Char('H')   ? 16
                          : radixChar == QLatin1Char('O') ? 8
                                                          : 0;
        if (radix == 0)
            return std::nullopt;
        bool ok = false;
        const quint64 bits = text.mid(2).toULongLong(&ok, radix);
        if (!ok || bits > 0xFFFFFFFFull)
            return std::nullopt;
        const qint64 value = static_cast<qint32>(static_cast<quint32>(bits));
        if (value < lo || value > hi)
            return std::nullopt;
        return value;
    }
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return (whole < lo || whole > hi) ? std::nullopt : std::optional<qint64>(whole);
    const double d = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return std::nullopt;
    return roundToWhole(d, lo, hi);
}

// A variant as a whole number within [lo, hi]; nothing when it is no such number.
std::optional<qint64> toWhole(const QVariant& v, double lo, double hi) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return 0; // an unset variant counts as 0
    case QMetaType::Bool:
        return v.toBool() ? roundToWhole(-1, lo, hi) : roundToWhole(0, lo, hi);
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar: {
        const qint64 n = v.toLongLong();
        return (n < lo || n > hi) ? std::nullopt : std::optional<qint64>(n);
    }
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar: {
        const quint64 n = v.toULongLong();
        return n > quint64(hi) ? std::nullopt : std::optional<qint64>(qint64(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return roundToWhole(v.toDouble(), lo, hi);
    case QMetaType::QString:
        return numberFromText(v.toString(), lo, hi);
    case QMetaType::QChar:
        return numberFromText(QString(v.toChar()), lo, hi);
    default:
        return std::nullopt;
    }
}

// A variant as text; nothing for arrays and other values that have no text form.
std::optional<QString> toText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::QString:
        return v.toString();
    case QMetaType::QChar:
        return QString(v.toChar());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QString::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return QString::number(d, 'g', 15).toUpper();
    }
    default:
        return std::nullopt;
    }
}

// The first count elements of an array of numbers as bytes; nothing when the variant is
// no array, holds fewer elements, or an element is not a number from 0 to 255.
std::optional<QByteArray> toBytes(const QVariant& v, int count) {
    if (count <= 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(count);
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = v.toByteArray();
        if (bytes.size() < count)
            return std::nullopt;
        return bytes.left(count);
    }
    // Text converts to a list of its characters; it is still no array.
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QChar ||
        !v.canConvert<QVariantList>())
        return std::nullopt;
    const QVariantList list = v.value<QVariantList>();
    if (list.size() < count)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        const std::optional<qint64> b = toWhole(list[i], 0, 255);
        if (!b)
            return std::nullopt;
        out.append(static_cast<char>(static_cast<quint8>(*b)));
    }
    return out;
}

} // namespace

CReg::CReg(RegistryApi& api) : m_api(api) {}

bool CReg::GetDefaultValue(Reg::Handle hKey, const QString& SubKey, QString& Value) {
    const QByteArray sub = ansi(SubKey);
    qint32 size = 0;
    const qint32 probe = m_api.RegQueryValueA(hKey, sub.constData(), nullptr, &size);
    if (probe != Reg::ErrorSuccess && probe != Reg::ErrorMoreData)
        return false;
    QByteArray buffer(qMax(size, 1), '\0');
    size = static_cast<qint32>(buffer.size());
    if (m_api.RegQueryValueA(hKey, sub.constData(), buffer.data(), &size) != Reg::ErrorSuccess)
        return false;
    Value = QtCodec936::decode(untilNul(buffer.constData(), qBound(0, size, int(buffer.size()))));
    return true;
}

bool CReg::GetValue(Reg::Handle hKey, const QString& ValueName, QByteArray& Value, qint32& vType) {
    const QByteArray name = ansi(ValueName);
    // The probe declares a buffer of 0 bytes, so data that exists answers "more data".
    quint8 none = 0;
    quint32 probeType = 0;
    quint32 size = 0;
    const qint32 probe = m_api.RegQueryValueExA(hKey, name.constData(), &probeType, &none, &size);
    if (probe != Reg::ErrorSuccess && probe != Reg::ErrorMoreData)
        return false;

    QByteArray data(static_cast<qsizetype>(size), '\0');
    quint32 type = 0;
    quint32 got = size;
    const qint32 read = m_api.RegQueryValueExA(
        hKey, name.constData(), &type,
        data.isEmpty() ? &none : reinterpret_cast<quint8*>(data.data()), &got);
    vType = static_cast<qint32>(type);
    data.resize(qMin<qsizetype>(got, data.size()));
    // Only a terminating NUL is dropped: text stored without one keeps its last character.
    if (isTextType(vType) && !data.isEmpty() && data.endsWith('\0'))
        data.chop(1);
    Value = data;
    return read == Reg::ErrorSuccess;
}

bool CReg::GetValueByIndex(Reg::Handle hKey, qint32 Index, QString& Name, QByteArray& Value,
                           qint32& vType) {
    Value = QByteArray(1, '\0');
    if (Index < 0)
        return false;
    const quint32 index = static_cast<quint32>(Index);

    char noName = '\0';
    quint32 nameCap = 0;
    quint32 type = 0;
    quint8 none = 0;
    quint32 size = 0;
    const qint32 probe = m_api.RegEnumValueA(hKey, index, &noName, &nameCap, &type, &none, &size);
    if (probe != Reg::ErrorSuccess && probe != Reg::ErrorMoreData)
        return false;

    Value = QByteArray(static_cast<qsizetype>(size), '\0');
    QByteArray nameBuffer(kNameBuffer, '\0');
    qint32 rc = Reg::ErrorMoreData;
    for (int attempt = 0; attempt <= kMoreDataRetries && rc == Reg::ErrorMoreData; ++attempt) {
        if (attempt > 0)
            Value = QByteArray(static_cast<qsizetype>(size), '\0');
        nameCap = kNameBuffer;
        size = static_cast<quint32>(Value.size());
        rc = m_api.RegEnumValueA(hKey, index, nameBuffer.data(), &nameCap, &type,
                                 Value.isEmpty() ? &none : reinterpret_cast<quint8*>(Value.data()),
                                 &size);
    }
    if (rc != Reg::ErrorSuccess)
        return false;
    Name = QtCodec936::decode(nameBuffer.left(qMin<quint32>(nameCap, kNameBuffer - 1)));
    Value.resize(qMin<qsizetype>(size, Value.size()));
    vType = static_cast<qint32>(type);
    return true;
}

bool CReg::GetSubkeyByIndex(Reg::Handle hKey, qint32 Index, QString& KeyName) {
    if (Index < 0)
        return false;
    QByteArray buffer(kNameBuffer, '\0');
    if (m_api.RegEnumKeyA(hKey, static_cast<quint32>(Index), buffer.data(), kNameBuffer) !=
        Reg::ErrorSuccess)
        return false;
    KeyName = QtCodec936::decode(untilNul(buffer.constData(), buffer.size()));
    return true;
}

bool CReg::SetDefaultValue(Reg::Handle hKey, const QString& SubKey, const QString& Value) {
    const QByteArray text = ansi(Value);
    return m_api.RegSetValueA(hKey, ansi(SubKey).constData(), Reg::TypeSz, text.constData(),
                              static_cast<quint32>(text.size() + 1)) == Reg::ErrorSuccess;
}

bool CReg::SetValue(Reg::Handle hKey, const QString& ValueName, qint32 vType, const QVariant& Value,
                    qint16 lenValue) {
    QByteArray data;
    switch (vType) {
    case Reg::TypeSz:
    case Reg::TypeExpandSz:
    case Reg::TypeMultiSz: {
        const std::optional<QString> text = toText(Value);
        // Text the code page cannot hold would be stored with "?" in its place: a command
        // naming no file, a path that is not the program's. Nothing is better than that.
        if (!text || !QtCodec936::canEncode(*text))
            return false;
        data = ansi(*text);
        data.append('\0');
        break;
    }
    case Reg::TypeDword:
    case Reg::TypeDwordBigEndian: {
        const std::optional<qint64> n =
            toWhole(Value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
        if (!n)
            return false;
        const quint32 bits = static_cast<quint32>(static_cast<qint32>(*n));
        for (int i = 0; i < 4; ++i)
            data.append(static_cast<char>((bits >> (8 * i)) & 0xFF));
        break;
    }
    case Reg::TypeBinary: {
        const std::optional<QByteArray> bytes = toBytes(Value, lenValue);
        if (!bytes)
            return false;
        data = *bytes;
        break;
    }
    default:
        // Links and unknown types are never written; saying so is the honest answer.
        return false;
    }
    if (!QtCodec936::canEncode(ValueName))
        return false;
    return m_api.RegSetValueExA(hKey, ansi(ValueName).constData(), static_cast<quint32>(vType),
                                reinterpret_cast<const quint8*>(data.constData()),
                                static_cast<quint32>(data.size())) == Reg::ErrorSuccess;
}

bool CReg::SetBinaryValue(Reg::Handle hKey, const QString& ValueName, qint32 vType,
                          const QByteArray& Value, qint32 lenValue) {
    if (lenValue < 0 || lenValue > Value.size())
        return false;
    quint8 none = 0;
    return m_api.RegSetValueExA(hKey, ansi(ValueName).constData(), static_cast<quint32>(vType),
                                lenValue == 0 ? &none
                                              : reinterpret_cast<const quint8*>(Value.constData()),
                                static_cast<quint32>(lenValue)) == Reg::ErrorSuccess;
}

bool CReg::DeleteSubkeyTree(Reg::Handle hKey, const QString& SubKey) {
    Reg::Handle opened = 0;
    if (m_api.RegOpenKeyA(hKey, ansi(SubKey).constData(), &opened) != Reg::ErrorSuccess)
        return false;
    qint32 rc = m_api.RegDeleteKeyA(opened, "");
    if (rc != Reg::ErrorSuccess) {
        // Each pass removes the sub-key at position 0, so the next pass sees the next one.
        QString child;
        while (GetSubkeyByIndex(opened, 0, child)) {
            if (!DeleteSubkeyTree(opened, child))
                break;
        }
        rc = m_api.RegDeleteKeyA(opened, "");
    }
    m_api.RegCloseKey(opened);
    return rc == Reg::ErrorSuccess;
}

QString CReg::ValueOutput(const QByteArray& bArr, qint32 vType) {
    switch (vType) {
    case Reg::TypeSz:
    case Reg::TypeExpandSz: {
        const QByteArray source = untilNul(bArr.constData(), bArr.size());
        // Room for the text and 256 more; a longer expansion is asked for again at the size
        // the platform names, rather than read from a buffer it did not fill.
        QByteArray buffer(source.size() + 256, '\0');
        quint32 need = 0;
        for (int attempt = 0; attempt < 4; ++attempt) {
            need = m_api.ExpandEnvironmentStringsA(source.constData(), buffer.data(),
                                                   static_cast<quint32>(buffer.size()));
            if (need <= static_cast<quint32>(buffer.size()))
                break;
            buffer = QByteArray(static_cast<qsizetype>(need), '\0');
        }
        const QString text = (need == 0 || need > static_cast<quint32>(buffer.size()))
                                 ? BytesToString(source)
                                 : BytesToString(untilNul(buffer.constData(), need));
        return text.left(kMaxExpandedChars);
    }
    case Reg::TypeBinary: {
        const QByteArray shown = bArr.left(kMaxElements);
        return QString::fromLatin1(shown.toHex().toUpper());
    }
    case Reg::TypeDword:
    case Reg::TypeDwordBigEndian: {
        qint32 number = 0;
        return BytesToLong(bArr, number) ? QString::number(number) : QString();
    }
    case Reg::TypeMultiSz: {
        QString out;
        const QStringList strings = BytesToStrings(bArr);
        for (qsizetype i = 0; i < strings.size() && i < kMaxElements; ++i)
            out += strings[i] + QStringLiteral(", ");
        return out;
    }
    default:
        return QString();
    }
}

qint32 CReg::OpenKey(Reg::Handle hKey, const QString& lpSubKey, Reg::Handle& phkResult) {
    Reg::Handle opened = 0;
    const qint32 rc = m_api.RegOpenKeyA(hKey, ansi(lpSubKey).constData(), &opened);
    if (rc == Reg::ErrorSuccess)
        phkResult = opened;
    return rc;
}

qint32 CReg::CloseKey(Reg::Handle hKey) {
    return m_api.RegCloseKey(hKey);
}

bool CReg::DelValue(Reg::Handle hKey, const QString& ValueName) {
    return m_api.RegDeleteValueA(hKey, ansi(ValueName).constData()) == Reg::ErrorSuccess;
}

bool CReg::CreatKey(Reg::Handle hKey, const QString& SubKey, Reg::Handle& Result) {
    Reg::Handle created = 0;
    if (m_api.RegCreateKeyA(hKey, ansi(SubKey).constData(), &created) != Reg::ErrorSuccess)
        return false;
    Result = created;
    return true;
}

QString CReg::BytesToString(const QByteArray& bytes) {
    return QtCodec936::decode(bytes);
}

bool CReg::BytesToLong(const QByteArray& bytes, qint32& number) {
    if (bytes.size() < 4)
        return false;
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= quint32(static_cast<quint8>(bytes[i])) << (8 * i);
    number = static_cast<qint32>(bits);
    return true;
}

QStringList CReg::BytesToStrings(const QByteArray& bytes) {
    QStringList strings = BytesToString(bytes).split(QChar(u'\0'));
    while (!strings.isEmpty() && strings.last().isEmpty())
        strings.removeLast();
    return strings;
}

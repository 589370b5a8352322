#include "ListFixtures.h"

#include "platform/qt/QtCodec936.h"

#include <QFile>

QByteArray ListFixtures::gbk(const char* utf8) {
    return QtCodec936::encode(QString::fromUtf8(utf8));
}

QByteArray ListFixtures::header() {
    return gbk("[墨枫哨兵1.00]");
}

QByteArray ListFixtures::file(const QStringList& lines) {
    QByteArray bytes = header() + "\r\n";
    for (const QString& line : lines)
        bytes += QtCodec936::encode(line) + "\r\n";
    return bytes;
}

bool ListFixtures::write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QByteArray ListFixtures::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

QStringList ListFixtures::names(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

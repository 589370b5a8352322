#include "ListFileFuzzCheck.h"

#include "platform/qt/QtCodec936.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

void check(const QByteArray& bytes, const std::string& name) {
    QString why;
    EXPECT_TRUE(ListFileFuzzCheck::run(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size()), &why))
        << name << ": " << why.toStdString() << " (input " << bytes.toHex().left(200).toStdString()
        << ")";
}

// Every input kept in the fuzzer's seed corpus.
TEST(ListFileFuzzReplay, SeedCorpus) {
    const QDir corpus(QStringLiteral(SENTINEL_LISTFILE_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        check(file.readAll(), name.toStdString());
    }
}

// Inputs made of the pieces the reader cares about, from a fixed seed so that a failure
// repeats: headers, line ends, lone LFs, double-byte leads, blanks and repeats.
TEST(ListFileFuzzReplay, GeneratedInputs) {
    const QList<QByteArray> pieces = {
        QtCodec936::encode(QString::fromUtf8("[墨枫哨兵1.00]")),
        QtCodec936::encode(QString::fromUtf8("[墨枫哨兵")),
        QtCodec936::encode(QString::fromUtf8("墨枫")),
        "\r\n",
        "\r",
        "\n",
        "\r\r",
        "a",
        "A",
        " ",
        "\t",
        "\x81",
        "\xfe",
        "\xff",
        "\x80",
        QByteArray("\0", 1),
        "1.00",
        "2",
        ".",
        "-",
        "]",
    };
    QRandomGenerator random(20240611u);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (random.bounded(4) != 0)
            bytes = pieces.first() + (random.bounded(2) ? "\r\n" : "\r");
        const int count = static_cast<int>(random.bounded(40));
        for (int i = 0; i < count; ++i)
            bytes += pieces.at(static_cast<qsizetype>(random.bounded(pieces.size())));
        check(bytes, "generated " + std::to_string(round));
    }
}

} // namespace

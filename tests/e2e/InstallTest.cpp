// What `cmake --install` lays out, where a desktop looks for it, and the program started
// from its menu entry as a desktop starts it.
#include "e2e/Journey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <QtEndian>

#include <unistd.h>

namespace {

class Install : public Journey {};

// Width and height from a PNG's header chunk.
QSize pngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    return QSize(qFromBigEndian<qint32>(head.constData() + 16),
                 qFromBigEndian<qint32>(head.constData() + 20));
}

// What a symbolic link says, unresolved.
QString linkText(const QString& path) {
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf);
    return n > 0 ? QFile::decodeName(QByteArray(buf, static_cast<qsizetype>(n))) : QString();
}

// The keys of the [Desktop Entry] group, as they stand.
QMap<QString, QString> desktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0 && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

TEST_F(Install, TheProgramTheEntryAndTheIconsAreWhereADesktopLooks) {
    // The command on PATH leads to the executable, which has a folder of its own for its
    // keyword list.
    const QFileInfo command(program.command());
    EXPECT_TRUE(command.isSymLink());
    EXPECT_TRUE(QDir::isRelativePath(linkText(program.command())));
    const QFileInfo exe(program.executable());
    ASSERT_TRUE(exe.isExecutable());
    EXPECT_NE(exe.absolutePath(), command.absolutePath());
    EXPECT_EQ(QDir(exe.absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("sentinel")});

    const QMap<QString, QString> entry = desktopEntry(program.desktopEntry());
    EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.value(QStringLiteral("Name")), QStringLiteral("墨枫哨兵"));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")), QStringLiteral("sentinel"));
    EXPECT_EQ(entry.value(QStringLiteral("Icon")), QStringLiteral("sentinel"));
    EXPECT_EQ(entry.value(QStringLiteral("Terminal")), QStringLiteral("false"));

    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(pngSize(program.icon(size)), QSize(size, size));
    }
    QFile svg(program.icon(0));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
}

TEST_F(Install, StagedForAPackageTheLayoutKeepsItsPlaces) {
    // A package build installs below DESTDIR for the final prefix; the link stays relative
    // so that it holds once the files are in place.
    const QString stage = env.root() + QStringLiteral("/stage");
    const QString failure = InstalledProgram::install(QStringLiteral("/usr"), stage);
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    const InstalledProgram staged(stage + QStringLiteral("/usr"));
    EXPECT_TRUE(QFileInfo(staged.command()).isSymLink());
    EXPECT_TRUE(QDir::isRelativePath(linkText(staged.command())));
    EXPECT_TRUE(QFileInfo(staged.executable()).isExecutable());
    EXPECT_TRUE(staged.executable().startsWith(stage));
    EXPECT_TRUE(QFile::exists(staged.desktopEntry()));
    EXPECT_TRUE(QFile::exists(staged.icon(48)));
    EXPECT_TRUE(QFile::exists(staged.icon(0)));
}

TEST_F(Install, TheMenuEntryStartsTheProgramWithItsIcon) {
    // As a desktop does: the entry's Exec is found on PATH.
    ChildProcess launcher;
    ASSERT_TRUE(launcher.start({"gio", "launch", program.desktopEntry().toStdString()},
                               desktopEnv(), -1,
                               (env.work() + QStringLiteral("/launch.log")).toStdString()));
    const auto main = waitForWindow(kMainCaption);
    ASSERT_TRUE(main) << "the entry did not start the program";
    const std::vector<int> copies = runningCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(main->pid, static_cast<quint32>(copies.front()));
    const std::vector<std::string> icons = probe->iconSizes(main->window);
    EXPECT_FALSE(icons.empty()) << "the window has no icon";
    screenshot(QStringLiteral("e2e-menu-start.png"));
}

} // namespace

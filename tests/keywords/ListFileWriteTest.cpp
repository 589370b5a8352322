#include "keywords/ListFile.h"
#include "platform/qt/QtText.h"

#include "ListFixtures.h"
#include "TmpfsMount.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/ScriptedPrompts.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using F = ListFixtures;

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QStringList us(std::initializer_list<const char*> utf8) {
    QStringList out;
    for (const char* s : utf8)
        out.append(u(s));
    return out;
}

const QFileDevice::Permissions kModeBits =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
    QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
QFileDevice::Permissions mode(const QString& path) {
    return QFileInfo(path).permissions() & kModeBits;
}
const QFileDevice::Permissions kReadOnly =
    QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

// Steps that fail where the test says: on writing (a full disk), or after the temporary file
// is written but before it takes the old file's place. What the folder held at that moment
// is kept for the test.
class FailingSteps : public ListFileSteps {
public:
    enum class Where { Nowhere, Write, Commit };
    explicit FailingSteps(Where where, QString folder = {})
        : m_where(where), m_folder(std::move(folder)) {}

    bool write(QFile& file, const QByteArray& bytes) override {
        if (m_where == Where::Write) {
            file.write(bytes.left(bytes.size() / 2));
            return false;
        }
        return ListFileSteps::write(file, bytes);
    }
    bool commit(QFile& file, const QString& temporary, const QString& target) override {
        if (m_where != Where::Commit)
            return ListFileSteps::commit(file, temporary, target);
        for (const QString& name : F::names(m_folder))
            during.append({name, F::read(m_folder + QLatin1Char('/') + name)});
        // The temporary file may have no name yet; read it through its handle.
        if (file.flush())
            written = F::read(QStringLiteral("/proc/self/fd/%1").arg(file.handle()));
        return false;
    }

    QList<QPair<QString, QByteArray>> during; // name and bytes of each file in the folder
    QByteArray written;                       // the temporary file's bytes

private:
    Where m_where;
    QString m_folder;
};

class ListFileWrite : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("KeyList.dat")) const {
        return env.work() + QLatin1Char('/') + name;
    }
    void expectFailureMessage() const {
        ASSERT_EQ(prompts.asked().size(), 1);
        const ScriptedPrompts::Asked& asked = prompts.asked().first();
        EXPECT_EQ(asked.kind, ScriptedPrompts::Asked::Message);
        EXPECT_EQ(asked.text, u("导出列表失败！无法创建文件。"));
        EXPECT_EQ(asked.style, Msg::OkOnly | Msg::Critical);
        EXPECT_EQ(asked.caption, u("墨枫哨兵"));
    }

    TestEnv env;
    ScriptedPrompts prompts;
    ListFile listFile{prompts};
};

TEST_F(ListFileWrite, BytesOfTheFile) {
    const struct {
        const char* name;
        QStringList entries;
        QByteArray hex;
    } cases[] = {
        // The header alone: 14 bytes and CR LF.
        {"empty list", {}, "5bc4abb7e3c9dab1f8312e30305d0d0a"},
        {"ascii",
         {"a", "bc"},
         "5bc4abb7e3c9dab1f8312e30305d0d0a"
         "610d0a"
         "62630d0a"},
        {"blanks and repeats kept",
         {" a ", "a", "a"},
         "5bc4abb7e3c9dab1f8312e30305d0d0a"
         "2061200d0a"
         "610d0a"
         "610d0a"},
        {"chinese", us({"墨枫"}),
         "5bc4abb7e3c9dab1f8312e30305d0d0a"
         "c4abb7e30d0a"},
        {"LF inside an entry",
         {"x\ny"},
         "5bc4abb7e3c9dab1f8312e30305d0d0a"
         "780a790d0a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlainKeywordList list(QtText::fromQ(c.entries));
        EXPECT_EQ(ListFile::ListBytes(list).toHex(), c.hex);
        ASSERT_TRUE(listFile.OutputList(path(), list));
        EXPECT_EQ(F::read(path()).toHex(), c.hex);
    }
    EXPECT_EQ(F::read(path()).size() > 0, true);
    EXPECT_TRUE(prompts.asked().isEmpty());
    // Nothing but the file is left in the folder.
    EXPECT_EQ(F::names(env.work()), QStringList{QStringLiteral("KeyList.dat")});
}

TEST_F(ListFileWrite, EmptyListIsTheSixteenHeaderBytes) {
    ASSERT_TRUE(listFile.OutputList(path(), PlainKeywordList()));
    EXPECT_EQ(F::read(path()), F::header() + "\r\n");
    EXPECT_EQ(F::read(path()).size(), 16);
}

TEST_F(ListFileWrite, RoundTrip) {
    const QStringList entries = us({"a", "关键字", " b ", "a", "x\ny", "A", "关键字"});
    ASSERT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(entries))));
    PlainKeywordList back;
    EXPECT_EQ(listFile.InputList(path(), back), ListFile::ReadResult::Ok);
    EXPECT_EQ(back.entries(), QtText::fromQ(us({"a", "关键字", " b ", "x\ny", "A"})));
    EXPECT_TRUE(prompts.asked().isEmpty());
}

TEST_F(ListFileWrite, ReplacesTheWholeOldFile) {
    ASSERT_TRUE(F::write(path(), F::file(us({"old1", "old2", "old3", "a very long old line"}))));
    ASSERT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_EQ(F::read(path()), F::file(us({"new"})));
}

TEST_F(ListFileWrite, OverAReadOnlyFile) {
    ASSERT_TRUE(F::write(path(), F::file(us({"old"}))));
    ASSERT_TRUE(QFile::setPermissions(path(), kReadOnly));
    EXPECT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_EQ(F::read(path()), F::file(us({"new"})));
    EXPECT_TRUE(prompts.asked().isEmpty());
    // No longer read-only, otherwise as before.
    EXPECT_EQ(mode(path()), kReadOnly | QFileDevice::WriteOwner);
}

TEST_F(ListFileWrite, KeepsThePermissionsOfTheOldFile) {
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(F::write(path(), F::file(us({"old"}))));
    ASSERT_TRUE(QFile::setPermissions(path(), ownerOnly));
    EXPECT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_EQ(mode(path()), ownerOnly);
}

TEST_F(ListFileWrite, ThroughASymbolicLink) {
    const QString target = path(QStringLiteral("real.lst"));
    ASSERT_TRUE(F::write(target, F::file(us({"old"}))));
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(F::read(target), F::file(us({"new"})));
}

// Places where no file can be put, for root too: a folder at the file's path, a path below a
// regular file, a folder that does not exist.
TEST_F(ListFileWrite, WhereNoFileCanBeMade) {
    QDir().mkpath(path(QStringLiteral("folder.lst")));
    ASSERT_TRUE(F::write(path(QStringLiteral("folder.lst/inside")), "kept"));
    ASSERT_TRUE(F::write(path(QStringLiteral("plain")), "plain"));
    for (const QString& name : {QStringLiteral("folder.lst"), QStringLiteral("plain/KeyList.dat"),
                                QStringLiteral("missing/KeyList.dat")}) {
        SCOPED_TRACE(name.toStdString());
        prompts.clear();
        EXPECT_FALSE(listFile.OutputList(path(name), PlainKeywordList(QtText::fromQ(us({"new"})))));
        expectFailureMessage();
    }
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder.lst"))).isDir());
    EXPECT_EQ(F::read(path(QStringLiteral("folder.lst/inside"))), "kept");
    EXPECT_EQ(F::read(path(QStringLiteral("plain"))), "plain");
    EXPECT_EQ(F::names(env.work()), (QStringList{"folder.lst", "plain"}));
}

TEST_F(ListFileWrite, ReadOnlyFileSystemLeavesTheOldFile) {
    const QString folder = path(QStringLiteral("ro"));
    TmpfsMount mount(folder, 256);
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error().toStdString();
    const QString file = folder + QStringLiteral("/KeyList.dat");
    const QByteArray old = F::file(us({"old", "关键字"}));
    ASSERT_TRUE(F::write(file, old));
    ASSERT_TRUE(QFile::setPermissions(file, kReadOnly));
    ASSERT_TRUE(mount.remountReadOnly());
    EXPECT_FALSE(listFile.OutputList(file, PlainKeywordList(QtText::fromQ(us({"new"})))));
    expectFailureMessage();
    EXPECT_EQ(F::read(file), old);
    EXPECT_EQ(mode(file), kReadOnly);
}

struct FaultCase {
    const char* name;
    FailingSteps::Where where;
    bool readOnlyOld;
};

TEST_F(ListFileWrite, InjectedFaultsLeaveTheOldFileByteForByte) {
    const FaultCase cases[] = {
        {"write fails", FailingSteps::Where::Write, false},
        {"fails before taking the old file's place", FailingSteps::Where::Commit, false},
        {"read-only old file, fails before taking its place", FailingSteps::Where::Commit, true},
    };
    const QByteArray old = F::file(us({"old", "关键字", " kept "}));
    const PlainKeywordList list(QtText::fromQ(us({"new", "list"})));
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        QFile::setPermissions(path(), kReadOnly | QFileDevice::WriteOwner);
        ASSERT_TRUE(F::write(path(), old));
        const QFileDevice::Permissions before =
            c.readOnlyOld ? kReadOnly : (kReadOnly | QFileDevice::WriteOwner);
        ASSERT_TRUE(QFile::setPermissions(path(), before));

        FailingSteps steps(c.where, env.work());
        ListFile failing(prompts, steps);
        EXPECT_FALSE(failing.OutputList(path(), list));
        expectFailureMessage();
        EXPECT_EQ(F::read(path()), old);
        EXPECT_EQ(mode(path()), before);
        EXPECT_EQ(F::names(env.work()), QStringList{QStringLiteral("KeyList.dat")});

        if (c.where == FailingSteps::Where::Commit) {
            // At that moment the new content was complete in a temporary file, and the old
            // file was still whole.
            EXPECT_EQ(steps.written, ListFile::ListBytes(list));
            ASSERT_FALSE(steps.during.isEmpty());
            EXPECT_EQ(steps.during.first().first, QStringLiteral("KeyList.dat"));
            EXPECT_EQ(steps.during.first().second, old);
            for (const auto& [name, bytes] : steps.during.mid(1))
                EXPECT_EQ(bytes, ListFile::ListBytes(list)) << name.toStdString();
        }
    }
}

TEST_F(ListFileWrite, FullDiskLeavesTheOldFile) {
    const QString folder = path(QStringLiteral("small"));
    TmpfsMount mount(folder, 64);
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error().toStdString();
    const QString file = folder + QStringLiteral("/KeyList.dat");
    const QByteArray old = F::file(us({"old", "关键字"}));
    ASSERT_TRUE(F::write(file, old));

    // A list larger than the whole file system.
    QStringList big;
    for (int i = 0; i < 10000; ++i)
        big.append(QStringLiteral("关键字%1").arg(i));
    EXPECT_FALSE(listFile.OutputList(file, PlainKeywordList(QtText::fromQ(big))));
    expectFailureMessage();
    EXPECT_EQ(F::read(file), old);
    EXPECT_EQ(F::names(folder), QStringList{QStringLiteral("KeyList.dat")});

    // A full file system and a small list.
    prompts.clear();
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    EXPECT_FALSE(listFile.OutputList(file, PlainKeywordList(QtText::fromQ(us({"new"})))));
    expectFailureMessage();
    EXPECT_EQ(F::read(file), old);
    EXPECT_EQ(F::names(folder), (QStringList{"KeyList.dat", "filler"}));

    // With room again, the save goes through.
    prompts.clear();
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/filler")));
    EXPECT_TRUE(listFile.OutputList(file, PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_EQ(F::read(file), F::file(us({"new"})));
    EXPECT_TRUE(prompts.asked().isEmpty());
}

class KeepAside : public ListFileWrite {};

TEST_F(KeepAside, MovesTheBytesBeside) {
    const QByteArray unread = QByteArray("[墨枫哨兵9.99]\r\n\x81\xff stays\r\n");
    ASSERT_TRUE(F::write(path(), unread));
    ASSERT_TRUE(F::write(path(QStringLiteral("KeyList.dat.bak")), "an older copy"));
    EXPECT_TRUE(listFile.KeepAside(path()));
    EXPECT_EQ(F::read(path(QStringLiteral("KeyList.dat.bak"))), unread);
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_TRUE(prompts.asked().isEmpty());

    // The next save then writes the store anew and leaves the copy.
    ASSERT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"})))));
    EXPECT_EQ(F::read(path(QStringLiteral("KeyList.dat.bak"))), unread);
    EXPECT_EQ(F::names(env.work()), (QStringList{"KeyList.dat", "KeyList.dat.bak"}));
}

TEST_F(KeepAside, KeepsTheOwnerOnlyMode) {
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(F::write(path(), "secret"));
    ASSERT_TRUE(QFile::setPermissions(path(), ownerOnly));
    EXPECT_TRUE(listFile.KeepAside(path()));
    EXPECT_EQ(mode(path(QStringLiteral("KeyList.dat.bak"))), ownerOnly);
}

TEST_F(KeepAside, NothingToKeep) {
    EXPECT_FALSE(listFile.KeepAside(path()));
    QDir().mkpath(path(QStringLiteral("folder")));
    EXPECT_FALSE(listFile.KeepAside(path(QStringLiteral("folder"))));
    EXPECT_EQ(F::names(env.work()), QStringList{QStringLiteral("folder")});
}

TEST_F(KeepAside, NeedsNoRoomAndNoReadAccess) {
    const QByteArray unread = "unreadable store";
    ASSERT_TRUE(F::write(path(), unread));
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::WriteOwner));
    FailingSteps steps(FailingSteps::Where::Write);
    ListFile failing(prompts, steps);
    EXPECT_TRUE(failing.KeepAside(path()));
    EXPECT_EQ(mode(path(QStringLiteral("KeyList.dat.bak"))), QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("KeyList.dat.bak")), kReadOnly));
    EXPECT_EQ(F::read(path(QStringLiteral("KeyList.dat.bak"))), unread);
    EXPECT_FALSE(QFileInfo::exists(path()));
}

// Whoever may write the program's folder may plant links there; the program's own store and
// its copy are never read or written through one, whoever runs the program.
class StoreLinks : public ListFileWrite {
protected:
    QString victim() const { return path(QStringLiteral("victim")); }
    QString bak() const { return path(QStringLiteral("KeyList.dat.bak")); }
    void SetUp() override {
        ASSERT_TRUE(F::write(victim(), "root:secret\n"));
        ASSERT_TRUE(
            QFile::setPermissions(victim(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }
    void expectVictimUntouched() const {
        EXPECT_EQ(F::read(victim()), "root:secret\n");
        EXPECT_EQ(mode(victim()), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
};

TEST_F(StoreLinks, SaveReplacesALinkNotItsTarget) {
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("folder"))));
    for (const QString& target :
         {victim(), path(QStringLiteral("missing")), path(QStringLiteral("folder"))}) {
        SCOPED_TRACE(target.toStdString());
        QFile::remove(path());
        ASSERT_TRUE(QFile::link(target, path()));
        EXPECT_TRUE(listFile.OutputList(path(), PlainKeywordList(QtText::fromQ(us({"new"}))),
                                        ListFile::Links::Refuse));
        EXPECT_FALSE(QFileInfo(path()).isSymLink());
        EXPECT_EQ(F::read(path()), F::file(us({"new"})));
        expectVictimUntouched();
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("missing"))));
        EXPECT_TRUE(QDir(path(QStringLiteral("folder"))).isEmpty());
    }
}

TEST_F(StoreLinks, ALinkIsAnUnreadableStore) {
    ASSERT_TRUE(F::write(path(QStringLiteral("list.lst")), F::file(us({"planted"}))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("list.lst")), path()));
    PlainKeywordList list;
    EXPECT_EQ(listFile.InputList(path(), list, ListFile::Links::Refuse),
              ListFile::ReadResult::CannotOpen);
    EXPECT_TRUE(list.entries().empty());
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked().first().text, u("无法打开文件"));
    // A file the user names is read through its link as before.
    EXPECT_EQ(listFile.InputList(path(), list), ListFile::ReadResult::Ok);
    EXPECT_EQ(list.entries(), QtText::fromQ(us({"planted"})));
}

TEST_F(StoreLinks, KeepAsideMovesLinksAndNeverWritesThroughThem) {
    // The store is a link to the victim and the copy's name a link to it as well.
    ASSERT_TRUE(QFile::link(victim(), path()));
    ASSERT_TRUE(QFile::link(victim(), bak()));
    EXPECT_TRUE(listFile.KeepAside(path()));
    EXPECT_TRUE(QFileInfo(bak()).isSymLink());
    EXPECT_FALSE(QFileInfo(path()).isSymLink() || QFileInfo::exists(path()));
    expectVictimUntouched();

    // A planted copy link is replaced by the store that is kept aside.
    ASSERT_TRUE(QFile::remove(bak()));
    ASSERT_TRUE(QFile::link(victim(), bak()));
    ASSERT_TRUE(F::write(path(), "unread store"));
    EXPECT_TRUE(listFile.KeepAside(path()));
    EXPECT_FALSE(QFileInfo(bak()).isSymLink());
    EXPECT_EQ(F::read(bak()), "unread store");
    expectVictimUntouched();
}

} // namespace

#include "keywords/ListFile.h"

#include "common/AppInfo.h"
#include "keywords/ListHeader.h"
#include "keywords/ListLineReader.h"
#include "platform/qt/QtCodec936.h"
#include "platform/qt/QtText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Enough bytes of a first line for its first nine characters, whatever their widths.
constexpr qsizetype kHeadBytes = 64;
// Lines are decoded in batches of about this many bytes.
constexpr qsizetype kBatchBytes = 256 * 1024;
constexpr char kCr = '\r';

QString message(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The text of each of count lines held in joined, each followed by its CR. A line is decoded
// with the CR after it, so that a double-byte lead at its very end shows as a replacement
// character instead of vanishing. Decoding all at once is much cheaper than one by one; if
// the decoder ever took a CR into an invalid sequence, the lines are decoded one by one.
QStringList decodeLines(const QByteArray& joined, qsizetype count) {
    QStringList parts = QtCodec936::decode(joined).split(QLatin1Char(kCr));
    if (parts.size() == count + 1) {
        parts.removeLast();
        return parts;
    }
    QStringList lines;
    lines.reserve(count);
    const QList<QByteArray> raw = joined.split(kCr);
    for (qsizetype i = 0; i < count; ++i) {
        QString text = QtCodec936::decode(raw.at(i) + kCr);
        if (text.endsWith(QLatin1Char(kCr)))
            text.chop(1);
        lines.append(text);
    }
    return lines;
}

// Empty lines and lines already in the list (those added from this file included) are
// skipped; every other line is appended while the list has room. False when a line found
// the list full.
bool mergeLines(const QByteArray& joined, qsizetype count, KeywordList& list) {
    for (const QString& decoded : decodeLines(joined, count)) {
        const std::u16string line = QtText::fromQ(decoded);
        if (line.empty() || list.contains(line))
            continue;
        if (list.count() >= ListFile::kMaxKeywords)
            return false;
        list.append(line);
    }
    return true;
}

// Opens a regular file for reading, and nothing else: a pipe or a device could block for
// ever, and with Refuse a link is not followed. The check is made on the opened file, so
// the name cannot be swapped between the check and the read.
bool openRegular(const QString& path, ListFile::Links links, QFile& file) {
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    if (links == ListFile::Links::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
}

// The file a save replaces: the path itself, or with Follow the file its link names.
QString replaceTarget(const QString& path, ListFile::Links links) {
    const QFileInfo info(path);
    if (links == ListFile::Links::Refuse || !info.isSymLink())
        return path;
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved;
}

// The mode of the new file: the old regular file's, made writable by its owner; for a new
// file what creating it would give under the umask.
mode_t newFileMode(const QString& target) {
    struct stat st {};
    if (::lstat(QFile::encodeName(target).constData(), &st) == 0 && S_ISREG(st.st_mode))
        return (st.st_mode & 07777) | S_IWUSR;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

ListFile::ListFile(Prompts& prompts) : m_prompts(prompts), m_steps(m_ownSteps) {}

ListFile::ListFile(Prompts& prompts, ListFileSteps& steps) : m_prompts(prompts), m_steps(steps) {}

bool ListFile::FileExists(const QString& path) const {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QString ListFile::GetListVersion(const QString& path, bool* ok) const {
    QString version;
    bool read = false;
    QFile file;
    if (openRegular(path, Links::Follow, file)) {
        ListLineReader reader(file);
        QByteArray head;
        if (reader.peek(head, kHeadBytes) == ListLineReader::Status::Line) {
            read = true;
            version = ListHeader::versionOf(decodeLines(head + kCr, 1).constFirst());
        }
    }
    if (ok)
        *ok = read;
    return version;
}

ListFile::ReadResult ListFile::cannotOpen() {
    m_prompts.MsgBox(message("无法打开文件"), Msg::OkOnly, QtText::toQ(AppInfo::title()));
    return ReadResult::CannotOpen;
}

ListFile::ReadResult ListFile::tooMany() {
    m_prompts.MsgBox(message("关键字列表最多只能容纳 32767 个关键字，文件中其余的关键字没有读入。"),
                     Msg::OkOnly | Msg::Exclamation, QtText::toQ(AppInfo::title()));
    return ReadResult::TooMany;
}

ListFile::ReadResult ListFile::InputList(const QString& path, KeywordList& list, Links links) {
    QFile file;
    if (!openRegular(path, links, file))
        return cannotOpen();
    return InputListFrom(file, list);
}

ListFile::ReadResult ListFile::InputListFrom(QIODevice& device, KeywordList& list) {
    using Status = ListLineReader::Status;
    ListLineReader reader(device);

    // The header is judged by the start of the first line, so a large file of another
    // kind is refused without reading it all.
    QByteArray head;
    if (reader.peek(head, kHeadBytes) != Status::Line)
        return cannotOpen();
    const QString version = ListHeader::versionOf(decodeLines(head + kCr, 1).constFirst());
    if (version.isEmpty()) {
        m_prompts.MsgBox(message("无法识别的文件"), Msg::OkOnly, QtText::toQ(AppInfo::title()));
        return ReadResult::NotRecognised;
    }
    if (!ListHeader::isReadable(version)) {
        m_prompts.MsgBox(message("文件需要更高版本的 墨枫哨兵") + version + message(" 才能打开"),
                         Msg::OkOnly, QtText::toQ(AppInfo::title()));
        return ReadResult::NewerVersion;
    }
    QByteArray line;
    if (reader.next(line, 0) != Status::Line)
        return cannotOpen();

    QByteArray batch;
    batch.reserve(kBatchBytes + kHeadBytes);
    qsizetype batchLines = 0;
    for (;;) {
        const qsizetype batchSize = batch.size();
        const Status status = reader.appendNext(batch);
        if (status == Status::Line) {
            batch.append(kCr);
            ++batchLines;
            if (batch.size() < kBatchBytes)
                continue;
        } else {
            batch.truncate(batchSize); // drop what an error left of the lost line
        }
        // What was read before an error stays in the list; a full list ends the reading, so
        // a huge file costs no more than what is kept.
        if (!mergeLines(batch, batchLines, list))
            return tooMany();
        batch.resize(0);
        batchLines = 0;
        if (status == Status::End)
            return ReadResult::Ok;
        if (status == Status::Error)
            return cannotOpen();
    }
}

QByteArray ListFile::ListBytes(const KeywordList& list) {
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = ListHeader::line() + lineEnd;
    const int count = list.count();
    for (int i = 0; i < count; ++i)
        text += QtText::toQ(list.at(i)) + lineEnd;
    // Code page 936 keeps no state between characters, so one conversion of the whole text
    // gives the same bytes as one per line.
    return QtCodec936::encode(text);
}

bool ListFile::OutputList(const QString& path, const KeywordList& list, Links links) {
    if (replaceFile(path, ListBytes(list), links))
        return true;
    m_prompts.MsgBox(message("导出列表失败！无法创建文件。"), Msg::OkOnly | Msg::Critical,
                     QtText::toQ(AppInfo::title()));
    return false;
}

bool ListFile::replaceFile(const QString& path, const QByteArray& bytes, Links links) {
    struct stat st {};
    // A folder is never replaced; anything else at the name (a read-only file, a link) is.
    // With Refuse the name itself counts, so a link to a folder is replaced like any link.
    const QByteArray native = QFile::encodeName(path);
    const int found =
        links == Links::Refuse ? ::lstat(native.constData(), &st) : ::stat(native.constData(), &st);
    if (found == 0 && S_ISDIR(st.st_mode))
        return false;
    return writeBeside(replaceTarget(path, links), bytes);
}

bool ListFile::writeBeside(const QString& target, const QByteArray& bytes) {
    const QFileInfo info(target);
    QByteArray name = QFile::encodeName(info.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    // mkostemp creates a new file of its own and never opens an existing name or a link.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const QString temporary = QFile::decodeName(name);
    QFile file;
    bool ok =
        ::fchmod(fd, newFileMode(target)) == 0 &&
        file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    if (ok)
        ok = m_steps.write(file, bytes) && m_steps.commit(file, temporary, target);
    if (!file.isOpen())
        ::close(fd);
    file.close();
    if (!ok)
        ::unlink(name.constData());
    return ok;
}

bool ListFile::KeepAside(const QString& path) {
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    // Moving needs neither read access nor room for a second copy, and never opens the file.
    const QByteArray backup = QFile::encodeName(path + QStringLiteral(".bak"));
    return std::rename(native.constData(), backup.constData()) == 0;
}

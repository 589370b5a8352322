#include "keywords/ListFile.h"

#include "common/AppInfo.h"
#include "common/Codec936.h"
#include "keywords/ListHeader.h"
#include "keywords/ListLineReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <filesystem>
#include <system_error>

namespace {
// Enough bytes of a first line for its first nine characters, whatever their widths.
constexpr qsizetype kHeadBytes = 64;
// Lines are decoded in batches of about this many bytes.
constexpr qsizetype kBatchBytes = 256 * 1024;
constexpr qsizetype kCopyPiece = 64 * 1024;
constexpr char kCr = '\r';

// Only the mode bits: the "User" flags describe the caller's access, and giving them back
// to setPermissions would add bits the file never had.
constexpr QFileDevice::Permissions kModeBits =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
    QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

QString message(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The text of each of count lines held in joined, each followed by its CR. A line is decoded
// with the CR after it, so that a double-byte lead at its very end shows as a replacement
// character instead of vanishing. Decoding all at once is much cheaper than one by one; if
// the decoder ever took a CR into an invalid sequence, the lines are decoded one by one.
QStringList decodeLines(const QByteArray& joined, qsizetype count) {
    QStringList parts = Codec936::decode(joined).split(QLatin1Char(kCr));
    if (parts.size() == count + 1) {
        parts.removeLast();
        return parts;
    }
    QStringList lines;
    lines.reserve(count);
    const QList<QByteArray> raw = joined.split(kCr);
    for (qsizetype i = 0; i < count; ++i) {
        QString text = Codec936::decode(raw.at(i) + kCr);
        if (text.endsWith(QLatin1Char(kCr)))
            text.chop(1);
        lines.append(text);
    }
    return lines;
}

// Empty lines and lines already in the list (those added from this file included) are
// skipped; every other line is appended.
void mergeLines(const QByteArray& joined, qsizetype count, KeywordList& list) {
    for (const QString& line : decodeLines(joined, count)) {
        if (!line.isEmpty() && !list.contains(line))
            list.append(line);
    }
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
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
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
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
    m_prompts.MsgBox(message("无法打开文件"), Msg::OkOnly, AppInfo::title());
    return ReadResult::CannotOpen;
}

ListFile::ReadResult ListFile::InputList(const QString& path, KeywordList& list) {
    // Only a regular file: opening a pipe or a device could block for ever.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
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
        m_prompts.MsgBox(message("无法识别的文件"), Msg::OkOnly, AppInfo::title());
        return ReadResult::NotRecognised;
    }
    if (!ListHeader::isReadable(version)) {
        m_prompts.MsgBox(message("文件需要更高版本的 墨枫哨兵") + version + message(" 才能打开"),
                         Msg::OkOnly, AppInfo::title());
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
        // What was read before an error stays in the list.
        mergeLines(batch, batchLines, list);
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
        text += list.at(i) + lineEnd;
    // Code page 936 keeps no state between characters, so one conversion of the whole text
    // gives the same bytes as one per line.
    return Codec936::encode(text);
}

bool ListFile::OutputList(const QString& path, const KeywordList& list) {
    if (replaceFile(path, ListBytes(list)))
        return true;
    m_prompts.MsgBox(message("导出列表失败！无法创建文件。"), Msg::OkOnly | Msg::Critical,
                     AppInfo::title());
    return false;
}

bool ListFile::replaceFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo old(path); // through a symbolic link: the link stays, its target changes
    const bool existed = old.isFile();
    const QFileDevice::Permissions oldMode = old.permissions() & kModeBits;
    // A read-only old file is replaced like any other; the temporary file cannot be set
    // over it while it is not writable.
    bool loosened = false;
    if (existed && !(oldMode & QFileDevice::WriteOwner))
        loosened = QFile::setPermissions(path, oldMode | QFileDevice::WriteOwner);

    bool ok = false;
    {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            if (existed)
                file.setPermissions(oldMode | QFileDevice::WriteOwner);
            // The flush is checked here: a write error of the last buffered bytes would
            // otherwise go unseen by the commit, which then puts a cut file in place.
            ok = m_steps.write(file, bytes) && file.flush() && m_steps.commit(file);
        }
    }
    if (!ok && loosened)
        QFile::setPermissions(path, oldMode);
    return ok;
}

bool ListFile::copyFile(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const QFileDevice::Permissions mode = source.permissions() & kModeBits;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    target.setPermissions(mode | QFileDevice::WriteOwner);
    for (;;) {
        const QByteArray piece = source.read(kCopyPiece);
        if (piece.isEmpty()) {
            if (source.error() != QFileDevice::NoError)
                return false;
            break;
        }
        if (!m_steps.write(target, piece))
            return false;
    }
    return target.flush() && m_steps.commit(target);
}

bool ListFile::KeepAside(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    const QString backup = path + QStringLiteral(".bak");
    if (copyFile(path, backup))
        return true;
    // Moving needs neither read access nor room for a second copy.
    std::error_code error;
    std::filesystem::rename(fsPath(path), fsPath(backup), error);
    return !error;
}

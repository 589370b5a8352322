#include "ListFileFuzzCheck.h"
#include "platform/qt/QtText.h"

#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/qt/QtCodec936.h"

#include <algorithm>

#include <QBuffer>
#include <QSet>

namespace {

bool fail(QString* why, const QString& text) {
    if (why)
        *why = text;
    return false;
}

ListFile::ReadResult readInto(const QByteArray& bytes, KeywordList& list,
                              ScriptedPrompts& prompts) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListFile listFile(prompts);
    return listFile.InputListFrom(buffer, list);
}

} // namespace

bool ListFileFuzzCheck::run(const std::uint8_t* data, std::size_t size, QString* why) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList before = {QStringLiteral("a"), QString::fromUtf8("墨枫")};
    PlainKeywordList list(QtText::fromQ(before));
    ScriptedPrompts prompts;
    const ListFile::ReadResult result = readInto(bytes, list, prompts);

    // Exactly one message for a failure, none for success.
    const int messages = static_cast<int>(prompts.asked().size());
    if (messages != (result == ListFile::ReadResult::Ok ? 0 : 1))
        return fail(why, QStringLiteral("%1 messages for result %2")
                             .arg(messages)
                             .arg(static_cast<int>(result)));
    // The entries that were there stay first; a refused file adds nothing.
    if (list.entries().size() < static_cast<std::size_t>(before.size()) ||
        !std::equal(
            before.begin(), before.end(), list.entries().begin(),
            [](const QString& a, const std::u16string& b) { return QtText::fromQ(a) == b; }))
        return fail(why, QStringLiteral("earlier entries changed"));
    if ((result == ListFile::ReadResult::NotRecognised ||
         result == ListFile::ReadResult::NewerVersion) &&
        list.count() != before.size())
        return fail(why, QStringLiteral("a refused file added entries"));
    // No empty entry, no repeat, and never more entries than lines.
    QSet<QString> seen;
    for (const std::u16string& text : list.entries()) {
        const QString entry = QtText::toQ(text);
        if (entry.isEmpty())
            return fail(why, QStringLiteral("empty entry"));
        if (entry.contains(QLatin1Char('\r')))
            return fail(why, QStringLiteral("entry holds a CR"));
        if (seen.contains(entry))
            return fail(why, QStringLiteral("repeated entry"));
        seen.insert(entry);
    }
    if (list.count() - before.size() > bytes.count('\r') + 1)
        return fail(why, QStringLiteral("more entries than lines"));

    // What was read is written back and read again unchanged, when code page 936 holds it.
    if (result == ListFile::ReadResult::Ok) {
        bool encodable = true;
        for (const std::u16string& entry : list.entries())
            encodable = encodable && QtCodec936::canEncode(QtText::toQ(entry));
        if (encodable) {
            PlainKeywordList again;
            ScriptedPrompts quiet;
            if (readInto(ListFile::ListBytes(list), again, quiet) != ListFile::ReadResult::Ok ||
                again.entries() != list.entries())
                return fail(why, QStringLiteral("written list reads back differently"));
        }
    }
    return true;
}

#include "keywords/ListLineReader.h"

#include "FailingDevice.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

using Status = ListLineReader::Status;

QList<QByteArray> allLines(const QByteArray& bytes, Status* last = nullptr) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListLineReader reader(buffer);
    QList<QByteArray> lines;
    QByteArray line;
    Status status;
    while ((status = reader.next(line)) == Status::Line)
        lines.append(line);
    if (last)
        *last = status;
    return lines;
}

struct SplitCase {
    const char* name;
    QByteArray bytes;
    QList<QByteArray> lines;
};

TEST(ListLineReader, SplitsAtCrLfAndLoneCrOnly) {
    const std::vector<SplitCase> cases = {
        {"nothing", "", {}},
        {"one line without end", "a", {"a"}},
        {"end at the very end adds no line", "a\r\n", {"a"}},
        {"lone CR at the very end", "a\r", {"a"}},
        {"two CRs make an empty line", "a\r\r", {"a", ""}},
        {"a single line end", "\r\n", {""}},
        {"two empty lines", "\r\n\r\n", {"", ""}},
        {"lone LF stays in the line", "a\nb", {"a\nb"}},
        {"LF at the end stays", "a\n", {"a\n"}},
        {"LF alone is a line", "\n", {"\n"}},
        {"mixed ends", "a\r\nb\rc\r\n", {"a", "b", "c"}},
        {"LF before CR is text", "a\n\rb", {"a\n", "b"}},
        {"only one LF belongs to the end", "a\r\n\nb", {"a", "\nb"}},
        {"CR LF CR", "a\r\n\rb", {"a", "", "b"}},
        {"NUL bytes are text", QByteArray("a\0b\r\n", 5), {QByteArray("a\0b", 3)}},
        {"double-byte text", "\xc4\xab\r\n\xb7\xe3", {"\xc4\xab", "\xb7\xe3"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Status last = Status::Line;
        EXPECT_EQ(allLines(c.bytes, &last), c.lines);
        EXPECT_EQ(last, Status::End);
    }
}

// The reader takes the device in pieces of 64 KiB; a line end split between two pieces
// must read as one end.
TEST(ListLineReader, LineEndsAcrossPieces) {
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype crAt : {piece - 2, piece - 1, piece, piece + 1, 2 * piece - 1}) {
        SCOPED_TRACE(crAt);
        const QByteArray first(crAt, 'x');
        const QByteArray bytes = first + "\r\nnext\r\n";
        EXPECT_EQ(allLines(bytes), (QList<QByteArray>{first, "next"}));
        // A lone CR at the boundary, followed by text.
        EXPECT_EQ(allLines(first + "\rnext"), (QList<QByteArray>{first, "next"}));
        // A CR at the boundary, then a second CR: an empty line between.
        EXPECT_EQ(allLines(first + "\r\r"), (QList<QByteArray>{first, ""}));
    }
}

TEST(ListLineReader, KeepsOnlyWhatIsAskedAndReadsPastTheRest) {
    QByteArray data = "abcdef\r\nxyz";
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListLineReader reader(buffer);
    QByteArray line;
    ASSERT_EQ(reader.next(line, 3), Status::Line);
    EXPECT_EQ(line, "abc");
    ASSERT_EQ(reader.next(line), Status::Line);
    EXPECT_EQ(line, "xyz");
    EXPECT_EQ(reader.next(line), Status::End);
}

TEST(ListLineReader, AppendNextAddsTheWholeLine) {
    QByteArray data = QByteArray(70000, 'y') + "\r\nb\rc";
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListLineReader reader(buffer);
    QByteArray out = "start|";
    ASSERT_EQ(reader.appendNext(out), Status::Line);
    ASSERT_EQ(reader.appendNext(out), Status::Line);
    out.append('|');
    ASSERT_EQ(reader.appendNext(out), Status::Line);
    EXPECT_EQ(reader.appendNext(out), Status::End);
    EXPECT_EQ(out, "start|" + QByteArray(70000, 'y') + "b|c");
}

TEST(ListLineReader, PeekShowsTheStartWithoutReadingIt) {
    QByteArray data = "abcdef\r\nxyz";
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListLineReader reader(buffer);
    QByteArray head;
    ASSERT_EQ(reader.peek(head, 4), Status::Line);
    EXPECT_EQ(head, "abcd");
    ASSERT_EQ(reader.peek(head, 100), Status::Line);
    EXPECT_EQ(head, "abcdef"); // stops at the line end
    QByteArray line;
    ASSERT_EQ(reader.next(line), Status::Line);
    EXPECT_EQ(line, "abcdef");
    ASSERT_EQ(reader.peek(head, 100), Status::Line);
    EXPECT_EQ(head, "xyz");
    ASSERT_EQ(reader.next(line), Status::Line);
    EXPECT_EQ(reader.peek(head, 100), Status::End);
}

TEST(ListLineReader, PeekOfAnEmptyDeviceIsTheEnd) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ListLineReader reader(buffer);
    QByteArray head;
    EXPECT_EQ(reader.peek(head, 10), Status::End);
    // An empty first line is a line, not the end.
    QByteArray empty = "\r\n";
    QBuffer other(&empty);
    other.open(QIODevice::ReadOnly);
    ListLineReader second(other);
    EXPECT_EQ(second.peek(head, 10), Status::Line);
    EXPECT_EQ(head, "");
}

TEST(ListLineReader, AReadErrorEndsWithError) {
    FailingDevice device("a\r\nb\r\npartial");
    ListLineReader reader(device);
    QByteArray line;
    ASSERT_EQ(reader.next(line), Status::Line);
    EXPECT_EQ(line, "a");
    ASSERT_EQ(reader.next(line), Status::Line);
    EXPECT_EQ(line, "b");
    // The unfinished line is lost with the error.
    EXPECT_EQ(reader.next(line), Status::Error);
    EXPECT_EQ(reader.next(line), Status::Error);
}

} // namespace

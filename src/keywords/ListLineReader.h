#pragma once

#include <QByteArray>
#include <QIODevice>

#include <limits>

// Splits the bytes of a list file into lines: a line ends at CR LF or at a lone CR, a lone LF
// stays inside the line, the last line may lack an end, and an end at the very end of the
// data makes no extra empty line. Reads the device in large pieces and never holds more than
// one piece and the current line.
class ListLineReader {
public:
    enum class Status { Line, End, Error };

    explicit ListLineReader(QIODevice& device);

    // Reads the next line, without its end, into line. Only its first keep bytes are kept;
    // the rest of the line is read past. End once every line has been read; Error when the
    // device fails (the line being read is then lost).
    Status next(QByteArray& line, qsizetype keep = std::numeric_limits<qsizetype>::max());

    // Reads the next line the same way and appends it whole to out. On Error, part of the
    // lost line may have been appended.
    Status appendNext(QByteArray& out);

    // The first bytes (at most count) of the next line, without reading past them, so that
    // a file can be judged by its start without reading all of a first line that never ends.
    Status peek(QByteArray& head, qsizetype count);

private:
    Status read(QByteArray& out, qsizetype keep);
    // Appends the next piece of the device to the buffer: the bytes added, 0 at the end,
    // -1 on a read error.
    qsizetype fill();

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_failed = false;
    bool m_atEnd = false;
};

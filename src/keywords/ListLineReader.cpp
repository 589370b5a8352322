#include "keywords/ListLineReader.h"

#include <algorithm>

namespace {
constexpr qsizetype kPieceSize = 64 * 1024;
constexpr char kCr = '\r';
constexpr char kLf = '\n';
} // namespace

ListLineReader::ListLineReader(QIODevice& device) : m_device(device) {}

qsizetype ListLineReader::fill() {
    if (m_failed)
        return -1;
    if (m_atEnd)
        return 0;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kPieceSize);
    const qint64 got = m_device.read(m_buffer.data() + old, kPieceSize);
    m_buffer.resize(old + std::max<qint64>(got, 0));
    if (got < 0) {
        m_failed = true;
        return -1;
    }
    if (got == 0)
        m_atEnd = true;
    return got;
}

ListLineReader::Status ListLineReader::next(QByteArray& line, qsizetype keep) {
    line.resize(0); // keeps the allocation for the next line
    return read(line, keep);
}

ListLineReader::Status ListLineReader::appendNext(QByteArray& out) {
    return read(out, std::numeric_limits<qsizetype>::max());
}

ListLineReader::Status ListLineReader::read(QByteArray& out, qsizetype keep) {
    qsizetype kept = 0;
    bool consumed = false; // any byte of this line, its end included
    for (;;) {
        const qsizetype cr = m_buffer.indexOf(kCr, m_pos);
        const qsizetype stop = cr < 0 ? m_buffer.size() : cr;
        const qsizetype take = std::min(keep - kept, stop - m_pos);
        if (take > 0) {
            out.append(m_buffer.constData() + m_pos, take);
            kept += take;
        }
        consumed = consumed || stop > m_pos || cr >= 0;
        m_pos = stop;
        if (cr >= 0) {
            ++m_pos;
            // An LF right after the CR belongs to the line end, even across pieces.
            if (m_pos == m_buffer.size() && fill() < 0)
                return Status::Line; // the error shows at the next call
            if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == kLf)
                ++m_pos;
            return Status::Line;
        }
        const qsizetype got = fill();
        if (got < 0)
            return Status::Error;
        if (got == 0)
            return consumed ? Status::Line : Status::End;
    }
}

ListLineReader::Status ListLineReader::peek(QByteArray& head, qsizetype count) {
    head.clear();
    for (;;) {
        const qsizetype cr = m_buffer.indexOf(kCr, m_pos);
        const qsizetype available = (cr < 0 ? m_buffer.size() : cr) - m_pos;
        if (cr >= 0 || available >= count || m_atEnd) {
            if (cr < 0 && available == 0 && m_atEnd)
                return Status::End;
            head = m_buffer.mid(m_pos, std::min(available, count));
            return Status::Line;
        }
        if (fill() < 0)
            return Status::Error;
    }
}

#include "FailingDevice.h"

#include <algorithm>
#include <cstring>

FailingDevice::FailingDevice(QByteArray bytes) : m_bytes(std::move(bytes)) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 FailingDevice::readData(char* data, qint64 max) {
    if (m_pos >= m_bytes.size())
        return -1;
    const qint64 n = std::min<qint64>(max, m_bytes.size() - m_pos);
    std::memcpy(data, m_bytes.constData() + m_pos, static_cast<size_t>(n));
    m_pos += n;
    return n;
}

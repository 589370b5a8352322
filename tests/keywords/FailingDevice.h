#pragma once

#include <QByteArray>
#include <QIODevice>

// A device that gives its bytes and then fails, as a disk with a bad sector does.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(QByteArray bytes);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_pos = 0;
};

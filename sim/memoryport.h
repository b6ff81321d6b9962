// A serial line in memory: bytes fed in are what the receiver reads, what it
// writes is collected in `written`. Used to drive the YMODEM receiver without
// a port.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <cstring>

namespace sim {

class MemoryPort : public QIODevice
{
public:
    MemoryPort() { open(QIODevice::ReadWrite); }
    void feed(const QByteArray &bytes)
    {
        m_in += bytes;
        emit readyRead();
    }
    // What was written since the last call.
    QByteArray take()
    {
        const QByteArray out = written;
        written.clear();
        return out;
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }
    QByteArray written;

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin<qint64>(max, m_in.size());
        std::memcpy(data, m_in.constData(), size_t(n));
        m_in.remove(0, int(n));
        return n;
    }
    qint64 writeData(const char *data, qint64 n) override
    {
        written.append(data, int(n));
        return n;
    }

private:
    QByteArray m_in;
};

} // namespace sim

#include "eventlogsender.h"

#include <chrono>

namespace sim {

namespace {
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
constexpr int MaxTries = 10;

quint16 crcXmodem(const QByteArray &data)
{
    quint16 crc = 0;
    for (char ch : data) {
        crc ^= quint16(quint8(ch)) << 8;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray packet(int block, QByteArray data, int size, char pad)
{
    data = data.left(size);
    data.append(QByteArray(size - data.size(), pad));
    QByteArray p;
    p.append(size == 128 ? SOH : STX);
    p.append(char(block & 0xFF));
    p.append(char(~block & 0xFF));
    p.append(data);
    const quint16 crc = crcXmodem(data);
    p.append(char(crc >> 8));
    p.append(char(crc & 0xFF));
    return p;
}

void putLe(QByteArray &a, int at, quint32 v, int size)
{
    for (int i = 0; i < size; ++i)
        a[at + i] = char((v >> (8 * i)) & 0xFF);
}

enum class Answer { Ack, Nak, Cancel, None };

// Waits for the receiver's answer; start requests ("C") and noise are skipped,
// but only until the answer time is up, so a line busy with other traffic
// cannot keep the sender waiting for ever.
Answer awaitAnswer(const SenderLine &line, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 end - Clock::now()).count());
        if (left <= 0)
            return Answer::None;
        const int b = line.readByte(left);
        if (b < 0)
            return Answer::None;
        if (b == ACK)
            return Answer::Ack;
        if (b == NAK)
            return Answer::Nak;
        if (b == CAN && line.readByte(1000) == CAN)
            return Answer::Cancel;
    }
}
} // namespace

QList<LogRecord> LogOptions::defaultRecords()
{
    QList<LogRecord> records;
    const quint32 start = 1796083200;  // 2026-12-01 00:00:00 UTC
    for (int i = 0; i < 300; ++i) {
        LogRecord r;
        r.tag = "Rule" + QByteArray::number(i % 40 + 1);
        r.type = quint16(i % 4);
        r.valueInput = quint16((i * 37) % 20000);
        r.valueOutput = quint16((i * 53) % 2000);
        r.timeStamp = start + quint32(i) * 293;
        r.result = i % 7 == 3 ? 0 : 1;
        records.append(r);
    }
    return records;
}

QByteArray buildLogFile(const QList<LogRecord> &records)
{
    QByteArray file(16 + 20 * 1000, '\0');
    file.replace(0, 6, QByteArray("NBLOG\x01", 6));
    putLe(file, 8, quint32(records.size()), 2);
    for (int r = 0; r < records.size() && r < 1000; ++r) {
        const LogRecord &rec = records.at(r);
        const int s = 16 + 20 * r;
        const QByteArray tag = rec.tag.left(7);
        file.replace(s, tag.size(), tag);
        putLe(file, s + 8, rec.valueInput, 2);
        putLe(file, s + 10, rec.type, 2);
        putLe(file, s + 12, rec.valueOutput, 2);
        putLe(file, s + 14, rec.timeStamp, 4);
        putLe(file, s + 18, rec.result, 2);
    }
    return file;
}

namespace {
// The packets as they go out, one entry per write: header, the bridge's own
// first block (in one or two packets), the file.
QList<QByteArray> logPackets(const LogOptions &options)
{
    const QByteArray file = options.file.isEmpty() ? buildLogFile(options.records) : options.file;
    QList<QByteArray> packets;
    QByteArray header = options.fileName;
    header.append('\0');
    header.append(QByteArray::number(file.size()));
    header.append('\0');
    packets << packet(0, header, 128, 0);
    const QByteArray own("NB500 event log\0", 16);
    packets << packet(1, own, 1024, 0);
    int block = 2;
    if (options.fault == LogFault::DoubleFirstBlock)
        packets.last() += packet(1, own, 1024, 0);
    else if (options.fault == LogFault::FirstBlocksOneTwo)
        packets.last() += packet(block++, own, 1024, 0);
    for (int at = 0; at < file.size(); at += 1024, ++block)
        packets << packet(block, file.mid(at, 1024), 1024, 0x1A);
    return packets;
}
} // namespace

SendResult sendLog(const SenderLine &line, const LogOptions &options)
{
    SendResult result;
    const QList<QByteArray> packets = logPackets(options);
    bool faultDone = false;
    for (int i = 0; i < packets.size(); ++i) {
        const bool faultHere = !faultDone && options.fault != LogFault::None
                               && i == options.faultPacket + 2;
        for (int tries = 0;; ++tries) {
            if (tries >= MaxTries)
                return result;
            QByteArray out = packets.at(i);
            if (faultHere && !faultDone) {
                faultDone = true;
                if (options.fault == LogFault::Stall)
                    return result;
                if (options.fault == LogFault::BadCrc)
                    out[out.size() - 1] = char(out.at(out.size() - 1) ^ 0x5A);
                else if (options.fault == LogFault::Dropped)
                    out.clear();
            }
            if (!out.isEmpty()) {
                line.write(out);
                ++result.packets;
            }
            const Answer a = awaitAnswer(line, options.answerTimeoutMs);
            if (a == Answer::Ack)
                break;
            if (a == Answer::Cancel)
                return result;
            if (a == Answer::Nak)
                ++result.naks;
        }
    }

    // End of file: the first EOT is answered with NAK, the second with ACK.
    for (int eot = 0; eot < 2; ++eot) {
        for (int tries = 0;; ++tries) {
            if (tries >= MaxTries)
                return result;
            line.write(QByteArray(1, EOT));
            const Answer a = awaitAnswer(line, options.answerTimeoutMs);
            if (a == Answer::Cancel)
                return result;
            if (a == Answer::Ack) {
                eot = 2;
                break;
            }
            if (a == Answer::Nak) {
                if (eot == 0)
                    break;
                ++result.naks;
            }
        }
    }
    // The receiver asks for the next file with "C"; there is none to send.
    line.readByte(1000);
    result.completed = true;
    return result;
}

} // namespace sim

// The simulated bridge's event log: the log file it keeps and the YMODEM
// sender that hands it out on the serial line.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace sim {

// One rule execution as the bridge logs it.
struct LogRecord {
    QByteArray tag;          // up to 7 bytes
    quint16 valueInput = 0;
    quint16 type = 0;
    quint16 valueOutput = 0;
    quint32 timeStamp = 0;   // seconds since 1970 UTC
    quint16 result = 0;      // 1 success
};

enum class LogFault {
    None,
    BadCrc,     // one file packet goes out with a damaged CRC (once)
    Dropped,    // one file packet is lost on the line (once); resent after the answer time-out
    Stall,      // the bridge goes silent instead of sending one file packet
    NoStart,    // start requests are ignored: no transfer ever begins
    // The bridge's own first data block goes out as two packets in one write,
    // answered by one ACK: block 1 twice, or blocks 1 and 2 (the file then
    // starts at block 3).
    DoubleFirstBlock,
    FirstBlocksOneTwo,
};

struct LogOptions {
    QByteArray fileName = "eventlog.bin";  // as sent in the header packet
    QList<LogRecord> records = defaultRecords();
    QByteArray file;          // when not empty, sent as it is instead of the records
    LogFault fault = LogFault::None;
    int faultPacket = 2;      // which file packet (0 = the first) the fault hits
    int answerTimeoutMs = 3000;

    static QList<LogRecord> defaultRecords();  // a few hundred plausible records
};

// The log file: a 16-byte header, then 1000 records of 20 bytes, little-endian.
QByteArray buildLogFile(const QList<LogRecord> &records);

// The sender's view of the line.
struct SenderLine {
    std::function<int(int timeoutMs)> readByte;    // -1 when nothing came in time
    std::function<void(const QByteArray &)> write;
};

struct SendResult {
    bool completed = false;
    int naks = 0;       // packets answered with NAK
    int packets = 0;    // packets put on the line, repeats included
};

// Sends one file with YMODEM (CRC-16): header packet, the bridge's own first
// data block, the file in 1024-byte packets (the last padded), EOT, EOT.
SendResult sendLog(const SenderLine &line, const LogOptions &options);

} // namespace sim

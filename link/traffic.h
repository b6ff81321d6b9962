// What went over the line: one record per request of the link (and one per
// event log download), and the texts a traffic view shows for it. A record
// holds only what the link has at hand when the answer comes; names, decoded
// values and frames are made from it when someone looks (format()), so
// recording costs the link next to nothing.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QModbusDevice>
#include <QString>
#include <QStringList>
#include <QVector>

struct TrafficRecord {
    enum Kind { Read, Write, Download };
    Kind kind = Read;
    qint64 time = 0;           // ms since the epoch, when the request was sent
    int roundTrip = 0;         // ms from sending to the end of the answer
    int server = 1;
    quint16 start = 0;
    quint16 count = 0;         // registers asked for, or written
    // Registers written, or those of a read's answer (fewer or more than
    // `count` when the reply was short or long).
    QVector<quint16> values;
    QModbusDevice::Error error = QModbusDevice::NoError;
    int exceptionCode = -1;    // the device's exception code, -1 when none
    QString errorText;         // the client's text for other errors
    QByteArray replyPdu;       // the answer as it came: function code and data

    // A download: its bytes, data blocks, packets sent again, and why it
    // failed (empty: it completed).
    qint64 bytes = 0;
    int blocks = 0;
    int resends = 0;
    QString failure;
};
Q_DECLARE_METATYPE(TrafficRecord)

namespace traffic {

// What a person reads of a record: the columns of a row, the frames of the
// detail pane. Login and stored credentials never show; keys only with
// `showKeys`.
struct Row {
    QString time;        // "14:03:27.512"
    QString direction;   // "R", "W", or "log" for a download
    QString server;
    QString function;    // "0x03", "0x06", "0x10", "YMODEM"
    QString registers;   // "LoRaWAN · app key 248-255"
    QString values;      // "app key: ••••", "baud rate: 9600; data bits: 8; ..."
    QString result;      // "OK", "exception 2: illegal data address", "time-out", ...
    QString ms;          // round trip
    QString request;     // the request frame in hex: address, PDU, CRC
    QString reply;       // the reply frame, empty when none came
    QStringList columns() const;
};

struct Context {
    QString model;       // the identified model: how some fields read
    bool showKeys = false;
};

Row format(const TrafficRecord &record, const Context &context);

// "OK", "exception 2: illegal data address", "time-out", "damaged reply",
// "short reply, 3 of 5 registers", ...
QString resultText(const TrafficRecord &record);
// 3, 6 or 16 as the client sends it; 0 for a download.
int functionCode(const TrafficRecord &record);
// The RTU frames: server address, PDU, CRC (low byte first). The reply's is
// empty when no answer came.
QByteArray requestFrame(const TrafficRecord &record);
QByteArray replyFrame(const TrafficRecord &record);
quint16 crc16(const QByteArray &bytes);

} // namespace traffic

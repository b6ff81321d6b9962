// Register encodings: pure functions that turn holding-register values into
// what the pages show and back. Widgets call these; they never do bit work.
#pragma once

#include <QString>
#include <QVector>

class QModbusDataUnit;

namespace codec {

// Register text: two 8-bit characters per register, the first in the high
// byte. Every register is decoded; zero bytes stay in the text as U+0000.
QString registersToText(const QVector<quint16> &values);
QString registersToText(const QModbusDataUnit &unit);

// Encodes text as register text for a block of `count` registers. Each
// character is stored as its Latin-1 code (0 above U+00FF); an odd last
// character takes the high byte. Registers after the text are 0. A text
// longer than 2 * count characters yields more than `count` registers:
// callers that write into a fixed block limit the length first.
QVector<quint16> textToRegisters(const QString &text, int count);

// The register value a line edit's text stands for: a base-10 integer kept to
// its low 16 bits; text that does not convert gives 0 (so "-1" gives 0xFFFF).
quint16 lineEditValue(const QString &text);

// A register read as a signed 16-bit number.
inline int signedValue(quint16 value) { return static_cast<qint16>(value); }

// The register at `index`, or 0 when the reply did not carry that many.
quint16 valueAt(const QVector<quint16> &values, int index);

} // namespace codec

namespace codec {

// The rule chain's conversion type: 0 "V-V", 1 "V-A", 2 "A-V", 3 "A-A";
// any other code has no text.
QString ruleTypeText(int code);

} // namespace codec

// ---- Event log ------------------------------------------------------------

// One record of the bridge's event log: a rule execution.
struct EventLogEntry {
    QString tag;              // up to 7 characters; empty marks an empty record
    quint16 valueInput = 0;
    quint16 type = 0;         // rule type code, see ruleTypeText
    quint16 valueOutput = 0;
    quint32 timeStamp = 0;    // seconds since 1970-01-01 00:00:00 UTC
    quint16 result = 0;       // 1 success, otherwise failure
    quint16 index = 0;        // position in the file
};

namespace codec {

// The bridge's event-log file: a 16-byte header, then up to 1000 records of
// 20 bytes (little-endian). Returns the used records in file order; a record
// whose first tag byte is 0, or that the file does not reach, is empty.
constexpr int EventLogRecords = 1000;
constexpr int EventLogHeaderSize = 16;
constexpr int EventLogRecordSize = 20;
QVector<EventLogEntry> parseEventLogFile(const QByteArray &bytes);

// "Success" for result 1, "Fail" otherwise.
QString eventLogResultText(quint16 result);
// The time stamp as local date and time, "yyyy-MM-dd hh:mm:ss ddd".
QString eventLogTimeText(quint32 timeStamp);
// One line of the text export, CR LF included:
// tag,valueInput,type text,valueOutput,local time,Success|Fail
QByteArray eventLogExportLine(const EventLogEntry &entry);

} // namespace codec

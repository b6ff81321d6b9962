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

// ---- Rule chain and chain monitor entries ----

// One rule of the bridge's rule chain: an input (device ID, channel) coupled
// to an output with a conversion type; channels 4 (current, uA) and 5
// (voltage, mV) carry an output value.
struct RuleChainEntry {
    QString name;          // up to 8 characters; empty marks a free entry
    quint16 inDeviceId = 0;
    quint16 inChannel = 0;
    quint16 type = 0;      // 0 "V-V", 1 "V-A", 2 "A-V", 3 "A-A"
    quint16 outDeviceId = 0;
    quint16 outChannel = 0;
    quint16 index = 0;     // position in the table, fixed when the list is made
    quint16 tmoValue = 0;
};

// One row of the chain monitor: the last execution of a rule.
struct ChainMonitorEntry {
    QString tag;           // empty marks a row not in use
    quint16 value = 0;
    quint16 type = 0;
    quint16 result = 0;    // 1 success, anything else failure
    QString timeStamp;     // local time, "yyyy-MM-dd hh:mm:ss ddd"
    quint16 index = 0;
};

namespace codec {

// Registers of one rule entry and of one monitor row.
constexpr int RuleEntryRegisters = 10;
constexpr int MonitorEntryRegisters = 9;

// A name of up to four registers starting at `offset`: two characters per
// register, high byte first, ended by the first zero byte (or a register the
// reply lacks), so at most 8 characters.
QString entryName(const QVector<quint16> &values, int offset);

// The rule entry at `offset`: name (0-3), input device and channel (4, 5),
// output device and channel (6, 7), type (8), output value (9). The index is
// left 0 for the caller to keep its own.
RuleChainEntry decodeRuleEntry(const QVector<quint16> &values, int offset);

// The ten registers written for a rule entry; the name is cut to 8
// characters so the write never leaves the entry's block.
QVector<quint16> ruleEntryRegisters(const RuleChainEntry &entry);

// The monitor row at `offset`: tag (0-3), value (4), type (5), result (6),
// time stamp as seconds since 1970-01-01 UTC, high word (7) and low word (8).
ChainMonitorEntry decodeMonitorEntry(const QVector<quint16> &values, int offset);

// A count of seconds since 1970-01-01 00:00:00 UTC as local time,
// "yyyy-MM-dd hh:mm:ss ddd" with the day name of the default locale.
QString monitorTimeStamp(quint32 seconds);

} // namespace codec

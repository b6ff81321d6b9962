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

// ---------------------------------------------------------------------------
// RTU sensor table and sensor timing.

namespace codec {

// The fields of one RTU sensor entry as the bridge stores them.
struct SensorFields {
    QString name;                 // up to 8 characters
    quint8 slaveId = 0;
    quint8 functionCode = 0;      // 1 to 4
    quint32 plcAddress = 0;       // sent as its low 16 bits
    qint16 registerQuantity = 0;
};

constexpr int SensorEntryRegisters = 7;

// The 7-register entry block: name as register text in registers 0 to 3
// (longer names are cut to 8 characters so the block never grows), function
// code in the high and slave ID in the low byte of register 4, PLC address
// and register quantity (low 16 bits each) in registers 5 and 6.
QVector<quint16> sensorEntryToRegisters(const SensorFields &entry);

// Decodes the entry block that starts at `offset` in `values`. The name ends
// at the first zero byte or after 8 characters; missing registers count as 0.
SensorFields sensorEntryFromRegisters(const QVector<quint16> &values, int offset = 0);

// The hourly schedule: a 24-bit mask, bit h for hour h:00. Register 800
// carries hours 16 to 23 in its low byte, register 801 hours 0 to 15.
quint32 scheduleMaskFromRegisters(const QVector<quint16> &values);
QVector<quint16> scheduleMaskToRegisters(quint32 mask);

// The device clock: seconds since 1970-01-01 UTC, high half first.
quint32 timestampFromRegisters(const QVector<quint16> &values);
QVector<quint16> timestampToRegisters(quint32 seconds);
// The seconds as this computer's local date and time, "yyyy-MM-dd hh:mm:ss ddd".
QString timestampText(quint32 seconds);

// A time-zone register (signed minutes, UTC minus local time) as shown to the
// user: -480 is "UTC+ 8 : 00", 300 is "UTC -5 : 00".
QString timeZoneText(int minutes);

// The RS-485 polling time-out: the NB500 keeps milliseconds, other models
// seconds; the user always sees and enters seconds.
bool pollingTimeoutInMilliseconds(const QString &modelName);
quint32 pollingTimeoutSeconds(quint16 value, const QString &modelName);
quint16 pollingTimeoutRegister(int seconds, const QString &modelName);

} // namespace codec

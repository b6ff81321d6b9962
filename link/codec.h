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

namespace codec {

// System settings: firmware version, serial number, stored credentials and
// the device clock.

// Register text up to (not including) the first zero byte.
QString zeroEndedText(const QVector<quint16> &values);

// The firmware version: register text that ends at the first register whose
// high byte is 0. A zero low byte before that point stays in the text as
// U+0000.
QString versionText(const QVector<quint16> &values);

// The serial number block marks "no serial number" with a first register
// whose high byte is 0xFF (an erased flash cell).
bool serialNumberUnset(const QVector<quint16> &values);

// True when every character can be stored as one non-zero register byte
// (Latin-1, not U+0000), so the text reads back exactly as it was written.
bool isRegisterText(const QString &text);

// The device clock: seconds since 1970-01-01 00:00 UTC as an unsigned 32-bit
// number, high 16 bits in the first register (a missing register reads as 0).
quint32 clockSeconds(const QVector<quint16> &values);
QVector<quint16> clockRegisters(quint32 seconds);
// A clock value as the PC's local date and time, "yyyy-MM-dd hh:mm:ss ddd".
QString clockText(qint64 seconds);

} // namespace codec

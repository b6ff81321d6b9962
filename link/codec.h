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

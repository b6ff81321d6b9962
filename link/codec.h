// Register encodings: pure functions that turn holding-register values into
// what the pages show and back, and the checks of what the user types.
// Widgets call these and choose their own message texts; they never do bit
// work. One block per topic, in this order: register values, register text,
// hex text, radio and group network, auto scan map, I/O channels, clock and
// time, RTU sensor entries and timing, rule chain and chain monitor, event
// log, system settings, checks of typed entries (link/entrychecks.cpp).
#pragma once

#include <QFlags>
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

class QModbusDataUnit;

namespace codec {

// ---- Register values --------------------------------------------------------

// The register at `index`, or 0 when the reply did not carry that many.
quint16 valueAt(const QVector<quint16> &values, int index);

// A register read as a signed 16-bit number.
inline int signedValue(quint16 value) { return static_cast<qint16>(value); }

// The register value a line edit's text stands for: a base-10 integer kept to
// its low 16 bits; text that does not convert gives 0 (so "-1" gives 0xFFFF).
quint16 lineEditValue(const QString &text);

// ---- Register text ----------------------------------------------------------

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

// Register text up to (not including) the first zero byte.
QString zeroEndedText(const QVector<quint16> &values);

// The name of an entry: up to four registers from `offset`, ended by the
// first zero byte (or a register the reply lacks), so at most 8 characters.
QString entryName(const QVector<quint16> &values, int offset);

// True when every character has a one-byte code (Latin-1, U+0000 included),
// so textToRegisters stores it as typed.
bool isLatin1Text(const QString &text);
// True when every character can be stored as one non-zero register byte
// (Latin-1, not U+0000), so the text reads back exactly as it was written.
bool isRegisterText(const QString &text);

// ---- Hex text ---------------------------------------------------------------

// Hex byte text: every register as two bytes, high byte first, each byte as
// two upper-case hex digits, bytes separated by single blanks.
QString registersToHexText(const QVector<quint16> &values);

// The registers a hex byte text describes: split at every blank (empty parts
// stay), parts taken in pairs as high and low byte, each read as a hex number
// (0 when it is none), an unpaired last part dropped.
QVector<quint16> hexTextToRegisters(const QString &text);

// Strict form for a block of `byteCount` bytes: exactly that many two-digit
// hex groups separated by blanks, or one run of 2 * byteCount hex digits,
// either case, blanks around it ignored. Returns false for anything else.
bool parseHexBlock(const QString &text, int byteCount, QVector<quint16> *registers);

// ---- Radio and group network ------------------------------------------------

// LoRa carrier frequency register (MHz x 10) as the page shows it: at most
// four significant digits (4330 gives "433", 4705 gives "470.5").
QString loraFrequencyText(quint16 value);

// Destination bitmap: bit b of register r stands for ID 16r + b + 1.
// flags[i] tells whether ID i + 1 is set; `idCount` flags are returned.
QVector<bool> bitmapToFlags(const QVector<quint16> &registers, int idCount);
// `registerCount` registers from the flags; IDs beyond the block are ignored.
QVector<quint16> flagsToBitmap(const QVector<bool> &flags, int registerCount);

// An AES key proposal: 16 characters of digits and lower-case letters drawn
// from the operating system's cryptographic generator.
QString proposeAesKey();
extern const char AesKeyAlphabet[];

// The frequencies a LoRa band allows, in MHz x 10: band 0 410 to 493 MHz,
// band 1 850 to 930, band 2 920 to 925; no band known: 410 to 930.
void loraBandRange(int band, int *lowTimes10, int *highTimes10);

// What is wrong with a LoRa frequency (MHz x 10 as typed, before it is
// truncated to a register) and transmit power for a band (-1: none known).
// Every problem is returned; the page reports the first in this order.
enum LoraProblem {
    LoraFrequencyOutOfRange = 0x01,  // not 410 to 930 MHz, whatever the band
    LoraFrequencyOutOfBand = 0x02,   // outside the band's frequencies
    LoraPowerTooHigh = 0x04,         // band 2: above 17 dBm
};
Q_DECLARE_FLAGS(LoraProblems, LoraProblem)
LoraProblems loraProblem(double frequencyTimes10, int power, int band);

// ---- Auto scan map ----------------------------------------------------------

// One row of the auto scan map: two registers, (functionCode << 8 | id), reg.
struct ScanMapEntry {
    quint8 id = 0;
    quint8 functionCode = 0;
    quint16 reg = 0;
    bool operator==(const ScanMapEntry &o) const
    {
        return id == o.id && functionCode == o.functionCode && reg == o.reg;
    }
};

// Entries from register pairs, padded with empty entries to `entryCount`.
QList<ScanMapEntry> scanMapFromRegisters(const QVector<quint16> &registers, int entryCount);
// The registers of one half of the map: the rows that `qualifies` accepts,
// compacted in row order, then zero entries up to `entryCount` entries.
QVector<quint16> scanMapHalf(const QList<ScanMapEntry> &rows, int entryCount,
                             bool (*qualifies)(const ScanMapEntry &));
// The row rules of the two halves: the first half writes a row that names an
// ID or a function code and has a function code of 1 to 4; the second half
// writes every row that has any field set.
bool scanRowForFirstHalf(const ScanMapEntry &e);
bool scanRowForSecondHalf(const ScanMapEntry &e);

// ---- Analog and PWM I/O channels --------------------------------------------

// The register of an I/O channel: the row's base address plus the channel
// number times `stride` (2 for the PWM rows, which take a register pair),
// wrapped to the 16-bit address space.
quint16 channelRegister(quint16 base, int channel, int stride = 1);

// The channel number a "Channel:" box shows; an empty box (no channels
// offered yet) or a text that is not a number gives 0.
int channelNumber(const QString &text);

// A current register (thousandths of a milliampere, unsigned) as mA text in
// general notation with `digits` significant digits: 12345 gives "12.345",
// 4000 gives "4".
QString microampsText(quint16 microamps, int digits);

// A current typed in mA as the register value in thousandths of a mA,
// truncated toward zero. Decimal fractions such as 4.001 are not exact in
// binary floating point (4.001 * 1000 = 4000.9999...), so a tolerance far
// below one thousandth keeps them from losing a unit. The caller has checked
// the range; the result is clamped to 0..65535.
quint16 microampsFromMilliamps(double milliamps);

// ---- Clock and time ---------------------------------------------------------

// A time stamp in two registers (the device clock, a monitor row's time):
// seconds since 1970-01-01 00:00 UTC as an unsigned 32-bit number, high 16
// bits in the first register (a missing register reads as 0).
quint32 timestampFromRegisters(const QVector<quint16> &values);
QVector<quint16> timestampToRegisters(quint32 seconds);

// Seconds since 1970-01-01 00:00:00 UTC as this computer's local date and
// time, "yyyy-MM-dd hh:mm:ss ddd" with the local language's short day name:
// how the sensor time, the monitor and event-log time stamps and the device
// clock are shown.
QString localTimeText(qint64 seconds);

// A time-zone register (signed minutes, UTC minus local time) as shown to the
// user: -480 is "UTC+ 8 : 00", 300 is "UTC -5 : 00".
QString timeZoneText(int minutes);

// ---- RTU sensor entries and sensor timing -----------------------------------

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

// Decodes the entry block that starts at `offset` in `values`. The name is
// the entry name (see entryName); missing registers count as 0.
SensorFields sensorEntryFromRegisters(const QVector<quint16> &values, int offset = 0);

// The hourly schedule: a 24-bit mask, bit h for hour h:00. Register 800
// carries hours 16 to 23 in its low byte, register 801 hours 0 to 15.
quint32 scheduleMaskFromRegisters(const QVector<quint16> &values);
QVector<quint16> scheduleMaskToRegisters(quint32 mask);

// The RS-485 polling time-out: the NB500 keeps milliseconds, other models
// seconds; the user always sees and enters seconds.
bool pollingTimeoutInMilliseconds(const QString &modelName);
quint32 pollingTimeoutSeconds(quint16 value, const QString &modelName);
quint16 pollingTimeoutRegister(int seconds, const QString &modelName);

// ---- Rule chain and chain monitor -------------------------------------------

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

// Registers of one rule entry and of one monitor row.
constexpr int RuleEntryRegisters = 10;
constexpr int MonitorEntryRegisters = 9;

// The conversion type: 0 "V-V", 1 "V-A", 2 "A-V", 3 "A-A"; any other code
// has no text.
QString ruleTypeText(int code);

// The rule entry at `offset`: name (0-3), input device and channel (4, 5),
// output device and channel (6, 7), type (8), output value (9). The index is
// left 0 for the caller to keep its own.
RuleChainEntry decodeRuleEntry(const QVector<quint16> &values, int offset);

// The ten registers written for a rule entry; the name is cut to 8
// characters so the write never leaves the entry's block.
QVector<quint16> ruleEntryRegisters(const RuleChainEntry &entry);

// Output channel 4 (current, uA) and 5 (voltage, mV) carry a value; any
// other channel stores 0 whatever was typed.
bool ruleChannelHasValue(int outChannel);

// The monitor row at `offset`: tag (0-3), value (4), type (5), result (6),
// time stamp (7, 8; see timestampFromRegisters).
ChainMonitorEntry decodeMonitorEntry(const QVector<quint16> &values, int offset);

// ---- Event log --------------------------------------------------------------

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

// The bridge's event-log file: a 16-byte header, then up to 1000 records of
// 20 bytes (little-endian). Returns the used records in file order; a record
// whose first tag byte is 0, or that the file does not reach, is empty.
constexpr int EventLogRecords = 1000;
constexpr int EventLogHeaderSize = 16;
constexpr int EventLogRecordSize = 20;
QVector<EventLogEntry> parseEventLogFile(const QByteArray &bytes);

// "Success" for result 1, "Fail" otherwise.
QString eventLogResultText(quint16 result);
// One line of the text export, CR LF included:
// tag,valueInput,type text,valueOutput,local time,Success|Fail
QByteArray eventLogExportLine(const EventLogEntry &entry);

// ---- System settings --------------------------------------------------------

// The firmware version: register text that ends at the first register whose
// high byte is 0. A zero low byte before that point stays in the text as
// U+0000.
QString versionText(const QVector<quint16> &values);

// The serial number block marks "no serial number" with a first register
// whose high byte is 0xFF (an erased flash cell).
bool serialNumberUnset(const QVector<quint16> &values);

// ---- Checks of typed entries (link/entrychecks.cpp) -------------------------

// The text a caller gives the first problem of `order` that `problems`
// holds (an empty text for none): each page keeps its own order and words.
template <typename Problem>
QString firstProblemText(QFlags<Problem> problems, const QList<QPair<Problem, QString>> &order)
{
    for (const auto &entry : order) {
        if (problems.testFlag(entry.first))
            return entry.second;
    }
    return QString();
}

// A field for an unsigned number of at most `max`: empty text counts as 0,
// otherwise the text must be a whole decimal number from 0 to `max`. Returns
// false for anything else (negative, fraction, letters, too large), so the
// caller can refuse it rather than store its low bits.
bool unsignedFieldValue(const QString &text, quint32 max, quint32 *value);

// A field for a whole decimal number from `low` to `high`: blanks around it
// are ignored, empty text is no number. Returns false for anything else, so
// the caller can refuse it rather than store its low bits.
bool numberInRange(const QString &text, qint64 low, qint64 high, qint64 *value = nullptr);

// What is wrong with the name of a sensor entry or a rule: the bridge keeps
// up to 8 one-byte characters and takes a zero byte as the end of the name.
enum EntryNameProblem {
    EntryNameTooLong = 0x01,         // more than 8 characters
    EntryNameEmpty = 0x02,           // an empty name marks a free entry
    EntryNameNotRegisterText = 0x04, // would not read back as typed
};
Q_DECLARE_FLAGS(EntryNameProblems, EntryNameProblem)
EntryNameProblems entryNameProblem(const QString &name);

// What is wrong with a sensor entry typed by the user. Every problem found is
// returned, so the Add button and the edit dialog each report the first one
// in their own order and words while accepting exactly the same entries.
enum SensorEntryProblem {
    SensorNameTooLong = 0x01,         // more than 8 characters
    SensorNameEmpty = 0x02,
    SensorNameNotRegisterText = 0x04, // would not read back as typed
    SensorSlaveIdOutOfRange = 0x08,   // not 1 to 247
    SensorFunctionCodeInvalid = 0x10, // not 1 to 4
    SensorQuantityOutOfRange = 0x20,  // not 1 to sensorQuantityLimit()
    SensorAddressOutOfRange = 0x40,   // not 1 to 65535
};
Q_DECLARE_FLAGS(SensorEntryProblems, SensorEntryProblem)
SensorEntryProblems sensorEntryProblem(const QString &name, qint64 slaveId, int functionCode,
                                       qint64 plcAddress, qint64 registerQuantity);
// The most registers (function codes 3 and 4: 10) or bits (otherwise: 80)
// an entry may read.
int sensorQuantityLimit(int functionCode);

// What is wrong with the output value typed for a rule. The typed number is
// checked as it stands, before it is reduced to its 16-bit register. Every
// problem found is returned (a negative current is both too low and
// negative), so Add and the edit dialog each report the first in their own
// order and words while accepting exactly the same values.
enum RuleValueProblem {
    RuleValueMissing = 0x01,    // empty, or not a whole number
    RuleValueNegative = 0x02,
    RuleCurrentTooHigh = 0x04,  // channel 4: above 20000
    RuleCurrentTooLow = 0x08,   // channel 4: below 4000
    RuleVoltageTooHigh = 0x10,  // channel 5: above 10000
};
Q_DECLARE_FLAGS(RuleValueProblems, RuleValueProblem)
RuleValueProblems ruleValueProblem(int outChannel, const QString &valueText);

} // namespace codec

Q_DECLARE_OPERATORS_FOR_FLAGS(codec::LoraProblems)
Q_DECLARE_OPERATORS_FOR_FLAGS(codec::EntryNameProblems)
Q_DECLARE_OPERATORS_FOR_FLAGS(codec::SensorEntryProblems)
Q_DECLARE_OPERATORS_FOR_FLAGS(codec::RuleValueProblems)

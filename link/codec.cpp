// The register encodings; see codec.h. The blocks follow the header's order.
#include "link/codec.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QModbusDataUnit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cmath>

namespace codec {

// ---- Register values --------------------------------------------------------

quint16 valueAt(const QVector<quint16> &values, int index)
{
    return index >= 0 && index < values.size() ? values.at(index) : 0;
}

// Register `i` of the entry at `offset`, 0 when the reply lacks it. Summed in
// 64 bits: an offset near the end of the int range has no registers after it.
static quint16 entryValue(const QVector<quint16> &values, int offset, int i)
{
    const qint64 index = qint64(offset) + i;
    return index >= 0 && index < values.size() ? values.at(int(index)) : 0;
}

quint16 lineEditValue(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    return ok ? quint16(v & 0xFFFF) : 0;
}

// ---- Register text ----------------------------------------------------------

QString registersToText(const QVector<quint16> &values)
{
    QString text;
    text.reserve(values.size() * 2);
    for (quint16 v : values) {
        text.append(QChar(v >> 8));
        text.append(QChar(v & 0xFF));
    }
    return text;
}

QString registersToText(const QModbusDataUnit &unit)
{
    return registersToText(unit.values());
}

static quint16 latin1Byte(QChar c)
{
    return c.unicode() > 0xFF ? 0 : c.unicode();
}

QVector<quint16> textToRegisters(const QString &text, int count)
{
    const int n = text.size();
    const int used = (n + 1) / 2;
    QVector<quint16> regs(qMax(used, count), 0);
    for (int k = 0; 2 * k < n; ++k) {
        const quint16 high = latin1Byte(text.at(2 * k));
        const quint16 low = 2 * k + 1 < n ? latin1Byte(text.at(2 * k + 1)) : 0;
        regs[k] = quint16(high << 8 | low);
    }
    return regs;
}

QString zeroEndedText(const QVector<quint16> &values)
{
    const QString text = registersToText(values);
    const int zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

QString entryName(const QVector<quint16> &values, int offset)
{
    return zeroEndedText({ entryValue(values, offset, 0), entryValue(values, offset, 1),
                           entryValue(values, offset, 2), entryValue(values, offset, 3) });
}

bool isLatin1Text(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

bool isRegisterText(const QString &text)
{
    return isLatin1Text(text) && !text.contains(QChar(0));
}

// ---- Hex text ---------------------------------------------------------------

static QString hexByte(int b)
{
    return QStringLiteral("%1").arg(b & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString registersToHexText(const QVector<quint16> &values)
{
    QStringList bytes;
    for (quint16 v : values)
        bytes << hexByte(v >> 8) << hexByte(v);
    return bytes.join(QLatin1Char(' '));
}

QVector<quint16> hexTextToRegisters(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    QVector<quint16> regs;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // toUInt gives 0 for an empty part or one that is no hex number.
        const uint high = parts.at(i).toUInt(nullptr, 16);
        const uint low = parts.at(i + 1).toUInt(nullptr, 16);
        regs.append(quint16((high * 256 + low) & 0xFFFF));
    }
    return regs;
}

bool parseHexBlock(const QString &text, int byteCount, QVector<quint16> *registers)
{
    // \A and \z: "$" would also match before a closing line break, so a
    // group such as "0A\n" would pass.
    static const QRegularExpression group(QStringLiteral("\\A[0-9A-Fa-f]{2}\\z"));
    static const QRegularExpression run(QStringLiteral("\\A[0-9A-Fa-f]+\\z"));
    const QString trimmed = text.trimmed();
    QStringList bytes;
    if (trimmed.contains(QLatin1Char(' '))) {
        const QStringList parts = trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString &p : parts) {
            if (!group.match(p).hasMatch())
                return false;
            bytes << p;
        }
    } else if (run.match(trimmed).hasMatch() && trimmed.size() % 2 == 0) {
        for (int i = 0; i < trimmed.size(); i += 2)
            bytes << trimmed.mid(i, 2);
    } else {
        return false;
    }
    if (bytes.size() != byteCount || byteCount % 2 != 0)
        return false;
    QVector<quint16> regs;
    for (int i = 0; i < bytes.size(); i += 2)
        regs.append(quint16(bytes.at(i).toUInt(nullptr, 16) << 8 | bytes.at(i + 1).toUInt(nullptr, 16)));
    if (registers)
        *registers = regs;
    return true;
}

// ---- Radio and group network ------------------------------------------------

QString loraFrequencyText(quint16 value)
{
    return QString::number(value / 10.0, 'g', 4);
}

QVector<bool> bitmapToFlags(const QVector<quint16> &registers, int idCount)
{
    QVector<bool> flags(idCount, false);
    for (int r = 0; r < registers.size(); ++r) {
        for (int b = 0; b < 16; ++b) {
            const int row = 16 * r + b;
            if (row < idCount && (registers.at(r) >> b) & 1)
                flags[row] = true;
        }
    }
    return flags;
}

QVector<quint16> flagsToBitmap(const QVector<bool> &flags, int registerCount)
{
    QVector<quint16> regs(registerCount, 0);
    for (int m = 0; m < flags.size() && m < 16 * registerCount; ++m)
        if (flags.at(m))
            regs[m / 16] |= quint16(1u << (m % 16));
    return regs;
}

const char AesKeyAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

QString proposeAesKey()
{
    QString key;
    for (int i = 0; i < 16; ++i)
        key.append(QLatin1Char(AesKeyAlphabet[QRandomGenerator::system()->bounded(36)]));
    return key;
}

// ---- Auto scan map ----------------------------------------------------------

QList<ScanMapEntry> scanMapFromRegisters(const QVector<quint16> &registers, int entryCount)
{
    QList<ScanMapEntry> list;
    for (int i = 0; i < registers.size(); i += 2) {
        ScanMapEntry e;
        e.id = quint8(registers.at(i) & 0xFF);
        e.functionCode = quint8(registers.at(i) >> 8);
        e.reg = valueAt(registers, i + 1);
        list.append(e);
    }
    while (list.size() < entryCount)
        list.append(ScanMapEntry());
    return list;
}

QVector<quint16> scanMapHalf(const QList<ScanMapEntry> &rows, int entryCount,
                             bool (*qualifies)(const ScanMapEntry &))
{
    QVector<quint16> regs;
    for (const ScanMapEntry &e : rows) {
        if (regs.size() / 2 >= entryCount)
            break;
        if (qualifies(e))
            regs << quint16(e.functionCode << 8 | e.id) << e.reg;
    }
    // Zero entries after the compacted rows, so no stale entry stays behind.
    // (QVector::resize takes a negative size as it is: no entries instead.)
    regs.resize(2 * qMax(0, entryCount));
    return regs;
}

bool scanRowForFirstHalf(const ScanMapEntry &e)
{
    return (e.id != 0 || e.functionCode != 0) && e.functionCode >= 1 && e.functionCode <= 4;
}

bool scanRowForSecondHalf(const ScanMapEntry &e)
{
    return e.id != 0 || e.functionCode != 0 || e.reg != 0;
}

// ---- Analog and PWM I/O channels --------------------------------------------

quint16 channelRegister(quint16 base, int channel, int stride)
{
    // Unsigned arithmetic: any channel number wraps instead of overflowing.
    return quint16((quint32(base) + quint32(channel) * quint32(stride)) & 0xFFFF);
}

int channelNumber(const QString &text)
{
    return text.toInt();
}

QString microampsText(quint16 microamps, int digits)
{
    return QString::number(microamps / 1000.0, 'g', digits);
}

quint16 microampsFromMilliamps(double milliamps)
{
    if (!(milliamps > 0))  // also NaN
        return 0;
    const double micro = std::trunc(milliamps * 1000.0 + 1e-6);
    return micro >= 65535.0 ? quint16(65535) : quint16(micro);
}

// ---- Clock and time ---------------------------------------------------------

quint32 timestampFromRegisters(const QVector<quint16> &values)
{
    return quint32(valueAt(values, 0)) << 16 | valueAt(values, 1);
}

QVector<quint16> timestampToRegisters(quint32 seconds)
{
    return { quint16(seconds >> 16), quint16(seconds & 0xFFFF) };
}

QString localTimeText(qint64 seconds)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
    return QLocale().toString(local, QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"));
}

QString timeZoneText(int minutes)
{
    // 64 bits: the lowest int has no positive counterpart in an int.
    const auto part = [](qint64 m) { return m == 0 ? QStringLiteral("00") : QString::number(m); };
    const qint64 m = minutes;
    if (m > 0)
        return QStringLiteral("UTC %1 : %2").arg(-(m / 60)).arg(part(m % 60));
    return QStringLiteral("UTC+ %1 : %2").arg((-m) / 60).arg(part((-m) % 60));
}

// ---- RTU sensor entries and sensor timing -----------------------------------

QVector<quint16> sensorEntryToRegisters(const SensorFields &entry)
{
    QVector<quint16> regs = textToRegisters(entry.name.left(8), 4);
    regs.append(quint16(entry.functionCode << 8 | entry.slaveId));
    regs.append(quint16(entry.plcAddress & 0xFFFF));
    regs.append(quint16(entry.registerQuantity));
    return regs;
}

SensorFields sensorEntryFromRegisters(const QVector<quint16> &values, int offset)
{
    SensorFields entry;
    entry.name = entryName(values, offset);
    const quint16 codes = entryValue(values, offset, 4);
    entry.functionCode = quint8(codes >> 8);
    entry.slaveId = quint8(codes & 0xFF);
    entry.plcAddress = entryValue(values, offset, 5);
    entry.registerQuantity = qint16(entryValue(values, offset, 6));
    return entry;
}

quint32 scheduleMaskFromRegisters(const QVector<quint16> &values)
{
    return quint32(valueAt(values, 0) & 0xFF) << 16 | valueAt(values, 1);
}

QVector<quint16> scheduleMaskToRegisters(quint32 mask)
{
    return { quint16((mask >> 16) & 0xFF), quint16(mask & 0xFFFF) };
}

bool pollingTimeoutInMilliseconds(const QString &modelName)
{
    return modelName.contains(QLatin1String("NB500"));
}

quint32 pollingTimeoutSeconds(quint16 value, const QString &modelName)
{
    return pollingTimeoutInMilliseconds(modelName) ? value / 1000u : value;
}

quint16 pollingTimeoutRegister(int seconds, const QString &modelName)
{
    return quint16(pollingTimeoutInMilliseconds(modelName) ? seconds * 1000 : seconds);
}

// ---- Rule chain and chain monitor -------------------------------------------

QString ruleTypeText(int code)
{
    static const char *const names[] = { "V-V", "V-A", "A-V", "A-A" };
    return code >= 0 && code < 4 ? QString::fromLatin1(names[code]) : QString();
}

RuleChainEntry decodeRuleEntry(const QVector<quint16> &values, int offset)
{
    RuleChainEntry e;
    e.name = entryName(values, offset);
    e.inDeviceId = entryValue(values, offset, 4);
    e.inChannel = entryValue(values, offset, 5);
    e.outDeviceId = entryValue(values, offset, 6);
    e.outChannel = entryValue(values, offset, 7);
    e.type = entryValue(values, offset, 8);
    e.tmoValue = entryValue(values, offset, 9);
    return e;
}

QVector<quint16> ruleEntryRegisters(const RuleChainEntry &entry)
{
    QVector<quint16> regs = textToRegisters(entry.name.left(8), 4);
    regs << entry.inDeviceId << entry.inChannel << entry.outDeviceId << entry.outChannel
         << entry.type << entry.tmoValue;
    return regs;
}

bool ruleChannelHasValue(int outChannel)
{
    return outChannel == 4 || outChannel == 5;
}

ChainMonitorEntry decodeMonitorEntry(const QVector<quint16> &values, int offset)
{
    ChainMonitorEntry e;
    e.tag = entryName(values, offset);
    e.value = entryValue(values, offset, 4);
    e.type = entryValue(values, offset, 5);
    e.result = entryValue(values, offset, 6);
    e.timeStamp = localTimeText(
        timestampFromRegisters({ entryValue(values, offset, 7), entryValue(values, offset, 8) }));
    return e;
}

// ---- Event log --------------------------------------------------------------

static quint32 littleEndian(const QByteArray &bytes, int at, int size)
{
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i) {
        const int k = at + i;
        v = v << 8 | (k < bytes.size() ? quint8(bytes.at(k)) : 0u);
    }
    return v;
}

QVector<EventLogEntry> parseEventLogFile(const QByteArray &bytes)
{
    QVector<EventLogEntry> entries;
    for (int r = 0; r < EventLogRecords; ++r) {
        const int s = EventLogHeaderSize + EventLogRecordSize * r;
        if (s >= bytes.size())
            break;
        if (bytes.at(s) == 0)
            continue;
        EventLogEntry e;
        // Tag bytes keep their positions: a zero between two characters
        // becomes a space, zeros at the end are dropped.
        int length = 0;
        for (int k = 0; k < 7 && s + k < bytes.size(); ++k) {
            if (bytes.at(s + k) != 0)
                length = k + 1;
        }
        for (int k = 0; k < length; ++k) {
            const quint8 b = quint8(bytes.at(s + k));
            e.tag.append(b ? QChar(b) : QLatin1Char(' '));
        }
        e.valueInput = quint16(littleEndian(bytes, s + 8, 2));
        e.type = quint16(littleEndian(bytes, s + 10, 2));
        e.valueOutput = quint16(littleEndian(bytes, s + 12, 2));
        e.timeStamp = littleEndian(bytes, s + 14, 4);
        e.result = quint16(littleEndian(bytes, s + 18, 2));
        e.index = quint16(r);
        entries.append(e);
    }
    return entries;
}

QString eventLogResultText(quint16 result)
{
    return result == 1 ? QStringLiteral("Success") : QStringLiteral("Fail");
}

static QDateTime eventLogTime(quint32 timeStamp)
{
    return QDateTime::fromSecsSinceEpoch(qint64(timeStamp), Qt::LocalTime);
}

QByteArray eventLogExportLine(const EventLogEntry &e)
{
    QByteArray line = e.tag.toLatin1();
    line += ',' + QByteArray::number(e.valueInput);
    line += ',' + ruleTypeText(e.type).toLatin1();
    line += ',' + QByteArray::number(e.valueOutput);
    line += ',' + eventLogTime(e.timeStamp).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
    line += ',' + eventLogResultText(e.result).toLatin1();
    line += "\r\n";
    return line;
}

// ---- System settings --------------------------------------------------------

QString versionText(const QVector<quint16> &values)
{
    int used = 0;
    while (used < values.size() && (values.at(used) >> 8) != 0)
        ++used;
    return registersToText(values.mid(0, used));
}

bool serialNumberUnset(const QVector<quint16> &values)
{
    return !values.isEmpty() && (values.first() >> 8) == 0xFF;
}

} // namespace codec

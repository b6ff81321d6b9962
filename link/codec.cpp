#include "link/codec.h"

#include <QModbusDataUnit>

namespace codec {

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

quint16 lineEditValue(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    return ok ? quint16(v & 0xFFFF) : 0;
}

quint16 valueAt(const QVector<quint16> &values, int index)
{
    return index >= 0 && index < values.size() ? values.at(index) : 0;
}

} // namespace codec

namespace codec {

QString ruleTypeText(int code)
{
    static const char *const names[] = { "V-V", "V-A", "A-V", "A-A" };
    return code >= 0 && code < 4 ? QString::fromLatin1(names[code]) : QString();
}

} // namespace codec

// ---------------------------------------------------------------------------
// RTU sensor table and sensor timing.

#include <QDateTime>

namespace codec {

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
    for (int i = 0; i < 8; ++i) {
        const quint16 v = valueAt(values, offset + i / 2);
        const quint8 byte = i % 2 == 0 ? quint8(v >> 8) : quint8(v & 0xFF);
        if (byte == 0)
            break;
        entry.name.append(QChar(byte));
    }
    const quint16 codes = valueAt(values, offset + 4);
    entry.functionCode = quint8(codes >> 8);
    entry.slaveId = quint8(codes & 0xFF);
    entry.plcAddress = valueAt(values, offset + 5);
    entry.registerQuantity = qint16(valueAt(values, offset + 6));
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

quint32 timestampFromRegisters(const QVector<quint16> &values)
{
    return quint32(valueAt(values, 0)) << 16 | valueAt(values, 1);
}

QVector<quint16> timestampToRegisters(quint32 seconds)
{
    return { quint16(seconds >> 16), quint16(seconds & 0xFFFF) };
}

QString timestampText(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::LocalTime)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"));
}

QString timeZoneText(int minutes)
{
    const auto part = [](int m) { return m == 0 ? QStringLiteral("00") : QString::number(m); };
    if (minutes > 0)
        return QStringLiteral("UTC %1 : %2").arg(-(minutes / 60)).arg(part(minutes % 60));
    return QStringLiteral("UTC+ %1 : %2").arg((-minutes) / 60).arg(part((-minutes) % 60));
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

} // namespace codec

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

// ---- Event log ------------------------------------------------------------

#include <QByteArray>
#include <QDateTime>

namespace codec {

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

QString eventLogTimeText(quint32 timeStamp)
{
    return eventLogTime(timeStamp).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"));
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

} // namespace codec

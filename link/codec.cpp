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

// ---- Rule chain and chain monitor entries ----

#include <QDateTime>
#include <QLocale>

namespace codec {

QString entryName(const QVector<quint16> &values, int offset)
{
    QString name;
    for (int r = 0; r < 4; ++r) {
        const quint16 v = valueAt(values, offset + r);
        if ((v >> 8) == 0)
            break;
        name.append(QChar(v >> 8));
        if ((v & 0xFF) == 0)
            break;
        name.append(QChar(v & 0xFF));
    }
    return name;
}

RuleChainEntry decodeRuleEntry(const QVector<quint16> &values, int offset)
{
    RuleChainEntry e;
    e.name = entryName(values, offset);
    e.inDeviceId = valueAt(values, offset + 4);
    e.inChannel = valueAt(values, offset + 5);
    e.outDeviceId = valueAt(values, offset + 6);
    e.outChannel = valueAt(values, offset + 7);
    e.type = valueAt(values, offset + 8);
    e.tmoValue = valueAt(values, offset + 9);
    return e;
}

QVector<quint16> ruleEntryRegisters(const RuleChainEntry &entry)
{
    QVector<quint16> regs = textToRegisters(entry.name.left(8), 4);
    regs << entry.inDeviceId << entry.inChannel << entry.outDeviceId << entry.outChannel
         << entry.type << entry.tmoValue;
    return regs;
}

ChainMonitorEntry decodeMonitorEntry(const QVector<quint16> &values, int offset)
{
    ChainMonitorEntry e;
    e.tag = entryName(values, offset);
    e.value = valueAt(values, offset + 4);
    e.type = valueAt(values, offset + 5);
    e.result = valueAt(values, offset + 6);
    const quint32 seconds = quint32(valueAt(values, offset + 7)) << 16 | valueAt(values, offset + 8);
    e.timeStamp = monitorTimeStamp(seconds);
    return e;
}

QString monitorTimeStamp(quint32 seconds)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::LocalTime);
    return QLocale().toString(local, QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"));
}

} // namespace codec

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

#include <QDateTime>

namespace codec {

QString zeroEndedText(const QVector<quint16> &values)
{
    const QString text = registersToText(values);
    const int zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

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

bool isRegisterText(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 0xFF)
            return false;
    }
    return true;
}

quint32 clockSeconds(const QVector<quint16> &values)
{
    return quint32(valueAt(values, 0)) << 16 | valueAt(values, 1);
}

QVector<quint16> clockRegisters(quint32 seconds)
{
    return { quint16(seconds >> 16), quint16(seconds & 0xFFFF) };
}

QString clockText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"));
}

} // namespace codec

// The tables of entries in a profile: the RTU sensor table, the rule chain
// and the auto scan map, each used entry an object with its position.
#include "link/profilefields_p.h"

#include "link/codec.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSet>

namespace profilefields {

using regmap::Field;
using regmap::Kind;

namespace {

struct Table {
    const char *position;  // the key of an entry's position
    int size;              // registers per entry
};

Table tableOf(const Field &f)
{
    switch (f.kind) {
    case Kind::Sensors: return { "slot", codec::SensorEntryRegisters };
    case Kind::Rules: return { "entry", codec::RuleEntryRegisters };
    default: return { "row", 2 };
    }
}

// An entry's number field: a whole number from low to high.
bool entryNumber(const QJsonObject &o, const char *key, qint64 low, qint64 high, qint64 *n,
                 QString *reason)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (wholeNumber(v, low, high, n))
        return true;
    *reason = QStringLiteral("%1: %2").arg(QLatin1String(key), v.isUndefined()
                                               ? tr("missing") : notInRange(v, low, high));
    return false;
}

QString nameReason(codec::EntryNameProblems problems)
{
    return codec::firstProblemText(problems, {
        { codec::EntryNameTooLong, tr("more than 8 characters") },
        { codec::EntryNameEmpty, tr("empty (an empty name marks a free entry)") },
        { codec::EntryNameNotRegisterText, tr("only Latin-1 characters can be stored") },
    });
}

QJsonObject sensorObject(const QVector<quint16> &regs)
{
    const codec::SensorFields s = codec::sensorEntryFromRegisters(regs);
    return { { "name", s.name }, { "slave ID", s.slaveId }, { "function code", s.functionCode },
             { "PLC address", int(s.plcAddress) }, { "register quantity", s.registerQuantity } };
}

bool sensorRegisters(const QJsonObject &o, QVector<quint16> *regs, QString *reason)
{
    qint64 id = 0, code = 0, address = 0, quantity = 0;
    if (!entryNumber(o, "slave ID", 0, 255, &id, reason)
        || !entryNumber(o, "function code", 0, 255, &code, reason)
        || !entryNumber(o, "PLC address", 0, 65535, &address, reason)
        || !entryNumber(o, "register quantity", -32768, 32767, &quantity, reason))
        return false;
    const QString name = o.value(QLatin1String("name")).toString();
    const codec::SensorEntryProblems problems =
        codec::sensorEntryProblem(name, id, int(code), address, quantity);
    const QString nameIs = QStringLiteral("name: ");
    *reason = codec::firstProblemText(problems, {
        { codec::SensorNameTooLong, nameIs + nameReason(codec::EntryNameTooLong) },
        { codec::SensorNameEmpty, nameIs + nameReason(codec::EntryNameEmpty) },
        { codec::SensorNameNotRegisterText, nameIs + nameReason(codec::EntryNameNotRegisterText) },
        { codec::SensorSlaveIdOutOfRange, tr("slave ID: %1 is not from 1 to 247").arg(id) },
        { codec::SensorFunctionCodeInvalid, tr("function code: %1 is not 1, 2, 3 or 4").arg(code) },
        { codec::SensorQuantityOutOfRange,
          tr("register quantity: %1 is not from 1 to %2")
              .arg(quantity).arg(codec::sensorQuantityLimit(int(code))) },
        { codec::SensorAddressOutOfRange,
          tr("PLC address: %1 is not from 1 to 65535").arg(address) },
    });
    if (!reason->isEmpty())
        return false;
    *regs = codec::sensorEntryToRegisters({ name, quint8(id), quint8(code), quint32(address),
                                            qint16(quantity) });
    return true;
}

QJsonObject ruleObject(const QVector<quint16> &regs)
{
    const codec::RuleChainEntry e = codec::decodeRuleEntry(regs, 0);
    QJsonObject o{ { "tag", e.name }, { "in device ID", e.inDeviceId },
                   { "in channel", e.inChannel }, { "type", codec::ruleTypeText(e.type) },
                   { "out device ID", e.outDeviceId }, { "out channel", e.outChannel } };
    if (codec::ruleChannelHasValue(e.outChannel) || e.tmoValue != 0)
        o.insert(QStringLiteral("value"), e.tmoValue);
    return o;
}

QString ruleValueReason(codec::RuleValueProblems problems)
{
    return codec::firstProblemText(problems, {
        { codec::RuleValueMissing, tr("value: needs a whole number") },
        { codec::RuleValueNegative, tr("value: below 0") },
        { codec::RuleCurrentTooHigh, tr("value: above 20000 uA") },
        { codec::RuleCurrentTooLow, tr("value: below 4000 uA") },
        { codec::RuleVoltageTooHigh, tr("value: above 10000 mV") },
    });
}

bool ruleRegisters(const QJsonObject &o, QVector<quint16> *regs, QString *reason)
{
    codec::RuleChainEntry e;
    e.name = o.value(QLatin1String("tag")).toString();
    qint64 inId = 0, inCh = 0, outId = 0, outCh = 0;
    if (!nameReason(codec::entryNameProblem(e.name)).isEmpty()) {
        *reason = QStringLiteral("tag: ") + nameReason(codec::entryNameProblem(e.name));
        return false;
    }
    if (!entryNumber(o, "in device ID", 1, 250, &inId, reason)
        || !entryNumber(o, "in channel", 0, 7, &inCh, reason)
        || !entryNumber(o, "out device ID", 1, 250, &outId, reason)
        || !entryNumber(o, "out channel", 0, 7, &outCh, reason))
        return false;
    const QString type = o.value(QLatin1String("type")).toString();
    e.type = 4;
    for (quint16 code = 0; code < 4; ++code)
        if (codec::ruleTypeText(code).compare(type, Qt::CaseInsensitive) == 0)
            e.type = code;
    if (e.type == 4) {
        *reason = tr("type: %1 is not one of V-V, V-A, A-V, A-A").arg(type);
        return false;
    }
    const QJsonValue value = o.value(QLatin1String("value"));
    const bool hasValue = codec::ruleChannelHasValue(int(outCh));
    *reason = ruleValueReason(codec::ruleValueProblem(int(outCh), text(value)));
    if (!hasValue && !value.isUndefined() && text(value) != QLatin1String("0"))
        *reason = tr("value: output channel %1 carries no value").arg(outCh);
    if (!reason->isEmpty())
        return false;
    e.inDeviceId = quint16(inId);
    e.inChannel = quint16(inCh);
    e.outDeviceId = quint16(outId);
    e.outChannel = quint16(outCh);
    e.tmoValue = hasValue ? quint16(text(value).toInt()) : 0;
    *regs = codec::ruleEntryRegisters(e);
    return true;
}

bool everyRow(const codec::ScanMapEntry &)
{
    return true;
}

QJsonObject scanObject(const QVector<quint16> &regs)
{
    const codec::ScanMapEntry e = codec::scanMapFromRegisters(regs, 1).value(0);
    return { { "ID", e.id }, { "function code", e.functionCode }, { "REG", e.reg } };
}

bool scanRegisters(const QJsonObject &o, QVector<quint16> *regs, QString *reason)
{
    qint64 id = 0, code = 0, reg = 0;
    if (!entryNumber(o, "ID", 0, 255, &id, reason)
        || !entryNumber(o, "REG", 0, 65535, &reg, reason))
        return false;
    // The dialog takes function codes 1 to 4; 0 is a row without one.
    if (!entryNumber(o, "function code", 0, 4, &code, reason))
        return false;
    *regs = codec::scanMapHalf({ { quint8(id), quint8(code), quint16(reg) } }, 1, everyRow);
    return true;
}

bool entryRegisters(Kind kind, const QJsonObject &o, QVector<quint16> *regs, QString *reason)
{
    if (kind == Kind::Sensors)
        return sensorRegisters(o, regs, reason);
    if (kind == Kind::Rules)
        return ruleRegisters(o, regs, reason);
    return scanRegisters(o, regs, reason);
}

QJsonObject entryObject(Kind kind, const QVector<quint16> &regs)
{
    if (kind == Kind::Sensors)
        return sensorObject(regs);
    if (kind == Kind::Rules)
        return ruleObject(regs);
    return scanObject(regs);
}

} // namespace

QJsonValue decodeTable(const Field &field, const QVector<quint16> &registers)
{
    const Table table = tableOf(field);
    QJsonArray entries;
    for (int at = 0; at + table.size <= registers.size(); at += table.size) {
        const QVector<quint16> regs = registers.mid(at, table.size);
        if (regs == QVector<quint16>(table.size, 0))
            continue;  // a free entry
        QJsonObject o = entryObject(field.kind, regs);
        QVector<quint16> again;
        QString reason;
        if (!entryRegisters(field.kind, o, &again, &reason) || again != regs)
            o = rawValue(regs);
        o.insert(QLatin1String(table.position), at / table.size);
        entries << o;
    }
    return entries;
}

bool encodeTable(const Field &field, const QJsonValue &value, QVector<quint16> *registers,
                 QString *reason)
{
    if (!value.isArray()) {
        *reason = tr("needs a list of entries");
        return false;
    }
    const Table table = tableOf(field);
    const int count = field.count / table.size;
    QVector<quint16> all(field.count, 0);
    QSet<int> used;
    for (const QJsonValue &item : value.toArray()) {
        const QJsonObject o = item.toObject();
        qint64 at = 0;
        QString why;
        if (!entryNumber(o, table.position, 0, count - 1, &at, &why) || used.contains(int(at))) {
            *reason = why.isEmpty()
                ? tr("%1 %2 is listed twice").arg(QLatin1String(table.position)).arg(at)
                : why;
            return false;
        }
        used.insert(int(at));
        QVector<quint16> regs;
        const bool ok = isRaw(o) ? decodeRaw(o.value(QLatin1String("raw")), table.size, &regs, &why)
                                 : entryRegisters(field.kind, o, &regs, &why);
        if (!ok) {
            *reason = QStringLiteral("%1 %2, %3")
                          .arg(QLatin1String(table.position)).arg(at).arg(why);
            return false;
        }
        std::copy(regs.cbegin(), regs.cend(), all.begin() + int(at) * table.size);
    }
    *registers = all;
    return true;
}

} // namespace profilefields

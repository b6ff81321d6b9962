#include "link/traffic.h"

#include "link/codec.h"
#include "link/profilefields.h"
#include "link/registermap.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

namespace traffic {

namespace {

const QString Hidden = QStringLiteral("\u2022\u2022\u2022\u2022");
const QString HiddenByte = QStringLiteral("\u2022\u2022");
// The login block: written at each Connect, it holds the credentials in clear.
constexpr quint16 LoginRegister = 199;

QString tr(const char *text)
{
    return QCoreApplication::translate("traffic", text);
}

QString exceptionName(int code)
{
    static const char *const names[] = { nullptr,
                                         "illegal function",
                                         "illegal data address",
                                         "illegal data value",
                                         "server device failure",
                                         "acknowledge",
                                         "server device busy",
                                         nullptr,
                                         "memory parity error",
                                         nullptr,
                                         "gateway path unavailable",
                                         "gateway target device failed to respond" };
    if (code > 0 && code < int(sizeof names / sizeof names[0]) && names[code])
        return QString::fromLatin1(names[code]);
    return QString();
}

bool isLogin(const TrafficRecord &r)
{
    const int last = r.start + qMax(r.values.size(), int(r.count)) - 1;
    return r.start <= LoginRegister && last >= LoginRegister;
}

// Which of the shown registers stay hidden: the whole login, the stored
// credentials, keys unless asked for.
QVector<bool> hiddenRegisters(const TrafficRecord &r, bool showKeys)
{
    const int n = r.values.size();
    const bool login = isLogin(r);
    QVector<bool> hidden(n, login);
    for (int i = 0; i < n && !login; ++i) {
        const regmap::Group *g = nullptr;
        const regmap::Field *f = regmap::fieldAt(quint16(r.start + i), &g);
        if (!f)
            continue;
        const bool key = f->kind == regmap::Kind::Hex && f->name.contains(QLatin1String("key"));
        hidden[i] = g->name == QLatin1String("Credentials") || (key && !showKeys);
    }
    return hidden;
}

// Registers without a field's form: one as its number (signed when the top
// bit is set: RSSI, SNR), text a person can read (model names, serial
// numbers, tags) quoted, anything else as hex bytes.
QString rawText(const QVector<quint16> &regs)
{
    if (regs.size() == 1)
        return QString::number(regs.at(0) & 0x8000 ? codec::signedValue(regs.at(0)) : regs.at(0));
    const QString text = codec::zeroEndedText(regs);
    const QString all = codec::registersToText(regs);
    bool printable = !text.isEmpty();
    for (int i = 0; i < all.size() && printable; ++i) {
        const QChar c = all.at(i);
        printable = i < text.size() ? (c.unicode() >= 0x20 && c.unicode() < 0x7F) : c.isNull();
    }
    return printable ? QLatin1Char('"') + text + QLatin1Char('"') : codec::registersToHexText(regs);
}

QString entryText(const QJsonValue &entry)
{
    if (!entry.isObject())
        return profilefields::text(entry);
    // "slot 1: name FLOW-02, slave ID 17, ...": the entry's position first.
    QJsonObject o = entry.toObject();
    QString position;
    for (const char *key : { "slot", "entry", "row" }) {
        if (o.contains(QLatin1String(key))) {
            position = QStringLiteral("%1 %2: ").arg(QLatin1String(key),
                                                     profilefields::text(o.take(QLatin1String(key))));
        }
    }
    QStringList parts;
    for (auto it = o.begin(); it != o.end(); ++it)
        parts << it.key() + QLatin1Char(' ') + profilefields::text(it.value());
    return position + parts.join(QLatin1String(", "));
}

// One field's registers (all of them, or an aligned run of a table's entries).
QString fieldValue(const regmap::Field &f, int offset, const QVector<quint16> &regs,
                   const profilefields::Context &context)
{
    const bool table = f.kind == regmap::Kind::Sensors || f.kind == regmap::Kind::Rules
                       || f.kind == regmap::Kind::ScanMap;
    if (f.kind == regmap::Kind::Raw)
        return rawText(regs);
    if (!table && (offset != 0 || regs.size() != f.count))
        return codec::registersToHexText(regs);
    if (!table)
        return profilefields::text(profilefields::decode(f, regs, context));
    // A part of a table reads as the whole table with only those entries used.
    QVector<quint16> whole(f.count, 0);
    for (int i = 0; i < regs.size() && offset + i < f.count; ++i)
        whole[offset + i] = regs.at(i);
    const QJsonValue entries = profilefields::decode(f, whole, context);
    QStringList texts;
    for (const QJsonValue &e : entries.toArray())
        texts << entryText(e);
    return texts.isEmpty() ? tr("no entries") : texts.join(QLatin1String("; "));
}

QString valuesText(const TrafficRecord &r, const Context &c)
{
    const QVector<bool> hidden = hiddenRegisters(r, c.showKeys);
    if (isLogin(r)) {
        // The login block overlaps the LoRaWAN fields; it is one thing.
        const regmap::Field *login = regmap::fieldAt(LoginRegister);
        return (login ? login->name + QLatin1String(": ") : QString()) + Hidden;
    }
    const profilefields::Context fieldContext = profilefields::Context::forModel(c.model);
    QStringList parts;
    int i = 0;
    while (i < hidden.size()) {
        const quint16 address = quint16(r.start + i);
        const regmap::Field *f = regmap::fieldAt(address);
        int end = i + 1;  // the run of registers of one field (or of none)
        while (end < hidden.size() && regmap::fieldAt(quint16(r.start + end)) == f)
            ++end;
        const QVector<quint16> regs = r.values.mid(i, end - i);
        const bool secret = hidden.mid(i, end - i).contains(true);
        QString value = secret ? Hidden
                       : f ? fieldValue(*f, address - f->address, regs, fieldContext)
                           : codec::registersToHexText(regs);
        const QString name = f ? f->name : tr("registers %1-%2").arg(address).arg(r.start + end - 1);
        parts << name + QLatin1String(": ") + value;
        i = end;
    }
    return parts.join(QLatin1String("; "));
}

QByteArray requestPdu(const TrafficRecord &r)
{
    QByteArray pdu;
    const auto word = [&pdu](int v) { pdu.append(char(v >> 8)).append(char(v & 0xFF)); };
    pdu.append(char(functionCode(r)));
    word(r.start);
    if (r.kind == TrafficRecord::Read) {
        word(r.count);
    } else if (functionCode(r) == 6) {
        word(r.values.value(0));
    } else {
        word(r.values.size());
        pdu.append(char(2 * r.values.size()));
        for (quint16 v : r.values)
            word(v);
    }
    return pdu;
}

QByteArray withAddressAndCrc(int server, const QByteArray &pdu)
{
    QByteArray frame = char(server) + pdu;
    const quint16 crc = crc16(frame);
    return frame.append(char(crc & 0xFF)).append(char(crc >> 8));
}

// The frame as hex, the bytes of hidden registers (and then the CRC, which
// would let a guess be checked) as dots.
QString frameText(const QByteArray &frame, int firstValueByte, const QVector<bool> &hidden)
{
    QStringList bytes;
    const bool anyHidden = hidden.contains(true);
    for (int i = 0; i < frame.size(); ++i) {
        const int reg = (i - firstValueByte) / 2;
        const bool isValue = i >= firstValueByte && reg < hidden.size();
        const bool secret = (isValue && hidden.at(reg)) || (anyHidden && i >= frame.size() - 2);
        bytes << (secret ? HiddenByte
                         : QStringLiteral("%1").arg(quint8(frame.at(i)), 2, 16, QLatin1Char('0')).toUpper());
    }
    return bytes.join(QLatin1Char(' '));
}

} // namespace

QStringList Row::columns() const
{
    return { time, direction, server, function, registers, values, result, ms };
}

int functionCode(const TrafficRecord &r)
{
    switch (r.kind) {
    case TrafficRecord::Read:
        return 3;
    case TrafficRecord::Write:
        return r.values.size() == 1 ? 6 : 16;
    case TrafficRecord::Download:
        break;
    }
    return 0;
}

QString resultText(const TrafficRecord &r)
{
    if (r.kind == TrafficRecord::Download)
        return r.failure.isEmpty() ? tr("OK") : r.failure;
    switch (r.error) {
    case QModbusDevice::NoError:
        if (r.kind == TrafficRecord::Read && r.values.size() < r.count)
            return tr("short reply, %1 of %2 registers").arg(r.values.size()).arg(r.count);
        if (r.kind == TrafficRecord::Read && r.values.size() > r.count)
            return tr("long reply, %1 of %2 registers").arg(r.values.size()).arg(r.count);
        return tr("OK");
    case QModbusDevice::ProtocolError: {
        const QString name = exceptionName(r.exceptionCode);
        return name.isEmpty() ? tr("exception %1").arg(r.exceptionCode)
                              : tr("exception %1: %2").arg(r.exceptionCode).arg(name);
    }
    case QModbusDevice::TimeoutError:
        return tr("time-out");
    case QModbusDevice::UnknownError:
        return tr("damaged reply");
    case QModbusDevice::ReplyAbortedError:
        return tr("aborted, the link was closed");
    default:
        return tr("failed: %1").arg(r.errorText);
    }
}

quint16 crc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char b : bytes) {
        crc ^= quint8(b);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray requestFrame(const TrafficRecord &r)
{
    return r.kind == TrafficRecord::Download ? QByteArray()
                                             : withAddressAndCrc(r.server, requestPdu(r));
}

QByteArray replyFrame(const TrafficRecord &r)
{
    return r.replyPdu.isEmpty() ? QByteArray() : withAddressAndCrc(r.server, r.replyPdu);
}

Row format(const TrafficRecord &r, const Context &c)
{
    Row row;
    row.time = QDateTime::fromMSecsSinceEpoch(r.time).toString(QStringLiteral("hh:mm:ss.zzz"));
    row.ms = QString::number(r.roundTrip);
    row.result = resultText(r);
    if (r.kind == TrafficRecord::Download) {
        row.direction = tr("R");
        row.function = QStringLiteral("YMODEM");
        row.registers = tr("event log download");
        row.values = tr("%1 bytes, %2 blocks, %3 resent").arg(r.bytes).arg(r.blocks).arg(r.resends);
        return row;
    }
    const bool isRead = r.kind == TrafficRecord::Read;
    row.direction = isRead ? tr("R") : tr("W");
    row.server = QString::number(r.server);
    row.function = QStringLiteral("0x%1").arg(functionCode(r), 2, 16, QLatin1Char('0'));
    row.registers = regmap::describe(r.start, r.count);
    if (!isRead || r.error == QModbusDevice::NoError)
        row.values = valuesText(r, c);
    const QVector<bool> hidden = hiddenRegisters(r, c.showKeys);
    // Where the register values start: after address, function, start and
    // count and byte count (0x10), after address, function and register
    // (0x06); in a read reply after address, function and byte count.
    const int fc = functionCode(r);
    const QVector<bool> requestHidden = isRead ? QVector<bool>() : hidden;
    row.request = frameText(requestFrame(r), fc == 16 ? 7 : 4, requestHidden);
    const QByteArray reply = replyFrame(r);
    const bool echo = fc == 6 && r.error == QModbusDevice::NoError;  // repeats the value
    const QVector<bool> replyHidden = isRead ? hidden : (echo ? hidden : QVector<bool>());
    row.reply = frameText(reply, isRead ? 3 : 4, replyHidden);
    return row;
}

} // namespace traffic

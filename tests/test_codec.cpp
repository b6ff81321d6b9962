// The codec's register encodings, checks and the event-log file, as pure
// functions: three tables of what a call gives (texts, numbers, registers),
// each row a call and what the pages must get from it. Local times are those
// of UTC unless a row names a zone.
#include "link/codec.h"
#include "link/modelgating.h"
#include "pages/rtu/eventlogmodel.h"

#include <QSet>
#include <QtTest>

#include <ctime>

using namespace codec;
using Regs = QVector<quint16>;
using Nums = QList<qint64>;
Q_DECLARE_METATYPE(Regs)

namespace {
void setZone(const QByteArray &tz)
{
    qputenv("TZ", tz);
    tzset();
}

// The local time text of a device clock in zone `tz`.
QString clockText(const QByteArray &tz, const Regs &regs)
{
    setZone(tz);
    const QString text = localTimeText(timestampFromRegisters(regs));
    setZone("UTC");
    return text;
}

// One 20-byte event-log record: tag, value in, type, value out, time, result.
QByteArray record(const QByteArray &tag, quint16 in, quint16 type, quint16 out, quint32 ts, quint16 result)
{
    QByteArray r(20, '\0');
    r.replace(0, qMin(tag.size(), 7), tag.left(7));
    const quint32 fields[] = { in, type, out, ts, result };
    const int at[] = { 8, 10, 12, 14, 18 }, size[] = { 2, 2, 2, 4, 2 };
    for (int f = 0; f < 5; ++f)
        for (int i = 0; i < size[f]; ++i)
            r[at[f] + i] = char(fields[f] >> (8 * i));
    return r;
}

QByteArray logFile(const QList<QByteArray> &records)
{
    QByteArray f(16, '\x7f');  // the header means nothing to the parser
    for (const QByteArray &r : records)
        f += r;
    return f;
}

// The used records of a file as "tag@index".
QString tags(const QByteArray &file)
{
    QStringList out;
    for (const EventLogEntry &e : parseEventLogFile(file))
        out << e.tag + '@' + QString::number(e.index);
    return out.join(' ');
}

// A file of one record as the export writes it, and as the table shows it.
QString exported(const QByteArray &rec)
{
    return QString::fromLatin1(eventLogExportLine(parseEventLogFile(logFile({ rec })).value(0)));
}
QString shown(const QByteArray &rec)
{
    EventLogModel model;
    model.setList(parseEventLogFile(logFile({ rec })));
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c)
        cells << model.index(0, c).data().toString();
    return cells.join('|');
}

// A typed number as a line edit's plain value, an unsigned field of at most
// `max` and a number from 1 to `max`; -1 for a refusal that left the value alone.
Nums typed(const QString &text, quint32 max)
{
    quint32 u = 12345;
    qint64 n = 12345;
    const bool uOk = unsignedFieldValue(text, max, &u), nOk = numberInRange(text, 1, max, &n);
    return { lineEditValue(text), uOk ? qint64(u) : u == 12345 ? -1 : -2, nOk ? n : n == 12345 ? -1 : -2 };
}

Nums sensor(const SensorFields &e) { return { e.slaveId, e.functionCode, e.plcAddress, e.registerQuantity }; }
Nums rule(const RuleChainEntry &e)
{
    return { e.inDeviceId, e.inChannel, e.outDeviceId, e.outChannel, e.type, e.tmoValue };
}
Nums monitor(const ChainMonitorEntry &e) { return { e.value, e.type, e.result }; }
Nums gating(const QString &name)  // other series, bridge, channels, no time setting, band, series
{
    const ModelGating g = gatingForModel(name);
    return { g.otherSeries, g.bridge, g.hasChannels, g.disableTimeSetting, g.band, g.series.mid(2).toInt() };
}
Nums lora(double f10, int power, int band) { return { int(loraProblem(f10, power, band)) }; }
Nums sensorProblem(const QString &name, qint64 slave, int code, qint64 address, qint64 quantity)
{
    return { int(sensorEntryProblem(name, slave, code, address, quantity)) };
}
Nums ruleProblem(int channel, const QString &text) { return { int(ruleValueProblem(channel, text)) }; }

// A strict hex block; none when refused and the registers were left alone.
Regs hexBlock(const QString &text, int bytes)
{
    Regs out{ 0xDEAD };
    return parseHexBlock(text, bytes, &out) ? out : out == Regs{ 0xDEAD } ? Regs() : Regs{ 0xBAD };
}
}

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setZone("UTC");
    }

    void texts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("want");
        const auto row = [](const char *tag, const QString &got, const QString &want) {
            QTest::newRow(tag) << got << want;
        };
        row("raw text keeps zero bytes", registersToText({ 0x4142, 0x4300 }), QString::fromLatin1("ABC\0", 4));
        // Only a zero high byte ends the version, not a zero low byte.
        row("version", versionText({ 0x5600, 0x3132, 0x0041, 0x4243 }), QString::fromLatin1("V\0" "12", 4));
        row("version, zero high byte first", versionText({ 0x0056, 0x3132 }), "");
        row("zero-ended, odd", zeroEndedText({ 0x4142, 0x4300, 0x4445 }), "ABC");
        row("zero-ended, even", zeroEndedText({ 0x6162, 0, 0x6364 }), "ab");
        row("name, fifth register not taken", entryName({ 0x5275, 0x6C65, 0x3100, 0x4142, 0x4344 }, 0), "Rule1");
        row("name, free entry", entryName({ 0x0041, 0x4243, 0, 0 }, 0), "");
        row("name, missing registers", entryName({ 0x6162, 0x6364 }, 0), "abcd");
        row("hex text", registersToHexText({ 0x0A0B, 0xC000 }), "0A 0B C0 00");
        row("frequencies", loraFrequencyText(4705) + ' ' + loraFrequencyText(9150), "470.5 915");
        row("rule types 3 and -1", ruleTypeText(3) + '|' + ruleTypeText(-1), "A-A|");
        row("currents", QStringList{ microampsText(4001, 5), microampsText(20000, 6), microampsText(12345, 5),
                                     microampsText(65535, 6) }.join(' '), "4.001 20 12.345 65.535");
        row("clock, epoch", clockText("UTC", { 0, 0 }), "1970-01-01 00:00:00 Thu");
        row("clock, nine hours east", clockText("JST-9", { 0, 0 }), "1970-01-01 09:00:00 Thu");
        row("clock, five hours west", clockText("EST5", { 0, 0 }), "1969-12-31 19:00:00 Wed");
        row("clock, largest count", clockText("UTC", { 0xFFFF, 0xFFFF }), "2106-02-07 06:28:15 Sun");
        row("zone UTC+5:30", timeZoneText(-330), "UTC+ 5 : 30");
        row("zone UTC-5", timeZoneText(300), "UTC -5 : 00");
        row("zone register 0xFE20", timeZoneText(signedValue(0xFE20)), "UTC+ 8 : 00");
        row("zone lowest int", timeZoneText(-2147483647 - 1), "UTC+ 35791394 : 8");
        row("zone highest int", timeZoneText(2147483647), "UTC -35791394 : 7");

        // Sensor entries, rules and monitor rows in a reply.
        const Regs tank{ 0x5441, 0x4E4B, 0x3100, 0, 0x0305, 0x9C41, 2 };
        row("sensor name at offset 14", sensorEntryFromRegisters(Regs(14, 0xFFFF) + tank, 14).name, "TANK1");
        // An entry past the end of the int range reads as an empty entry.
        row("sensor name, far offset", sensorEntryFromRegisters(tank, 2147483647 - 2).name, "");
        const Regs row1{ 0x5275, 0x6C65, 0x3100, 0, 1234, 1, 1, 0x6553, 0xF100 };
        row("monitor tag", decodeMonitorEntry(Regs(9, 9) + row1, 9).tag, "Rule1");
        row("monitor time", decodeMonitorEntry(row1, 0).timeStamp, "2023-11-14 22:13:20 Tue");
        row("monitor time, short reply", decodeMonitorEntry(row1.mid(0, 7), 0).timeStamp,
            "1970-01-01 00:00:00 Thu");

        // The event-log file: records used, in file order.
        const QByteArray a = record("A1", 1, 0, 2, 100, 1), empty(20, '\0');
        row("log, empty file", tags(QByteArray()), "");
        row("log, records 0 and 2", tags(logFile({ a, empty, record("C3", 5, 3, 6, 300, 0) })), "A1@0 C3@2");
        // A first tag byte of 0 empties the record, whatever else it holds.
        row("log, first tag byte zero", tags(logFile({ record(QByteArray("\0Drop", 5), 9, 2, 9, 9, 1), a })),
            "A1@1");
        // Zeros inside a tag keep the later characters at their own places.
        row("log, gaps in tag", tags(logFile({ record(QByteArray("A\0B\0\0C", 6), 0, 0, 0, 0, 0),
                                               record(QByteArray("Tag\0\0\0\0", 7), 0, 0, 0, 0, 0),
                                               record("Seven77", 0, 0, 0, 0, 0) })),
            "A B  C@0 Tag@1 Seven77@2");
        QByteArray full(16 + 20 * 1001, '\0');
        full.replace(16 + 20 * 999, 2, "Z9");
        full.replace(16 + 20 * 1000, 2, "NO");  // beyond the 1000 records
        row("log, only 1000 records", tags(full), "Z9@999");
        // A record the file cuts short: what is there counts, the rest is 0.
        row("log, short last record",
            exported(QByteArray("Cut\0\0\0\0\0\x05", 9)),
            "Cut,5,V-V,0,1970-01-01 00:00:00,Fail\r\n");
        const QByteArray success = QByteArray::fromHex("52756c6531000000102701006400000000000100");
        row("export, success", exported(success), "Rule1,10000,V-A,100,1970-01-01 00:00:00,Success\r\n");
        row("export, result 2 fails", exported(record("R", 1, 0, 2, 60, 2)),
            "R,1,V-V,2,1970-01-01 00:01:00,Fail\r\n");
        row("export, unknown type", exported(record("X", 7, 9, 8, 0, 1)),
            "X,7,,8,1970-01-01 00:00:00,Success\r\n");
        row("export, 8-bit tag, last second", exported(record("T\xe9st", 0, 2, 0, 0xFFFFFFFF, 1)),
            QString::fromLatin1("T\xe9st,0,A-V,0,2106-02-07 06:28:15,Success\r\n"));
        row("table row", shown(success), "Rule1|10000|V-A|100|Success|1970-01-01 00:00:00 Thu");
    }
    void texts()
    {
        QFETCH(QString, got);
        QTEST(got, "want");
    }

    void numbers_data()
    {
        QTest::addColumn<Nums>("got");
        QTest::addColumn<Nums>("want");
        const auto row = [](const char *tag, const Nums &got, const Nums &want) {
            QTest::newRow(tag) << got << want;
        };
        const auto text = [](const QString &t) { return Nums{ isRegisterText(t), isLatin1Text(t) }; };
        row("register text, latin-1", text(QString("a") + QChar(0xFF)), { 1, 1 });
        row("register text, above latin-1", text(QString(QChar(0x20AC))), { 0, 0 });
        row("register text, zero byte", text(QString("a") + QChar(0)), { 0, 1 });
        row("serial number unset", { serialNumberUnset({ 0xFFFF, 0xFFFF }), serialNumberUnset({ 0xFF41 }),
                                     serialNumberUnset({ 0x4142 }), serialNumberUnset({ 0x00FF }),
                                     serialNumberUnset({}) }, { 1, 1, 0, 0, 0 });

        // Plain value, unsigned field, number from 1 to max.
        row("typed 300", typed("300", 65535), { 300, 300, 300 });
        row("typed, blanks around", typed(" 65535 ", 65535), { 65535, 65535, 65535 });
        row("typed, empty is 0", typed("", 255), { 0, 0, -1 });
        row("typed, just above", typed("256", 255), { 256, -1, -1 });
        row("typed, would wrap", typed("65537", 65535), { 1, -1, -1 });
        row("typed, negative", typed("-1", 65535), { 0xFFFF, -1, -1 });
        row("typed, letters", typed("12a", 65535), { 0, -1, -1 });
        row("typed, beyond 64 bits", typed("99999999999999999999", 65535), { 0, -1, -1 });

        row("model NB500-400, zero bytes", gating("NB500-400" + QString(7, QChar(0))), { 0, 1, 1, 0, 0, 500 });
        row("model NB520-900", gating("NB520-900"), { 0, 1, 1, 1, 1, 520 });
        row("model, other series", gating("NB500-NT400"), { 1, 1, 1, 0, 0, 500 });
        row("model, no markers", gating("XY12"), { 0, 0, 0, 0, -1, 0 });
        row("model, lower case", gating("nb500-400"), { 0, 0, 0, 0, 0, 0 });

        // Frequency (MHz x 10) and power against the model's band.
        row("LoRa band 0 top", lora(4930, 22, 0), { 0 });
        row("LoRa band 0 above", lora(4931, 14, 0), { LoraFrequencyOutOfBand });
        row("LoRa below all bands", lora(4099, 14, 0), { LoraFrequencyOutOfRange | LoraFrequencyOutOfBand });
        row("LoRa band 1 above all", lora(9301, 14, 1), { LoraFrequencyOutOfRange | LoraFrequencyOutOfBand });
        row("LoRa band 2, 17 and 18 dBm", lora(9250, 17, 2) + lora(9200, 18, 2), { 0, LoraPowerTooHigh });
        row("LoRa, no band", lora(9300, 22, -1), { 0 });
        row("LoRa, not a number", lora(qQNaN(), 14, -1), { LoraFrequencyOutOfRange | LoraFrequencyOutOfBand });

        row("channel 7, stride 2", { channelRegister(1096, channelNumber("7"), 2) }, { 1110 });
        row("no channel", { channelRegister(1032, channelNumber(""), 2) }, { 1032 });
        row("channel register wraps", { channelRegister(65535, 2, 1), channelRegister(10, -1, 1) }, { 1, 9 });
        // Any channel number wraps the same way, however large.
        row("channel, largest int", { channelRegister(0, 2147483647, 2) }, { 0xFFFE });
        row("4.001 mA is not cut to 4000", { microampsFromMilliamps(4.001) }, { 4001 });
        row("mA, fraction of a unit cut", { microampsFromMilliamps(12.3456) }, { 12345 });
        row("mA out of range", { microampsFromMilliamps(-1), microampsFromMilliamps(qQNaN()),
                                 microampsFromMilliamps(1e9) }, { 0, 0, 65535 });
        row("polling NB500", { pollingTimeoutRegister(5, "NB500-400"), pollingTimeoutSeconds(5999, "NB500-400") },
            { 5000, 5 });
        row("polling NB520", { pollingTimeoutRegister(5, "NB520-868"), pollingTimeoutSeconds(5, "NB520-868") },
            { 5, 5 });
        // The high byte of register 800 carries nothing; a short reply reads as 0.
        row("schedule 00, 15, 23", { scheduleMaskFromRegisters({ 0xFF80, 0x8001 }) }, { 1 | 1 << 15 | 1 << 23 });
        row("schedule, short reply", { scheduleMaskFromRegisters({ 0x0080 }) }, { 1 << 23 });
        row("clock, short reply", { timestampFromRegisters({ 0x0001 }) }, { 0x10000 });

        const Regs tank{ 0x5441, 0, 0, 0, 0x0305, 0x9C41, 2 };
        row("sensor at offset 14", sensor(sensorEntryFromRegisters(Regs(14, 0xFFFF) + tank, 14)),
            { 5, 3, 40001, 2 });
        row("sensor, signed quantity", sensor(sensorEntryFromRegisters({ 0, 0, 0, 0, 0x0101, 0x8000, 0xFFFF })),
            { 1, 1, 32768, -1 });
        row("sensor, missing register 4", sensor(sensorEntryFromRegisters({ 0x4142, 0x4344, 0x4546, 0x4748 })),
            { 0, 0, 0, 0 });
        row("sensor, far offset", sensor(sensorEntryFromRegisters(Regs(7, 1), 2147483647 - 2)), { 0, 0, 0, 0 });
        const Regs rules = Regs(10, 0) + Regs{ 0x6162, 0x6300, 0, 0, 17, 3, 250, 4, 2, 12000 };
        row("rule at offset 10", rule(decodeRuleEntry(rules, 10)), { 17, 3, 250, 4, 2, 12000 });
        row("rule, short reply", rule(decodeRuleEntry(rules.mid(0, 15), 10)), { 17, 0, 0, 0, 0, 0 });
        row("rule, far offset", rule(decodeRuleEntry(rules, 2147483647)), { 0, 0, 0, 0, 0, 0 });
        const Regs row1{ 0x5275, 0x6C65, 0x3100, 0, 1234, 1, 1, 0x6553, 0xF100 };
        row("monitor at offset 9", monitor(decodeMonitorEntry(Regs(9, 9) + row1, 9)), { 1234, 1, 1 });
        row("monitor, far offset", monitor(decodeMonitorEntry(row1, 2147483647 - 3)), { 0, 0, 0 });

        row("sensor valid, code 3", sensorProblem("TANK1", 5, 3, 40001, 10), { 0 });
        row("sensor limits, code 1", sensorProblem("ABCDEFGH", 247, 1, 65535, 80), { 0 });
        row("sensor, nine characters", sensorProblem("ABCDEFGHI", 5, 3, 1, 1), { SensorNameTooLong });
        row("sensor, not Latin-1", sensorProblem(QString::fromUtf8("T\u20AC"), 5, 3, 1, 1),
            { SensorNameNotRegisterText });
        row("sensor, all wrong", sensorProblem("", 0, 0, 0, 0),
            { SensorNameEmpty | SensorSlaveIdOutOfRange | SensorFunctionCodeInvalid | SensorQuantityOutOfRange
              | SensorAddressOutOfRange });
        row("sensor, code 3, 11 registers", sensorProblem("T", 1, 3, 1, 11), { SensorQuantityOutOfRange });
        row("sensor, no code: bit limit", sensorProblem("T", 1, 0, 1, 80), { SensorFunctionCodeInvalid });
        row("sensor, address 65536", sensorProblem("T", 1, 3, 65536, 1), { SensorAddressOutOfRange });
        // Nothing is cut to the field's width before the check.
        row("sensor, slave 261", sensorProblem("T", 261, 3, 1, 1), { SensorSlaveIdOutOfRange });
        row("sensor, quantity 65537", sensorProblem("T", 1, 3, 1, 65537), { SensorQuantityOutOfRange });

        row("current 4000 and 20000", ruleProblem(4, "4000") + ruleProblem(4, "20000"), { 0, 0 });
        row("current 3999", ruleProblem(4, "3999"), { RuleCurrentTooLow });
        row("current 20001", ruleProblem(4, "20001"), { RuleCurrentTooHigh });
        // The typed number counts, not its low 16 bits (4464 and 0).
        row("current 70000", ruleProblem(4, "70000"), { RuleCurrentTooHigh });
        row("current -1", ruleProblem(4, "-1"), { RuleValueNegative | RuleCurrentTooLow });
        row("voltage 10000", ruleProblem(5, "10000"), { 0 });
        row("voltage 10001", ruleProblem(5, "10001"), { RuleVoltageTooHigh });
        row("value missing", ruleProblem(4, "") + ruleProblem(5, "12mV"), { RuleValueMissing, RuleValueMissing });
        row("channel 2 ignores the value", ruleProblem(2, "-1"), { 0 });
    }
    void numbers()
    {
        QFETCH(Nums, got);
        QTEST(got, "want");
    }

    void registers_data()
    {
        QTest::addColumn<Regs>("got");
        QTest::addColumn<Regs>("want");
        const auto row = [](const char *tag, const Regs &got, const Regs &want) {
            QTest::newRow(tag) << got << want;
        };
        row("text abc in 4", textToRegisters("abc", 4), { 0x6162, 0x6300, 0, 0 });
        row("text latin-1", textToRegisters(QString("a") + QChar(0xFF), 1), { 0x61FF });
        row("text above latin-1", textToRegisters(QString(QChar(0x20AC)) + "A", 1), { 0x0041 });
        row("text longer than block", textToRegisters("abcde", 2), { 0x6162, 0x6364, 0x6500 });

        row("hex, device address", hexTextToRegisters("01 02 0F 00"), { 0x0102, 0x0F00 });
        row("hex, lower case", hexTextToRegisters("ab cd"), { 0xABCD });
        row("hex, two blanks", hexTextToRegisters("01  02"), { 0x0100 });
        row("hex, no hex digits", hexTextToRegisters("xy zz qq rr"), { 0, 0 });
        row("hex, unpaired dropped", hexTextToRegisters("01 02 03"), { 0x0102 });
        const Regs addr{ 0x0A0B, 0xC0D0 };
        row("block, address run", hexBlock("0a0bc0d0", 4), addr);
        row("block, EUI run", hexBlock("70B3D57ED0001234", 8), { 0x70B3, 0xD57E, 0xD000, 0x1234 });
        row("block, EUI groups, blanks around", hexBlock(" 00 11 22 33 44 55 66 77 ", 8),
            { 0x0011, 0x2233, 0x4455, 0x6677 });
        row("block, one group too many", hexBlock("00 11 22 33 44", 4), {});
        row("block, not hex", hexBlock("00 11 22 3G", 4), {});
        row("block, odd run", hexBlock("0A0BC0D", 4), {});
        row("block, mixed", hexBlock("0A0B C0 D0", 4), {});
        row("block, line break in the middle", hexBlock("0A 0B\n C0 D0", 4), {});
        row("block, line break around", hexBlock("\n0A 0B C0 D0\n", 4), addr);

        Regs bitmap(16, 0);
        bitmap[0] = 0x0001;
        bitmap[1] = 0x8000;
        bitmap[15] = 0xFFFF;  // bit 15: ID 256, which has no row
        const QVector<bool> flags = bitmapToFlags(bitmap, 255);
        row("bitmap IDs 1, 32, 241..255", { quint16(flags.size()), quint16(flags.count(true)), flags[0],
                                            flags[31], flags[254] }, { 255, 17, 1, 1, 1 });
        bitmap[15] = 0x7FFF;
        row("bitmap back", flagsToBitmap(flags, 16), bitmap);

        // Rows with only a register or no function code go to the second half.
        const QList<ScanMapEntry> rows{ { 1, 3, 100 }, {}, { 2, 4, 7 }, {}, { 0, 0, 55 }, { 5, 0, 9 } };
        row("scan map, first half", scanMapHalf(rows, 10, scanRowForFirstHalf),
            Regs{ 0x0301, 100, 0x0402, 7 } + Regs(16, 0));
        row("scan map, second half", scanMapHalf(rows, 10, scanRowForSecondHalf),
            Regs{ 0x0301, 100, 0x0402, 7, 0, 55, 0x0005, 9 } + Regs(12, 0));
        row("scan map, nothing qualifies", scanMapHalf({}, 10, scanRowForFirstHalf), Regs(20, 0));
        row("scan map, no entries", scanMapHalf(rows, 0, scanRowForSecondHalf)
                                        + scanMapHalf(rows, -1, scanRowForSecondHalf)
                                        + scanMapHalf(rows, -25, scanRowForFirstHalf), {});
        const QList<ScanMapEntry> read = scanMapFromRegisters({ 0x0301, 0x0064, 0x0102 }, 20);
        row("scan map read", { quint16(read.size()), read[0].id, read[0].functionCode, read[0].reg, read[1].id,
                               read[1].functionCode, read[1].reg, read[19] == ScanMapEntry() },
            { 20, 1, 3, 100, 2, 1, 0, 1 });

        row("schedule 00, 15, 23", scheduleMaskToRegisters(1 | 1 << 15 | 1 << 23), { 0x0080, 0x8001 });
        row("schedule all", scheduleMaskToRegisters(0xFFFFFF), { 0x00FF, 0xFFFF });
        row("clock", timestampToRegisters(0xFFFFFFFE), { 0xFFFF, 0xFFFE });

        row("sensor TANK1", sensorEntryToRegisters({ "TANK1", 5, 3, 40001, 2 }),
            { 0x5441, 0x4E4B, 0x3100, 0, 0x0305, 0x9C41, 2 });
        // An over-long name never spills into the next entry.
        row("sensor, long name", sensorEntryToRegisters({ "ABCDEFGHZZZ", 247, 1, 0x10001, 80 }),
            { 0x4142, 0x4344, 0x4546, 0x4748, 0x01F7, 1, 80 });
        RuleChainEntry e = decodeRuleEntry(Regs{ 0x6162, 0x6300, 0, 0, 17, 3, 250, 4, 2, 12000 }, 0);
        row("rule", ruleEntryRegisters(e), { 0x6162, 0x6300, 0, 0, 17, 3, 250, 4, 2, 12000 });
        e.name = "abcdefghij";
        row("rule, long name", ruleEntryRegisters(e), { 0x6162, 0x6364, 0x6566, 0x6768, 17, 3, 250, 4, 2, 12000 });
    }
    void registers()
    {
        QFETCH(Regs, got);
        QTEST(got, "want");
    }

    void aesKeyProposal()
    {
        QSet<QString> keys;
        for (int i = 0; i < 200; ++i)
            keys.insert(proposeAesKey());
        QCOMPARE(keys.size(), 200);  // keys drawn in the same millisecond still differ
        for (const QString &key : keys)
            QVERIFY(QRegularExpression("^[0-9a-z]{16}$").match(key).hasMatch());
    }

    void eventLogSorting()
    {
        const QVector<EventLogEntry> fileOrder = parseEventLogFile(logFile({
            record("b", 30, 2, 1, 500, 1), record("a", 10, 3, 3, 100, 0),
            record("c", 20, 0, 2, 300, 1), record("B", 40, 1, 0, 200, 1) }));
        EventLogModel model;
        model.sort(4);  // before any download the Result header leaves an empty table
        QCOMPARE(model.rowCount(), 0);
        model.setList(fileOrder);
        model.setFileOrder(fileOrder);
        // Column clicked, then the tags in the order shown. Tags always ascend,
        // value columns keep the order, Result goes back to the file's order.
        const QList<QPair<int, QString>> steps{ { 0, "B a b c" }, { 2, "c B b a" }, { 1, "c B b a" },
                                                { 3, "c B b a" }, { 5, "a B c b" }, { 4, "b a c B" } };
        for (const auto &step : steps) {
            model.sort(step.first, Qt::DescendingOrder);
            QStringList tags;
            for (int r = 0; r < model.rowCount(); ++r)
                tags << model.index(r, 0).data().toString();
            QCOMPARE(tags.join(' '), step.second);
        }
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "test_codec.moc"

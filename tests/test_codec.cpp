// The codec's register encodings, checks and the event-log file, as pure
// functions. Local times are those of UTC unless a row names a zone.
#include "link/codec.h"
#include "link/modelgating.h"
#include "pages/rtu/eventlogmodel.h"

#include <QSet>
#include <QtTest>

#include <cmath>
#include <ctime>

using namespace codec;
using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(Regs)
Q_DECLARE_METATYPE(codec::SensorEntryProblems)
Q_DECLARE_METATYPE(codec::RuleValueProblems)
Q_DECLARE_METATYPE(codec::LoraProblems)

namespace {
void setZone(const QByteArray &tz)
{
    qputenv("TZ", tz);
    tzset();
}

// One 20-byte event-log record: tag, value in, type, value out, time, result.
QByteArray record(const QByteArray &tag, quint16 in, quint16 type, quint16 out, quint32 ts,
                  quint16 result)
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
    void cleanup() { setZone("UTC"); }

    // Register blocks read as text by each decoder the pages use.
    void textDecoding_data()
    {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<QString>("text");
        const QString raw = "registersToText", ver = "versionText", zero = "zeroEndedText",
                      name = "entryName";
        QTest::newRow("raw: zero byte kept") << raw << Regs{ 0x4142, 0x4300 } << QString::fromLatin1("ABC\0", 4);
        QTest::newRow("version ended by a zero register") << ver << Regs{ 0x5632, 0x2E31, 0x2E33, 0, 0 } << "V2.1.3";
        // Only a zero high byte ends the version, not a zero low byte.
        QTest::newRow("version zero low byte kept") << ver << Regs{ 0x5600, 0x3132, 0x0041 }
                                                    << QString::fromLatin1("V\0" "12", 4);
        QTest::newRow("version zero high byte first") << ver << Regs{ 0x0056, 0x3132 } << "";
        QTest::newRow("zero-ended ABC") << zero << Regs{ 0x4142, 0x4300, 0x4445 } << "ABC";
        QTest::newRow("zero-ended even length") << zero << Regs{ 0x6162, 0, 0x6364 } << "ab";
        QTest::newRow("name ended by zero low byte") << name << Regs{ 0x5275, 0x6C65, 0x3100, 0x4142 } << "Rule1";
        QTest::newRow("name ended by zero high byte") << name << Regs{ 0x4142, 0x0043, 0x4445 } << "AB";
        QTest::newRow("name free entry") << name << Regs{ 0x0041, 0x4243, 0, 0 } << "";
        QTest::newRow("name missing registers") << name << Regs{ 0x6162, 0x6364 } << "abcd";
    }
    void textDecoding()
    {
        QFETCH(QString, decoder);
        QFETCH(Regs, regs);
        QString got = decoder == "versionText" ? versionText(regs)
            : decoder == "zeroEndedText"       ? zeroEndedText(regs)
            : decoder == "entryName"           ? entryName(regs, 0)
                                               : registersToText(regs);
        QTEST(got, "text");
        if (decoder == "registersToText")  // decoded text encodes back to the same block
            QCOMPARE(codec::textToRegisters(got, regs.size()), regs);
    }

    // Typed text stored in registers; register text is Latin-1 without zero bytes,
    // while a key may keep the zero bytes it was read with.
    void textToRegisters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<bool>("registerText");
        QTest::addColumn<bool>("latin1");
        QTest::newRow("abc in 4") << "abc" << 4 << Regs{ 0x6162, 0x6300, 0, 0 } << true << true;
        QTest::newRow("latin-1") << QString("a") + QChar(0xFF) << 1 << Regs{ 0x61FF } << true << true;
        QTest::newRow("above latin-1") << QString(QChar(0x20AC)) + "A" << 1 << Regs{ 0x0041 } << false << false;
        QTest::newRow("zero byte") << QString("a") + QChar(0) << 1 << Regs{ 0x6100 } << false << true;
        QTest::newRow("longer than block") << "abcde" << 2 << Regs{ 0x6162, 0x6364, 0x6500 } << true << true;
    }
    void textToRegisters()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QTEST(codec::textToRegisters(text, count), "regs");
        QTEST(isRegisterText(text), "registerText");
        QTEST(isLatin1Text(text), "latin1");
    }

    void smallTexts()
    {
        QVERIFY(serialNumberUnset({ 0xFFFF, 0xFFFF }) && serialNumberUnset({ 0xFF41 }));
        QVERIFY(!serialNumberUnset({ 0x4142 }) && !serialNumberUnset({ 0x00FF }) && !serialNumberUnset({}));
        QCOMPARE(loraFrequencyText(4705) + loraFrequencyText(9150), QString("470.5915"));
        QCOMPARE(ruleTypeText(-1), QString());
    }

    // Typed numbers: the line edits' plain value, an unsigned field and a range.
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("max");
        QTest::addColumn<int>("plain");    // lineEditValue
        QTest::addColumn<int>("value");    // unsignedFieldValue up to max; -1: refused
        QTest::addColumn<int>("inRange");  // numberInRange from 1 to max; -1: refused
        QTest::newRow("plain") << "300" << 65535u << 300 << 300 << 300;
        QTest::newRow("blanks around") << " 65535 " << 65535u << 65535 << 65535 << 65535;
        QTest::newRow("empty is 0") << "" << 255u << 0 << 0 << -1;
        QTest::newRow("just above") << "256" << 255u << 256 << -1 << -1;
        QTest::newRow("would wrap") << "65537" << 65535u << 1 << -1 << -1;
        QTest::newRow("negative") << "-1" << 65535u << 0xFFFF << -1 << -1;
        QTest::newRow("letters") << "12a" << 65535u << 0 << -1 << -1;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << 65535u << 0 << -1 << -1;
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(uint, max);
        QFETCH(int, value);
        QFETCH(int, inRange);
        QTEST(int(lineEditValue(text)), "plain");
        quint32 result = 12345;
        QCOMPARE(unsignedFieldValue(text, max, &result), value >= 0);
        QCOMPARE(result, value >= 0 ? quint32(value) : 12345u);
        qint64 number = 12345;
        QCOMPARE(numberInRange(text, 1, max, &number), inRange >= 0);
        QCOMPARE(number, inRange >= 0 ? qint64(inRange) : 12345);
    }

    // Frequency (MHz x 10) and power against the band of the model.
    void loraProblem_data()
    {
        using P = LoraProblems;
        QTest::addColumn<double>("f10");
        QTest::addColumn<int>("power");
        QTest::addColumn<int>("band");
        QTest::addColumn<P>("problems");
        QTest::newRow("band 0 top") << 4930.0 << 22 << 0 << P();
        QTest::newRow("band 0 above") << 4931.0 << 14 << 0 << P(LoraFrequencyOutOfBand);
        QTest::newRow("below all bands") << 4099.0 << 14 << 0 << (LoraFrequencyOutOfRange | LoraFrequencyOutOfBand);
        QTest::newRow("band 1 bottom") << 8500.0 << 22 << 1 << P();
        QTest::newRow("band 1 above all") << 9301.0 << 14 << 1 << (LoraFrequencyOutOfRange | LoraFrequencyOutOfBand);
        QTest::newRow("band 2 at 17 dBm") << 9250.0 << 17 << 2 << P();
        QTest::newRow("band 2 at 18 dBm") << 9200.0 << 18 << 2 << P(LoraPowerTooHigh);
        QTest::newRow("no band") << 9300.0 << 22 << -1 << P();
        QTest::newRow("not a number") << double(NAN) << 14 << -1 << (LoraFrequencyOutOfRange | LoraFrequencyOutOfBand);
    }
    void loraProblem()
    {
        QFETCH(double, f10);
        QFETCH(int, power);
        QFETCH(int, band);
        QTEST(codec::loraProblem(f10, power, band), "problems");
    }

    void modelGating_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("other");
        QTest::addColumn<bool>("bridge");
        QTest::addColumn<bool>("noTimeSetting");
        QTest::addColumn<int>("band");
        QTest::addColumn<QStringList>("freqs");
        QTest::addColumn<QString>("series");
        const QStringList b400{ "433", "470", "490" };
        QTest::newRow("NB500-400") << "NB500-400" + QString(7, QChar(0)) << false << true << false << 0 << b400 << QString("NB500");
        QTest::newRow("NB520-900") << "NB520-900" << false << true << true << 1 << QStringList{ "868", "915" } << QString("NB520");
        QTest::newRow("NB520-TH") << "NB520-TH" << false << true << true << 2 << QStringList{ "920", "925" } << QString("NB520");
        QTest::newRow("other series") << "NB500-NT400" << true << true << false << 0 << b400 << QString("NB500");
        QTest::newRow("no markers") << "XY12" << false << false << false << -1 << QStringList{} << QString("");
        QTest::newRow("lower case no match") << "nb500-400" << false << false << false << 0 << b400 << QString("");
    }
    void modelGating()
    {
        QFETCH(QString, name);
        const ModelGating g = gatingForModel(name);
        QTEST(g.otherSeries, "other");
        QTEST(g.bridge, "bridge");
        QTEST(g.hasChannels, "bridge");
        QTEST(g.disableTimeSetting, "noTimeSetting");
        QTEST(g.band, "band");
        QTEST(g.frequencies, "freqs");
        QTEST(g.series, "series");
        if (g.hasChannels) {
            QCOMPARE(g.channels.currentInputs, QStringList({ "1", "3" }));
            QCOMPARE(g.channels.voltageInputs, QStringList({ "0", "2" }));
            QCOMPARE(g.channels.pwmOutputs, QStringList({ "6", "7" }));
            QVERIFY(g.channels.pwmInputs.isEmpty());
        }
    }

    void channelRegister_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("stride");
        QTest::addColumn<int>("reg");
        QTest::newRow("channel 7, stride 2") << 1096 << channelNumber("7") << 2 << 1110;
        QTest::newRow("no channel") << 1032 << channelNumber("") << 2 << 1032;
        QTest::newRow("wraps") << 65535 << 2 << 1 << 1;
        QTest::newRow("below zero") << 10 << -1 << 1 << 9;
        // Any channel number wraps the same way, however large.
        QTest::newRow("largest int") << 0 << 2147483647 << 2 << 0xFFFE;
        QTest::newRow("large, stride 3") << 1000 << 1701642240 << 3
                                         << int((1000u + 1701642240u * 3u) & 0xFFFF);
    }
    void channelRegister()
    {
        QFETCH(int, base);
        QFETCH(int, channel);
        QFETCH(int, stride);
        QTEST(int(codec::channelRegister(quint16(base), channel, stride)), "reg");
    }

    // Currents: the register in uA shown as mA, and a typed mA value stored.
    void currents_data()
    {
        QTest::addColumn<double>("milliamps");
        QTest::addColumn<int>("microamps");
        QTest::addColumn<QString>("text");
        QTest::newRow("4.001 is not cut to 4000") << 4.001 << 4001 << "4.001";
        QTest::newRow("20") << 20.0 << 20000 << "20";
        QTest::newRow("fraction of a unit cut") << 12.3456 << 12345 << "12.345";
        QTest::newRow("negative") << -1.0 << 0 << "0";
        QTest::newRow("nan") << qQNaN() << 0 << "0";
        QTest::newRow("huge") << 1e9 << 65535 << "65.535";
    }
    void currents()
    {
        QFETCH(double, milliamps);
        QFETCH(int, microamps);
        QFETCH(QString, text);
        QCOMPARE(int(microampsFromMilliamps(milliamps)), microamps);
        QTEST(microampsText(quint16(microamps), 5), "text");
        QTEST(microampsText(quint16(microamps), 6), "text");
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Regs>("regs");
        QTest::newRow("device address") << "01 02 0F 00" << Regs{ 0x0102, 0x0F00 };
        QTest::newRow("lower case") << "ab cd" << Regs{ 0xABCD };
        QTest::newRow("two blanks") << "01  02" << Regs{ 0x0100 };
        QTest::newRow("no hex digits") << "xy zz qq rr" << Regs{ 0, 0 };
        QTest::newRow("unpaired dropped") << "01 02 03" << Regs{ 0x0102 };
        QTest::newRow("empty") << "" << Regs{};
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(Regs, regs);
        QCOMPARE(hexTextToRegisters(text), regs);
        QCOMPARE(hexTextToRegisters(registersToHexText(regs)), regs);
        QCOMPARE(registersToHexText({ 0x0A0B, 0xC000 }), QString("0A 0B C0 00"));
    }

    void hexBlock_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<Regs>("regs");  // empty: refused
        const Regs addr{ 0x0A0B, 0xC0D0 };
        QTest::newRow("address run") << "0a0bc0d0" << 4 << addr;
        QTest::newRow("eui run") << "70B3D57ED0001234" << 8 << Regs{ 0x70B3, 0xD57E, 0xD000, 0x1234 };
        QTest::newRow("eui groups, blanks around") << " 00 11 22 33 44 55 66 77 " << 8
                                                   << Regs{ 0x0011, 0x2233, 0x4455, 0x6677 };
        QTest::newRow("one group too many") << "00 11 22 33 44" << 4 << Regs{};
        QTest::newRow("not hex") << "00 11 22 3G" << 4 << Regs{};
        QTest::newRow("odd run") << "0A0BC0D" << 4 << Regs{};
        QTest::newRow("mixed") << "0A0B C0 D0" << 4 << Regs{};
        QTest::newRow("line break in the middle") << "0A 0B\n C0 D0" << 4 << Regs{};
        QTest::newRow("line break around") << "\n0A 0B C0 D0\n" << 4 << addr;
    }
    void hexBlock()
    {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        QFETCH(Regs, regs);
        Regs out{ 0xDEAD };
        QCOMPARE(parseHexBlock(text, bytes, &out), !regs.isEmpty());
        QCOMPARE(out, regs.isEmpty() ? Regs{ 0xDEAD } : regs);
    }

    void bitmapAndScanMap()
    {
        Regs regs(16, 0);
        regs[0] = 0x0001;
        regs[1] = 0x8000;
        regs[15] = 0xFFFF;  // bit 15: ID 256, which has no row
        const QVector<bool> flags = bitmapToFlags(regs, 255);
        QCOMPARE(flags.size(), 255);
        QCOMPARE(flags.count(true), 2 + 15);
        QVERIFY(flags[0] && flags[31] && flags[254]);
        regs[15] = 0x7FFF;
        QCOMPARE(flagsToBitmap(flags, 16), regs);

        // Rows with only a register or no function code go to the second half.
        const QList<ScanMapEntry> rows{ { 1, 3, 100 }, {}, { 2, 4, 7 }, {}, { 0, 0, 55 }, { 5, 0, 9 } };
        QCOMPARE(scanMapHalf(rows, 10, scanRowForFirstHalf), Regs({ 0x0301, 100, 0x0402, 7 }) + Regs(16, 0));
        QCOMPARE(scanMapHalf(rows, 10, scanRowForSecondHalf),
                 Regs({ 0x0301, 100, 0x0402, 7, 0, 55, 0x0005, 9 }) + Regs(12, 0));
        // Nothing qualifies: the half is cleared; no entries (or fewer): empty.
        QCOMPARE(scanMapHalf({}, 10, scanRowForFirstHalf), Regs(20, 0));
        for (int count : { 0, -1, -25 })
            QVERIFY(scanMapHalf(rows, count, scanRowForSecondHalf).isEmpty());

        const QList<ScanMapEntry> read = scanMapFromRegisters({ 0x0301, 0x0064, 0x0102 }, 20);
        QCOMPARE(read.size(), 20);
        QCOMPARE(read.at(0), (ScanMapEntry{ 1, 3, 100 }));
        QCOMPARE(read.at(1), (ScanMapEntry{ 2, 1, 0 }));
        QCOMPARE(read.at(19), ScanMapEntry());
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

    // Sensor entries encoded, then decoded at an offset of the reply (or only decoded).
    void sensorEntry_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::addColumn<int>("offset");
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("fields");  // slave, function code, address, quantity
        QTest::newRow("TANK1") << true << 0 << Regs{ 0x5441, 0x4E4B, 0x3100, 0, 0x0305, 0x9C41, 2 }
                               << "TANK1" << QList<int>{ 5, 3, 40001, 2 };
        QTest::newRow("8 characters, third entry") << true << 14
            << Regs{ 0x4142, 0x4344, 0x4546, 0x4748, 0x01F7, 1, 80 } << "ABCDEFGH" << QList<int>{ 247, 1, 1, 80 };
        QTest::newRow("zero byte ends the name") << false << 0 << Regs{ 0x4142, 0x0043, 0, 0, 0x0302, 7, 1 }
                                                 << "AB" << QList<int>{ 2, 3, 7, 1 };
        QTest::newRow("signed quantity") << false << 0 << Regs{ 0x5400, 0, 0, 0, 0x0101, 0x8000, 0xFFFF }
                                         << "T" << QList<int>{ 1, 1, 32768, -1 };
        QTest::newRow("missing register 4") << false << 0 << Regs{ 0x4142, 0x4344, 0x4546, 0x4748 }
                                            << "ABCDEFGH" << QList<int>{ 0, 0, 0, 0 };
        // An entry past the end of the int range reads as an empty entry.
        QTest::newRow("far offset") << false << 2147483647 - 2 << Regs{ 0x5465, 0x6D70, 0, 0, 0x0301, 40001, 2 }
                                    << "" << QList<int>{ 0, 0, 0, 0 };
    }
    void sensorEntry()
    {
        QFETCH(bool, encode);
        QFETCH(int, offset);
        QFETCH(Regs, regs);
        QFETCH(QString, name);
        QFETCH(QList<int>, fields);
        if (encode) {
            SensorFields entry{ name, quint8(fields[0]), quint8(fields[1]), quint32(fields[2]),
                                qint16(fields[3]) };
            QCOMPARE(sensorEntryToRegisters(entry), regs);
            entry.name += "ZZZZZZZZ";  // too long: never spills into the next entry
            QCOMPARE(sensorEntryToRegisters(entry).size(), 7);
        }
        const Regs reply = offset > 1000 ? regs : Regs(offset, 0xFFFF) + regs;
        const SensorFields e = sensorEntryFromRegisters(reply, offset);
        QCOMPARE(e.name, name);
        QCOMPARE((QList<int>{ e.slaveId, e.functionCode, int(e.plcAddress), e.registerQuantity }), fields);
    }

    void sensorEntryProblem_data()
    {
        using P = SensorEntryProblems;
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("slaveId");
        QTest::addColumn<int>("functionCode");
        QTest::addColumn<qint64>("address");
        QTest::addColumn<qint64>("quantity");
        QTest::addColumn<P>("problems");
        QTest::newRow("valid, code 3") << "TANK1" << 5LL << 3 << 40001LL << 10LL << P();
        QTest::newRow("limits, code 1") << "ABCDEFGH" << 247LL << 1 << 65535LL << 80LL << P();
        QTest::newRow("nine characters") << "ABCDEFGHI" << 5LL << 3 << 1LL << 1LL << P(SensorNameTooLong);
        QTest::newRow("not Latin-1") << QString::fromUtf8("T\u20AC") << 5LL << 3 << 1LL << 1LL
                                     << P(SensorNameNotRegisterText);
        QTest::newRow("all wrong") << "" << 0LL << 0 << 0LL << 0LL
                                   << (SensorNameEmpty | SensorSlaveIdOutOfRange | SensorFunctionCodeInvalid
                                       | SensorQuantityOutOfRange | SensorAddressOutOfRange);
        QTest::newRow("code 3, 11 registers") << "T" << 1LL << 3 << 1LL << 11LL << P(SensorQuantityOutOfRange);
        QTest::newRow("no code: bit limit") << "T" << 1LL << 0 << 1LL << 80LL << P(SensorFunctionCodeInvalid);
        QTest::newRow("address 65536") << "T" << 1LL << 3 << 65536LL << 1LL << P(SensorAddressOutOfRange);
        // Nothing is cut to the field's width before the check.
        QTest::newRow("slave 261") << "T" << 261LL << 3 << 1LL << 1LL << P(SensorSlaveIdOutOfRange);
        QTest::newRow("quantity 65537") << "T" << 1LL << 3 << 1LL << 65537LL << P(SensorQuantityOutOfRange);
    }
    void sensorEntryProblem()
    {
        QFETCH(QString, name);
        QFETCH(qint64, slaveId);
        QFETCH(int, functionCode);
        QFETCH(qint64, address);
        QFETCH(qint64, quantity);
        QTEST(codec::sensorEntryProblem(name, slaveId, functionCode, address, quantity), "problems");
    }

    void scheduleMask_data()
    {
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("00, 15 and 23") << Regs{ 0x0080, 0x8001 } << quint32(1 | 1 << 15 | 1 << 23);
        QTest::newRow("none") << Regs{ 0, 0 } << 0u;
        QTest::newRow("all") << Regs{ 0x00FF, 0xFFFF } << 0xFFFFFFu;
    }
    void scheduleMask()
    {
        QFETCH(Regs, regs);
        QFETCH(quint32, mask);
        QCOMPARE(scheduleMaskFromRegisters(regs), mask);
        QCOMPARE(scheduleMaskToRegisters(mask), regs);
        // The high byte of register 800 carries nothing; a short reply reads as 0.
        QCOMPARE(scheduleMaskFromRegisters({ quint16(regs.at(0) | 0xFF00), regs.at(1) }), mask);
        QCOMPARE(scheduleMaskFromRegisters({ regs.at(0) }), mask & 0xFF0000);
    }

    // The device clock's two registers and the one local time text every page shows.
    void clock_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<QString>("text");
        QTest::newRow("epoch") << QByteArray("UTC") << Regs{ 0, 0 } << "1970-01-01 00:00:00 Thu";
        QTest::newRow("nine hours east") << QByteArray("JST-9") << Regs{ 0, 0 } << "1970-01-01 09:00:00 Thu";
        QTest::newRow("five hours west") << QByteArray("EST5") << Regs{ 0, 0 } << "1969-12-31 19:00:00 Wed";
        QTest::newRow("largest count") << QByteArray("UTC") << Regs{ 0xFFFF, 0xFFFF } << "2106-02-07 06:28:15 Sun";
    }
    void clock()
    {
        QFETCH(QByteArray, tz);
        QFETCH(Regs, regs);
        setZone(tz);
        const quint32 seconds = timestampFromRegisters(regs);
        QCOMPARE(timestampToRegisters(seconds), regs);
        QTEST(localTimeText(seconds), "text");
        QCOMPARE(timestampFromRegisters({ 0x0001 }), quint32(0x10000));  // short reply
    }

    void timeZoneText_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTC+5:30") << -330 << "UTC+ 5 : 30";
        QTest::newRow("UTC-5") << 300 << "UTC -5 : 00";
        QTest::newRow("register 0xFE20") << signedValue(0xFE20) << "UTC+ 8 : 00";
        QTest::newRow("lowest int") << int(-2147483647 - 1) << "UTC+ 35791394 : 8";
        QTest::newRow("highest int") << 2147483647 << "UTC -35791394 : 7";
    }
    void timeZoneText()
    {
        QFETCH(int, minutes);
        QTEST(codec::timeZoneText(minutes), "text");
    }

    void pollingTimeout_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("reg");
        QTest::newRow("NB500 5 s") << "NB500-400" << 5 << 5000;
        QTest::newRow("NB520 5 s") << "NB520-868" << 5 << 5;
        QTest::newRow("no model") << "" << 1 << 1;
    }
    void pollingTimeout()
    {
        QFETCH(QString, model);
        QFETCH(int, seconds);
        QFETCH(int, reg);
        QCOMPARE(int(pollingTimeoutRegister(seconds, model)), reg);
        QCOMPARE(int(pollingTimeoutSeconds(quint16(reg), model)), seconds);
        // Milliseconds that are not whole seconds are cut to the second below.
        if (pollingTimeoutInMilliseconds(model))
            QCOMPARE(int(pollingTimeoutSeconds(quint16(reg + 999), model)), seconds);
    }

    void ruleAndMonitorEntries()
    {
        // Name, in device, in channel, out device, out channel, type, value; at offset 10.
        const Regs block = Regs(10, 0) + Regs{ 0x6162, 0x6300, 0, 0, 17, 3, 250, 4, 2, 12000 };
        const RuleChainEntry e = decodeRuleEntry(block, 10);
        QCOMPARE(e.name, QString("abc"));
        QCOMPARE((QList<int>{ e.inDeviceId, e.inChannel, e.outDeviceId, e.outChannel, e.type, e.tmoValue }),
                 (QList<int>{ 17, 3, 250, 4, 2, 12000 }));
        QCOMPARE(ruleEntryRegisters(e), block.mid(10));
        // A short reply leaves the rest of the entry 0.
        const RuleChainEntry cut = decodeRuleEntry(block.mid(0, 15), 10);
        QCOMPARE((QList<int>{ cut.inDeviceId, cut.outDeviceId, cut.tmoValue }), (QList<int>{ 17, 0, 0 }));
        // An entry past the end of the int range reads as an empty entry.
        const RuleChainEntry far = decodeRuleEntry(block, 2147483647);
        QVERIFY(far.name.isEmpty() && far.inDeviceId == 0 && far.tmoValue == 0);
        const ChainMonitorEntry farRow = decodeMonitorEntry(block, 2147483647 - 3);
        QVERIFY(farRow.tag.isEmpty() && farRow.value == 0 && farRow.result == 0);
        // An over-long name never spills past the ten registers of its entry.
        RuleChainEntry longName;
        longName.name = "abcdefghij";
        longName.inDeviceId = 1;
        QCOMPARE(ruleEntryRegisters(longName), (Regs{ 0x6162, 0x6364, 0x6566, 0x6768, 1, 0, 0, 0, 0, 0 }));

        const Regs row{ 0x5275, 0x6C65, 0x3100, 0, 1234, 1, 1, 0x6553, 0xF100 };
        const ChainMonitorEntry m = decodeMonitorEntry(Regs(9, 9) + row, 9);
        QCOMPARE(m.tag, QString("Rule1"));
        QCOMPARE((QList<int>{ m.value, m.type, m.result }), (QList<int>{ 1234, 1, 1 }));
        QCOMPARE(m.timeStamp, QString("2023-11-14 22:13:20 Tue"));
        QCOMPARE(decodeMonitorEntry(row.mid(0, 7), 0).timeStamp, QString("1970-01-01 00:00:00 Thu"));
    }

    void ruleValueProblem_data()
    {
        using P = RuleValueProblems;
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("text");
        QTest::addColumn<P>("problems");
        QTest::newRow("current 4000") << 4 << "4000" << P();
        QTest::newRow("current 20000") << 4 << "20000" << P();
        QTest::newRow("current 3999") << 4 << "3999" << P(RuleCurrentTooLow);
        QTest::newRow("current 20001") << 4 << "20001" << P(RuleCurrentTooHigh);
        // The typed number counts, not its low 16 bits (4464 and 0).
        QTest::newRow("current 70000") << 4 << "70000" << P(RuleCurrentTooHigh);
        QTest::newRow("current -1") << 4 << "-1" << (RuleValueNegative | RuleCurrentTooLow);
        QTest::newRow("voltage 10000") << 5 << "10000" << P();
        QTest::newRow("voltage 10001") << 5 << "10001" << P(RuleVoltageTooHigh);
        QTest::newRow("empty") << 4 << "" << P(RuleValueMissing);
        QTest::newRow("not a number") << 5 << "12mV" << P(RuleValueMissing);
        QTest::newRow("channel 2 ignores the value") << 2 << "-1" << P();
    }
    void ruleValueProblem()
    {
        QFETCH(int, channel);
        QFETCH(QString, text);
        QTEST(codec::ruleValueProblem(channel, text), "problems");
    }

    void eventLogRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QList<int>>("indexes");
        const QByteArray a = record("A1", 1, 0, 2, 100, 1), empty(20, '\0');
        QTest::newRow("empty file") << QByteArray() << QStringList() << QList<int>();
        QTest::newRow("records 0 and 2 used") << logFile({ a, empty, record("C3", 5, 3, 6, 300, 0) })
                                              << QStringList{ "A1", "C3" } << QList<int>{ 0, 2 };
        // A first tag byte of 0 empties the record, whatever else it holds.
        QTest::newRow("first tag byte zero") << logFile({ record(QByteArray("\0Drop", 5), 9, 2, 9, 999, 1), a })
                                             << QStringList{ "A1" } << QList<int>{ 1 };
        // Zeros inside a tag keep the later characters at their own places.
        QTest::newRow("gaps in tag") << logFile({ record(QByteArray("A\0B\0\0C", 6), 0, 0, 0, 0, 0),
                                                  record(QByteArray("Tag\0\0\0\0", 7), 0, 0, 0, 0, 0),
                                                  record("Seven77", 0, 0, 0, 0, 0) })
                                     << QStringList{ "A B  C", "Tag", "Seven77" } << QList<int>{ 0, 1, 2 };
        // A record the file cuts short: what is there counts, the rest is 0.
        QTest::newRow("short last record") << logFile({ a }) + QByteArray("Cut\0\0\0\0\0\x05", 9)
                                           << QStringList{ "A1", "Cut" } << QList<int>{ 0, 1 };
        QByteArray full(16 + 20 * 1001, '\0');
        full.replace(16 + 20 * 999, 2, "Z9");
        full.replace(16 + 20 * 1000, 2, "NO");  // beyond the 1000 records
        QTest::newRow("only 1000 records") << full << QStringList{ "Z9" } << QList<int>{ 999 };
    }
    void eventLogRecords()
    {
        QFETCH(QByteArray, bytes);
        const QVector<EventLogEntry> entries = parseEventLogFile(bytes);
        QStringList tags;
        QList<int> indexes;
        for (const EventLogEntry &e : entries) {
            tags << e.tag;
            indexes << e.index;
        }
        QTEST(tags, "tags");
        QTEST(indexes, "indexes");
        if (QTest::currentDataTag() == QByteArray("short last record"))
            QVERIFY(entries.last().valueInput == 5 && entries.last().timeStamp == 0);
    }

    // A record as the table shows it and as the export writes it.
    void eventLogExport_data()
    {
        QTest::addColumn<QByteArray>("rec");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("success") << QByteArray::fromHex("52756c6531000000102701006400000000000100")
                                 << QByteArray("Rule1,10000,V-A,100,1970-01-01 00:00:00,Success\r\n");
        QTest::newRow("result 2 is a failure") << record("R", 1, 0, 2, 60, 2)
                                               << QByteArray("R,1,V-V,2,1970-01-01 00:01:00,Fail\r\n");
        QTest::newRow("unknown type") << record("X", 7, 9, 8, 0, 1)
                                      << QByteArray("X,7,,8,1970-01-01 00:00:00,Success\r\n");
        QTest::newRow("8-bit tag") << record("T\xe9st", 0, 2, 0, 0xFFFFFFFF, 1)
                                   << QByteArray("T\xe9st,0,A-V,0,2106-02-07 06:28:15,Success\r\n");
    }
    void eventLogExport()
    {
        QFETCH(QByteArray, rec);
        QFETCH(QByteArray, line);
        const QVector<EventLogEntry> entries = parseEventLogFile(logFile({ rec }));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(eventLogExportLine(entries.first()), line);
        EventLogModel model;
        model.setList(entries);
        QStringList shown;
        for (int c = 0; c < model.columnCount(); ++c)
            shown << model.index(0, c).data().toString();
        const QStringList f = QString::fromLatin1(line.chopped(2)).split(',');
        QCOMPARE(shown, (QStringList{ f[0], f[1], f[2], f[3], f[5],
                                      localTimeText(entries.first().timeStamp) }));
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

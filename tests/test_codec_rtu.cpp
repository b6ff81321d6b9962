// Register encodings of the RTU sensor table and the sensor timing settings.
#include "link/codec.h"

#include <QtTest>

using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(codec::SensorEntryProblems)

class TestCodecRtu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sensorEntry_data();
    void sensorEntry();
    void sensorEntryDecoding_data();
    void sensorEntryDecoding();
    void sensorEntryFarOffset();
    void sensorEntryProblem_data();
    void sensorEntryProblem();
    void scheduleMask_data();
    void scheduleMask();
    void timestamp();
    void timeZoneText_data();
    void timeZoneText();
    void pollingTimeout_data();
    void pollingTimeout();
};

void TestCodecRtu::initTestCase()
{
    // Local times below are those of a zone with a fixed offset.
    qputenv("TZ", "UTC");
    tzset();
}

void TestCodecRtu::sensorEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("slaveId");
    QTest::addColumn<int>("functionCode");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<Regs>("regs");
    QTest::newRow("TANK1") << "TANK1" << 5 << 3 << 40001 << 2
                           << Regs{ 0x5441, 0x4E4B, 0x3100, 0x0000, 0x0305, 0x9C41, 2 };
    QTest::newRow("8 characters") << "ABCDEFGH" << 247 << 1 << 1 << 80
                                  << Regs{ 0x4142, 0x4344, 0x4546, 0x4748, 0x01F7, 1, 80 };
    QTest::newRow("one character") << "x" << 1 << 4 << 65535 << 10
                                   << Regs{ 0x7800, 0, 0, 0, 0x0401, 0xFFFF, 10 };
}

void TestCodecRtu::sensorEntry()
{
    QFETCH(QString, name);
    QFETCH(int, slaveId);
    QFETCH(int, functionCode);
    QFETCH(int, address);
    QFETCH(int, quantity);
    QFETCH(Regs, regs);
    codec::SensorFields entry{ name, quint8(slaveId), quint8(functionCode), quint32(address),
                               qint16(quantity) };
    QCOMPARE(codec::sensorEntryToRegisters(entry), regs);

    // Decoded back, at the start of a reply and as the third entry of one.
    for (int offset : { 0, 14 }) {
        Regs reply(offset, 0xFFFF);
        reply += regs;
        const codec::SensorFields back = codec::sensorEntryFromRegisters(reply, offset);
        QCOMPARE(back.name, name);
        QCOMPARE(int(back.slaveId), slaveId);
        QCOMPARE(int(back.functionCode), functionCode);
        QCOMPARE(int(back.plcAddress), address);
        QCOMPARE(int(back.registerQuantity), quantity);
    }

    // A name that is too long never makes the block spill into the next entry.
    entry.name = name + QStringLiteral("ZZZZZZZZ");
    QCOMPARE(codec::sensorEntryToRegisters(entry).size(), 7);
}

void TestCodecRtu::sensorEntryDecoding_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("slaveId");
    QTest::addColumn<int>("functionCode");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("quantity");
    QTest::newRow("zero byte ends the name") << Regs{ 0x4142, 0x0043, 0, 0, 0x0302, 7, 1 }
                                             << "AB" << 2 << 3 << 7 << 1;
    QTest::newRow("zero low byte") << Regs{ 0x4100, 0x4243, 0x4445, 0x4647, 0, 0, 0 }
                                   << "A" << 0 << 0 << 0 << 0;
    QTest::newRow("free slot") << Regs(7, 0) << "" << 0 << 0 << 0 << 0;
    QTest::newRow("signed quantity") << Regs{ 0x5400, 0, 0, 0, 0x0101, 0x8000, 0xFFFF }
                                     << "T" << 1 << 1 << 32768 << -1;
    QTest::newRow("missing registers") << Regs{ 0x4142, 0x4344 } << "ABCD" << 0 << 0 << 0 << 0;
    QTest::newRow("missing register 4") << Regs{ 0x4142, 0x4344, 0x4546, 0x4748 }
                                        << "ABCDEFGH" << 0 << 0 << 0 << 0;
    QTest::newRow("Latin-1") << Regs{ 0xE94F, 0, 0, 0, 0x0301, 1, 1 }
                             << QString::fromUtf8("éO") << 1 << 3 << 1 << 1;
    QTest::newRow("empty reply") << Regs{} << "" << 0 << 0 << 0 << 0;
}

void TestCodecRtu::sensorEntryDecoding()
{
    QFETCH(Regs, regs);
    const codec::SensorFields e = codec::sensorEntryFromRegisters(regs, 0);
    QTEST(e.name, "name");
    QTEST(int(e.slaveId), "slaveId");
    QTEST(int(e.functionCode), "functionCode");
    QTEST(int(e.plcAddress), "address");
    QTEST(int(e.registerQuantity), "quantity");
}

void TestCodecRtu::sensorEntryFarOffset()
{
    // An entry past the end of the int range reads as an empty entry.
    const Regs regs{ 0x5465, 0x6D70, 0, 0, 0x0301, 40001, 2 };
    const codec::SensorFields e = codec::sensorEntryFromRegisters(regs, 2147483647 - 2);
    QVERIFY(e.name.isEmpty());
    QCOMPARE(int(e.functionCode), 0);
    QCOMPARE(int(e.plcAddress), 0);
    QCOMPARE(int(e.registerQuantity), 0);
}

void TestCodecRtu::sensorEntryProblem_data()
{
    using P = codec::SensorEntryProblems;
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("slaveId");
    QTest::addColumn<int>("functionCode");
    QTest::addColumn<qint64>("address");
    QTest::addColumn<qint64>("quantity");
    QTest::addColumn<P>("problems");
    QTest::newRow("valid, code 3") << "TANK1" << 5LL << 3 << 40001LL << 10LL << P();
    QTest::newRow("limits, code 1") << "ABCDEFGH" << 247LL << 1 << 65535LL << 80LL << P();
    QTest::newRow("low limits, code 4") << "x" << 1LL << 4 << 1LL << 1LL << P();
    QTest::newRow("nine characters") << "ABCDEFGHI" << 5LL << 3 << 1LL << 1LL
                                     << P(codec::SensorNameTooLong);
    QTest::newRow("not Latin-1") << QString::fromUtf8("T\u20AC") << 5LL << 3 << 1LL << 1LL
                                 << P(codec::SensorNameNotRegisterText);
    QTest::newRow("all wrong") << "" << 0LL << 0 << 0LL << 0LL
                               << (codec::SensorNameEmpty | codec::SensorSlaveIdOutOfRange
                                   | codec::SensorFunctionCodeInvalid | codec::SensorQuantityOutOfRange
                                   | codec::SensorAddressOutOfRange);
    QTest::newRow("slave 248") << "T" << 248LL << 3 << 1LL << 1LL << P(codec::SensorSlaveIdOutOfRange);
    QTest::newRow("code 3, 11 registers") << "T" << 1LL << 3 << 1LL << 11LL
                                          << P(codec::SensorQuantityOutOfRange);
    QTest::newRow("code 2, 81 bits") << "T" << 1LL << 2 << 1LL << 81LL
                                     << P(codec::SensorQuantityOutOfRange);
    QTest::newRow("no code: bit limit") << "T" << 1LL << 0 << 1LL << 80LL
                                        << P(codec::SensorFunctionCodeInvalid);
    QTest::newRow("address 65536") << "T" << 1LL << 3 << 65536LL << 1LL
                                   << P(codec::SensorAddressOutOfRange);
    // Nothing is cut to the field's width before the check.
    QTest::newRow("slave 261") << "T" << 261LL << 3 << 1LL << 1LL << P(codec::SensorSlaveIdOutOfRange);
    QTest::newRow("quantity 65537") << "T" << 1LL << 3 << 1LL << 65537LL
                                    << P(codec::SensorQuantityOutOfRange);
}

void TestCodecRtu::sensorEntryProblem()
{
    QFETCH(QString, name);
    QFETCH(qint64, slaveId);
    QFETCH(int, functionCode);
    QFETCH(qint64, address);
    QFETCH(qint64, quantity);
    QTEST(codec::sensorEntryProblem(name, slaveId, functionCode, address, quantity), "problems");
}

void TestCodecRtu::scheduleMask_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QList<int>>("hours");
    QTest::newRow("00, 15 and 23") << Regs{ 0x0080, 0x8001 } << QList<int>{ 0, 15, 23 };
    QTest::newRow("00 and 16") << Regs{ 0x0001, 0x0001 } << QList<int>{ 0, 16 };
    QTest::newRow("none") << Regs{ 0, 0 } << QList<int>{};
    QList<int> all;
    for (int h = 0; h < 24; ++h)
        all << h;
    QTest::newRow("all") << Regs{ 0x00FF, 0xFFFF } << all;
}

void TestCodecRtu::scheduleMask()
{
    QFETCH(Regs, regs);
    QFETCH(QList<int>, hours);
    quint32 mask = 0;
    for (int h : hours)
        mask |= 1u << h;
    QCOMPARE(codec::scheduleMaskFromRegisters(regs), mask);
    QCOMPARE(codec::scheduleMaskToRegisters(mask), regs);
    // The high byte of register 800 carries nothing; a short reply reads as 0.
    QCOMPARE(codec::scheduleMaskFromRegisters({ quint16(regs.at(0) | 0xFF00), regs.at(1) }), mask);
    QCOMPARE(codec::scheduleMaskFromRegisters({ regs.at(0) }), mask & 0xFF0000);
}

void TestCodecRtu::timestamp()
{
    QCOMPARE(codec::timestampFromRegisters({ 0x5F5E, 0x1000 }), quint32(1600000000));
    QCOMPARE(codec::timestampToRegisters(1600000000), (Regs{ 0x5F5E, 0x1000 }));
    QCOMPARE(codec::timestampToRegisters(0xFFFFFFFFu), (Regs{ 0xFFFF, 0xFFFF }));
    QCOMPARE(codec::timestampFromRegisters({ 0x0001 }), quint32(0x10000));
    const QString text = codec::localTimeText(1600000000);
    QVERIFY2(text.startsWith(QStringLiteral("2020-09-13 12:26:40 ")), qPrintable(text));
    QCOMPARE(text, QStringLiteral("2020-09-13 12:26:40 ")
                       + QLocale::system().dayName(7, QLocale::ShortFormat));
    QVERIFY(codec::localTimeText(0).startsWith(QStringLiteral("1970-01-01 00:00:00 ")));
}

void TestCodecRtu::timeZoneText_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTC+8") << -480 << "UTC+ 8 : 00";
    QTest::newRow("UTC+5:30") << -330 << "UTC+ 5 : 30";
    QTest::newRow("UTC+0:45") << -45 << "UTC+ 0 : 45";
    QTest::newRow("UTC") << 0 << "UTC+ 0 : 00";
    QTest::newRow("UTC-5") << 300 << "UTC -5 : 00";
    QTest::newRow("UTC-3:30") << 210 << "UTC -3 : 30";
    QTest::newRow("UTC-5:45") << 345 << "UTC -5 : 45";
    QTest::newRow("register 0xFE20") << codec::signedValue(0xFE20) << "UTC+ 8 : 00";
    QTest::newRow("lowest int") << int(-2147483647 - 1) << "UTC+ 35791394 : 8";
    QTest::newRow("highest int") << 2147483647 << "UTC -35791394 : 7";
}

void TestCodecRtu::timeZoneText()
{
    QFETCH(int, minutes);
    QTEST(codec::timeZoneText(minutes), "text");
}

void TestCodecRtu::pollingTimeout_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("reg");
    QTest::newRow("NB500 5 s") << "NB500-400" << 5 << 5000;
    QTest::newRow("NB500 20 s") << "NB500" << 20 << 20000;
    QTest::newRow("NB520 5 s") << "NB520-868" << 5 << 5;
    QTest::newRow("no model") << "" << 1 << 1;
}

void TestCodecRtu::pollingTimeout()
{
    QFETCH(QString, model);
    QFETCH(int, seconds);
    QFETCH(int, reg);
    QCOMPARE(int(codec::pollingTimeoutRegister(seconds, model)), reg);
    QCOMPARE(int(codec::pollingTimeoutSeconds(quint16(reg), model)), seconds);
    // Milliseconds that are not whole seconds are cut to the second below.
    if (codec::pollingTimeoutInMilliseconds(model))
        QCOMPARE(int(codec::pollingTimeoutSeconds(quint16(reg + 999), model)), seconds);
}

QTEST_APPLESS_MAIN(TestCodecRtu)
#include "test_codec_rtu.moc"

// Encodings of the I/O pages: channel registers and currents in mA.
#include "link/codec.h"

#include <QtTest>

class TestCodecIo : public QObject
{
    Q_OBJECT
private slots:
    void channelRegister();
    void microampsText_data();
    void microampsText();
    void microampsFromMilliamps_data();
    void microampsFromMilliamps();
};

void TestCodecIo::channelRegister()
{
    QCOMPARE(codec::channelRegister(1000, codec::channelNumber("3")), quint16(1003));
    QCOMPARE(codec::channelRegister(1096, codec::channelNumber("7"), 2), quint16(1110));
    QCOMPARE(codec::channelRegister(1032, codec::channelNumber(""), 2), quint16(1032));
    QCOMPARE(codec::channelRegister(65535, 2), quint16(1));  // wraps
    // Any channel number wraps the same way, however large.
    QCOMPARE(codec::channelRegister(0, 2147483647, 2), quint16(0xFFFE));
    QCOMPARE(codec::channelRegister(1000, 1701642240, 3), quint16((1000u + 1701642240u * 3u) & 0xFFFF));
    QCOMPARE(codec::channelRegister(10, -1), quint16(9));
}

void TestCodecIo::microampsText_data()
{
    QTest::addColumn<int>("microamps");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("12345") << 12345 << 5 << "12.345";
    QTest::newRow("20000") << 20000 << 5 << "20";
    QTest::newRow("4000") << 4000 << 5 << "4";
    QTest::newRow("0") << 0 << 5 << "0";
    QTest::newRow("1") << 1 << 5 << "0.001";
    QTest::newRow("65535, 5 digits") << 65535 << 5 << "65.535";
    QTest::newRow("12345, 6 digits") << 12345 << 6 << "12.345";
}

void TestCodecIo::microampsText()
{
    QFETCH(int, microamps);
    QFETCH(int, digits);
    QTEST(codec::microampsText(quint16(microamps), digits), "text");
}

void TestCodecIo::microampsFromMilliamps_data()
{
    QTest::addColumn<double>("milliamps");
    QTest::addColumn<int>("microamps");
    QTest::newRow("4") << 4.0 << 4000;
    QTest::newRow("12.5") << 12.5 << 12500;
    QTest::newRow("4.001 is not cut to 4000") << 4.001 << 4001;
    QTest::newRow("12.345") << 12.345 << 12345;
    QTest::newRow("19.999") << 19.999 << 19999;
    QTest::newRow("fraction of a unit cut") << 12.3456 << 12345;
    QTest::newRow("20") << 20.0 << 20000;
    QTest::newRow("negative") << -1.0 << 0;
    QTest::newRow("nan") << qQNaN() << 0;
    QTest::newRow("huge") << 1e9 << 65535;
}

void TestCodecIo::microampsFromMilliamps()
{
    QFETCH(double, milliamps);
    QTEST(int(codec::microampsFromMilliamps(milliamps)), "microamps");
}

QTEST_APPLESS_MAIN(TestCodecIo)
#include "test_codec_io.moc"

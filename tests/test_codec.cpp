// Register encodings and the model-name decisions, as pure functions.
#include "link/codec.h"
#include "link/modelgating.h"

#include <QtTest>

using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(Regs)

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    void registerText_data();
    void registerText();
    void textToRegisters_data();
    void textToRegisters();
    void lineEditValue_data();
    void lineEditValue();
    void unsignedFieldValue_data();
    void unsignedFieldValue();
    void ruleTypeText();
    void modelGating_data();
    void modelGating();
};

void TestCodec::registerText_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero byte kept") << Regs{ 0x4142, 0x4300 } << QString::fromLatin1("ABC\0", 4);
    QTest::newRow("empty") << Regs{} << QString();
    QTest::newRow("high bytes") << Regs{ 0xE9FF } << QString(QChar(0xE9)) + QChar(0xFF);
    QTest::newRow("model name") << Regs{ 0x4E42, 0x3530, 0x302D, 0x3430, 0x3000, 0, 0, 0 }
                                << QString::fromLatin1("NB500-400\0\0\0\0\0\0\0", 16);
}

void TestCodec::registerText()
{
    QFETCH(Regs, regs);
    QFETCH(QString, text);
    QCOMPARE(codec::registersToText(regs), text);
    // Every decoded text encodes back to the same block.
    QCOMPARE(codec::textToRegisters(codec::registersToText(regs), regs.size()), regs);
}

void TestCodec::textToRegisters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<Regs>("regs");
    QTest::newRow("abc in 4") << "abc" << 4 << Regs{ 0x6162, 0x6300, 0, 0 };
    QTest::newRow("latin-1") << QString("a") + QChar(0xE9) << 1 << Regs{ 0x61E9 };
    QTest::newRow("above latin-1") << QString(QChar(0x20AC)) + "A" << 1 << Regs{ 0x0041 };
    QTest::newRow("empty") << "" << 3 << Regs{ 0, 0, 0 };
    QTest::newRow("16 chars fill 8") << "0123456789abcdef" << 8
                                     << Regs{ 0x3031, 0x3233, 0x3435, 0x3637, 0x3839, 0x6162,
                                              0x6364, 0x6566 };
    QTest::newRow("longer than block") << "abcde" << 2 << Regs{ 0x6162, 0x6364, 0x6500 };
}

void TestCodec::textToRegisters()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(Regs, regs);
    QCOMPARE(codec::textToRegisters(text, count), regs);
}

void TestCodec::lineEditValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "17" << 17;
    QTest::newRow("wraps") << "65537" << 1;
    QTest::newRow("negative") << "-1" << 0xFFFF;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("not a number") << "12a" << 0;
}

void TestCodec::lineEditValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(int(codec::lineEditValue(text)), value);
    QCOMPARE(codec::signedValue(0xFFFF), -1);
}

void TestCodec::unsignedFieldValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("max");
    QTest::addColumn<int>("value");    // -1: refused
    QTest::addColumn<int>("inRange");  // numberInRange from 1 to max; -1: refused
    QTest::newRow("plain") << "300" << 65535u << 300 << 300;
    QTest::newRow("blanks around") << " 65535 " << 65535u << 65535 << 65535;
    QTest::newRow("empty is 0") << "" << 255u << 0 << -1;
    QTest::newRow("below the range") << "0" << 255u << 0 << -1;
    QTest::newRow("just above") << "256" << 255u << -1 << -1;
    QTest::newRow("would wrap") << "65536" << 65535u << -1 << -1;
    QTest::newRow("negative") << "-1" << 65535u << -1 << -1;
    QTest::newRow("letters") << "12a" << 65535u << -1 << -1;
    QTest::newRow("fraction") << "1.5" << 65535u << -1 << -1;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << 65535u << -1 << -1;
}

void TestCodec::unsignedFieldValue()
{
    QFETCH(QString, text);
    QFETCH(uint, max);
    QFETCH(int, value);
    QFETCH(int, inRange);
    quint32 result = 12345;
    QCOMPARE(codec::unsignedFieldValue(text, max, &result), value >= 0);
    QCOMPARE(result, value >= 0 ? quint32(value) : 12345u);
    qint64 number = 12345;
    QCOMPARE(codec::numberInRange(text, 1, max, &number), inRange >= 0);
    QCOMPARE(number, inRange >= 0 ? qint64(inRange) : 12345);
}

void TestCodec::ruleTypeText()
{
    QCOMPARE(codec::ruleTypeText(0), QString("V-V"));
    QCOMPARE(codec::ruleTypeText(3), QString("A-A"));
    QCOMPARE(codec::ruleTypeText(4), QString());
    QCOMPARE(codec::ruleTypeText(-1), QString());
}

void TestCodec::modelGating_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("other");
    QTest::addColumn<bool>("bridge");
    QTest::addColumn<bool>("channels");
    QTest::addColumn<bool>("noTimeSetting");
    QTest::addColumn<int>("band");
    QTest::addColumn<QStringList>("freqs");
    const QString pad = QString(7, QChar(0));
    QTest::newRow("NB500-400") << "NB500-400" + pad << false << true << true << false << 0
                               << QStringList{ "433", "470", "490" };
    QTest::newRow("NB520-900") << "NB520-900" << false << true << true << true << 1
                               << QStringList{ "868", "915" };
    QTest::newRow("NB520-TH") << "NB520-TH" << false << true << true << true << 2
                              << QStringList{ "920", "925" };
    QTest::newRow("other series") << "NB500-NT400" << true << true << true << false << 0
                                  << QStringList{ "433", "470", "490" };
    QTest::newRow("no markers") << "XY12" << false << false << false << false << -1
                                << QStringList{};
    QTest::newRow("unknown device") << "Unknown Device" << false << false << false << false << -1
                                    << QStringList{};
    QTest::newRow("lower case is not a match") << "nb500-400" << false << false << false << false
                                               << 0 << QStringList{ "433", "470", "490" };
}

void TestCodec::modelGating()
{
    QFETCH(QString, name);
    const ModelGating g = gatingForModel(name);
    QTEST(g.otherSeries, "other");
    QTEST(g.bridge, "bridge");
    QTEST(g.hasChannels, "channels");
    QTEST(g.disableTimeSetting, "noTimeSetting");
    QTEST(g.band, "band");
    QTEST(g.frequencies, "freqs");
    if (g.hasChannels) {
        QCOMPARE(g.channels.currentInputs, QStringList({ "1", "3" }));
        QCOMPARE(g.channels.voltageInputs, QStringList({ "0", "2" }));
        QCOMPARE(g.channels.pwmOutputs, QStringList({ "6", "7" }));
        QVERIFY(g.channels.pwmInputs.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestCodec)
#include "test_codec.moc"

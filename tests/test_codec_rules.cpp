// Rule chain entries and chain monitor rows as register layouts.
#include "link/codec.h"

#include <QLocale>
#include <QtTest>

#include <cstdlib>
#include <ctime>

using codec::ChainMonitorEntry;
using codec::RuleChainEntry;

using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(codec::RuleValueProblems)

class TestCodecRules : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void entryName_data();
    void entryName();
    void ruleEntry();
    void ruleValueProblem_data();
    void ruleValueProblem();
    void monitorEntry();
    void timeStamp_data();
    void timeStamp();
};

void TestCodecRules::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestCodecRules::entryName_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("name");
    QTest::newRow("ended by zero low byte") << Regs{ 0x5275, 0x6C65, 0x3100, 0x4142 } << "Rule1";
    QTest::newRow("ended by zero high byte") << Regs{ 0x4142, 0x0043, 0x4445, 0x4647 } << "AB";
    QTest::newRow("eight characters") << Regs{ 0x6162, 0x6364, 0x6566, 0x6768, 0x6969 } << "abcdefgh";
    QTest::newRow("free entry") << Regs{ 0x0041, 0x4243, 0, 0 } << "";
    QTest::newRow("missing registers") << Regs{ 0x6162, 0x6364 } << "abcd";
    QTest::newRow("no registers") << Regs{} << "";
}

void TestCodecRules::entryName()
{
    QFETCH(Regs, regs);
    QTEST(codec::entryName(regs, 0), "name");
}

void TestCodecRules::ruleEntry()
{
    // Registers: name, in device, in channel, out device, out channel, type, value.
    const Regs block{ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                      0x6162, 0x6300, 0, 0, 17, 3, 250, 4, 2, 12000 };
    const RuleChainEntry e = codec::decodeRuleEntry(block, 10);
    QCOMPARE(e.name, QString("abc"));
    QCOMPARE(e.inDeviceId, quint16(17));
    QCOMPARE(e.inChannel, quint16(3));
    QCOMPARE(e.outDeviceId, quint16(250));
    QCOMPARE(e.outChannel, quint16(4));
    QCOMPARE(e.type, quint16(2));
    QCOMPARE(e.tmoValue, quint16(12000));
    QCOMPARE(codec::ruleEntryRegisters(e), block.mid(10));

    // A short reply leaves the rest of the entry 0.
    const RuleChainEntry shortEntry = codec::decodeRuleEntry(block.mid(0, 15), 10);
    QCOMPARE(shortEntry.inDeviceId, quint16(17));
    QCOMPARE(shortEntry.outDeviceId, quint16(0));
    QCOMPARE(shortEntry.tmoValue, quint16(0));

    // An entry past the end of the int range reads as an empty entry.
    const RuleChainEntry far = codec::decodeRuleEntry(block, 2147483647);
    QVERIFY(far.name.isEmpty());
    QCOMPARE(far.inDeviceId, quint16(0));
    QCOMPARE(far.tmoValue, quint16(0));
    const ChainMonitorEntry farRow = codec::decodeMonitorEntry(block, 2147483647 - 3);
    QVERIFY(farRow.tag.isEmpty());
    QCOMPARE(farRow.value, quint16(0));
    QCOMPARE(farRow.result, quint16(0));

    // An over-long name never spills past the ten registers of its entry.
    RuleChainEntry longName;
    longName.name = QStringLiteral("abcdefghij");
    longName.inDeviceId = 1;
    const Regs regs = codec::ruleEntryRegisters(longName);
    QCOMPARE(regs.size(), 10);
    QCOMPARE(regs.mid(0, 5), (Regs{ 0x6162, 0x6364, 0x6566, 0x6768, 1 }));
}

void TestCodecRules::ruleValueProblem_data()
{
    using P = codec::RuleValueProblems;
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("text");
    QTest::addColumn<P>("problems");
    QTest::newRow("current 4000") << 4 << "4000" << P();
    QTest::newRow("current 20000") << 4 << "20000" << P();
    QTest::newRow("current 3999") << 4 << "3999" << P(codec::RuleCurrentTooLow);
    QTest::newRow("current 20001") << 4 << "20001" << P(codec::RuleCurrentTooHigh);
    // The typed number counts, not its low 16 bits (4464 and 0).
    QTest::newRow("current 70000") << 4 << "70000" << P(codec::RuleCurrentTooHigh);
    QTest::newRow("voltage 65536") << 5 << "65536" << P(codec::RuleVoltageTooHigh);
    QTest::newRow("current -1") << 4 << "-1"
                                << (codec::RuleValueNegative | codec::RuleCurrentTooLow);
    QTest::newRow("voltage -5") << 5 << "-5" << P(codec::RuleValueNegative);
    QTest::newRow("voltage 0") << 5 << "0" << P();
    QTest::newRow("voltage 10000") << 5 << "10000" << P();
    QTest::newRow("voltage 10001") << 5 << "10001" << P(codec::RuleVoltageTooHigh);
    QTest::newRow("huge") << 5 << "99999999999" << P(codec::RuleVoltageTooHigh);
    QTest::newRow("empty") << 4 << "" << P(codec::RuleValueMissing);
    QTest::newRow("not a number") << 5 << "12mV" << P(codec::RuleValueMissing);
    QTest::newRow("channel 2 ignores the value") << 2 << "-1" << P();
    QTest::newRow("channel 7 ignores an empty value") << 7 << "" << P();
}

void TestCodecRules::ruleValueProblem()
{
    QFETCH(int, channel);
    QFETCH(QString, text);
    QTEST(codec::ruleValueProblem(channel, text), "problems");
}

void TestCodecRules::monitorEntry()
{
    qputenv("TZ", "UTC");
    tzset();
    const Regs row{ 0x5275, 0x6C65, 0x3100, 0, 1234, 1, 1, 0x6553, 0xF100 };
    const ChainMonitorEntry e = codec::decodeMonitorEntry(Regs{ 9, 9, 9, 9, 9, 9, 9, 9, 9 } + row, 9);
    QCOMPARE(e.tag, QString("Rule1"));
    QCOMPARE(e.value, quint16(1234));
    QCOMPARE(e.type, quint16(1));
    QCOMPARE(e.result, quint16(1));
    QCOMPARE(e.timeStamp, QString("2023-11-14 22:13:20 Tue"));  // 1700000000
    // Missing time registers count as 0.
    QCOMPARE(codec::decodeMonitorEntry(row.mid(0, 7), 0).timeStamp,
             QString("1970-01-01 00:00:00 Thu"));
}

void TestCodecRules::timeStamp_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("epoch utc") << QByteArray("UTC") << 0u << "1970-01-01 00:00:00 Thu";
    QTest::newRow("epoch nine hours east") << QByteArray("JST-9") << 0u << "1970-01-01 09:00:00 Thu";
    QTest::newRow("epoch five hours west") << QByteArray("EST5") << 0u << "1969-12-31 19:00:00 Wed";
    QTest::newRow("high word used") << QByteArray("UTC") << 0x65530000u << "2023-11-14 05:05:04 Tue";
    QTest::newRow("largest count") << QByteArray("UTC") << 0xFFFFFFFFu << "2106-02-07 06:28:15 Sun";
}

void TestCodecRules::timeStamp()
{
    QFETCH(QByteArray, tz);
    qputenv("TZ", tz);
    tzset();
    QFETCH(quint32, seconds);
    QTEST(codec::localTimeText(seconds), "text");
}

QTEST_GUILESS_MAIN(TestCodecRules)
#include "test_codec_rules.moc"

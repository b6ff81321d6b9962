// Encodings of the system settings: version, serial number and stored
// credentials. The device clock's registers are tested with the sensor time.
#include "link/codec.h"

#include <QtTest>

using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(Regs)

class TestCodecSystem : public QObject
{
    Q_OBJECT
private slots:
    void versionText_data();
    void versionText();
    void zeroEndedText_data();
    void zeroEndedText();
    void serialNumberUnset();
    void registerTextCheck();
};

void TestCodecSystem::versionText_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("text");
    QTest::newRow("ended by a zero register")
        << Regs{ 0x5632, 0x2E31, 0x2E33, 0, 0, 0, 0, 0 } << "V2.1.3";
    // A zero low byte does not end the version; only a zero high byte does.
    QTest::newRow("zero low byte kept")
        << Regs{ 0x5600, 0x3132, 0x0041, 0x4243 } << QString::fromLatin1("V\0" "12", 4);
    QTest::newRow("zero high byte first") << Regs{ 0x0056, 0x3132 } << "";
    QTest::newRow("all eight used") << Regs(8, 0x4142) << QString("AB").repeated(8);
    QTest::newRow("empty reply") << Regs{} << "";
}

void TestCodecSystem::versionText()
{
    QFETCH(Regs, regs);
    QTEST(codec::versionText(regs), "text");
}

void TestCodecSystem::zeroEndedText_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("text");
    QTest::newRow("ABC") << Regs{ 0x4142, 0x4300, 0x4445, 0, 0, 0, 0, 0 } << "ABC";
    QTest::newRow("even length") << Regs{ 0x6162, 0, 0x6364 } << "ab";
    QTest::newRow("zero first") << Regs{ 0x0041 } << "";
    QTest::newRow("16 characters") << Regs(8, 0x7878) << QString(16, 'x');
    QTest::newRow("latin-1") << Regs{ 0x70E4, 0x7300 } << QString("p") + QChar(0xE4) + "s";
    QTest::newRow("empty reply") << Regs{} << "";
}

void TestCodecSystem::zeroEndedText()
{
    QFETCH(Regs, regs);
    QTEST(codec::zeroEndedText(regs), "text");
}

void TestCodecSystem::serialNumberUnset()
{
    QVERIFY(codec::serialNumberUnset({ 0xFFFF, 0xFFFF }));
    QVERIFY(codec::serialNumberUnset({ 0xFF41 }));
    QVERIFY(!codec::serialNumberUnset({ 0x4142, 0x4300 }));
    QVERIFY(!codec::serialNumberUnset({ 0x00FF }));
    QVERIFY(!codec::serialNumberUnset({}));
}

void TestCodecSystem::registerTextCheck()
{
    QVERIFY(codec::isRegisterText("admin"));
    QVERIFY(codec::isRegisterText(""));
    QVERIFY(codec::isRegisterText(QString("p") + QChar(0xE4) + QChar(0xFF)));
    QVERIFY(!codec::isRegisterText(QString("pass") + QChar(0x20AC)));
    QVERIFY(!codec::isRegisterText(QString("a") + QChar(0) + "b"));
    // A key may keep the zero bytes it was read with; it has no room for more.
    QVERIFY(codec::isLatin1Text(QString("a") + QChar(0) + QChar(0xFF)));
    QVERIFY(!codec::isLatin1Text(QString("key") + QChar(0x20AC)));
}

QTEST_GUILESS_MAIN(TestCodecSystem)
#include "test_codec_system.moc"

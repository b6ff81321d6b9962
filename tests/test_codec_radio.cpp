// Encodings of the radio and network pages: hex byte text, LoRa frequency
// text, destination bitmap, auto scan map halves, AES key proposals.
#include "link/codec.h"

#include <QSet>
#include <QtTest>

using codec::ScanMapEntry;

using Regs = QVector<quint16>;
Q_DECLARE_METATYPE(Regs)

class TestCodecRadio : public QObject
{
    Q_OBJECT
private slots:
    void hexText_data();
    void hexText();
    void hexBlock_data();
    void hexBlock();
    void frequencyText();
    void bitmap();
    void scanMapHalves();
    void aesKeyProposal();
};

void TestCodecRadio::hexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Regs>("regs");
    QTest::newRow("device address") << "01 02 03 04" << Regs{ 0x0102, 0x0304 };
    QTest::newRow("lower case") << "ab cd" << Regs{ 0xABCD };
    QTest::newRow("two blanks") << "01  02" << Regs{ 0x0100 };
    QTest::newRow("no hex digits") << "xy zz qq rr" << Regs{ 0, 0 };
    QTest::newRow("unpaired dropped") << "01 02 03" << Regs{ 0x0102 };
    QTest::newRow("empty") << "" << Regs{};
}

void TestCodecRadio::hexText()
{
    QFETCH(QString, text);
    QFETCH(Regs, regs);
    QCOMPARE(codec::hexTextToRegisters(text), regs);
    // Every well-formed text survives the trip through the registers.
    const QString shown = codec::registersToHexText(regs);
    QCOMPARE(codec::hexTextToRegisters(shown), regs);
    QCOMPARE(codec::registersToHexText({ 0x0A0B, 0xC0D0 }), QString("0A 0B C0 D0"));
    QCOMPARE(codec::registersToHexText({ 0x0000, 0x0F00 }), QString("00 00 0F 00"));
    QCOMPARE(codec::registersToHexText({}), QString());
}

void TestCodecRadio::hexBlock_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<Regs>("regs");  // empty: refused
    QTest::newRow("address groups") << "0A 0B C0 D0" << 4 << Regs{ 0x0A0B, 0xC0D0 };
    QTest::newRow("address run") << "0a0bc0d0" << 4 << Regs{ 0x0A0B, 0xC0D0 };
    QTest::newRow("eui run") << "70B3D57ED0001234" << 8
                             << Regs{ 0x70B3, 0xD57E, 0xD000, 0x1234 };
    QTest::newRow("eui groups, blanks around") << " 00 11 22 33 44 55 66 77 " << 8
                                               << Regs{ 0x0011, 0x2233, 0x4455, 0x6677 };
    QTest::newRow("key") << "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E FF" << 16
                         << Regs{ 0x0001, 0x0203, 0x0405, 0x0607, 0x0809, 0x0A0B, 0x0C0D, 0x0EFF };
    QTest::newRow("one group too many") << "00 11 22 33 44 55 66 77 88" << 8 << Regs{};
    QTest::newRow("one group short") << "00 11 22 33 44 55 66" << 8 << Regs{};
    QTest::newRow("not hex") << "00 11 22 3G" << 4 << Regs{};
    QTest::newRow("three digits") << "001 12 23" << 4 << Regs{};
    QTest::newRow("odd run") << "0A0BC0D" << 4 << Regs{};
    QTest::newRow("run too long") << "0A0BC0D0EE" << 4 << Regs{};
    QTest::newRow("mixed") << "0A0B C0 D0" << 4 << Regs{};
    QTest::newRow("empty") << "" << 4 << Regs{};
    QTest::newRow("line break after a group") << "0A\n 0B" << 2 << Regs{};
    QTest::newRow("line break in the middle") << "0A 0B\n C0 D0" << 4 << Regs{};
    QTest::newRow("line break around") << "\n0A 0B C0 D0\n" << 4 << Regs{ 0x0A0B, 0xC0D0 };
}

void TestCodecRadio::hexBlock()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QFETCH(Regs, regs);
    Regs out{ 0xDEAD };
    QCOMPARE(codec::parseHexBlock(text, bytes, &out), !regs.isEmpty());
    if (!regs.isEmpty())
        QCOMPARE(out, regs);
    else
        QCOMPARE(out, Regs{ 0xDEAD });
}

void TestCodecRadio::frequencyText()
{
    QCOMPARE(codec::loraFrequencyText(4330), QString("433"));
    QCOMPARE(codec::loraFrequencyText(4705), QString("470.5"));
    QCOMPARE(codec::loraFrequencyText(9150), QString("915"));
    QCOMPARE(codec::loraFrequencyText(0), QString("0"));
}

void TestCodecRadio::bitmap()
{
    Regs regs(16, 0);
    regs[0] = 0x0001;
    regs[1] = 0x8000;
    regs[15] = 0xFFFF;  // bit 15: ID 256, which has no row
    const QVector<bool> flags = codec::bitmapToFlags(regs, 255);
    QCOMPARE(flags.size(), 255);
    QCOMPARE(flags.count(true), 2 + 15);
    QVERIFY(flags[0] && flags[31] && flags[254]);
    Regs back = regs;
    back[15] = 0x7FFF;
    QCOMPARE(codec::flagsToBitmap(flags, 16), back);
}

void TestCodecRadio::scanMapHalves()
{
    QList<ScanMapEntry> rows;
    for (int i = 0; i < 10; ++i)
        rows.append(ScanMapEntry());
    rows[0] = { 1, 3, 100 };
    rows[2] = { 2, 4, 7 };
    rows[4] = { 0, 0, 55 };  // only a register
    rows[5] = { 5, 0, 9 };   // no function code
    Regs first(20, 0);
    first[0] = 0x0301; first[1] = 100; first[2] = 0x0402; first[3] = 7;
    QCOMPARE(codec::scanMapHalf(rows, 10, codec::scanRowForFirstHalf), first);
    Regs second(20, 0);
    second[0] = 0x0301; second[1] = 100; second[2] = 0x0402; second[3] = 7;
    second[4] = 0; second[5] = 55; second[6] = 0x0005; second[7] = 9;
    QCOMPARE(codec::scanMapHalf(rows, 10, codec::scanRowForSecondHalf), second);
    // Nothing qualifies: the half is cleared, never empty.
    QCOMPARE(codec::scanMapHalf(QList<ScanMapEntry>(), 10, codec::scanRowForFirstHalf), Regs(20, 0));
    // A half of no entries is empty, also when the count is below zero.
    QCOMPARE(codec::scanMapHalf(rows, 0, codec::scanRowForSecondHalf), Regs());
    QCOMPARE(codec::scanMapHalf(rows, -1, codec::scanRowForSecondHalf), Regs());
    QCOMPARE(codec::scanMapHalf(QList<ScanMapEntry>(), -25, codec::scanRowForFirstHalf), Regs());

    const QList<ScanMapEntry> read = codec::scanMapFromRegisters({ 0x0301, 0x0064, 0x0102 }, 20);
    QCOMPARE(read.size(), 20);
    QCOMPARE(read.at(0), (ScanMapEntry{ 1, 3, 100 }));
    QCOMPARE(read.at(1), (ScanMapEntry{ 2, 1, 0 }));
    QCOMPARE(read.at(19), ScanMapEntry());
}

void TestCodecRadio::aesKeyProposal()
{
    const QString alphabet = QString::fromLatin1(codec::AesKeyAlphabet);
    QCOMPARE(alphabet.size(), 36);
    QSet<QString> keys;
    for (int i = 0; i < 200; ++i) {
        const QString key = codec::proposeAesKey();
        QCOMPARE(key.size(), 16);
        for (QChar c : key)
            QVERIFY(alphabet.contains(c));
        keys.insert(key);
    }
    // Keys drawn in the same millisecond still differ.
    QCOMPARE(keys.size(), 200);
}

QTEST_APPLESS_MAIN(TestCodecRadio)
#include "test_codec_radio.moc"

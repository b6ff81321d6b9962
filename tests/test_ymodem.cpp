// The YMODEM receiver fed with byte streams: what it answers, what ends up in
// the local file, and how it copes with damaged, repeated, split and
// out-of-sequence packets, the device's first data, stalls, earlier files and
// hostile file names.
#include "sim/memoryport.h"
#include "tools/ymodem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;
const QByteArray AckC = QByteArray(1, ACK) + 'C';

QByteArray packet(int block, const QByteArray &payload, int size = 1024, char pad = 0x1A)
{
    QByteArray data = payload.left(size);
    data.append(QByteArray(size - data.size(), pad));
    QByteArray p;
    p.append(size == 128 ? SOH : STX);
    p.append(char(block));
    p.append(char(~block));
    p.append(data);
    const quint16 crc = ymodem::crc16(data);
    p.append(char(crc >> 8));
    p.append(char(crc & 0xFF));
    return p;
}

QByteArray header(const QByteArray &name, const QByteArray &size)
{
    return packet(0, name + '\0' + size + '\0', 128, 0);
}

QByteArray pattern(int n, int seed)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class TestYmodem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void crc();
    void wholeTransfer();
    void shortPacketAndPadding();
    void endOfFile();
    void earlierFileKept();
    void firstData_data();
    void firstData();
    void damagedAndRepeated();
    void splitPackets();
    void headerNames_data();
    void headerNames();
    void hostileHeaderStaysInDirectory();
    void failures();
    void stall();

private:
    // Header and the discarded first block; returns false on a wrong answer.
    bool start(const QByteArray &name, const QByteArray &size);
    QTemporaryDir m_dir;
    sim::MemoryPort *port = nullptr;
    ymodem *rx = nullptr;
};

void TestYmodem::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestYmodem::init()
{
    port = new sim::MemoryPort;
    rx = new ymodem;
    rx->setDevice(port);
    rx->setSettleDelay(0);
    rx->setFirstDataQuietTime(0);
}

void TestYmodem::cleanup()
{
    delete rx;
    delete port;
    for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
        QFile::remove(m_dir.filePath(f));
}

bool TestYmodem::start(const QByteArray &name, const QByteArray &size)
{
    port->feed(header(name, size));
    if (port->take() != AckC || !rx->transferStarted)
        return false;
    port->feed(packet(1, "device block"));
    return port->take() == QByteArray(1, ACK);
}

void TestYmodem::crc()
{
    QCOMPARE(ymodem::crc16("123456789"), quint16(0x31C3));
    QCOMPARE(ymodem::crc16(QByteArray()), quint16(0));
}

void TestYmodem::wholeTransfer()
{
    rx->setSettleDelay(2000);
    QSignalSpy done(rx, &ymodem::finRcv);
    rx->sendStartRequest();
    QCOMPARE(port->take(), QByteArray("C"));

    port->feed(header("log.bin", "2048"));
    QCOMPARE(port->take(), AckC);
    QVERIFY(rx->transferStarted);
    // The device's first block is acknowledged and not kept.
    port->feed(packet(1, pattern(1024, 99)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    const QByteArray body = pattern(2048, 1);
    port->feed(packet(2, body.left(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(packet(3, body.mid(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), QByteArray(1, NAK));
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), AckC);
    QVERIFY(!port->isOpen());

    QVERIFY(done.wait(10000));
    QCOMPARE(done.size(), 1);
    const QString name = done.first().first().toString();
    QVERIFY2(QRegularExpression("^log\\.bin\\d{14}$").match(QFileInfo(name).fileName()).hasMatch(),
             qPrintable(name));
    QCOMPARE(QFileInfo(name).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
    QCOMPARE(readFile(name), body);
    QVERIFY(rx->transferStarted);  // stays set until the page takes the port back
}

void TestYmodem::shortPacketAndPadding()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    QVERIFY(start("short.bin", "300"));
    const QByteArray body = pattern(300, 5);
    port->feed(packet(2, body.left(128), 128));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(packet(3, body.mid(128)));  // 172 bytes, then padding
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), QByteArray(1, NAK) + AckC);
    QVERIFY(done.wait(10000));
    // The padding of the last block is not part of the file.
    QCOMPARE(readFile(done.first().first().toString()), body);

    // Without a size in the header, whole blocks are kept.
    QSignalSpy again(rx, &ymodem::finRcv);
    port->open(QIODevice::ReadWrite);
    QVERIFY(start("nosize.bin", "size?"));
    port->feed(packet(2, "abc", 128));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(again.wait(10000));
    QCOMPARE(readFile(again.first().first().toString()), packet(2, "abc", 128).mid(3, 128));
}

void TestYmodem::endOfFile()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    // An EOT with no transfer under way ends nothing.
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), QByteArray());
    QVERIFY(port->isOpen());

    QVERIFY(start("eot.bin", "1024 13745061234 100644"));  // size with further fields
    port->feed(packet(2, pattern(1024, 3)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    // EOT and a stray byte in one read: the EOT counts, the stray byte not.
    port->feed(QByteArray(1, EOT) + 'x');
    QCOMPARE(port->take(), QByteArray(1, NAK));
    QVERIFY(port->isOpen());
    QCOMPARE(done.size(), 0);
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), AckC);
    QVERIFY(!port->isOpen());
    QVERIFY(done.wait(10000));
    QCOMPARE(readFile(done.first().first().toString()), pattern(1024, 3));
}

void TestYmodem::earlierFileKept()
{
    // Files named as the received file would be (this second and the next
    // few) are left as they are; the transfer gets a name of its own.
    QStringList earlier;
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 5; ++s) {
        QFile f(m_dir.filePath("same.bin" + now.addSecs(s).toString("yyyyMMddhhmmss")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("earlier") == 7);
        earlier << f.fileName();
    }
    QSignalSpy done(rx, &ymodem::finRcv);
    QVERIFY(start("same.bin", "4"));
    port->feed(packet(2, "BBBB", 128));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(done.wait(10000));
    const QString name = done.first().first().toString();
    QVERIFY2(name.endsWith("_1"), qPrintable(name));
    QCOMPARE(readFile(name), QByteArray("BBBB"));
    for (const QString &f : earlier)
        QCOMPARE(readFile(f), QByteArray("earlier"));
}

void TestYmodem::firstData_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");  // fed one after the other
    QTest::addColumn<int>("fileBlock");               // block number the file starts at
    const QByteArray p1 = packet(1, "device"), p2 = packet(2, "device");
    QTest::newRow("one packet") << QList<QByteArray>{ p1 } << 2;
    QTest::newRow("block 1 twice") << QList<QByteArray>{ p1 + p1 } << 2;
    QTest::newRow("blocks 1 and 2") << QList<QByteArray>{ p1 + p2 } << 3;
    QTest::newRow("split in the second") << QList<QByteArray>{ p1 + p2.left(500), p2.mid(500) } << 3;
    QTest::newRow("split between blocks 1, 2") << QList<QByteArray>{ p1, p2 } << 3;
    QTest::newRow("split between blocks 1, 1") << QList<QByteArray>{ p1, p1 } << 2;
}

void TestYmodem::firstData()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(int, fileBlock);
    // The device's own first data, one packet or two sent together, takes
    // one ACK once the line is quiet, and none of it is kept.
    rx->setFirstDataQuietTime(100);
    QSignalSpy done(rx, &ymodem::finRcv);
    port->feed(header("first.bin", "2048"));
    QCOMPARE(port->take(), AckC);
    for (const QByteArray &bytes : arrivals)
        port->feed(bytes);
    QTRY_COMPARE(port->written, QByteArray(1, ACK));
    port->take();
    const QByteArray body = pattern(2048, 7);
    port->feed(packet(fileBlock, body.left(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(packet(fileBlock + 1, body.mid(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QCOMPARE(port->take(), QByteArray(1, NAK) + AckC);
    QVERIFY(done.wait(10000));
    QCOMPARE(readFile(done.first().first().toString()), body);
}

void TestYmodem::damagedAndRepeated()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    QSignalSpy failed(rx, &ymodem::transferFailed);

    // A damaged header is refused and nothing starts.
    QByteArray badHeader = header("dmg.bin", "2048");
    badHeader[10] = char(badHeader.at(10) ^ 1);
    port->feed(badHeader);
    QCOMPARE(port->take(), QByteArray(1, NAK));
    QVERIFY(!rx->transferStarted);
    QVERIFY(start("dmg.bin", "2048"));

    const QByteArray body = pattern(2048, 11);
    QByteArray badCrc = packet(2, body.left(1024));
    badCrc[1028] = char(badCrc.at(1028) ^ 0x40);
    port->feed(badCrc);
    QCOMPARE(port->take(), QByteArray(1, NAK));
    QByteArray badData = packet(2, body.left(1024));
    badData[500] = char(badData.at(500) ^ 0xFF);
    port->feed(badData);
    QCOMPARE(port->take(), QByteArray(1, NAK));
    QByteArray badComplement = packet(2, body.left(1024));
    badComplement[2] = 0;
    port->feed(badComplement);
    QCOMPARE(port->take(), QByteArray(1, NAK));

    port->feed(packet(2, body.left(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    // Our ACK got lost: the same block again is acknowledged, not written twice.
    port->feed(packet(2, body.left(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(packet(3, body.mid(1024)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(done.wait(10000));
    QCOMPARE(readFile(done.first().first().toString()), body);
    QCOMPARE(failed.size(), 0);
}

void TestYmodem::splitPackets()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    const QByteArray head = header("split.bin", "3072");
    port->feed(head.left(1));
    port->feed(head.mid(1, 60));
    QCOMPARE(port->take(), QByteArray());
    port->feed(head.mid(61));
    QCOMPARE(port->take(), AckC);

    const QByteArray body = pattern(3072, 21);
    // The first block in single bytes.
    const QByteArray first = packet(1, "device");
    for (int i = 0; i < first.size(); ++i) {
        port->feed(first.mid(i, 1));
        QCOMPARE(port->take(), i + 1 < first.size() ? QByteArray() : QByteArray(1, ACK));
    }
    // A packet in uneven pieces, then two packets in one read.
    const QByteArray p2 = packet(2, body.left(1024));
    port->feed(p2.left(300));
    port->feed(p2.mid(300, 700));
    QCOMPARE(port->take(), QByteArray());
    port->feed(p2.mid(1000));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    port->feed(packet(3, body.mid(1024, 1024)) + packet(4, body.mid(2048)));
    QCOMPARE(port->take(), QByteArray(2, ACK));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(done.wait(10000));
    QCOMPARE(readFile(done.first().first().toString()), body);
}

void TestYmodem::headerNames_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("stored");
    QTest::newRow("plain") << QByteArray("log.bin") << "log.bin";
    QTest::newRow("parent directories") << QByteArray("../../x") << "x";
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << "passwd";
    QTest::newRow("windows path") << QByteArray("C:\\logs\\ev.bin") << "ev.bin";
    QTest::newRow("mixed separators") << QByteArray("a/b\\..\\c.log") << "c.log";
    QTest::newRow("forbidden characters") << QByteArray("a<b>:c\"|?*d.bin") << "abcd.bin";
    QTest::newRow("control characters") << QByteArray("ev\x01\x1f\x7flog") << "evlog";
    QTest::newRow("latin-1 kept") << QByteArray("journ\xe9""e") << QString::fromLatin1("journ\xe9""e");
    QTest::newRow("dot dot") << QByteArray("..") << "eventlog";
    QTest::newRow("trailing separator") << QByteArray("dir/") << "eventlog";
    QTest::newRow("only forbidden") << QByteArray("??**") << "eventlog";
    QTest::newRow("dots and spaces") << QByteArray(" . . ") << "eventlog";
    QTest::newRow("hidden name") << QByteArray(".profile") << "profile";
}

void TestYmodem::headerNames()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, stored);
    QCOMPARE(ymodem::safeFileName(header), stored);
}

void TestYmodem::hostileHeaderStaysInDirectory()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    QVERIFY(start("../../escape", "3"));
    port->feed(packet(2, "abc", 128));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(done.wait(10000));
    const QFileInfo stored(done.first().first().toString());
    QCOMPARE(stored.absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
    QVERIFY(stored.fileName().startsWith("escape"));
    QCOMPARE(readFile(stored.filePath()), QByteArray("abc"));
}

void TestYmodem::failures()
{
    QSignalSpy done(rx, &ymodem::finRcv);
    QSignalSpy failed(rx, &ymodem::transferFailed);
    auto files = [this] { return QDir(m_dir.path()).entryList(QDir::Files); };

    // A block out of sequence (one went missing): stop, keep nothing.
    QVERIFY(start("seq.bin", "4096"));
    port->feed(packet(2, pattern(1024, 1)));
    port->take();
    QCOMPARE(files().size(), 1);
    port->feed(packet(4, pattern(1024, 2)));
    QCOMPARE(port->take(), QByteArray(2, CAN));
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.last().first().toString().contains("out of sequence"));
    QVERIFY(files().isEmpty());
    QVERIFY(!port->isOpen());

    // Damaged again and again.
    port->open(QIODevice::ReadWrite);
    QVERIFY(start("bad.bin", "1024"));
    QByteArray bad = packet(2, pattern(1024, 1));
    bad[1027] = char(bad.at(1027) ^ 1);
    for (int i = 0; i < 9; ++i) {
        port->feed(bad);
        QCOMPARE(port->take(), QByteArray(1, NAK));
    }
    port->feed(bad);
    QCOMPARE(port->take(), QByteArray(2, CAN));
    QCOMPARE(failed.size(), 2);
    QVERIFY(files().isEmpty());

    // The device cancels.
    port->open(QIODevice::ReadWrite);
    QVERIFY(start("can.bin", "1024"));
    port->feed(QByteArray(2, CAN));
    QCOMPARE(failed.size(), 3);
    QVERIFY(files().isEmpty());

    // An empty header: the device has nothing to send.
    port->open(QIODevice::ReadWrite);
    port->feed(packet(0, QByteArray(), 128, 0));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    QCOMPARE(failed.size(), 4);
    QVERIFY(files().isEmpty());

    // Cancelled by the page (window closing): the device is told, nothing kept,
    // nothing emitted.
    port->open(QIODevice::ReadWrite);
    QVERIFY(start("stop.bin", "2048"));
    port->feed(packet(2, pattern(1024, 1)));
    port->take();
    rx->cancelTransfer();
    QCOMPARE(port->take(), QByteArray(2, CAN));
    QVERIFY(!port->isOpen());
    QVERIFY(files().isEmpty());
    QCOMPARE(failed.size(), 4);
    QCOMPARE(done.size(), 0);

    // And a new transfer runs normally afterwards.
    port->open(QIODevice::ReadWrite);
    QVERIFY(start("after.bin", "2"));
    port->feed(packet(2, "ok", 128));
    port->feed(QByteArray(1, EOT));
    port->feed(QByteArray(1, EOT));
    QVERIFY(done.wait(10000));
    QCOMPARE(readFile(done.first().first().toString()), QByteArray("ok"));
}

void TestYmodem::stall()
{
    rx->setStallTimeout(400);
    QSignalSpy failed(rx, &ymodem::transferFailed);
    QSignalSpy done(rx, &ymodem::finRcv);
    QVERIFY(start("stall.bin", "4096"));
    port->feed(packet(2, pattern(1024, 1)));
    QCOMPARE(port->take(), QByteArray(1, ACK));
    QVERIFY(failed.wait(10000));
    QVERIFY(failed.first().first().toString().contains("stalled"));
    QVERIFY(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
    QVERIFY(!port->isOpen());
    QCOMPARE(done.size(), 0);
}

QTEST_GUILESS_MAIN(TestYmodem)
#include "test_ymodem.moc"

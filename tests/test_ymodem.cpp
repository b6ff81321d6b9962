// The YMODEM receiver fed with byte streams: what it answers, what ends up in
// the local file, and how it ends a transfer that goes wrong. Its waits run
// at a tenth of their length.
#include "link/pacing.h"
#include "sim/memoryport.h"
#include "tools/ymodem.h"

#include <QtTest>

namespace {
const QByteArray Ack(1, 0x06), AckC = Ack + 'C', Nak(1, 0x15), Can(2, 0x18), Eot(1, 0x04);
// What the device sends and what the receiver answers; no bytes stand for
// the page cancelling the transfer.
using Steps = QList<QPair<QByteArray, QByteArray>>;

QByteArray packet(int block, const QByteArray &payload, int size = 1024, char pad = 0x1A)
{
    QByteArray data = payload.left(size);
    data += QByteArray(size - data.size(), pad);
    const quint16 crc = ymodem::crc16(data);
    return QByteArray(1, size == 128 ? 0x01 : 0x02) + char(block) + char(~block) + data
           + char(crc >> 8) + char(crc & 0xFF);
}
}

class TestYmodem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        pacing::setScale(0.1);
        QCOMPARE(ymodem::crc16("123456789"), quint16(0x31C3));
    }

    void transfer_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("stored");   // name the file is stored under; empty: none
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("failure");  // part of the reason given; empty: none

        QByteArray body;
        for (int i = 0; i < 3072; ++i)
            body += char(i * 7 + 1);
        const QByteArray one = body.left(1024), two = body.left(2048);
        const QByteArray p1 = packet(1, "device"), p2 = packet(2, "device"), good2 = packet(2, one);
        auto header = [](const QByteArray &name, const QByteArray &size) {
            return packet(0, name + '\0' + size + '\0', 128, 0);
        };
        auto damaged = [](QByteArray p, int at) { p[at] = char(p.at(at) ^ 0x41); return p; };
        auto start = [&](const QByteArray &name, const QByteArray &size) {
            return Steps{ { header(name, size), AckC }, { p1, Ack } };
        };
        auto data = [&](int block, int from, int size) {
            return Steps{ { packet(block, body.mid(from, size), size), Ack } };
        };
        const Steps end{ { Eot, Nak }, { Eot, AckC } };
        // The device's first data (one packet, or two sent together) takes one
        // ACK once the line is quiet, and none of it is kept.
        auto firstData = [&](const Steps &arrivals, int fileBlock) {
            return Steps{ { header("first.bin", "2048"), AckC } } + arrivals + data(fileBlock, 0, 1024)
                   + data(fileBlock + 1, 1024, 1024) + end;
        };

        QTest::newRow("whole transfer: 128-byte packet, size cut, stray bytes, lone CAN")
            << Steps{ { Eot, "" } } + start("log.bin", "1300 13745061234 100644") + data(2, 0, 128)
                   + Steps{ { Can.left(1) + packet(3, body.mid(128, 1024)), Ack } } + data(4, 1152, 1024)
                   + Steps{ { Eot + 'x', Nak }, { Eot, AckC } }
            << "log.bin" << body.left(1300) << "";
        QTest::newRow("no size: whole blocks, padding kept")
            << start("nosize.bin", "size?") + Steps{ { packet(2, body.left(3), 128), Ack } } + end
            << "nosize.bin" << body.left(3) + QByteArray(125, 0x1A) << "";
        QTest::newRow("first data: split in the second")
            << firstData({ { p1 + p2.left(500), "" }, { p2.mid(500), Ack } }, 3) << "first.bin" << two
            << "";
        QTest::newRow("first data: split between 1, 2")
            << firstData({ { p1, "" }, { p2, Ack } }, 3) << "first.bin" << two << "";
        QTest::newRow("first data: split between 1, 1")
            << firstData({ { p1, "" }, { p1, Ack } }, 2) << "first.bin" << two << "";
        QByteArray badComplement = good2;
        badComplement[2] = 0;
        QTest::newRow("damaged packets asked again, a repeat kept once")
            << Steps{ { damaged(header("dmg.bin", "2048"), 10), Nak } } + start("dmg.bin", "2048")
                   + Steps{ { damaged(good2, 1028), Nak }, { damaged(good2, 500), Nak },
                            { badComplement, Nak }, { good2, Ack }, { good2, Ack } }
                   + data(3, 1024, 1024) + end
            << "dmg.bin" << two << "";
        const QByteArray head = header("split.bin", "3072"), p3 = packet(3, body.mid(1024, 1024));
        QTest::newRow("split packets, two in one read")
            << Steps{ { head.left(1), "" }, { head.mid(1, 60), "" }, { head.mid(61), AckC },
                      { p1.left(1), "" }, { p1.mid(1, 1027), "" }, { p1.right(1), Ack },
                      { good2.left(300), "" }, { good2.mid(300), Ack },
                      { p3 + packet(4, body.mid(2048)), Ack + Ack } } + end
            << "split.bin" << body << "";
        QTest::newRow("hostile name stays in the folder")
            << start("../../escape", "3") + data(2, 0, 128) + end << "escape" << body.left(3) << "";

        QTest::newRow("packet missing") << start("seq.bin", "4096") + data(2, 0, 1024)
                                               + Steps{ { packet(4, one), Can } }
                                        << "" << QByteArray() << "out of sequence";
        Steps tenBad = start("bad.bin", "1024");
        for (int i = 0; i < 10; ++i)
            tenBad << qMakePair(damaged(good2, 1027), i < 9 ? Nak : Can);
        QTest::newRow("damaged ten times") << tenBad << "" << QByteArray() << "too many damaged";
        QTest::newRow("device cancels") << start("can.bin", "1024") + Steps{ { Can, "" } } << ""
                                        << QByteArray() << "cancelled by the device";
        QTest::newRow("empty header") << Steps{ { packet(0, "", 128, 0), Ack } } << "" << QByteArray()
                                      << "sent no event log file";
        QTest::newRow("cancelled by the page") << start("stop.bin", "2048") + data(2, 0, 1024)
                                                      + Steps{ { QByteArray(), Can } }
                                               << "" << QByteArray() << "";
    }

    void transfer()
    {
        QFETCH(Steps, steps);
        QFETCH(QString, stored);
        QFETCH(QByteArray, file);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        sim::MemoryPort port;
        ymodem rx;
        rx.setDevice(&port);
        QSignalSpy done(&rx, &ymodem::finRcv), failed(&rx, &ymodem::transferFailed);
        rx.sendStartRequest();
        QCOMPARE(port.take(), QByteArray("C"));
        for (const auto &step : steps) {
            if (step.first.isEmpty())
                rx.cancelTransfer();
            else
                port.feed(step.first);
            QTRY_COMPARE(port.written, step.second);
            port.take();
        }
        QSignalSpy &ended = stored.isEmpty() ? failed : done;
        if (!stored.isEmpty() || !failure.isEmpty())
            QVERIFY(ended.size() == 1 || ended.wait(10000));
        QCOMPARE(done.size() + failed.size(), stored.isEmpty() && failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QVERIFY2(failed.first().first().toString().contains(failure),
                     qPrintable(failed.first().first().toString()));
        QVERIFY(!port.isOpen());
        QCOMPARE(port.take(), QByteArray());

        // A finished file in the receiving folder; nothing left of any other.
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), stored.isEmpty() ? 0 : 1);
        if (stored.isEmpty())
            return;
        const QRegularExpression name("^" + QRegularExpression::escape(stored) + "\\d{14}$");
        QVERIFY2(name.match(files.first()).hasMatch(), qPrintable(files.first()));
        QCOMPARE(QFileInfo(done.first().first().toString()), QFileInfo(dir.filePath(files.first())));
        QFile f(dir.filePath(files.first()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), file);
    }

    // The device's file name becomes a plain name in the receiving folder.
    void headerNames()
    {
        const QList<QPair<QByteArray, QString>> names{
            { "../../x", "x" }, { "C:\\logs\\ev.bin", "ev.bin" }, { "a<b>:c\"|?*d.bin", "abcd.bin" },
            { "ev\x01\x1f\x7flog", "evlog" }, { "journ\xe9", QString::fromLatin1("journ\xe9") },
            { "..", "eventlog" }, { " . . ", "eventlog" }, { ".profile", "profile" } };
        for (const auto &name : names)
            QCOMPARE(ymodem::safeFileName(name.first), name.second);
    }
};

QTEST_GUILESS_MAIN(TestYmodem)
#include "test_ymodem.moc"

// The simulated bridge on its own, driven by a plain libmodbus client.
#include "sim/simbridge.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <modbus.h>

#include <cerrno>
#include <memory>
#include <poll.h>
#include <unistd.h>

using namespace sim;

namespace {

modbus_t *openClient(const QString &path, int timeoutMs = 1000)
{
    modbus_t *ctx = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
    if (!ctx)
        return nullptr;
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 0, uint32_t(timeoutMs) * 1000);
    if (modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return nullptr;
    }
    return ctx;
}

void closeClient(modbus_t *ctx)
{
    if (ctx) {
        modbus_close(ctx);
        modbus_free(ctx);
    }
}

// Register text: two characters per register, the first in the high byte.
QVector<uint16_t> textRegs(const QByteArray &text, int count)
{
    QVector<uint16_t> r(count, 0);
    for (int i = 0; i < text.size() && i < 2 * count; ++i)
        r[i / 2] |= uint16_t(quint8(text.at(i)) << (i % 2 ? 0 : 8));
    return r;
}

FaultRule rule(Fault kind, int first, int last, int count, int code = 2)
{
    FaultRule r;
    r.kind = kind;
    r.first = first;
    r.last = last;
    r.count = count;
    r.code = code;
    return r;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
    std::unique_ptr<SimBridge> sim;
    modbus_t *ctx = nullptr;

    QVector<quint16> read(int address, int count, int *rc = nullptr)
    {
        QVector<uint16_t> buf(count, 0);
        const int r = modbus_read_registers(ctx, address, count, buf.data());
        if (rc)
            *rc = r;
        return r == count ? buf : QVector<quint16>();
    }
    int login(const QByteArray &user, const QByteArray &password)
    {
        const QVector<uint16_t> v = textRegs(user, 8) + textRegs(password, 8);
        return modbus_write_registers(ctx, 199, 16, v.constData());
    }

private slots:
    void init()
    {
        sim.reset(new SimBridge);
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        QVERIFY(sim->portPath().startsWith("/dev/pts/"));
        ctx = openClient(sim->portPath());
        QVERIFY(ctx);
    }
    void cleanup()
    {
        closeClient(ctx);
        ctx = nullptr;
        sim.reset();
    }

    void readWriteAndLog()
    {
        QCOMPARE(modbus_write_register(ctx, 801, 120), 1);
        const uint16_t v[3] = {7, 8, 9};
        QCOMPARE(modbus_write_registers(ctx, 0xFFFD, 3, v), 3);  // the top of the map
        QCOMPARE(read(801, 1), (QVector<quint16>{120}));
        QCOMPARE(sim->regs(0xFFFD, 3), (QVector<quint16>{7, 8, 9}));
        QCOMPARE(sim->writes().size(), 2);
        QCOMPARE(sim->writes().at(0).start, 801);
        QCOMPARE(sim->writes().at(0).values, (QVector<quint16>{120}));
        QCOMPARE(sim->writes().at(1).values, (QVector<quint16>{7, 8, 9}));
        QCOMPARE(sim->writesIn(0xFFFF, 0xFFFF).size(), 1);
        // Beyond 0xFFFF: exception 2, nothing stored.
        QCOMPARE(modbus_write_registers(ctx, 0xFFFE, 3, v), -1);
        QCOMPARE(errno, int(EMBXILADD));
        QCOMPARE(sim->reg(0xFFFE), quint16(8));
        // An unsupported function: exception 1.
        uint16_t in[1];
        QCOMPARE(modbus_read_input_registers(ctx, 0, 1, in), -1);
        QCOMPARE(errno, int(EMBXILFUN));
        // Another address gets no answer; the next request is served again.
        modbus_set_slave(ctx, 2);
        modbus_set_response_timeout(ctx, 0, 300000);
        QCOMPARE(modbus_read_registers(ctx, 0, 1, in), -1);
        QCOMPARE(errno, ETIMEDOUT);
        modbus_set_slave(ctx, 1);
        QCOMPARE(read(801, 1), (QVector<quint16>{120}));
        sim->clearWrites();
        QVERIFY(sim->writes().isEmpty());
    }

    void login()
    {
        const QVector<quint16> before = sim->regs(199, 16);
        QCOMPARE(login("admin", "wrong"), -1);
        QCOMPARE(errno, int(EMBXILVAL));
        QCOMPARE(login("admin", "admin"), 16);
        QCOMPARE(sim->regs(199, 16), before);  // the LoRaWAN keys are untouched
        QCOMPARE(sim->writesIn(199, 214).size(), 2);
        QCOMPARE(sim->writes().at(1).values, textRegs("admin", 8) + textRegs("admin", 8));
        // New credentials take effect for the next login.
        const QVector<uint16_t> pw = textRegs("s3cret", 8);
        QCOMPARE(modbus_write_registers(ctx, 188, 8, pw.constData()), 8);
        QCOMPARE(sim->text(188, 8), QString("s3cret"));
        QCOMPARE(login("admin", "admin"), -1);
        QCOMPARE(login("admin", "s3cret"), 16);
        // A write overlapping 199.. differently is stored.
        const uint16_t v[2] = {0x1234, 0x5678};
        QCOMPARE(modbus_write_registers(ctx, 199, 2, v), 2);
        QCOMPARE(sim->regs(199, 2), (QVector<quint16>{0x1234, 0x5678}));
    }

    // Each fault kind on the requests it names, and the request after it.
    void faults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("function");  // 3: read 10 at 300, 6: write 5 to 306
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("stored");    // what 306 holds after the faulty write
        QTest::newRow("exception 4 on a read") << int(Fault::Exception) << 3 << int(EMBXSFAIL) << 0;
        QTest::newRow("exception 4 on a write") << int(Fault::Exception) << 6 << int(EMBXSFAIL) << 0;
        QTest::newRow("no answer to a write") << int(Fault::NoAnswer) << 6 << ETIMEDOUT << 0;
        QTest::newRow("damaged CRC, the device acted") << int(Fault::BadCrc) << 6 << int(EMBBADCRC) << 5;
        QTest::newRow("short reply to a read") << int(Fault::ShortReply) << 3 << int(EMBBADDATA) << 0;
    }
    void faults()
    {
        QFETCH(int, function);
        QFETCH(int, kind);
        FaultRule r = rule(Fault(kind), 300, 310, 1, 4);
        r.function = function;
        sim->addFault(r);
        modbus_set_response_timeout(ctx, 0, 300000);
        QCOMPARE(read(0, 4).size(), 4);  // outside the range or function: answered
        int rc = 0;
        if (function == 3)
            read(295, 10, &rc);  // overlaps 300
        else
            rc = modbus_write_register(ctx, 306, 5);
        QCOMPARE(rc, -1);
        QTEST(errno, "error");
        QTEST(int(sim->reg(306)), "stored");
        QCOMPARE(modbus_write_register(ctx, 306, 5), 1);  // the rule has expired
        QCOMPARE(read(306, 1), (QVector<quint16>{ 5 }));
    }

    void extraBytes()
    {
        // The reply is fine, three stray bytes follow it.
        sim->addFault(rule(Fault::ExtraBytes, 0, 10, 1));
        QCOMPARE(read(0, 2), (QVector<quint16>{0, 8}));
        pollfd p{modbus_get_socket(ctx), POLLIN, 0};
        QByteArray stray;
        while (stray.size() < 3 && ::poll(&p, 1, 500) > 0) {
            char buf[16];
            const ssize_t n = ::read(p.fd, buf, sizeof buf);
            if (n <= 0)
                break;
            stray.append(buf, int(n));
        }
        QCOMPARE(stray.size(), 3);
        QCOMPARE(read(0, 2), (QVector<quint16>{0, 8}));
    }

    // Paced, a round trip takes at least the wire time of request and reply
    // plus the turnaround, and the values are those of an unpaced bridge.
    // Only the lower bound is checked: a loaded machine may take longer.
    void pacedRoundTrip()
    {
        sim->setPaced(true);
        QVERIFY(sim->paced());
        const auto atLeast = [](int requestBytes, int replyBytes) {
            return qint64((line::wireMicros(requestBytes + replyBytes) + line::kTurnaroundMicros) * 1000);
        };
        QElapsedTimer t;
        t.start();
        QCOMPARE(read(0, 5), (QVector<quint16>{0, 8, 1, 0, 1}));
        const qint64 small = t.nsecsElapsed();
        QVERIFY2(small >= atLeast(8, 5 + 10), qPrintable(QString::number(small)));

        sim->setRegs(1000, QVector<quint16>(100, 0xA55A));
        t.restart();
        QCOMPARE(read(1000, 100), QVector<quint16>(100, 0xA55A));
        const qint64 large = t.nsecsElapsed();
        QVERIFY2(large >= atLeast(8, 5 + 200), qPrintable(QString::number(large)));

        const uint16_t v[3] = {4, 5, 6};
        t.restart();
        QCOMPARE(modbus_write_registers(ctx, 801, 3, v), 3);
        QVERIFY(t.nsecsElapsed() >= atLeast(9 + 6, 8));
        QCOMPARE(sim->regs(801, 3), (QVector<quint16>{4, 5, 6}));

        sim->setPaced(false);
        QCOMPARE(read(801, 1), (QVector<quint16>{4}));
    }

    void unplugReplug()
    {
        closeClient(ctx);
        ctx = nullptr;
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyNB");
        QFile stale(link);  // a stale file at the link path is replaced
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        Options o;
        o.linkPath = link;
        sim.reset(new SimBridge(o));
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        QCOMPARE(sim->portPath(), link);
        QVERIFY(QFileInfo(link).isSymLink());
        ctx = openClient(link);
        QVERIFY(ctx);
        QCOMPARE(modbus_write_register(ctx, 600, 42), 1);

        sim->unplug();
        QVERIFY(!QFileInfo(link).exists() && !QFileInfo(link).isSymLink());
        QElapsedTimer t;
        t.start();
        QCOMPARE(modbus_write_register(ctx, 600, 43), -1);  // the adapter is gone
        QVERIFY(t.elapsed() < 900);                          // an error, not a time-out

        QVERIFY(sim->replug());
        QVERIFY(QFileInfo(link).isSymLink());
        uint16_t v = 0;
        QCOMPARE(modbus_read_registers(ctx, 600, 1, &v), -1);  // the old handle stays dead
        closeClient(ctx);
        ctx = openClient(link);
        QVERIFY(ctx);
        QCOMPARE(read(600, 1), (QVector<quint16>{42}));  // registers are kept
        QCOMPARE(sim->writes().size(), 1);               // and so are the writes
        closeClient(ctx);
        ctx = nullptr;
        sim.reset();
        QVERIFY(!QFileInfo(link).isSymLink());  // removed by the destructor
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"

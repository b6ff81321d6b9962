// The simulated bridge on its own, driven by a plain libmodbus client: what
// the window tests cannot see through the window (each injected fault really
// on the line, the login, line timing, the port going and coming back).
#include "sim/simbridge.h"

#include <QtTest>

#include <modbus.h>

#include <cerrno>
#include <memory>
#include <poll.h>
#include <unistd.h>

using namespace sim;

namespace {

modbus_t *openClient(const QString &path, int timeoutMs = 300)
{
    modbus_t *ctx = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
    if (ctx && (modbus_set_slave(ctx, 1) != 0
                || modbus_set_response_timeout(ctx, timeoutMs / 1000, timeoutMs % 1000 * 1000) != 0
                || modbus_connect(ctx) != 0)) {
        modbus_free(ctx);
        return nullptr;
    }
    return ctx;
}

void closeClient(modbus_t *&ctx)
{
    if (ctx) {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    ctx = nullptr;
}

// Register text: two characters per register, the first in the high byte.
QVector<uint16_t> textRegs(const QByteArray &text)
{
    QVector<uint16_t> r(8, 0);
    for (int i = 0; i < text.size(); ++i)
        r[i / 2] |= uint16_t(quint8(text.at(i)) << (i % 2 ? 0 : 8));
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
        const QVector<uint16_t> v = textRegs(user) + textRegs(password);
        return modbus_write_registers(ctx, 199, 16, v.constData());
    }

private slots:
    void init()
    {
        sim.reset(new SimBridge);
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        ctx = openClient(sim->portPath());
        QVERIFY(ctx);
    }
    void cleanup()
    {
        closeClient(ctx);
        sim.reset();
    }

    // Each fault kind on the requests it names, once; the requests around it
    // are answered.
    void faults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("function");  // 3: read 10 at 295, 6: write 5 to 306
        QTest::addColumn<int>("error");     // 0: answered
        QTest::addColumn<int>("stored");    // what 306 holds after the request
        QTest::newRow("exception 4 on a read") << int(Fault::Exception) << 3 << int(EMBXSFAIL) << 0;
        QTest::newRow("exception 4 on a write") << int(Fault::Exception) << 6 << int(EMBXSFAIL) << 0;
        QTest::newRow("no answer to a write") << int(Fault::NoAnswer) << 6 << ETIMEDOUT << 0;
        QTest::newRow("damaged CRC, the device acted") << int(Fault::BadCrc) << 6 << int(EMBBADCRC) << 5;
        QTest::newRow("short reply to a read") << int(Fault::ShortReply) << 3 << int(EMBBADDATA) << 0;
        QTest::newRow("stray bytes after a reply") << int(Fault::ExtraBytes) << 3 << 0 << 0;
    }
    void faults()
    {
        QFETCH(int, kind);
        QFETCH(int, function);
        QFETCH(int, error);
        sim->addFault({ Fault(kind), 300, 310, 4, function, 1 });
        QCOMPARE(read(0, 4).size(), 4);  // outside the range: answered
        int rc = 0;
        if (function == 3)
            read(295, 10, &rc);
        else
            rc = modbus_write_register(ctx, 306, 5);
        QCOMPARE(rc, error ? -1 : 10);
        if (error)
            QCOMPARE(errno, error);
        QTEST(int(sim->reg(306)), "stored");
        if (kind == int(Fault::ExtraBytes)) {
            pollfd p{ modbus_get_socket(ctx), POLLIN, 0 };
            QByteArray stray;
            char buf[16];
            ssize_t n = 0;
            while (stray.size() < 3 && ::poll(&p, 1, 2000) > 0 && (n = ::read(p.fd, buf, sizeof buf)) > 0)
                stray.append(buf, int(n));
            QCOMPARE(stray.size(), 3);
        }
        QCOMPARE(modbus_write_register(ctx, 306, 6), 1);  // the rule has expired
        QCOMPARE(read(306, 1), (QVector<quint16>{ 6 }));
    }

    void login()
    {
        const QVector<quint16> keys = sim->regs(199, 16);
        QCOMPARE(login("admin", "wrong"), -1);
        QCOMPARE(errno, int(EMBXILVAL));
        QCOMPARE(login("admin", "admin"), 16);
        QCOMPARE(sim->regs(199, 16), keys);  // the LoRaWAN keys there are untouched
        QCOMPARE(sim->writesIn(199, 214).size(), 2);
        // New credentials take effect for the next login.
        const QVector<uint16_t> pw = textRegs("s3cret");
        QCOMPARE(modbus_write_registers(ctx, 188, 8, pw.constData()), 8);
        QCOMPARE(login("admin", "admin"), -1);
        QCOMPARE(login("admin", "s3cret"), 16);
        // Any other write at 199 is stored.
        const uint16_t v[2] = { 0x1234, 0x5678 };
        QCOMPARE(modbus_write_registers(ctx, 199, 2, v), 2);
        QCOMPARE(sim->regs(199, 2), (QVector<quint16>{ 0x1234, 0x5678 }));
    }

    // Paced, a round trip takes at least the wire time of request and reply
    // plus the turnaround, and gives what an unpaced bridge gives. Only the
    // lower bound is checked: a loaded machine may take longer.
    void pacedRoundTrip()
    {
        sim->setPaced(true);
        sim->setRegs(1000, QVector<quint16>(100, 0xA55A));
        const auto atLeast = [](int bytes) {
            return qint64((line::wireMicros(bytes) + line::kTurnaroundMicros) * 1000);
        };
        QElapsedTimer t;
        t.start();
        QCOMPARE(read(1000, 1), (QVector<quint16>{ 0xA55A }));
        QVERIFY2(t.nsecsElapsed() >= atLeast(8 + 7), qPrintable(QString::number(t.nsecsElapsed())));
        t.restart();
        QCOMPARE(read(1000, 100), QVector<quint16>(100, 0xA55A));
        QVERIFY2(t.nsecsElapsed() >= atLeast(8 + 205), qPrintable(QString::number(t.nsecsElapsed())));
        const uint16_t v[3] = { 4, 5, 6 };
        t.restart();
        QCOMPARE(modbus_write_registers(ctx, 1000, 3, v), 3);
        QVERIFY(t.nsecsElapsed() >= atLeast(15 + 8));
        sim->setPaced(false);
        QCOMPARE(read(1000, 4), (QVector<quint16>{ 4, 5, 6, 0xA55A }));
    }

    void unplugReplug()
    {
        closeClient(ctx);
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyNB");
        QFile stale(link);  // a stale file at the link path is replaced
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        Options o;
        o.linkPath = link;
        sim.reset(new SimBridge(o));
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        QVERIFY(sim->portPath() == link && QFileInfo(link).isSymLink());
        ctx = openClient(link, 3000);
        QVERIFY(ctx);
        QCOMPARE(modbus_write_register(ctx, 600, 42), 1);

        sim->unplug();
        QVERIFY(!QFileInfo(link).isSymLink());
        QElapsedTimer t;
        t.start();
        QCOMPARE(modbus_write_register(ctx, 600, 43), -1);  // the adapter is gone:
        QVERIFY(t.elapsed() < 2000);                         // an error, not a time-out

        QVERIFY(sim->replug() && QFileInfo(link).isSymLink());
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(ctx, 600, 1, &value), -1);  // the old handle stays dead
        closeClient(ctx);
        ctx = openClient(link);
        QVERIFY(ctx);
        QCOMPARE(read(600, 1), (QVector<quint16>{ 42 }));  // registers and writes are kept
        QCOMPARE(sim->writes().size(), 1);
        closeClient(ctx);
        sim.reset();
        QVERIFY(!QFileInfo(link).isSymLink());  // removed by the destructor
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"

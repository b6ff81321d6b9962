// The link faults for actions that take more than one request or wait on
// purpose: the table reads with their pauses (RTU sensor table Reload, rule
// chain and chain monitor), a device that answers just inside or just
// outside the response time-out, a device that disappears in the middle of a
// login, a table read or an event log transfer and comes back, and a window
// closed or deleted during every kind of wait.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "tools/ymodem.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QModbusClient>
#include <QModbusReply>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {

constexpr int Wait = 30000;
// The table test's own time-out: short, so the eight blocks of a rule chain
// read that all go unanswered do not take half a minute.
constexpr int ResponseTimeout = 1000;

void enableAllTabs(Harness &h)
{
    auto *tabs = h.find<QTabWidget>("tabWidget");
    for (int tab = 0; tab < MainWindow::TabCount; ++tab)
        tabs->setTabEnabled(tab, true);
}

// A table read and what the page does with it.
struct TableRead {
    const char *name;
    const char *button;
    const char *view;
    int first;           // the registers the read covers
    int last;
    int entryStart;      // entry i at entryStart + i * entrySize
    int entrySize;
    QList<int> used;     // the entries the bridge holds
    bool clearsFirst;    // the page empties its copy before reading
    QString doneBox;     // shown at the end, whatever the replies were
};

const QList<TableRead> &tables()
{
    static const QList<TableRead> list{
        { "sensor table reload", "sensorUpdatePushButton", "sensorTableView", 500, 639, 500, 7,
          { 0, 3, 12, 19 }, true, "Read sensor-Configuration done, thanks for patience" },
        { "rule chain read", "ruleChkPushButton", "RuleVIew", 2402, 2801, 2402, 10, { 0, 7, 33 },
          true, "Read rule chain table configuration done, thanks for patience." },
        { "chain monitor read", "monitorCheckpushButton", "MonitorView", 2000, 2359, 2000, 9,
          { 0, 15, 39 }, false, QString() },
    };
    return list;
}

// One entry as the bridge keeps it, named `tag`.
Regs entryRegs(const TableRead &t, const QString &tag)
{
    Regs regs = codec::textToRegisters(tag, 4);
    if (t.entrySize == 7)
        regs += Regs{ 0x0305, 40001, 2 };        // sensor: fc 3, slave 5, address, quantity
    else if (t.entrySize == 10)
        regs += Regs{ 1, 2, 3, 4, 1, 0 };         // rule: in, in ch, out, out ch, type, value
    else
        regs += Regs{ 100, 1, 1, 0x6553, 0xF100 };  // monitor: value, type, result, time
    return regs;
}

// Fills the bridge's table: the used entries named prefix + number.
void fillTable(sim::SimBridge &bridge, const TableRead &t, const QString &prefix)
{
    bridge.setRegs(t.first, Regs(t.last - t.first + 1, 0));
    for (int e : t.used)
        bridge.setRegs(t.entryStart + e * t.entrySize, entryRegs(t, prefix + QString::number(e)));
}

struct FaultCase {
    const char *name;
    sim::Fault kind;
    int code;
    QString suffix;
};

// The table reads take seconds each, so they run a representative subset of
// the faults: no answer, an exception, a damaged frame and a short reply.
const QList<FaultCase> &tableFaults()
{
    static const QList<FaultCase> list{
        { "no answer", sim::Fault::NoAnswer, 0, "(code: 0x5)" },
        { "exception 2", sim::Fault::Exception, 2, "(Mobus exception: 0x2)" },
        { "damaged CRC", sim::Fault::BadCrc, 0, "(code: 0x5)" },
        { "short reply", sim::Fault::ShortReply, 0, "registers. (code: 0x1)" },
    };
    return list;
}

// Sends one-register reads until one is answered as asked: after a device
// answered late, its stale answer may come in place of the next one first.
bool settle(Harness &harness)
{
    Link *link = harness.window()->link();
    Link::Options quiet;
    quiet.silent = true;
    for (int attempt = 0; attempt < 4; ++attempt) {
        QObject request;  // an answer after the wait finds nothing to tell
        int error = -1;
        if (!link->read(0, 1, &request, Link::Decoder(),
                        [&error](QModbusDevice::Error e) { error = int(e); }, quiet))
            return false;
        if (!QTest::qWaitFor([&] { return error >= 0; }, 20000))
            return false;
        if (error == QModbusDevice::NoError)
            return true;
    }
    return false;
}

// Waits for a time in which something must not happen, with events running.
bool staysFalse(const std::function<bool()> &happened, int ms)
{
    return !QTest::qWaitFor(happened, ms);
}

} // namespace

class TestFaultMatrixTables : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void tableReads_data();
    void tableReads();
    void slowDevice_data();
    void slowDevice();
    void lateAnswer();
    void unplugDuring_data();
    void unplugDuring();
    void closeDuringWait_data();
    void closeDuringWait();

private:
    // The entries whose rows the table view shows, with the tag in column 0.
    QStringList shownTags(Harness &harness, const TableRead &t) const;
    Harness *h = nullptr;
};

void TestFaultMatrixTables::initTestCase()
{
    pacing::setScale(0.1);
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    enableAllTabs(*h);
}

void TestFaultMatrixTables::cleanupTestCase()
{
    delete h;
}

void TestFaultMatrixTables::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->bridge().setDelay(0);
    h->boxes.clear();
    h->window()->link()->clearMessage();
    h->window()->link()->device()->setTimeout(ResponseTimeout);
}

QStringList TestFaultMatrixTables::shownTags(Harness &harness, const TableRead &t) const
{
    auto *view = harness.find<QTableView>(QLatin1String(t.view));
    QStringList tags;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (!view->isRowHidden(row))
            tags << view->model()->index(row, 0).data().toString();
    }
    return tags;
}

void TestFaultMatrixTables::tableReads_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("fault");
    for (int t = 0; t < tables().size(); ++t)
        for (int f = 0; f < tableFaults().size(); ++f) {
            // A damaged frame ends like no answer (the client drops it and
            // times out); the Reload, with its fixed 3 s of waits, skips it.
            if (t == 0 && tableFaults().at(f).kind == sim::Fault::BadCrc)
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1, %2")
                                         .arg(tables().at(t).name, tableFaults().at(f).name)))
                << t << f;
        }
}

// A fault on the whole table: every block fails with the standard text, the
// page shows what it promises for a failed read (an emptied table where it
// clears first, the earlier rows where it does not), nothing is written, and
// the next read on a clean line shows the bridge's table.
void TestFaultMatrixTables::tableReads()
{
    QFETCH(int, table);
    QFETCH(int, fault);
    const TableRead &t = tables().at(table);
    const FaultCase &fc = tableFaults().at(fault);
    sim::SimBridge &bridge = h->bridge();
    auto *button = h->find<QPushButton>(QLatin1String(t.button));
    QVERIFY(button);
    QStringList good, earlier;
    for (int e : t.used) {
        good << QStringLiteral("B%1").arg(e);
        earlier << QStringLiteral("A%1").arg(e);
    }

    // What the page shows before: a good read of an older table.
    fillTable(bridge, t, QStringLiteral("A"));
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());
    QCOMPARE(shownTags(*h, t), earlier);

    fillTable(bridge, t, QStringLiteral("B"));
    h->boxes.clear();
    h->window()->link()->clearMessage();
    sim::FaultRule rule;
    rule.kind = fc.kind;
    rule.first = t.first;
    rule.last = t.last;
    rule.code = fc.code == 0 ? 2 : fc.code;
    bridge.addFault(rule);
    button->click();  // Reload runs its waits inside the click
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());  // late replies of the blocks handled too
    QVERIFY2(h->status().startsWith("Read response error: ") && h->status().endsWith(fc.suffix),
             qPrintable(h->status()));
    QCOMPARE(shownTags(*h, t), t.clearsFirst ? QStringList() : earlier);
    QCOMPARE(bridge.writes().size(), 0);
    if (!t.doneBox.isEmpty())
        QCOMPARE(h->boxes.lastText(), t.doneBox);

    bridge.clearFaults();
    h->boxes.clear();
    h->window()->link()->clearMessage();
    button->click();  // Reload runs its waits inside the click
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());
    QCOMPARE(shownTags(*h, t), good);
    QCOMPARE(bridge.writes().size(), 0);
    QVERIFY(!h->status().startsWith("Read response error"));
}

void TestFaultMatrixTables::slowDevice_data()
{
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("retries");
    QTest::addColumn<bool>("answered");
    // The application's own link: 3000 ms time-out, the client's default
    // retries (Qt: 3). A late answer to the first try is taken as the answer
    // to the retry, so 3300 ms still goes through.
    QTest::newRow("read inside, app link") << true << 2700 << -1 << true;
    // (A write inside the time-out takes the same path as the read.)
    QTest::newRow("read outside, app link") << true << 3300 << -1 << true;
    QTest::newRow("write outside, app link") << false << 3300 << -1 << true;
    // Without retries the 3000 ms time-out is final.
    QTest::newRow("read outside, no retries") << true << 3300 << 0 << false;
    QTest::newRow("write outside, no retries") << false << 3300 << 0 << false;
}

// A slow device, with the application's real 3000 ms response time-out.
void TestFaultMatrixTables::slowDevice()
{
    QFETCH(bool, read);
    QFETCH(int, delay);
    QFETCH(int, retries);
    QFETCH(bool, answered);
    Harness slow;
    QVERIFY(slow.startWindow());
    QVERIFY(slow.connectAs());
    QVERIFY(slow.waitForReplies());
    enableAllTabs(slow);
    QModbusClient *client = slow.window()->link()->device();
    QCOMPARE(client->timeout(), 3000);  // set by Connect
    if (retries >= 0)
        client->setNumberOfRetries(retries);

    auto *line = slow.find<QLineEdit>("abpDevAddrLine");
    auto *button = slow.find<QPushButton>(read ? "abpDevAddrRead" : "abpDevAddrWrite");
    const Regs device{ 0x0A0B, 0xC0D0 };
    const QString shown = read ? QStringLiteral("11 22 33 44") : QStringLiteral("01 02 03 04");
    slow.bridge().setRegs(200, device);
    line->setText(shown);
    slow.bridge().clearWrites();
    slow.bridge().setDelay(delay);
    slow.window()->link()->clearMessage();
    button->click();
    if (answered) {
        QTRY_COMPARE_WITH_TIMEOUT(slow.status(), QString("OK!"), Wait);
        if (read)
            QCOMPARE(line->text(), QString("0A 0B C0 D0"));
        else
            QCOMPARE(slow.bridge().regs(200, 2), Regs({ 0x0102, 0x0304 }));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(slow.status().endsWith("(code: 0x5)"), Wait);
        QVERIFY2(slow.status().startsWith(read ? "Read response error: " : "Write response error: "),
                 qPrintable(slow.status()));
        QCOMPARE(line->text(), shown);
    }
    // The late answers (and a retry's second answer) find nothing to change.
    slow.bridge().setDelay(0);
    QVERIFY(settle(slow));
    if (read) {
        QCOMPARE(slow.bridge().writes().size(), 0);
        QCOMPARE(line->text(), answered ? QString("0A 0B C0 D0") : shown);
    }
    for (const auto &w : slow.bridge().writes())
        QVERIFY(w.start == 200 && w.values == Regs({ 0x0102, 0x0304 }));

    // The device is quick again: the same action goes through.
    slow.bridge().setRegs(200, device);
    slow.bridge().clearWrites();
    line->setText(shown);
    slow.window()->link()->clearMessage();
    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(), QString("OK!"), Wait);
    if (read) {
        QCOMPARE(line->text(), QString("0A 0B C0 D0"));
    } else {
        QCOMPARE(slow.bridge().writes().size(), 1);
        QCOMPARE(slow.bridge().regs(200, 2), Regs({ 0x0102, 0x0304 }));
    }
}

// A device that answers a timed-out read so late that its answer comes while
// the next read waits: RTU frames carry no request number, so only the
// register count tells the stale answer apart. It must not be shown.
void TestFaultMatrixTables::lateAnswer()
{
    Harness slow;
    QVERIFY(slow.startWindow());
    QVERIFY(slow.connectAs());
    QVERIFY(slow.waitForReplies());
    enableAllTabs(slow);
    slow.window()->link()->device()->setNumberOfRetries(0);
    slow.bridge().clearWrites();
    auto *address = slow.find<QLineEdit>("abpDevAddrLine");
    auto *factor = slow.find<QLineEdit>("iinLineEdit_2");
    slow.bridge().setRegs(200, { 0x0A0B, 0xC0D0 });
    slow.bridge().setReg(411, 0xFFFE);
    address->setText("11 22 33 44");
    factor->setText("5");
    slow.bridge().setDelay(4500);
    slow.find<QPushButton>("abpDevAddrRead")->click();
    QTRY_VERIFY_WITH_TIMEOUT(slow.status().endsWith("(code: 0x5)"), Wait);
    slow.find<QPushButton>("iinRead_2")->click();  // one register asked
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(),
                              QString("Read response error: Reply of 2 registers, 1 asked. (code: 0x1)"),
                              Wait);
    QCOMPARE(factor->text(), QString("5"));
    QCOMPARE(address->text(), QString("11 22 33 44"));
    slow.bridge().setDelay(0);
    QVERIFY(settle(slow));
    slow.find<QPushButton>("iinRead_2")->click();
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(), QString("OK!"), Wait);
    QCOMPARE(factor->text(), QString("-2"));
    QCOMPARE(slow.bridge().writes().size(), 0);
}

namespace {
enum class Wait4 { Login, Reload, RuleChain, Transfer };
}

void TestFaultMatrixTables::unplugDuring_data()
{
    QTest::addColumn<int>("during");
    QTest::newRow("login wait") << int(Wait4::Login);
    QTest::newRow("sensor table reload") << int(Wait4::Reload);
    QTest::newRow("rule chain read") << int(Wait4::RuleChain);
    QTest::newRow("event log transfer") << int(Wait4::Transfer);
}

// The device disappears in the middle of an action and comes back on the
// same port name: no crash, the link is dropped once with a message, nothing
// is written, and Connect and the same action work after it is back.
void TestFaultMatrixTables::unplugDuring()
{
    QFETCH(int, during);
    const Wait4 kind = Wait4(during);
    sim::Options options;
    options.linkPath = QDir::temp().filePath(QStringLiteral("nodeweave-fmt-%1-%2")
                                                 .arg(QCoreApplication::applicationPid())
                                                 .arg(during));
    Harness lost(options);
    QVERIFY(lost.startWindow());
    Link *link = lost.window()->link();
    link->device()->setNumberOfRetries(0);
    QSignalSpy drops(link, &Link::linkLost);
    sim::SimBridge &bridge = lost.bridge();
    const TableRead &sensors = tables().at(0);
    const TableRead &rules = tables().at(1);
    fillTable(bridge, sensors, QStringLiteral("S"));
    fillTable(bridge, rules, QStringLiteral("R"));
    bridge.setEventLog(sim::LogOptions());

    auto startAction = [&]() {
        switch (kind) {
        case Wait4::Login:
            QVERIFY(lost.submitLogin("admin", "admin"));
            break;
        case Wait4::Reload:
            lost.find<QPushButton>("sensorUpdatePushButton")->click();
            break;
        case Wait4::RuleChain:
            lost.find<QPushButton>("ruleChkPushButton")->click();
            break;
        case Wait4::Transfer: {
            auto *enable = lost.find<QRadioButton>("eventLogEnableRadioButton");
            enable->setChecked(false);
            enable->click();
            QTRY_COMPARE_WITH_TIMEOUT(bridge.reg(3000), quint16(1), Wait);
            QTRY_VERIFY_WITH_TIMEOUT(lost.find<QPushButton>("ELogChkPushButton")->isEnabled(), Wait);
            lost.find<QPushButton>("ELogChkPushButton")->click();
            break;
        }
        }
    };

    if (kind == Wait4::Login) {
        QVERIFY(lost.startConnect());
        bridge.setDelay(2000);  // the login write waits for its answer
    } else {
        QVERIFY(lost.connectAs());
        QVERIFY(lost.waitForReplies());
        enableAllTabs(lost);
        link->device()->setTimeout(ResponseTimeout);
    }
    bridge.clearWrites();
    bridge.clearReads();
    h->boxes.clear();
    const int before = bridge.requestCount();
    if (kind == Wait4::Reload || kind == Wait4::RuleChain)
        bridge.setDelay(2000);  // the first block's answer is on its way
    if (kind == Wait4::Transfer) {
        sim::LogOptions stalling;  // the transfer starts, then waits mid-file
        stalling.fault = sim::LogFault::Stall;
        bridge.setEventLog(stalling);
    }
    // The device goes the moment the action is under way; a Reload runs its
    // waits inside the click, so this watches from the event loop.
    auto underWay = [&]() -> bool {
        switch (kind) {
        case Wait4::Login:
            return bridge.requestCount() > before;
        case Wait4::Reload:
        case Wait4::RuleChain:
            return !bridge.reads().isEmpty();
        case Wait4::Transfer:
            return lost.window()->findChild<ymodem *>()->transferStarted;
        }
        return false;
    };
    bool unplugged = false;
    int writesBefore = 0;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
        if (unplugged || !underWay())
            return;
        writesBefore = bridge.writes().size();
        bridge.unplug();
        unplugged = true;
    });
    watch.start();
    startAction();
    QTRY_VERIFY_WITH_TIMEOUT(unplugged, Wait);
    watch.stop();

    // The window notices, says so, and ends the action without a write.
    QTRY_COMPARE_WITH_TIMEOUT(lost.find<QPushButton>("connectButton")->text(), QString("Connect"),
                              Wait);
    // Two harnesses run, and either one's catcher may take a box.
    auto boxCount = [&] { return lost.boxes.boxes.size() + h->boxes.boxes.size(); };
    QTRY_VERIFY_WITH_TIMEOUT(!lost.status().isEmpty() || boxCount() > 0, Wait);
    QVERIFY2(lost.status() != QLatin1String("OK!"), qPrintable(lost.status()));
    switch (kind) {
    case Wait4::Login:
        QTRY_VERIFY2_WITH_TIMEOUT(boxCount() > 0, qPrintable(lost.status()), Wait);
        QVERIFY(!lost.window()->isLoginAccepted());
        QVERIFY(lost.loginDialog());  // still there for another try
        break;
    case Wait4::Reload:
        QTRY_VERIFY_WITH_TIMEOUT(lost.find<QPushButton>("sensorUpdatePushButton")->isEnabled(), Wait);
        QCOMPARE(shownTags(lost, sensors), QStringList());
        break;
    case Wait4::RuleChain:
        QTRY_VERIFY_WITH_TIMEOUT(lost.find<QPushButton>("ruleChkPushButton")->isEnabled(), Wait);
        QCOMPARE(shownTags(lost, rules), QStringList());
        break;
    case Wait4::Transfer:
        // The download is given up at once, saying why (not after the
        // transfer's stall time); the port is free again.
        QTRY_VERIFY_WITH_TIMEOUT(lost.find<QRadioButton>("eventLogEnableRadioButton")->isEnabled(),
                                 Wait);
        QVERIFY2(lost.status().startsWith("Event log download failed: "), qPrintable(lost.status()));
        break;
    }
    QCOMPARE(link->state(), QModbusDevice::UnconnectedState);
    QVERIFY(drops.count() <= 1);
    QCOMPARE(bridge.writes().size(), writesBefore);

    // Back on the same port name: Connect, and the action works.
    bridge.setDelay(0);
    bridge.setEventLog(sim::LogOptions());
    QVERIFY(bridge.replug());
    QTRY_COMPARE_WITH_TIMEOUT(lost.find<QComboBox>("portComboBox")->currentText(),
                              bridge.portPath(), Wait);
    lost.boxes.clear();
    if (kind == Wait4::Login) {
        QVERIFY(lost.submitLogin("admin", "admin"));
        QTRY_VERIFY_WITH_TIMEOUT(!lost.window()->isConnecting(), Wait);
        QVERIFY(link->isConnected());
        QVERIFY(lost.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
    } else {
        QVERIFY(lost.connectAs());
        QVERIFY(lost.waitForReplies());
        enableAllTabs(lost);
        link->device()->setTimeout(ResponseTimeout);
        startAction();
    }
    switch (kind) {
    case Wait4::Login:
        break;
    case Wait4::Reload:
        QTRY_VERIFY_WITH_TIMEOUT(lost.find<QPushButton>("sensorUpdatePushButton")->isEnabled(), Wait);
        QCOMPARE(shownTags(lost, sensors), QStringList({ "S0", "S3", "S12", "S19" }));
        break;
    case Wait4::RuleChain:
        QTRY_VERIFY_WITH_TIMEOUT(!lost.find<QPushButton>("ruleChkPushButton")->isEnabled(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(lost.find<QPushButton>("ruleChkPushButton")->isEnabled(), Wait);
        QCOMPARE(shownTags(lost, rules), QStringList({ "R0", "R7", "R33" }));
        break;
    case Wait4::Transfer: {
        QTRY_COMPARE_WITH_TIMEOUT(bridge.logTransfers(), 1, 60000);
        auto *view = lost.find<QTableView>("EventLogView");
        QTRY_COMPARE_WITH_TIMEOUT(view->model()->rowCount(),
                                  sim::LogOptions::defaultRecords().size(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(link->isConnected(), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.reg(3000), quint16(0), Wait);
        break;
    }
    }
    QVERIFY(drops.count() <= 1);
    for (const auto &w : bridge.writes())
        QVERIFY2(w.start == 199 || w.start == 3000, qPrintable(QString::number(w.start)));
}

namespace {
enum class Pause {
    ReadInFlight, LoginDialog, LoginWrite, Identification, Reload, RuleChainRead, RuleAdd,
    MonitorRead, Transfer, SystemReload
};
}

void TestFaultMatrixTables::closeDuringWait_data()
{
    QTest::addColumn<int>("pause");
    QTest::addColumn<bool>("destroy");
    const std::pair<const char *, Pause> pauses[] = {
        { "read in flight", Pause::ReadInFlight },
        { "login dialog", Pause::LoginDialog },
        { "login write", Pause::LoginWrite },
        { "identification", Pause::Identification },
        { "sensor table reload", Pause::Reload },
        { "rule chain read", Pause::RuleChainRead },
        { "rule add pause", Pause::RuleAdd },
        { "chain monitor read", Pause::MonitorRead },
        { "event log transfer", Pause::Transfer },
        { "system settings reload", Pause::SystemReload },
    };
    for (const auto &p : pauses) {
        QTest::newRow(qPrintable(QStringLiteral("%1, closed").arg(p.first))) << int(p.second) << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, deleted").arg(p.first))) << int(p.second) << true;
    }
}

// The window is closed (or deleted outright) while an action waits: the
// program carries on, and the bridge hears nothing more from it.
void TestFaultMatrixTables::closeDuringWait()
{
    QFETCH(int, pause);
    QFETCH(bool, destroy);
    const Pause kind = Pause(pause);
    Harness other;
    sim::SimBridge &bridge = other.bridge();
    QVERIFY(other.startWindow());
    QPointer<MainWindow> window = other.window();
    const bool connects = kind != Pause::LoginDialog && kind != Pause::LoginWrite
                          && kind != Pause::Identification;
    if (connects) {
        QVERIFY(other.connectAs());
        QVERIFY(other.waitForReplies());
        enableAllTabs(other);
    }
    fillTable(bridge, tables().at(0), QStringLiteral("S"));
    bridge.setEventLog(sim::LogOptions());
    bridge.clearReads();
    const int before = bridge.requestCount();

    switch (kind) {
    case Pause::ReadInFlight:
        bridge.setDelay(2000);
        other.find<QPushButton>("serialBtnRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.requestCount() > before, Wait);
        break;
    case Pause::LoginDialog:
        QVERIFY(other.startConnect());
        break;
    case Pause::LoginWrite:
        QVERIFY(other.startConnect());
        bridge.setDelay(2000);
        QVERIFY(other.submitLogin("admin", "admin"));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.requestCount() > before, Wait);
        break;
    case Pause::Identification: {
        sim::FaultRule rule;  // the model name never comes
        rule.first = 133;
        rule.last = 140;
        bridge.addFault(rule);
        QVERIFY(other.startConnect());
        QVERIFY(other.submitLogin("admin", "admin"));
        QTRY_VERIFY_WITH_TIMEOUT(window->isLoginAccepted(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.reads().isEmpty(), Wait);
        break;
    }
    case Pause::Reload:
        other.find<QPushButton>("sensorUpdatePushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.reads().isEmpty(), Wait);
        break;
    case Pause::RuleChainRead:
        other.find<QPushButton>("ruleChkPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.reads().isEmpty(), Wait);
        break;
    case Pause::RuleAdd:
        // Add needs the table read from the bridge first.
        other.find<QPushButton>("ruleChkPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(other.find<QPushButton>("ruleChkPushButton")->isEnabled(), Wait);
        other.find<QLineEdit>("ruleNameLineEdit")->setText("abc");
        other.find<QPushButton>("ruleChainAddPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.writes().isEmpty(), Wait);
        QVERIFY(!other.find<QPushButton>("ruleChainAddPushButton")->isEnabled());
        break;
    case Pause::MonitorRead:
        other.find<QPushButton>("monitorCheckpushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.reads().isEmpty(), Wait);
        break;
    case Pause::Transfer: {
        auto *enable = other.find<QRadioButton>("eventLogEnableRadioButton");
        enable->click();
        QTRY_COMPARE_WITH_TIMEOUT(bridge.reg(3000), quint16(1), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(other.find<QPushButton>("ELogChkPushButton")->isEnabled(), Wait);
        other.find<QPushButton>("ELogChkPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.logStartRequests() > 0, Wait);
        break;
    }
    case Pause::SystemReload: {
        auto *dialog = window->findChild<QDialog *>("systemDialog");
        dialog->show();
        dialog->findChild<QPushButton *>("systemReload")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.reads().isEmpty(), Wait);
        break;
    }
    }

    if (destroy) {
        delete window;
        QVERIFY(window.isNull());
    } else {
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(!window->isConnecting());
    }
    // Whatever the action had on its way ends; nothing more reaches the bridge.
    bridge.setDelay(0);
    QCoreApplication::processEvents();
    const int after = bridge.requestCount();
    QVERIFY2(staysFalse([&] { return bridge.requestCount() > after; }, 1000),
             qPrintable(QStringLiteral("%1 requests after closing")
                            .arg(bridge.requestCount() - after)));
    if (!destroy) {
        QVERIFY(!window->link()->isConnected());
        delete window;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QTEST_MAIN(TestFaultMatrixTables)
#include "test_faultmatrix_tables.moc"

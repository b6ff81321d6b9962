// The link at its limits: a device that answers near the response time-out
// (the program's real 3000 ms, since that is what these cases are about), a
// late answer taken for the next request, a device unplugged in the middle of
// an action and plugged in again, and a window closed or deleted while an
// action waits.
#include "testsupport.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {
constexpr int Wait = 30000;

// Starts the window if need be, connects, and offers every page.
bool connectAll(Harness &h)
{
    if ((!h.window() && !h.startWindow()) || !h.connectAs() || !h.waitForReplies())
        return false;
    auto *tabs = h.find<QTabWidget>("tabWidget");
    for (int tab = 0; tab < MainWindow::TabCount; ++tab)
        tabs->setTabEnabled(tab, true);
    return true;
}

// Waits until every answer the device owes has come and gone: a broadcast,
// which it takes in turn but never answers, reaches it only after them; then
// a read of a marker of its own gets its own answer, not an earlier one.
bool settle(Harness &h)
{
    Link *link = h.window()->link();
    RequestOptions broadcast, quiet;
    broadcast.server = 0;
    broadcast.silent = quiet.silent = true;
    for (quint16 marker = 0x5E70; marker < 0x5E75; ++marker) {
        h.bridge().setReg(990, marker);
        const int before = h.bridge().requestCount();
        auto got = QSharedPointer<QVector<quint16>>::create();
        if (!link->write(999, { 0 }, nullptr, Link::WriteDone(), broadcast)
            || !QTest::qWaitFor([&] { return h.bridge().requestCount() > before; }, Wait)
            || !link->read(990, 1, nullptr, [got](const QVector<quint16> &v) { *got = v; },
                           [got](QModbusDevice::Error) { got->append(0); }, quiet)
            || !QTest::qWaitFor([&] { return !got->isEmpty(); }, Wait))
            return false;
        if (*got == QVector<quint16>{ marker, 0 })
            return true;
    }
    return false;
}

QStringList shownTags(Harness &h, const char *name)
{
    auto *view = h.find<QTableView>(name);
    QStringList tags;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (!view->isRowHidden(row))
            tags << view->model()->index(row, 0).data().toString();
    }
    return tags;
}

// Starts the event log download; it runs on from the event loop.
void startDownload(Harness &h)
{
    auto *enable = h.find<QRadioButton>("eventLogEnableRadioButton");
    enable->setChecked(false);
    enable->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.bridge().reg(3000), quint16(1), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(h.find<QPushButton>("ELogChkPushButton")->isEnabled(), Wait);
    h.find<QPushButton>("ELogChkPushButton")->click();
}

// Runs `action` (which may wait inside itself) and does `then` from the event
// loop as soon as `underWay` holds; false when it never did.
bool whenUnderWay(const std::function<void()> &action, const std::function<bool()> &underWay,
                  const std::function<void()> &then)
{
    bool done = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!done && underWay()) {
            done = true;
            then();
        }
    });
    watch.start();
    action();
    return QTest::qWaitFor([&] { return done; }, Wait);
}
} // namespace

class TestLinkFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { pacing::setScale(0.05); }
    void slowDevice();
    void interrupted_data();
    void interrupted();
};

// A slow device, at the program's real response time-out: an answer inside
// it is taken; one outside it is a time-out, and as RTU frames carry no
// request number, it may then come while the next request waits. Only the
// register count tells that stale answer apart; it must not be shown.
void TestLinkFaults::slowDevice()
{
    Harness slow;
    QVERIFY(connectAll(slow));
    Link *link = slow.window()->link();
    QCOMPARE(link->device()->timeout(), 3000);
    link->device()->setNumberOfRetries(0);
    slow.bridge().clearWrites();
    auto *address = slow.find<QLineEdit>("abpDevAddrLine");
    auto *factor = slow.find<QLineEdit>("iinLineEdit_2");
    auto *next = slow.find<QPushButton>("iinRead_2");  // one register
    slow.bridge().setRegs(200, { 0x0A0B, 0xC0D0 });
    slow.bridge().setReg(411, 0xFFFE);
    factor->setText("5");
    slow.bridge().setDelay(2700);
    slow.find<QPushButton>("abpDevAddrRead")->click();
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(), QString("OK!"), Wait);
    QCOMPARE(address->text(), QString("0A 0B C0 D0"));

    address->setText("11 22 33 44");
    // The next read goes out the moment the first has timed out, and is
    // answered at once after the late answer.
    const auto sendNext = connect(link, &Link::statusMessage, next, [&](const QString &text) {
        if (text.endsWith("(code: 0x5)"))
            slow.bridge().setDelay(0), next->click();
    }, Qt::QueuedConnection);
    slow.bridge().setDelay(3600);
    slow.find<QPushButton>("abpDevAddrRead")->click();
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(),
                              QString("Read response error: Reply of 2 registers, 1 asked. (code: 0x1)"),
                              Wait);
    disconnect(sendNext);
    QCOMPARE(factor->text(), QString("5"));
    QCOMPARE(address->text(), QString("11 22 33 44"));
    QVERIFY(settle(slow));
    next->click();
    QTRY_COMPARE_WITH_TIMEOUT(slow.status(), QString("OK!"), Wait);
    QCOMPARE(factor->text(), QString("-2"));
    QVERIFY(slow.bridge().writes().isEmpty());
}

void TestLinkFaults::interrupted_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("how");
    for (const char *button : { "sensorUpdatePushButton", "ruleChkPushButton", "ruleChainAddPushButton",
                                "monitorCheckpushButton", "ELogChkPushButton", "systemReload" })
        QTest::newRow(qPrintable(QString("%1, window deleted").arg(button))) << button << "delete";
    // Closing closes the link, which every action but the download (it holds
    // the port itself) goes through.
    for (const char *button : { "sensorUpdatePushButton", "ELogChkPushButton" })
        QTest::newRow(qPrintable(QString("%1, window closed").arg(button))) << button << "close";
    for (const char *button : { "sensorUpdatePushButton", "ruleChkPushButton", "ELogChkPushButton" })
        QTest::newRow(qPrintable(QString("%1, unplugged").arg(button))) << button << "unplug";
}

// An action is interrupted while it waits. The window closed or deleted: the
// program carries on, and the bridge hears nothing more from it. The device
// unplugged and back on the same port name: the link is dropped once, with a
// message, the action ends without a write, the port leaves the list and
// comes back, and after Connect the same action works.
void TestLinkFaults::interrupted()
{
    QFETCH(QString, button);
    QFETCH(QString, how);
    const bool add = button == "ruleChainAddPushButton", download = button == "ELogChkPushButton";
    sim::Options options;
    if (how == "unplug")
        options.linkPath =
            QDir::temp().filePath(QString("nodeweave-unplug-%1").arg(QCoreApplication::applicationPid()));
    Harness h(options);
    sim::SimBridge &bridge = h.bridge();
    QVERIFY(connectAll(h));
    QPointer<MainWindow> window = h.window();
    QSignalSpy drops(window->link(), &Link::linkLost);
    if (how == "unplug") {  // the Serial page knows the bridge's address, until the link drops
        h.find<QPushButton>("serialBtnRead")->click();
        QVERIFY(h.waitForReplies());
    }
    bridge.setRegs(500, Regs(140, 0));
    bridge.setText(500 + 7 * 3, 4, "S3");
    bridge.setText(2402 + 10 * 7, 4, "R7");
    if (add) {  // Add needs the table read first
        h.find<QPushButton>("ruleChkPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(h.find<QPushButton>("ruleChkPushButton")->isEnabled(), Wait);
        QVERIFY(h.waitForReplies());
        h.find<QLineEdit>("ruleNameLineEdit")->setText("gone");
    }
    if (button == "systemReload")
        window->findChild<QDialog *>("systemDialog")->show();
    const auto start = [&] {
        if (download)
            startDownload(h);
        else
            window->findChild<QPushButton *>(button)->click();  // some wait inside the click
    };
    sim::LogOptions log;  // unplugged, the transfer starts, then waits mid-file
    log.fault = how == "unplug" ? sim::LogFault::Stall : sim::LogFault::None;
    bridge.setEventLog(log);
    bridge.clearReads();
    bridge.clearWrites();
    bridge.setDelay(how == "unplug" ? 2000 : 0);  // the first block's answer is on its way
    int writes = 0;
    QVERIFY(whenUnderWay(start, [&] {
        return add ? !bridge.writes().isEmpty()
                   : download ? bridge.logStartRequests() > 0 : !bridge.reads().isEmpty();
    }, [&] {
        writes = bridge.writes().size();
        if (how == "delete")
            delete window;
        else
            how == "close" ? (void)window->close() : bridge.unplug();
    }));

    if (how != "unplug") {
        QVERIFY(how == "delete" ? !window : !window->isVisible() && !window->link()->isConnected());
        // Whatever the action had on its way ends; nothing more reaches the
        // bridge (a download left running would reconnect within this time).
        QCoreApplication::processEvents();
        const int after = bridge.requestCount();
        QVERIFY2(!QTest::qWaitFor([&] { return bridge.requestCount() > after; }, 500),
                 qPrintable(QString("%1 requests after closing").arg(bridge.requestCount() - after)));
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QPushButton>("connectButton")->text(), QString("Connect"), Wait);
    QCOMPARE(window->link()->state(), QModbusDevice::UnconnectedState);
    QTRY_VERIFY_WITH_TIMEOUT(h.find<QLineEdit>("portEdit_3")->text().isEmpty(), Wait);
    auto *ports = h.find<QComboBox>("portComboBox");
    QTRY_COMPARE_WITH_TIMEOUT(ports->findText(bridge.portPath()), -1, Wait);
    // A download, given up at once (not after its stall time), frees the port.
    QTRY_VERIFY_WITH_TIMEOUT(h.find<QAbstractButton>(download ? "eventLogEnableRadioButton"
                                                              : qPrintable(button))->isEnabled(), Wait);
    QVERIFY2(download ? h.status().startsWith("Event log download failed: ")
                      : !h.status().isEmpty() && h.status() != "OK!", qPrintable(h.status()));
    const bool rules = button == "ruleChkPushButton";
    const char *view = rules ? "RuleVIew" : "sensorTableView";
    QVERIFY(download || shownTags(h, view).isEmpty());
    QCOMPARE(drops.count(), download ? 0 : 1);  // a download holds the port itself
    QCOMPARE(bridge.writes().size(), writes);

    bridge.setDelay(0);
    bridge.setEventLog(sim::LogOptions());
    QVERIFY(bridge.replug());
    QTRY_COMPARE_WITH_TIMEOUT(ports->currentText(), bridge.portPath(), Wait);
    QVERIFY(connectAll(h));
    h.find<QPushButton>("serialBtn")->click();  // refused: no Read since this Connect
    QVERIFY(h.waitForReplies());
    QCOMPARE(h.boxes.lastText(), QString("Please Read the settings first, so the device keeps its Modbus address."));
    start();
    if (download) {
        QTRY_COMPARE_WITH_TIMEOUT(h.find<QTableView>("EventLogView")->model()->rowCount(),
                                  sim::LogOptions::defaultRecords().size(), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.reg(3000), quint16(0), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(window->link()->isConnected(), Wait);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(shownTags(h, view), QStringList{ rules ? "R7" : "S3" }, Wait);
    }
    QCOMPARE(drops.count(), download ? 0 : 1);
    for (const auto &w : bridge.writes())
        QVERIFY2(w.start == 199 || w.start == 3000, qPrintable(QString::number(w.start)));
}

QTEST_MAIN(TestLinkFaults)
#include "test_linkfaults.moc"

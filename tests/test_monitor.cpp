// The " Chain Monitor" page end to end against the simulated bridge.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"

#include <QLocale>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <ctime>

using Regs = QVector<quint16>;

namespace {
constexpr int Timeout = 20000;

Regs rowRegs(const QString &tag, quint16 value, quint16 type, quint16 result, quint32 seconds)
{
    Regs r = codec::textToRegisters(tag, 4);
    r << value << type << result << quint16(seconds >> 16) << quint16(seconds & 0xFFFF);
    return r;
}
}

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void fullRead();
    void refusedBlockKeepsOthersInPlace();
    void clearAndCheckAgain();
    void autoMode();
    void closingDuringRead();

private:
    Harness *h = nullptr;
    QTableView *view() { return h->find<QTableView>("MonitorView"); }
    QPushButton *check() { return h->find<QPushButton>("monitorCheckpushButton"); }
    QString cell(int row, int column) { return view()->model()->index(row, column).data().toString(); }
    void seedTable();
    QList<sim::ReadRecord> monitorReads()
    {
        QList<sim::ReadRecord> found;
        for (const sim::ReadRecord &r : h->bridge().reads())
            if (r.start >= 2000 && r.start < 2360)
                found.append(r);
        return found;
    }
    void enableTab(Harness *harness);
};

void TestMonitor::enableTab(Harness *harness)
{
    auto *tabs = harness->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabMonitor, true);
    tabs->setCurrentIndex(MainWindow::TabMonitor);
}

void TestMonitor::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    pacing::setScale(0.1);
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    // The identification's last reads are answered after Connect returns.
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    // On a slow machine more of them (each with its "OK!") may still be on
    // their way: let them all land before the tests clear the status bar.
    QVERIFY(h->waitForReplies());
    QVERIFY(!h->find<QTabWidget>("tabWidget")->isTabEnabled(MainWindow::TabMonitor));
    enableTab(h);
}

void TestMonitor::cleanupTestCase()
{
    delete h;
}

void TestMonitor::init()
{
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    h->find<QPushButton>("monitorClearPushButton")->click();
    h->bridge().clearFaults();
    h->bridge().clearReads();
    h->bridge().clearWrites();
    h->bridge().setRegs(2000, Regs(360, 0));
    h->window()->link()->clearMessage();
}

// Rows 0, 4, 8, ... are in use; row i has value 100 + i, type i % 5 and
// result i % 3; its time stamp is i hours after the epoch.
void TestMonitor::seedTable()
{
    for (int i = 0; i < 40; i += 4)
        h->bridge().setRegs(2000 + 9 * i, rowRegs(QString("Rule%1").arg(i), quint16(100 + i),
                                                  quint16(i % 5), quint16(i % 3), quint32(3600 * i)));
}

void TestMonitor::fullRead()
{
    seedTable();
    h->bridge().setRegs(2000 + 9 * 4, rowRegs("Rule4", 104, 4, 2, 1700000000));
    check()->click();
    QVERIFY(!check()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    const auto reads = monitorReads();
    QCOMPARE(reads.size(), 4);
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(reads.at(k).start, 2000 + 90 * k);
        QCOMPARE(reads.at(k).count, 90);
    }
    QCOMPARE(h->status(), QString());  // no "OK!" for the table
    for (int i = 0; i < 40; ++i) {
        QCOMPARE(view()->isRowHidden(i), i % 4 != 0);
        if (i % 4)
            continue;
        QCOMPARE(cell(i, 0), QString("Rule%1").arg(i));
        QCOMPARE(cell(i, 1), QString::number(100 + i));
    }
    QCOMPARE(cell(0, 2), QString("V-V"));
    QCOMPARE(cell(8, 2), QString("A-A"));
    QCOMPARE(cell(12, 2), QString("A-V"));
    QCOMPARE(cell(16, 2), QString("V-A"));
    QCOMPARE(cell(4, 2), QString());         // code 4 has no text
    QCOMPARE(cell(0, 3), QString("Fail"));   // result 0
    QCOMPARE(cell(16, 3), QString("Success"));
    QCOMPARE(cell(4, 3), QString("Fail"));   // result 2
    QCOMPARE(cell(0, 4), QString("1970-01-01 00:00:00 Thu"));
    QCOMPARE(cell(8, 4), QString("1970-01-01 08:00:00 Thu"));
    QCOMPARE(cell(4, 4), QString("2023-11-14 22:13:20 Tue"));
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestMonitor::refusedBlockKeepsOthersInPlace()
{
    seedTable();
    // Block 1 (rows 10-19) is refused, block 2 (rows 20-29) gets no answer.
    sim::FaultRule refused;
    refused.kind = sim::Fault::Exception;
    refused.first = 2090;
    refused.last = 2090;
    refused.function = 3;
    h->bridge().addFault(refused);
    sim::FaultRule lost;
    lost.kind = sim::Fault::NoAnswer;
    lost.first = 2180;
    lost.last = 2180;
    lost.function = 3;
    lost.count = 1;
    h->bridge().addFault(lost);

    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(h->status().contains("(code: 0x5)"), Timeout);
    // The last block waits behind the lost one and is answered after the read.
    QTRY_VERIFY_WITH_TIMEOUT(!view()->isRowHidden(36), Timeout);
    for (int i = 0; i < 40; ++i) {
        const bool failed = i >= 10 && i < 30;
        QCOMPARE(view()->isRowHidden(i), failed || i % 4 != 0);
        if (!failed && i % 4 == 0) {
            QCOMPARE(cell(i, 0), QString("Rule%1").arg(i));
            QCOMPARE(cell(i, 1), QString::number(100 + i));
        }
    }

    // Rows keep their content when a later read of their block fails.
    h->bridge().clearFaults();
    h->bridge().addFault(refused);
    h->bridge().setRegs(2000, rowRegs("Fresh", 7, 1, 1, 0));
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    QCOMPARE(cell(0, 0), QString("Fresh"));
    QCOMPARE(cell(24, 0), QString("Rule24"));
    QVERIFY(view()->isRowHidden(12));
    QVERIFY(h->status().contains("Mobus exception: 0x2"));
}

void TestMonitor::clearAndCheckAgain()
{
    seedTable();
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    QVERIFY(!view()->isRowHidden(8));
    const int requests = h->bridge().requestCount();
    h->find<QPushButton>("monitorClearPushButton")->click();
    for (int i = 0; i < 40; ++i)
        QVERIFY(view()->isRowHidden(i));
    QCOMPARE(h->bridge().requestCount(), requests);
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(view()->isRowHidden(i), i % 4 != 0);
}

void TestMonitor::autoMode()
{
    seedTable();
    auto *radio = h->find<QRadioButton>("monitorRadioButton");
    QVERIFY(!h->window()->findChild<QTimer *>("monitorTimer"));
    radio->click();
    QVERIFY(radio->isChecked());
    QTimer *timer = h->window()->findChild<QTimer *>("monitorTimer");
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 60000);
    QVERIFY(!timer->isSingleShot());
    QCOMPARE(monitorReads().size(), 0);  // the first read comes a minute later

    // A tick reads the table; a tick during that read is skipped.
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QVERIFY(!check()->isEnabled());
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    QCOMPARE(monitorReads().size(), 4);
    QVERIFY(!view()->isRowHidden(36));
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
    QCOMPARE(monitorReads().size(), 8);

    // Unchecking Auto stops the timer; checking again restarts it.
    radio->click();
    QVERIFY(!radio->isChecked());
    QVERIFY(!timer->isActive());
    radio->click();
    QVERIFY(timer->isActive());
    QCOMPARE(h->window()->findChildren<QTimer *>("monitorTimer").size(), 1);
    radio->click();
    QVERIFY(!timer->isActive());
}

void TestMonitor::closingDuringRead()
{
    Harness other;
    QVERIFY(other.startWindow());
    QVERIFY(other.connectAs());
    enableTab(&other);
    QPointer<MainWindow> window = other.window();
    other.find<QRadioButton>("monitorRadioButton")->click();
    other.find<QPushButton>("monitorCheckpushButton")->click();
    QVERIFY(!other.find<QPushButton>("monitorCheckpushButton")->isEnabled());
    window->close();
    delete window;
    QVERIFY(!window);
    QCoreApplication::processEvents();
    // This window carries on untouched.
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(check()->isEnabled(), Timeout);
}

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"

// The rule chain and chain monitor pages at their real pauses: the Add
// button waits 4 s, a full rule read spaces its 8 blocks by 2 s and closes
// with a 2 s note, a monitor read spaces its 4 blocks by 1 s and settles 6 s.
#include "testsupport.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

namespace {
constexpr int Timeout = 60000;
}

class TestRuleChainPacing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pauses();

private:
    Harness *h = nullptr;
};

void TestRuleChainPacing::initTestCase()
{
    QCOMPARE(pacing::scale(), 1.0);  // what the program runs with
    h = new Harness;
    QVERIFY(h->startWindow());
    QVERIFY(h->connectAs());
    auto *tabs = h->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabRuleChain, true);
    tabs->setTabEnabled(MainWindow::TabMonitor, true);
}

void TestRuleChainPacing::cleanupTestCase()
{
    delete h;
}

void TestRuleChainPacing::pauses()
{
    // The whole table first: Add needs it to know which entries are free.
    QElapsedTimer clock;
    auto *check = h->find<QPushButton>("ruleChkPushButton");
    auto *monitor = h->find<QPushButton>("monitorCheckpushButton");
    QElapsedTimer monitorClock;
    clock.start();
    check->click();
    monitorClock.start();
    monitor->click();  // runs alongside: the pages are independent
    QVERIFY(!check->isEnabled());
    QVERIFY(!monitor->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(monitor->isEnabled(), Timeout);
    const qint64 monitorTime = monitorClock.elapsed();
    QVERIFY2(monitorTime >= 9900, qPrintable(QString::number(monitorTime)));
    QTRY_VERIFY_WITH_TIMEOUT(check->isEnabled(), Timeout);
    QVERIFY2(clock.elapsed() >= 17900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(h->boxes.boxes.size(), 1);

    auto *add = h->find<QPushButton>("ruleChainAddPushButton");
    h->find<QLineEdit>("ruleNameLineEdit")->setText("paced");
    clock.start();
    add->click();
    QVERIFY(!add->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(add->isEnabled(), Timeout);
    QVERIFY2(clock.elapsed() >= 3900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(h->boxes.boxes.size(), 1);  // no refusal
}

QTEST_MAIN(TestRuleChainPacing)
#include "test_rulechain_pacing.moc"

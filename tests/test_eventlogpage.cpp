// The "Event Log" page end to end: the simulated bridge sends its log with
// YMODEM on the same pseudo-terminal as the Modbus link. The page's and the
// receiver's waits run shortened, each case at its own scale.
#include "testsupport.h"

#include "link/link.h"
#include "link/pacing.h"
#include "pages/rtu/eventlogpage.h"
#include "tools/ymodem.h"

#include <QHeaderView>
#include <QModbusClient>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <ctime>

namespace {
constexpr int Wait = 30000;
using Fault = sim::LogFault;
}

class TestEventLogPage : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_earlier;
    Harness *h = nullptr;

    QRadioButton *enable() { return h->find<QRadioButton>("eventLogEnableRadioButton"); }
    QPushButton *check() { return h->find<QPushButton>("ELogChkPushButton"); }
    QTableView *view() { return h->find<QTableView>("EventLogView"); }
    QStringList rows(const QList<int> &columns)
    {
        QStringList out;
        for (int r = 0; r < view()->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c : columns)
                cells << view()->model()->index(r, c).data().toString();
            out << cells.join('|');
        }
        return out;
    }
    // The files in the working folder besides the earlier ones, and any
    // earlier one that was changed or removed.
    QStringList newFiles()
    {
        QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
        for (const QString &name : qAsConst(m_earlier)) {
            if (!left.removeOne(name) || QFile(m_dir.filePath(name)).size() != 9)
                left << "changed: " + name;
        }
        return left;
    }
    // The transfer switch goes off through the link, and Check with it.
    void switchOff()
    {
        QTRY_VERIFY_WITH_TIMEOUT(enable()->isEnabled(), Wait);  // no download under way
        enable()->click();
        QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), Wait);
        QVERIFY(!check()->isEnabled());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        h = new Harness;
        QVERIFY(h->startWindow());
        h->window()->link()->device()->setNumberOfRetries(0);
        QVERIFY(h->connectAs());
        // Identification keeps the tab disabled; the page is exercised anyway.
        auto *tabs = h->find<QTabWidget>("tabWidget");
        tabs->setTabEnabled(MainWindow::TabEventLog, true);
        tabs->setCurrentIndex(MainWindow::TabEventLog);
    }
    void cleanupTestCase() { delete h; }

    void init()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        pacing::setScale(0.25);
        if (enable()->isChecked())  // left on by a failed case
            switchOff();
        h->bridge().clearWrites();
        h->window()->link()->clearMessage();
        for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
        // Files named as a download's received file and export would be in
        // the next minute: a download leaves them as they are.
        m_earlier.clear();
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = 0; s < 60; ++s) {
            const QString stamp = now.addSecs(s).toString("yyyyMMddhhmmss");
            for (const QString &name : { "eventlog.bin" + stamp, "EventLog" + stamp + ".txt" }) {
                QFile f(m_dir.filePath(name));
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write("earlier\r\n") == 9);
                m_earlier << name;
            }
        }
    }

    void download_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("failure");  // the status text begins so; empty: records shown
        QTest::addColumn<bool>("cancel");      // Cancel in the progress dialog midway
        QTest::addColumn<QString>("folder");   // working folder; empty: the test's own
        QTest::newRow("clean") << int(Fault::None) << 0.25 << "" << false << "";
        QTest::newRow("damaged CRC") << int(Fault::BadCrc) << 0.25 << "" << false << "";
        // The bridge sends a lost packet again after its answer time (1.5 s
        // here); the receiver's stall limit (2.5 s at this scale) is longer.
        QTest::newRow("lost packet") << int(Fault::Dropped) << 0.25 << "" << false << "";
        // The device's first data as two packets takes one ACK.
        QTest::newRow("first block twice") << int(Fault::DoubleFirstBlock) << 0.25 << "" << false << "";
        QTest::newRow("first blocks 1, 2") << int(Fault::FirstBlocksOneTwo) << 0.25 << "" << false << "";
        QTest::newRow("stalled") << int(Fault::Stall) << 0.1 << "Event log transfer stalled" << false << "";
        QTest::newRow("never starts") << int(Fault::NoStart) << 0.02
                                      << "Event log download failed: the device did not start" << false << "";
        QTest::newRow("cancel in the progress dialog") << int(Fault::Stall) << 0.5
                                                       << "Event log download cancelled." << true << "";
        // Nobody, not even an administrator, can create a file there.
        QTest::newRow("folder cannot be written") << int(Fault::None) << 0.25
                                                  << "Cannot write /proc/eventlog.bin" << false << "/proc";
    }
    void download()
    {
        QFETCH(int, fault);
        QFETCH(double, scale);
        QFETCH(QString, failure);
        QFETCH(bool, cancel);
        QFETCH(QString, folder);
        pacing::setScale(scale);
        sim::LogOptions log;
        log.fault = Fault(fault);
        log.faultPacket = 4;
        log.answerTimeoutMs = log.fault == Fault::Dropped ? 1500 : log.answerTimeoutMs;
        h->bridge().setEventLog(log);
        QVERIFY(QDir::setCurrent(folder.isEmpty() ? m_dir.path() : folder));
        const QStringList before = rows({ 0 });
        const int naks = h->bridge().logNaks(), transfers = h->bridge().logTransfers();
        const int starts = h->bridge().logStartRequests();

        // Check right after Enable: the port is taken only once the switch is written.
        QVERIFY(!check()->isEnabled());
        QElapsedTimer clock;
        clock.start();
        enable()->click();
        check()->click();
        if (log.fault == Fault::Stall) {
            QTRY_VERIFY_WITH_TIMEOUT(!newFiles().isEmpty(), Wait);  // the partial file
            QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
            if (cancel)
                h->window()->findChild<ymodem *>()->progressDialog->findChild<QPushButton *>()->click();
        }
        if (failure.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(!enable()->isChecked(), Wait);  // shown, then switched off
            QStringList shown;
            for (const sim::LogRecord &r : sim::LogOptions::defaultRecords())
                shown << QString::fromLatin1(r.tag) + '|' + QString::number(r.valueInput) + '|'
                             + (r.result == 1 ? "Success" : "Fail");
            QCOMPARE(rows({ 0, 1, 4 }), shown);
            QTRY_COMPARE_WITH_TIMEOUT(h->bridge().logTransfers(), transfers + 1, Wait);
            QCOMPARE(h->bridge().logNaks() - naks, log.fault == Fault::BadCrc ? 1 : 0);
            QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), Wait);
            QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);  // the export went well
            QVERIFY(!check()->isEnabled());
            const QStringList left = newFiles();  // the export only, under a name of its own
            QVERIFY2(left.size() == 1 && QRegularExpression("^EventLog\\d{14}_1\\.txt$").match(left[0]).hasMatch(),
                     qPrintable(left.join(' ')));
            QFile exported(m_dir.filePath(left.first()));
            QVERIFY(exported.open(QIODevice::ReadOnly));
            const QByteArray text = exported.readAll();
            QCOMPARE(text.count("\r\n"), shown.size());
            QVERIFY(text.startsWith("Rule1,0,V-V,0,2026-12-01 02:00:00,Success\r\nRule2,37,V-A,53,"));
        } else {
            QTRY_VERIFY2_WITH_TIMEOUT(h->status().startsWith(failure), qPrintable(h->status()), Wait);
            if (log.fault == Fault::NoStart) {
                // Twenty requests 3 s apart: the device had 60 s (at this scale).
                QVERIFY2(clock.elapsed() >= 20 * pacing::ms(3000), qPrintable(h->status()));
                QTRY_COMPARE_WITH_TIMEOUT(h->bridge().logStartRequests() - starts, 20, Wait);
            }
            QCOMPARE(newFiles(), QStringList());
            QCOMPARE(rows({ 0 }), before);
            // The switch stays on: Check can be tried again, or the switch turned off.
            QVERIFY(check()->isEnabled());
            QCOMPARE(h->bridge().reg(3000), quint16(1));
            QVERIFY(QDir::setCurrent(m_dir.path()));
            switchOff();
        }
        QCOMPARE(h->bridge().writesIn(3000, 3000).size(), 2);
    }

    // A header click sorts by tag, "Result" gives back the file order. Clear
    // empties the table for good, sending nothing.
    void sortAndClear()
    {
        auto click = [this](int section) {
            QHeaderView *header = view()->horizontalHeader();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, 5));
        };
        const QStringList fileOrder = rows({ 0 });
        click(0);
        const QStringList sorted = rows({ 0 });
        QVERIFY(sorted != fileOrder && std::is_sorted(sorted.begin(), sorted.end()));
        click(4);
        QCOMPARE(rows({ 0 }), fileOrder);
        const int requests = h->bridge().requestCount();
        h->find<QPushButton>("ELogClearPushButton")->click();
        click(4);
        QCOMPARE(view()->model()->rowCount(), 0);
        QCOMPARE(h->bridge().requestCount(), requests);
    }

    // Closing the window ends a download under way (its partial file goes),
    // and one whose Check still waits for the switch write does not start.
    void closeDuringDownload()
    {
        for (bool underWay : { true, false }) {
            Harness other;
            QVERIFY(other.startWindow());
            QVERIFY(other.connectAs());
            other.find<QTabWidget>("tabWidget")->setTabEnabled(MainWindow::TabEventLog, true);
            sim::LogOptions log;
            log.fault = Fault::Stall;
            log.faultPacket = 8;
            other.bridge().setEventLog(log);
            other.find<QRadioButton>("eventLogEnableRadioButton")->click();
            other.find<QPushButton>("ELogChkPushButton")->click();
            auto *page = other.window()->findChild<EventLogPage *>();
            if (underWay)
                QTRY_VERIFY_WITH_TIMEOUT(!newFiles().isEmpty() && page->isDownloading(), Wait);
            other.window()->close();
            QCoreApplication::processEvents();
            QVERIFY(!page->isDownloading());
            QCOMPARE(newFiles(), QStringList());
        }
    }

    // With no port to take, Check says so and both controls stay usable.
    void noSerialPort()
    {
        Link link;
        EventLogPage page(&link);
        QSignalSpy status(&link, &Link::statusMessage);
        auto *on = page.findChild<QRadioButton *>("eventLogEnableRadioButton");
        auto *go = page.findChild<QPushButton *>("ELogChkPushButton");
        on->click();
        go->click();
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.first().first().toString(), QString("No serial port for the event log download."));
        QVERIFY(on->isEnabled() && on->isChecked() && go->isEnabled() && !page.isDownloading());
    }
};

int main(int argc, char *argv[])
{
    qputenv("TZ", "XST-2");
    tzset();
    qputenv("LC_ALL", "C");
    QApplication app(argc, argv);
    TestEventLogPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_eventlogpage.moc"

// View > Traffic against the simulated bridge: the rows of page actions,
// refused and short answers, the Connect's login and an event log download,
// with names, values, results and frames as shown; secrets masked; filter,
// pause, the row limit (a first filter over it never stalls), copy and save.
#include "testsupport.h"

#include "app/trafficmodel.h"
#include "app/trafficview.h"
#include "link/link.h"
#include "link/pacing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int Wait = 30000;
const QString Key = QStringLiteral("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
enum Action { None, SerialRead, KeyWrite, LogDownload };
}

class TestTraffic : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete h; }
    void rows_data();
    void rows();
    void filterAndPause();
    void limit();
    void save_data();
    void save();

private:
    QTableView *table() { return h->find<QTableView>("trafficTable"); }
    QLineEdit *filter() { return h->find<QLineEdit>("trafficFilter"); }
    int shown() { return table()->model()->rowCount(); }
    QStringList row(int r);
    void act(int action);

    Harness *h = nullptr;
    QTemporaryDir m_dir;
};

QStringList TestTraffic::row(int r)
{
    QStringList cells;
    for (int c = 0; c < table()->model()->columnCount(); ++c)
        cells << table()->model()->index(r, c).data().toString();
    return cells;
}

void TestTraffic::initTestCase()
{
    QVERIFY(QDir::setCurrent(m_dir.path()));  // the event log export lands here
    pacing::setScale(0.25);
    h = new Harness;
    QVERIFY(h->startWindow());
    auto *dock = h->find<QDockWidget>("trafficDock");
    QWidget *central = h->window()->centralWidget();
    const QSize pages = central->size();
    QVERIFY(dock->isHidden());
    h->window()->findChild<QAction *>("actionTraffic")->trigger();
    QTRY_VERIFY(dock->isVisible());
    QTRY_COMPARE(central->size(), pages);  // the window grows, the pages keep their room
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    auto *tabs = h->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabEventLog, true);
    // The clear button fades in and out with animations that delete
    // themselves later, which a test ending right after a filter change
    // would leave behind; the filter's text is what these tests change.
    filter()->setClearButtonEnabled(false);
}

void TestTraffic::act(int action)
{
    switch (action) {
    case SerialRead:
        h->find<QPushButton>("serialBtnRead")->click();
        break;
    case KeyWrite:
        h->find<QLineEdit>("otaaAppKeyLine")->setText(Key);
        h->find<QPushButton>("otaaAppKeyWrite")->click();
        break;
    case LogDownload: {
        sim::LogOptions log;
        log.fault = sim::LogFault::BadCrc;
        h->bridge().setEventLog(log);
        h->find<QRadioButton>("eventLogEnableRadioButton")->click();
        h->find<QPushButton>("ELogChkPushButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(h->bridge().reg(3000) == 0 && h->bridge().logTransfers() > 0, Wait);
        break;
    }
    default:
        break;
    }
}

void TestTraffic::rows_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("fault");      // -1: none
    QTest::addColumn<bool>("showKeys");
    QTest::addColumn<QString>("registers");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("inDetail");      // a frame, as hex
    QTest::addColumn<QString>("notInDetail");   // what must never show
    const int none = -1;
    QTest::newRow("page read") << int(SerialRead) << none << false << "RS-485 port 0-4"
        << "baud rate: 9600; data bits: 8; stop bits: 1; parity: No; Modbus address: 1" << "OK"
        << "request  01 03 00 00 00 05 85 C9\nreply    01 03 0A 00 00 00 08 00 01 00 00 00 01" << "";
    QTest::newRow("short reply") << int(SerialRead) << int(sim::Fault::ShortReply) << false
        << "RS-485 port 0-4" << "baud rate: 9600; data bits: 8" << "short reply, 2 of 5 registers"
        << "reply    01 03 04 00 00 00 08" << "";
    QTest::newRow("refused key write, masked") << int(KeyWrite) << int(sim::Fault::Exception) << false
        << "LoRaWAN \u00b7 app key 248-255" << "app key: \u2022\u2022\u2022\u2022"
        << "exception 2: illegal data address" << "reply    01 90 02" << "2B 7E";
    QTest::newRow("key write, keys shown") << int(KeyWrite) << none << true
        << "LoRaWAN \u00b7 app key 248-255" << "app key: " + Key << "OK"
        << "01 10 00 F8 00 08 10 " + Key << "\u2022";
    // admin/admin: 61 64 6D 69 6E.
    QTest::newRow("login, keys shown") << int(None) << none << true
        << "Login \u00b7 credentials 199-214" << "credentials: \u2022\u2022\u2022\u2022" << "OK"
        << "01 10 00 C7 00 10 20 \u2022\u2022" << "61 64";
    QTest::newRow("event log download") << int(LogDownload) << none << false
        << "event log download" << "20016 bytes, 20 blocks, 1 resent" << "OK" << "" << "";
}

void TestTraffic::rows()
{
    QFETCH(int, action);
    QFETCH(int, fault);
    QFETCH(bool, showKeys);
    QFETCH(QString, registers);
    QFETCH(QString, values);
    QFETCH(QString, result);
    h->find<QCheckBox>("trafficShowKeys")->setChecked(showKeys);
    if (fault >= 0)
        h->bridge().addFault({ sim::Fault(fault), 0, 255, 2, 0, 1 });
    filter()->setText(registers);
    const int before = shown();
    act(action);
    QTRY_VERIFY_WITH_TIMEOUT(shown() > before || (action == None && shown() == 1), Wait);
    h->bridge().clearFaults();

    const QStringList cells = row(shown() - 1);
    QCOMPARE(cells.mid(4, 3).join(" | "), registers + " | " + values + " | " + result);
    QCOMPARE(cells.at(1), action == KeyWrite || action == None ? "W" : "R");  // None: the login
    table()->selectRow(shown() - 1);
    const QString detail = h->find<QPlainTextEdit>("trafficDetail")->toPlainText();
    QFETCH(QString, inDetail);
    QFETCH(QString, notInDetail);
    QVERIFY2(detail.contains(inDetail), qPrintable(detail));
    QVERIFY2(notInDetail.isEmpty() || !detail.contains(notInDetail), qPrintable(detail));
    filter()->clear();
}

void TestTraffic::filterAndPause()
{
    // One Connect, one login; the filter looks at every text of a row.
    filter()->setText("c7 00 10");
    QCOMPARE(shown(), 1);
    const int all = h->window()->findChild<TrafficView *>()->model()->rowCount();
    QCOMPARE(h->find<QLabel>("trafficCount")->text(), QStringLiteral("1 of %1 rows").arg(all));
    filter()->clear();
    QCOMPARE(shown(), all);

    // Paused, requests leave no rows; nobody listens to the link.
    h->find<QPushButton>("trafficPause")->click();
    QVERIFY(!h->window()->link()->isRecording());
    const int before = shown();
    h->find<QPushButton>("serialBtnRead")->click();
    QTRY_COMPARE(h->status(), QStringLiteral("OK!"));
    QVERIFY(h->waitForReplies());
    QCOMPARE(shown(), before);
    h->find<QPushButton>("trafficPause")->click();
    QVERIFY(h->window()->link()->isRecording());
}

void TestTraffic::limit()
{
    // The oldest rows drop off; a burst arrives in one go, and in order while
    // a filter is on.
    Link *link = h->window()->link();
    const auto feed = [link](int from, int to) {
        for (int i = from; i < to; ++i) {
            TrafficRecord r;
            r.time = 1000LL * i;
            r.start = 160;
            r.count = 1;
            r.values = { quint16(i) };
            emit link->requestFinished(r);
        }
    };
    const auto time = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString("hh:mm:ss.zzz");
    };
    h->find<QPushButton>("trafficClear")->click();
    QCOMPARE(shown(), 0);
    feed(0, 10005);
    QTRY_COMPARE(shown(), 10000);
    QCOMPARE(row(0).at(0), time(5000));
    QCOMPARE(row(0).at(5), QStringLiteral("RSSI: 5"));
    QCOMPARE(row(9999).at(0), time(10004000));
    QCOMPARE(h->find<QLabel>("trafficCount")->text(), QStringLiteral("10000 rows"));

    // Typed over rows never filtered: their texts take turns, the window keeps answering.
    QElapsedTimer turn;
    qint64 longest = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, turn.restart()); });
    turn.start();
    tick.start(10);
    filter()->setText("RSSI: 1000");
    QCOMPARE(h->find<QLabel>("trafficCount")->text(), QStringLiteral("Filtering\u2026"));
    QTRY_COMPARE(shown(), 6);  // 1000, 10000-10004
    QVERIFY2(longest < 200, qPrintable(QString::number(longest)));
    feed(10005, 12005);
    QTRY_COMPARE(h->find<QLabel>("trafficCount")->text(), QStringLiteral("10 of 10000 rows"));
    QCOMPARE(row(0).at(0), time(10000000));
    QCOMPARE(row(9).at(0), time(10009000));
    filter()->clear();
}

void TestTraffic::save_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("clipboard");  // after Copy of the last row
    QTest::newRow("csv") << "t.csv"
        << QStringList{ "time,R/W,server,function,registers,values,result,ms,request,reply",
                        ",R,1,0x03,RS-485 port 0-4,baud rate: 9600; data bits: 8; stop bits: 1; "
                        "parity: No; Modbus address: 1,OK," }
        << "\tR\t1\t0x03\tRS-485 port 0-4\tbaud rate: 9600; data bits: 8; stop bits: 1; ";
    QTest::newRow("text") << "t.txt"
        << QStringList{ "  R  1  0x03  RS-485 port 0-4  baud rate: 9600;",
                        "    request 01 03 00 00 00 05 85 C9", "    reply   01 03 0A 00 00" }
        << "";
}

void TestTraffic::save()
{
    QFETCH(QString, file);
    QFETCH(QStringList, lines);
    QFETCH(QString, clipboard);
    h->find<QPushButton>("trafficClear")->click();
    filter()->setText("RS-485");
    h->find<QPushButton>("serialBtnRead")->click();
    QTRY_COMPARE(shown(), 1);
    const QString path = m_dir.filePath(file);
    h->window()->findChild<TrafficView *>()->setFileChooser([path](QWidget *, const QString &) {
        return path;
    });
    h->find<QPushButton>("trafficSave")->click();
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    for (const QString &line : lines)
        QVERIFY2(text.contains(line), qPrintable(text));
    QCOMPARE(text.count('\n'), file.endsWith(".csv") ? 2 : 3);
    if (!clipboard.isEmpty()) {
        table()->selectRow(0);
        h->find<QPushButton>("trafficCopy")->click();
        QVERIFY2(QApplication::clipboard()->text().contains(clipboard),
                 qPrintable(QApplication::clipboard()->text()));
    }
    filter()->clear();
}

QTEST_MAIN(TestTraffic)
#include "test_traffic.moc"

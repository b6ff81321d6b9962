// The "Event Log" page end to end: the simulated bridge sends its log with
// YMODEM on the same pseudo-terminal as the Modbus link.
#include "testsupport.h"

#include "link/link.h"
#include "pages/rtu/eventlogpage.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QRegularExpression>
#include <QDir>
#include <QHeaderView>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {
const char *const TypeTexts[] = { "V-V", "V-A", "A-V", "A-A" };

QString typeText(int code)
{
    return code >= 0 && code < 4 ? QString::fromLatin1(TypeTexts[code]) : QString();
}

QByteArray expectedExport(const QList<sim::LogRecord> &records)
{
    QByteArray text;
    for (const sim::LogRecord &r : records) {
        text += r.tag + ',' + QByteArray::number(r.valueInput) + ',' + typeText(r.type).toLatin1()
                + ',' + QByteArray::number(r.valueOutput) + ','
                + QDateTime::fromSecsSinceEpoch(r.timeStamp)
                      .toString("yyyy-MM-dd hh:mm:ss").toLatin1()
                + (r.result == 1 ? ",Success" : ",Fail") + "\r\n";
    }
    return text;
}
}

class TestEventLogPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void download();
    void sortAndClear();
    void lineFaults_data();
    void lineFaults();
    void stalledTransfer();
    void deviceNeverStarts();
    void closeDuringTransfer();

private:
    QRadioButton *enable() { return h->find<QRadioButton>("eventLogEnableRadioButton"); }
    QPushButton *check() { return h->find<QPushButton>("ELogChkPushButton"); }
    QTableView *view() { return h->find<QTableView>("EventLogView"); }
    QAbstractItemModel *model() { return view()->model(); }
    EventLogPage *page() { return h->window()->findChild<EventLogPage *>(); }
    QStringList column(int c);
    QStringList files() { return QDir(m_dir.path()).entryList(QDir::Files); }
    void clickHeader(int section);
    void switchOn();
    void expectLinkBack();

    QTemporaryDir m_dir;
    Harness *h = nullptr;
};

QStringList TestEventLogPage::column(int c)
{
    QStringList out;
    for (int r = 0; r < model()->rowCount(); ++r)
        out << model()->index(r, c).data().toString();
    return out;
}

void TestEventLogPage::clickHeader(int section)
{
    QHeaderView *header = view()->horizontalHeader();
    view()->scrollTo(model()->index(0, section));
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void TestEventLogPage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    // Identification keeps the tab disabled; the page is exercised anyway.
    auto *tabs = h->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabEventLog, true);
    tabs->setCurrentIndex(MainWindow::TabEventLog);
}

void TestEventLogPage::cleanupTestCase()
{
    delete h;
}

void TestEventLogPage::init()
{
    if (!h)
        return;
    h->bridge().setEventLog(sim::LogOptions());
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->window()->link()->clearMessage();
    for (const QString &f : files())
        QFile::remove(m_dir.filePath(f));
}

// Enable: register 3000 written 1, Check offered.
void TestEventLogPage::switchOn()
{
    QVERIFY(!enable()->isChecked());
    h->bridge().clearWrites();
    enable()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writesIn(3000, 3000).size(), 1, 10000);
    QCOMPARE(h->bridge().writesIn(3000, 3000).first().values, QVector<quint16>{ 1 });
    QCOMPARE(h->bridge().reg(3000), quint16(1));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QVERIFY(check()->isEnabled());
    h->bridge().clearWrites();
}

// The Modbus link is back and usable: a read on another page succeeds.
void TestEventLogPage::expectLinkBack()
{
    QTRY_VERIFY_WITH_TIMEOUT(h->window()->link()->isConnected(), 10000);
    QCOMPARE(h->find<QPushButton>("connectButton")->text(), QString("Disconnect"));
    auto *baud = h->find<QComboBox>("s_baudCombo");
    baud->setCurrentText("9600");
    h->bridge().setReg(0, 4);
    h->find<QPushButton>("serialBtnRead")->click();
    QTRY_COMPARE_WITH_TIMEOUT(baud->currentText(), QString("19200"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    h->bridge().setReg(0, 0);
}

void TestEventLogPage::download()
{
    // Enable toggles the transfer register and the Check button.
    QVERIFY(!check()->isEnabled());
    enable()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(1), 10000);
    QVERIFY(check()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    enable()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 10000);
    QVERIFY(!check()->isEnabled());
    QCOMPARE(h->bridge().writesIn(3000, 3000).size(), 2);
    switchOn();

    // Files named as this download's received file and export would be, for
    // the next two minutes: the download leaves them as they are.
    QStringList earlier;
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 120; ++s) {
        const QString stamp = now.addSecs(s).toString("yyyyMMddhhmmss");
        for (const QString &name : { "eventlog.bin" + stamp, "EventLog" + stamp + ".txt" }) {
            QFile f(m_dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("earlier\r\n") == 9);
            earlier << name;
        }
    }

    const QList<sim::LogRecord> records = sim::LogOptions::defaultRecords();
    check()->click();
    // The link gave the port to the receiver.
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    QVERIFY(!check()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().logTransfers(), 1, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(model()->rowCount(), records.size(), 30000);

    // The records in file order.
    QStringList tags, inputs, types, results;
    for (const sim::LogRecord &r : records) {
        tags << QString::fromLatin1(r.tag);
        inputs << QString::number(r.valueInput);
        types << typeText(r.type);
        results << (r.result == 1 ? "Success" : "Fail");
    }
    QCOMPARE(column(0), tags);
    QCOMPARE(column(1), inputs);
    QCOMPARE(column(2), types);
    QCOMPARE(column(4), results);
    QCOMPARE(model()->index(0, 5).data().toString(), QString("2026-12-01 02:00:00 Tue"));
    QVERIFY(results.contains("Fail") && results.contains("Success"));

    // Switched off again, port given back, link usable.
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 10000);
    const auto writes = h->bridge().writesIn(3000, 3000);
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().values, QVector<quint16>{ 0 });
    QVERIFY(!enable()->isChecked());
    QVERIFY(!check()->isEnabled());
    QVERIFY(enable()->isEnabled());
    expectLinkBack();

    // The export, under a name of its own, is the only new file: the received
    // file is deleted. The earlier files are untouched.
    QStringList left = files();
    for (const QString &name : earlier) {
        QVERIFY(left.removeOne(name));
        QCOMPARE(QFile(m_dir.filePath(name)).size(), qint64(9));
    }
    QCOMPARE(left.size(), 1);
    QVERIFY2(QRegularExpression("^EventLog\\d{14}_1\\.txt$").match(left.first()).hasMatch(),
             qPrintable(left.first()));
    QFile exported(m_dir.filePath(left.first()));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), expectedExport(records));
    QCOMPARE(page()->lastExportFile(), exported.fileName());
}

void TestEventLogPage::sortAndClear()
{
    // Records chosen so that every sort gives a different order.
    sim::LogOptions log;
    log.records = {
        { "Pump", 30, 2, 300, 1796083500, 1 },
        { "Alarm", 10, 3, 100, 1796083100, 0 },
        { "Valve", 50, 0, 500, 1796083300, 1 },
        { "Fan", 20, 1, 200, 1796083200, 1 },
    };
    h->bridge().setEventLog(log);
    // Check right after Enable: the port is taken only once the switch is written.
    QVERIFY(!enable()->isChecked());
    h->bridge().clearWrites();
    enable()->click();
    check()->click();
    QTRY_COMPARE_WITH_TIMEOUT(model()->rowCount(), 4, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 10000);
    const auto writes = h->bridge().writesIn(3000, 3000);
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.first().values, QVector<quint16>{ 1 });
    QTRY_VERIFY_WITH_TIMEOUT(h->window()->link()->isConnected(), 10000);
    const QStringList fileOrder{ "Pump", "Alarm", "Valve", "Fan" };
    QCOMPARE(column(0), fileOrder);

    struct { int section; QStringList tags; } steps[] = {
        { 0, { "Alarm", "Fan", "Pump", "Valve" } },
        { 0, { "Alarm", "Fan", "Pump", "Valve" } },  // a second click: still ascending
        { 2, { "Valve", "Fan", "Pump", "Alarm" } },
        { 1, { "Valve", "Fan", "Pump", "Alarm" } },  // value columns do not sort
        { 3, { "Valve", "Fan", "Pump", "Alarm" } },
        { 5, { "Alarm", "Fan", "Valve", "Pump" } },
        { 4, fileOrder },                           // Result: back to the file order
    };
    for (const auto &step : steps) {
        clickHeader(step.section);
        QCOMPARE(column(0), step.tags);
    }

    // Clear empties the table for good; nothing is sent.
    const int requests = h->bridge().requestCount();
    h->find<QPushButton>("ELogClearPushButton")->click();
    QCOMPARE(model()->rowCount(), 0);
    clickHeader(4);
    clickHeader(5);
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(page()->entries().isEmpty());
    QCOMPARE(h->bridge().requestCount(), requests);
}

void TestEventLogPage::lineFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("fileName");
    QTest::newRow("damaged CRC") << int(sim::LogFault::BadCrc) << QByteArray("eventlog.bin");
    QTest::newRow("dropped packet") << int(sim::LogFault::Dropped) << QByteArray("eventlog.bin");
    QTest::newRow("hostile file name") << int(sim::LogFault::None) << QByteArray("../../evil");
    QTest::newRow("first block twice") << int(sim::LogFault::DoubleFirstBlock) << QByteArray("eventlog.bin");
    QTest::newRow("first blocks 1, 2") << int(sim::LogFault::FirstBlocksOneTwo) << QByteArray("eventlog.bin");
}

void TestEventLogPage::lineFaults()
{
    QFETCH(int, fault);
    QFETCH(QByteArray, fileName);
    sim::LogOptions log;
    log.fault = sim::LogFault(fault);
    log.faultPacket = 4;
    log.fileName = fileName;
    h->bridge().setEventLog(log);
    const int naks = h->bridge().logNaks();
    const int transfers = h->bridge().logTransfers();
    switchOn();
    check()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().logTransfers(), transfers + 1, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 30000);
    // Every record arrived once and intact.
    const QList<sim::LogRecord> records = sim::LogOptions::defaultRecords();
    QCOMPARE(model()->rowCount(), records.size());
    QCOMPARE(model()->index(records.size() - 1, 0).data().toString(),
             QString::fromLatin1(records.last().tag));
    QStringList inputs;
    for (const sim::LogRecord &r : records)
        inputs << QString::number(r.valueInput);
    QCOMPARE(column(1), inputs);
    if (log.fault == sim::LogFault::BadCrc)
        QCOMPARE(h->bridge().logNaks(), naks + 1);
    expectLinkBack();
    // Only the export is left, here and nowhere above.
    QCOMPARE(files().size(), 1);
    QDir up(m_dir.path());
    up.cdUp();
    QVERIFY(up.entryList({ "evil*" }).isEmpty());
    QFile exported(page()->lastExportFile());
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), expectedExport(records));
}

void TestEventLogPage::stalledTransfer()
{
    sim::LogOptions log;
    log.fault = sim::LogFault::Stall;
    log.faultPacket = 6;
    h->bridge().setEventLog(log);
    switchOn();
    const QStringList shown = column(0);
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!files().isEmpty(), 30000);  // the partial file
    QTRY_VERIFY_WITH_TIMEOUT(h->status().contains("stalled"), 40000);
    QVERIFY(files().isEmpty());
    QCOMPARE(column(0), shown);  // the table keeps what it had
    // Check can be tried again; the transfer stays switched on.
    QVERIFY(check()->isEnabled());
    QVERIFY(enable()->isChecked());
    QCOMPARE(h->bridge().reg(3000), quint16(1));
    expectLinkBack();

    // A second attempt succeeds.
    h->bridge().setEventLog(sim::LogOptions());
    check()->click();
    QTRY_COMPARE_WITH_TIMEOUT(model()->rowCount(), sim::LogOptions::defaultRecords().size(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 30000);
    expectLinkBack();
}

void TestEventLogPage::deviceNeverStarts()
{
    sim::LogOptions log;
    log.fault = sim::LogFault::NoStart;
    h->bridge().setEventLog(log);
    switchOn();
    const int starts = h->bridge().logStartRequests();
    check()->click();
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    // Twenty requests, three seconds apart, then the port goes back.
    QTRY_VERIFY_WITH_TIMEOUT(h->status().contains("did not start"), 120000);
    QCOMPARE(h->bridge().logStartRequests() - starts, 20);
    QVERIFY(check()->isEnabled());
    QVERIFY(files().isEmpty());
    expectLinkBack();
    // The switch is still on and can be turned off.
    enable()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(3000), quint16(0), 10000);
}

void TestEventLogPage::closeDuringTransfer()
{
    sim::LogOptions log;
    log.fault = sim::LogFault::Stall;
    log.faultPacket = 8;
    h->bridge().setEventLog(log);
    switchOn();
    check()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!files().isEmpty(), 30000);
    QVERIFY(page()->isDownloading());
    h->window()->close();
    QVERIFY(!page()->isDownloading());
    QVERIFY(files().isEmpty());
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    delete h;
    h = nullptr;
}

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

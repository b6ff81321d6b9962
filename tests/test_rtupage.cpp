// The "RTU" page against the simulated bridge: the sensor table (Add,
// Reload, Edit, Delete, Clear), the upload interval and the polling time-out.
#include "testsupport.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QModbusClient>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {
constexpr int Wait = 20000;
const QString ReloadFirst = "Reload the table first, so no entry on the bridge is overwritten.";

Regs entryRegs(const QString &name, int slave, int code, int address, int quantity)
{
    Regs r(7, 0);
    const QByteArray bytes = name.toLatin1();
    for (int i = 0; i < bytes.size() && i < 8; ++i)
        r[i / 2] |= quint16(quint8(bytes.at(i)) << (i % 2 ? 0 : 8));
    r[4] = quint16(code << 8 | slave);
    r[5] = quint16(address);
    r[6] = quint16(quantity);
    return r;
}
}

class TestRtuPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void addValidation_data();
    void addValidation();
    void addFillsFreeSlotsUpToTheTable();
    void reload();
    void reloadWithFailedHalf();
    void edit();
    void editDialogValidation();
    void deleteAndClear();
    void uploadInterval();
    void pollingTimeoutNb500();
    void pollingTimeoutNb520();

private:
    Harness *h = nullptr;
    QWidget *page() const { return h->find<QWidget>("sensor"); }
    template <typename T> T *w(const char *name) const
    {
        return page()->findChild<T *>(QString::fromLatin1(name));
    }
    QDialog *dialog() const { return h->find<QDialog>("sensor_edit"); }
    template <typename T> T *dw(const char *name) const
    {
        return dialog()->findChild<T *>(QString::fromLatin1(name));
    }
    QTableView *view() const { return w<QTableView>("sensorTableView"); }
    QList<int> shownRows() const;
    QString cell(int row, int column) const;
    void fillAdd(const QString &name, const QString &slave, int codeIndex, const QString &address,
                 const QString &quantity);
    bool addAndWait(const QString &name, int slot);
    bool rightClickRow(int row);
    bool triggerMenu(const QString &text);
    bool doubleClickRow(int row);
    void reloadTable();
};

void TestRtuPage::initTestCase()
{
    pacing::setScale(0.1);  // Reload's waits and closing note
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    // Identification's own reads end with "OK!"; let them land first.
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    // On a slow machine more of them may still be on their way.
    QVERIFY(h->waitForReplies());
    QVERIFY(page());
    QVERIFY(dialog());
    QCOMPARE(view()->model()->rowCount(), 50);
    QVERIFY(!w<QPushButton>("sensorCheckPushButton")->isVisible());
}

void TestRtuPage::cleanupTestCase()
{
    delete h;
}

void TestRtuPage::init()
{
    h->bridge().clearFaults();
    h->bridge().setRegs(500, Regs(140, 0));
    w<QPushButton>("sensorClearPushButton")->click();
    if (dialog()->isVisible())
        dialog()->close();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

QList<int> TestRtuPage::shownRows() const
{
    QList<int> rows;
    for (int r = 0; r < view()->model()->rowCount(); ++r) {
        if (!view()->isRowHidden(r))
            rows << r;
    }
    return rows;
}

QString TestRtuPage::cell(int row, int column) const
{
    return view()->model()->index(row, column).data().toString();
}

void TestRtuPage::fillAdd(const QString &name, const QString &slave, int codeIndex,
                          const QString &address, const QString &quantity)
{
    w<QLineEdit>("sensorTypeLineEdit")->setText(name);
    w<QLineEdit>("sensorSlaveId")->setText(slave);
    w<QComboBox>("sensorFunCodeCombox")->setCurrentIndex(codeIndex);
    w<QLineEdit>("sensorPLCAddress")->setText(address);
    w<QLineEdit>("sensorLength")->setText(quantity);
}

bool TestRtuPage::addAndWait(const QString &name, int slot)
{
    const int before = h->bridge().writes().size();
    fillAdd(name, "3", 2, "40001", "2");
    w<QPushButton>("sensorAddPushButton")->click();
    if (!QTest::qWaitFor([&] { return h->bridge().writes().size() == before + 1; }, Wait))
        return false;
    // The reply has come back to the window too.
    if (!QTest::qWaitFor([&] { return h->status() == QLatin1String("OK!"); }, Wait))
        return false;
    const sim::WriteRecord last = h->bridge().writes().last();
    return last.start == 500 + 7 * slot && last.values == entryRegs(name, 3, 3, 40001, 2);
}

bool TestRtuPage::rightClickRow(int row)
{
    const QPoint pos = row < 0 ? QPoint(5, view()->viewport()->height() - 3)
                               : view()->visualRect(view()->model()->index(row, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view()->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view()->viewport(), &event);
    auto *menu = view()->findChild<QMenu *>();
    return menu && menu->isVisible();
}

bool TestRtuPage::triggerMenu(const QString &text)
{
    auto *menu = view()->findChild<QMenu *>();
    if (!menu)
        return false;
    for (QAction *a : menu->actions()) {
        if (a->text() == text) {
            menu->hide();
            a->trigger();
            return true;
        }
    }
    return false;
}

bool TestRtuPage::doubleClickRow(int row)
{
    const QModelIndex index = view()->model()->index(row, 0);
    if (view()->isRowHidden(row))
        return false;
    emit view()->doubleClicked(index);
    return QTest::qWaitFor([this] { return dialog()->isVisible(); }, Wait);
}

void TestRtuPage::reloadTable()
{
    // Reload returns when it is done: its waits and its self-closing box run
    // inside the click.
    w<QPushButton>("sensorUpdatePushButton")->click();
}

void TestRtuPage::addValidation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("slave");
    QTest::addColumn<int>("codeIndex");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<Regs>("written");

    const QString tooLong = "Please set RTU number with maximum 8 word.";
    const QString noName = "Please set RTU number.";
    const QString badId = "Please set ID number between 1 and 247.";
    const QString q10 = "Please set Register Quantity number between 1 and 10.";
    const QString q80 = "Please set Register Quantity number between 1 and 80.";
    const QString badAddress = "Please set PLC Address between 1 and 65535.";

    QTest::newRow("TANK1") << "TANK1" << "5" << 2 << "40001" << "2" << ""
                           << Regs{ 0x5441, 0x4E4B, 0x3100, 0x0000, 0x0305, 0x9C41, 2 };
    QTest::newRow("8 characters, code 1, 80 bits") << "ABCDEFGH" << "247" << 0 << "1" << "80" << ""
                                                   << entryRegs("ABCDEFGH", 247, 1, 1, 80);
    QTest::newRow("9 characters") << "ABCDEFGHI" << "0" << 2 << "0" << "0" << tooLong << Regs{};
    QTest::newRow("name untrimmed") << "  TANK1  " << "5" << 2 << "1" << "1" << tooLong << Regs{};
    QTest::newRow("no name") << "" << "0" << 2 << "0" << "0" << noName << Regs{};
    QTest::newRow("slave 0") << "T" << "0" << 2 << "0" << "0" << badId << Regs{};
    QTest::newRow("slave 248") << "T" << "248" << 2 << "1" << "1" << badId << Regs{};
    QTest::newRow("slave text") << "T" << "x" << 2 << "1" << "1" << badId << Regs{};
    QTest::newRow("code 3 quantity 0") << "T" << "1" << 2 << "0" << "0" << q10 << Regs{};
    QTest::newRow("code 4 quantity 11") << "T" << "1" << 3 << "1" << "11" << q10 << Regs{};
    QTest::newRow("code 1 quantity 0") << "T" << "1" << 0 << "0" << "0" << q80 << Regs{};
    QTest::newRow("code 2 quantity 81") << "T" << "1" << 1 << "1" << "81" << q80 << Regs{};
    QTest::newRow("address 0") << "T" << "1" << 2 << "0" << "10" << badAddress << Regs{};
    QTest::newRow("address 65536") << "T" << "1" << 2 << "65536" << "1" << badAddress << Regs{};
    QTest::newRow("address empty") << "T" << "1" << 0 << "" << "1" << badAddress << Regs{};
    QTest::newRow("not Latin-1") << QString::fromUtf8("T\u20AC") << "1" << 2 << "1" << "1"
                                 << "Please set RTU number with Latin-1 characters only." << Regs{};
    // init() has cleared the table: which entries the bridge uses is unknown.
    QTest::newRow("table not reloaded") << "T" << "1" << 2 << "1" << "1" << ReloadFirst << Regs{};
}

void TestRtuPage::addValidation()
{
    QFETCH(QString, name);
    QFETCH(QString, slave);
    QFETCH(int, codeIndex);
    QFETCH(QString, address);
    QFETCH(QString, quantity);
    QFETCH(QString, message);
    QFETCH(Regs, written);
    if (!written.isEmpty()) {
        reloadTable();
        h->boxes.clear();
    }
    const int requests = h->bridge().requestCount();
    fillAdd(name, slave, codeIndex, address, quantity);
    w<QPushButton>("sensorAddPushButton")->click();
    if (!message.isEmpty()) {
        QCOMPARE(h->boxes.boxes.size(), 1);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), message);
        QCOMPARE(h->bridge().requestCount(), requests);
        QVERIFY(shownRows().isEmpty());
        QCOMPARE(w<QLineEdit>("sensorTypeLineEdit")->text(), name);  // fields are kept
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QVERIFY(h->boxes.boxes.isEmpty());
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 500);
    QCOMPARE(writes.first().values, written);
    QCOMPARE(h->bridge().regs(500, 7), written);
    QCOMPARE(shownRows(), QList<int>{ 0 });
    QCOMPARE(cell(0, 0), name);
    QCOMPARE(cell(0, 1), slave);
    QCOMPARE(cell(0, 2), QString::number(codeIndex + 1));
    QCOMPARE(cell(0, 3), address);
    QCOMPARE(cell(0, 4), quantity);
}

void TestRtuPage::addFillsFreeSlotsUpToTheTable()
{
    reloadTable();
    h->boxes.clear();
    QVERIFY(addAndWait("S0", 0));
    QVERIFY(addAndWait("S1", 1));
    QVERIFY(addAndWait("S2", 2));
    QCOMPARE(shownRows(), (QList<int>{ 0, 1, 2 }));

    // A deleted slot is the first free one again.
    QVERIFY(rightClickRow(1));
    QVERIFY(triggerMenu("Delete"));
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 4, Wait);
    QCOMPARE(shownRows(), (QList<int>{ 0, 2 }));
    QVERIFY(addAndWait("S1b", 1));

    for (int s = 3; s < 20; ++s)
        QVERIFY(addAndWait(QString("S%1").arg(s), s));
    QCOMPARE(shownRows().size(), 20);
    QCOMPARE(shownRows().last(), 19);

    // The table is full: said so, nothing written past register 639.
    h->bridge().clearWrites();
    const int requests = h->bridge().requestCount();
    fillAdd("S20", "1", 2, "1", "1");
    w<QPushButton>("sensorAddPushButton")->click();
    QCOMPARE(h->boxes.boxes.size(), 1);
    QCOMPARE(h->boxes.lastTitle(), QString("Error"));
    QVERIFY2(h->boxes.lastText().contains("20"), qPrintable(h->boxes.lastText()));
    QCOMPARE(h->bridge().requestCount(), requests);
    QCOMPARE(h->bridge().regs(640, 70), Regs(70, 0));
    QCOMPARE(shownRows().size(), 20);
    QCOMPARE(h->bridge().text(500 + 7 * 19, 4), QString("S19"));
}

void TestRtuPage::reload()
{
    // Rows shown before the Reload go away unless the bridge has them.
    reloadTable();
    QVERIFY(addAndWait("OLD", 0));
    h->boxes.clear();
    h->bridge().setRegs(500, Regs(140, 0));
    h->bridge().setRegs(500 + 7 * 3, entryRegs("TANK1", 5, 3, 40001, 2));
    h->bridge().setRegs(500 + 7 * 9, entryRegs("ABCDEFGH", 1, 1, 1, 80));
    h->bridge().setRegs(500 + 7 * 10, entryRegs("FLOW", 17, 4, 30001, 4));
    h->bridge().setRegs(500 + 7 * 19, entryRegs("LAST", 247, 2, 65535, 1));
    // Beyond the bridge's 20 entries: never read or shown.
    h->bridge().setRegs(640, entryRegs("GHOST", 1, 3, 1, 1));
    h->bridge().clearReads();
    h->bridge().clearWrites();
    QSignalSpy messages(h->window()->statusBar(), &QStatusBar::messageChanged);

    reloadTable();
    QCOMPARE(h->boxes.boxes.size(), 1);
    QCOMPARE(h->boxes.lastText(), QString("Read sensor-Configuration done, thanks for patience"));
    QCOMPARE(h->boxes.lastTitle(), QString());  // only its icon text says "Tip"
    QCOMPARE(shownRows(), (QList<int>{ 3, 9, 10, 19 }));
    QCOMPARE(cell(3, 0), QString("TANK1"));
    QCOMPARE(cell(3, 1), QString("5"));
    QCOMPARE(cell(3, 2), QString("3"));
    QCOMPARE(cell(3, 3), QString("40001"));
    QCOMPARE(cell(3, 4), QString("2"));
    QCOMPARE(cell(9, 0), QString("ABCDEFGH"));
    QCOMPARE(cell(10, 0), QString("FLOW"));
    QCOMPARE(cell(19, 3), QString("65535"));
    QCOMPARE(cell(0, 0), QString());
    const auto reads = h->bridge().reads();
    QCOMPARE(reads.size(), 2);
    QCOMPARE(reads.at(0).start, 500);
    QCOMPARE(reads.at(0).count, 70);
    QCOMPARE(reads.at(1).start, 570);
    QCOMPARE(reads.at(1).count, 70);
    QVERIFY(h->bridge().writes().isEmpty());
    QCOMPARE(h->status(), QString("OK!"));
    QVERIFY(w<QPushButton>("sensorUpdatePushButton")->isEnabled());
}

void TestRtuPage::reloadWithFailedHalf()
{
    h->bridge().setRegs(500, entryRegs("FIRST", 1, 3, 1, 1));
    h->bridge().setRegs(570, entryRegs("SECOND", 2, 3, 1, 1));
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = 570;
    rule.last = 639;
    rule.function = 3;
    rule.count = 1;
    h->bridge().addFault(rule);
    QSignalSpy messages(h->window()->statusBar(), &QStatusBar::messageChanged);

    reloadTable();
    QCOMPARE(shownRows(), QList<int>{ 0 });
    QCOMPARE(cell(0, 0), QString("FIRST"));
    bool reported = false;
    for (const QList<QVariant> &m : messages)
        reported = reported || m.first().toString().startsWith("Read response error: ");
    QVERIFY(reported);
    // Half a table does not tell which entries are free.
    const auto addIsRefused = [this] {
        h->boxes.clear();
        h->bridge().clearWrites();
        fillAdd("NEW", "1", 2, "1", "1");
        w<QPushButton>("sensorAddPushButton")->click();
        return h->boxes.lastText() == ReloadFirst && h->waitForReplies()
               && h->bridge().writes().isEmpty();
    };
    QVERIFY(addIsRefused());

    // The next Reload fills both halves.
    h->boxes.clear();
    reloadTable();
    QCOMPARE(h->boxes.boxes.size(), 1);
    QCOMPARE(shownRows(), (QList<int>{ 0, 10 }));
    QCOMPARE(cell(10, 0), QString("SECOND"));

    // A new Connect needs a new Reload.
    h->find<QPushButton>("connectButton")->click();  // Disconnect
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    QVERIFY(addIsRefused());
    QCOMPARE(h->bridge().regs(500, 7), entryRegs("FIRST", 1, 3, 1, 1));
}

void TestRtuPage::edit()
{
    h->bridge().setRegs(500 + 7 * 2, entryRegs("PUMP", 5, 3, 100, 2));
    h->bridge().setRegs(500 + 7 * 4, entryRegs("VALVE", 6, 4, 200, 3));
    reloadTable();
    QCOMPARE(shownRows(), (QList<int>{ 2, 4 }));
    h->bridge().clearWrites();

    // A double click opens the dialog on the row under it.
    QVERIFY(doubleClickRow(4));
    QCOMPARE(dialog()->windowTitle(), QString("Sensor Setting"));
    QCOMPARE(dw<QLineEdit>("sensorTypeLE")->text(), QString("VALVE"));
    QCOMPARE(dw<QLineEdit>("sensorSlaveId")->text(), QString("6"));
    QCOMPARE(dw<QComboBox>("sensorFunctionCodeComboBox")->currentIndex(), 3);
    QCOMPARE(dw<QLineEdit>("sensorPLCAddress")->text(), QString("200"));
    QCOMPARE(dw<QLineEdit>("sensorLLE")->text(), QString("3"));

    // Another Edit while it is open keeps the dialog and its slot.
    QVERIFY(rightClickRow(2));
    QVERIFY(triggerMenu("Edit"));
    QVERIFY(dialog()->isVisible());
    QCOMPARE(dw<QLineEdit>("sensorTypeLE")->text(), QString("VALVE"));

    // Confirm: slot 4 is written exactly once.
    dw<QLineEdit>("sensorTypeLE")->setText("VALVE-2");
    dw<QLineEdit>("sensorSlaveId")->setText("9");
    dw<QComboBox>("sensorFunctionCodeComboBox")->setCurrentIndex(0);
    dw<QLineEdit>("sensorPLCAddress")->setText("301");
    dw<QLineEdit>("sensorLLE")->setText("40");
    dw<QPushButton>("sensorAddPushButton")->click();
    QVERIFY(!dialog()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, 500 + 7 * 4);
    QCOMPARE(h->bridge().regs(500 + 7 * 4, 7), entryRegs("VALVE-2", 9, 1, 301, 40));
    QCOMPARE(cell(4, 0), QString("VALVE-2"));
    QCOMPARE(cell(4, 4), QString("40"));
    QCOMPARE(shownRows(), (QList<int>{ 2, 4 }));

    // Closed without confirming: nothing is written, then or later.
    h->bridge().clearWrites();
    QVERIFY(rightClickRow(2));
    QVERIFY(triggerMenu("Edit"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog()->isVisible(), Wait);
    QCOMPARE(dw<QLineEdit>("sensorTypeLE")->text(), QString("PUMP"));
    dw<QLineEdit>("sensorTypeLE")->setText("CHANGED");
    dialog()->close();
    QVERIFY(h->waitForReplies());  // anything sent by now has arrived
    QVERIFY(h->bridge().writes().isEmpty());
    QCOMPARE(cell(2, 0), QString("PUMP"));

    // A later confirmed edit of the same row writes its block once.
    QVERIFY(doubleClickRow(2));
    QCOMPARE(dw<QLineEdit>("sensorTypeLE")->text(), QString("PUMP"));
    dw<QLineEdit>("sensorTypeLE")->setText("PUMP2");
    dw<QPushButton>("sensorAddPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QVERIFY(h->waitForReplies());  // anything sent by now has arrived
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, 500 + 7 * 2);
    QCOMPARE(h->bridge().text(500 + 7 * 2, 4), QString("PUMP2"));

    // A right click beside the rows offers nothing; Edit then has no row.
    h->bridge().clearWrites();
    QVERIFY(!rightClickRow(-1));
    QVERIFY(triggerMenu("Edit"));
    QVERIFY(triggerMenu("Delete"));
    QVERIFY(!dialog()->isVisible());
    QVERIFY(h->waitForReplies());  // anything sent by now has arrived
    QVERIFY(h->bridge().writes().isEmpty());
    QCOMPARE(shownRows(), (QList<int>{ 2, 4 }));
}

void TestRtuPage::editDialogValidation()
{
    h->bridge().setRegs(500, entryRegs("PUMP", 5, 3, 100, 2));
    reloadTable();
    QVERIFY(doubleClickRow(0));
    h->bridge().clearWrites();
    const int requests = h->bridge().requestCount();

    struct Case { QString name, slave; int code; QString address, quantity, message; };
    const QList<Case> cases = {
        { "PUMP", "0", 2, "0", "0", "Please set Slave ID number between 1 and 247." },
        { "PUMP", "248", 2, "1", "1", "Please set Slave ID number between 1 and 247." },
        { "", "1", 2, "0", "0", "Please set PLC Address between 1 and 65535." },
        { "ABCDEFGHI", "1", 2, "1", "0", "Please set RTU number with maximum 8 word." },
        { "", "1", 2, "1", "0", "Please set RTU number." },
        { "P", "1", 2, "1", "11", "Please set Register Quantity  between 1 and 10." },
        { "P", "1", 3, "1", "0", "Please set Register Quantity  between 1 and 10." },
        { "P", "1", 1, "1", "81", "Please set Register Quantity  between 1 and 80." },
        { QString::fromUtf8("P\u20AC"), "1", 2, "1", "1",
          "Please set RTU number with Latin-1 characters only." },
    };
    for (const Case &c : cases) {
        h->boxes.clear();
        dw<QLineEdit>("sensorTypeLE")->setText(c.name);
        dw<QLineEdit>("sensorSlaveId")->setText(c.slave);
        dw<QComboBox>("sensorFunctionCodeComboBox")->setCurrentIndex(c.code);
        dw<QLineEdit>("sensorPLCAddress")->setText(c.address);
        dw<QLineEdit>("sensorLLE")->setText(c.quantity);
        dw<QPushButton>("sensorAddPushButton")->click();
        QCOMPARE(h->boxes.boxes.size(), 1);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), c.message);
        QVERIFY(dialog()->isVisible());
    }
    QCOMPARE(h->bridge().requestCount(), requests);
    QCOMPARE(cell(0, 0), QString("PUMP"));

    // Function code 2 takes up to 80 bits.
    dw<QLineEdit>("sensorTypeLE")->setText("BITS");
    dw<QLineEdit>("sensorSlaveId")->setText("1");
    dw<QComboBox>("sensorFunctionCodeComboBox")->setCurrentIndex(1);
    dw<QLineEdit>("sensorPLCAddress")->setText("1");
    dw<QLineEdit>("sensorLLE")->setText("80");
    dw<QPushButton>("sensorAddPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QCOMPARE(h->bridge().regs(500, 7), entryRegs("BITS", 1, 2, 1, 80));
}

void TestRtuPage::deleteAndClear()
{
    h->bridge().setRegs(500, entryRegs("A", 1, 3, 1, 1));
    h->bridge().setRegs(507, entryRegs("B", 2, 3, 2, 2));
    h->bridge().setRegs(514, entryRegs("C", 3, 3, 3, 3));
    reloadTable();
    QCOMPARE(shownRows(), (QList<int>{ 0, 1, 2 }));
    h->bridge().clearWrites();

    QVERIFY(rightClickRow(1));
    QVERIFY(triggerMenu("Delete"));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, 507);
    QCOMPARE(h->bridge().writes().first().values, Regs(7, 0));
    QCOMPARE(h->bridge().regs(500, 7), entryRegs("A", 1, 3, 1, 1));
    QCOMPARE(h->bridge().regs(514, 7), entryRegs("C", 3, 3, 3, 3));
    QCOMPARE(shownRows(), (QList<int>{ 0, 2 }));

    // Clear empties the window's table only.
    const int requests = h->bridge().requestCount();
    w<QPushButton>("sensorClearPushButton")->click();
    QVERIFY(shownRows().isEmpty());
    QCOMPARE(h->bridge().requestCount(), requests);
    QCOMPARE(h->bridge().text(500, 4), QString("A"));
    // After Clear, Add waits for a Reload, then takes the slot Delete freed.
    fillAdd("NEW", "3", 2, "40001", "2");
    w<QPushButton>("sensorAddPushButton")->click();
    QCOMPARE(h->boxes.lastText(), ReloadFirst);
    QVERIFY(h->waitForReplies());
    QCOMPARE(h->bridge().regs(500, 7), entryRegs("A", 1, 3, 1, 1));
    reloadTable();
    QVERIFY(addAndWait("NEW", 1));
    QCOMPARE(shownRows(), (QList<int>{ 0, 1, 2 }));
}

void TestRtuPage::uploadInterval()
{
    auto *edit = w<QLineEdit>("sensorIntervalLineEdit");
    h->bridge().setReg(802, 900);
    w<QPushButton>("sensorIntervalCheckPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("900"), Wait);
    QCOMPARE(h->status(), QString());

    edit->setText("65535");
    w<QPushButton>("sensorIntervalSetPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QCOMPARE(h->bridge().reg(802), quint16(65535));
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, 802);

    // What the register cannot hold is refused, not cut to 16 bits.
    for (const char *bad : { "65536", "-1", "abc", "" }) {
        h->bridge().clearWrites();
        edit->setText(bad);
        w<QPushButton>("sensorIntervalSetPushButton")->click();
        QCOMPARE(h->status(), QString("Upload interval must be a whole number from 0 to 65535!"));
        QVERIFY(h->waitForReplies());
        QVERIFY(h->bridge().writes().isEmpty());
    }
    QCOMPARE(h->bridge().reg(802), quint16(65535));

    // A failed read leaves the field empty and says why.
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = rule.last = 802;
    rule.count = 1;
    h->bridge().addFault(rule);
    w<QPushButton>("sensorIntervalCheckPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString(), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(h->status().endsWith("(Mobus exception: 0x2)"), Wait);
    QCOMPARE(edit->text(), QString());
}

void TestRtuPage::pollingTimeoutNb500()
{
    auto *edit = w<QLineEdit>("sensorTimeOutLineEdit");
    auto *apply = w<QPushButton>("sensorTimeOutWritePushButton");
    h->bridge().setReg(808, 3000);
    w<QPushButton>("sensorTimeOutReadPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("3"), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);

    edit->setText("5");
    apply->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QCOMPARE(h->bridge().reg(808), quint16(5000));
    edit->setText("20");
    apply->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(808), quint16(20000), Wait);

    const QList<QPair<QString, QString>> refused = {
        { "21", "TimeOut time can't be more than 20!" },
        { "0", "TimeOut time can't be less than or equal to 0!" },
        { "-3", "TimeOut time can't be less than or equal to 0!" },
        { "ten", "TimeOut time can't be less than or equal to 0!" },
    };
    h->bridge().clearWrites();
    for (const auto &r : refused) {
        edit->setText(r.first);
        apply->click();
        QCOMPARE(h->status(), r.second);
    }
    QVERIFY(h->waitForReplies());
    QVERIFY(h->bridge().writes().isEmpty());
    QCOMPARE(h->bridge().reg(808), quint16(20000));

    // The page's own error wording for a failed write.
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = rule.last = 808;
    rule.code = 4;
    rule.count = 1;
    h->bridge().addFault(rule);
    edit->setText("2");
    apply->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Write response error:"), Wait);
    QVERIFY2(h->status().endsWith("(Modbus exception:0x4"), qPrintable(h->status()));
    QCOMPARE(h->bridge().reg(808), quint16(20000));
    rule.kind = sim::Fault::NoAnswer;
    h->bridge().addFault(rule);
    apply->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Write response error:"), Wait);
    QVERIFY2(h->status().endsWith("(Modbus code:0x5"), qPrintable(h->status()));
}

void TestRtuPage::pollingTimeoutNb520()
{
    sim::Options options;
    options.model = "NB520-868";
    Harness other(options);
    QVERIFY(other.startWindow());
    other.window()->link()->device()->setNumberOfRetries(0);
    QWidget *p = other.find<QWidget>("sensor");
    auto *edit = p->findChild<QLineEdit *>("sensorTimeOutLineEdit");
    auto *apply = p->findChild<QPushButton *>("sensorTimeOutWritePushButton");
    auto *reload = p->findChild<QPushButton *>("sensorTimeOutReadPushButton");

    // The limits are checked before the link is.
    edit->setText("21");
    apply->click();
    QCOMPARE(other.status(), QString("TimeOut time can't be more than 20!"));

    QVERIFY(other.connectAs());
    other.bridge().setReg(808, 7);
    reload->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("7"), Wait);
    edit->setText("5");
    apply->click();
    QTRY_COMPARE_WITH_TIMEOUT(other.status(), QString("OK!"), Wait);
    QCOMPARE(other.bridge().reg(808), quint16(5));

    // A read the closed link refuses has its own wording.
    other.find<QPushButton>("connectButton")->click();
    QCOMPARE(other.window()->link()->state(), QModbusDevice::UnconnectedState);
    reload->click();
    QVERIFY2(other.status().startsWith("Read Error: "), qPrintable(other.status()));
    edit->setText("4");
    apply->click();
    QVERIFY2(other.status().startsWith("Write error: "), qPrintable(other.status()));
    QCOMPARE(other.bridge().reg(808), quint16(5));
}

QTEST_MAIN(TestRtuPage)
#include "test_rtupage.moc"

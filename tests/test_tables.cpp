// The sensor table, rule chain and chain monitor pages against the simulated
// bridge: their table reads as one table of cases, and the flows that change
// the tables (free entries, the edit dialogs, Delete, Clear, Auto mode).
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "pages/rtu/rulechainedit.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>

using Regs = QVector<quint16>;

namespace {
constexpr int Wait = 20000;
constexpr double Scale = 0.02;  // the pages' pauses, shortened

// A table that its page reads from the bridge in blocks, and what it shows.
struct Table {
    const char *button, *view;
    int start, entrySize, blocks, blockSize;  // entry i at start + i * entrySize
    QString doneBox;    // the note that ends the read and closes itself
    int pauses;         // how long the read takes at least, in unscaled ms
    Regs fields;        // an entry's registers after its name...
    QStringList cells;  // ...and how the view shows them
    const char *add, *clear;
    QString readFirst;  // Add's refusal while the bridge's table is unknown
    int capacity;       // the entries the bridge keeps
    // A read of the entries `used` whose blocks fail in the given ways, and
    // the tags it leaves shown: "A" from the read before, "B" from the bridge.
    QList<int> used;
    QList<QPair<int, sim::Fault>> faults;  // block, fault
    QStringList shown;
};
enum { Sensors, Rules, Monitor };
const Table tables[] = {
    // The second half waits behind the lost first one; Reload waits for it.
    { "sensorUpdatePushButton", "sensorTableView", 500, 7, 2, 70,
      "Read sensor-Configuration done, thanks for patience", 3 * 1000 + 3000,
      { 0x0305, 40001, 2 }, { "5", "3", "40001", "2" }, "sensorAddPushButton",
      "sensorClearPushButton", "Reload the table first, so no entry on the bridge is overwritten.", 20,
      { 0, 3, 12, 19 }, { { 0, sim::Fault::NoAnswer } }, { "B12", "B19" } },
    // Blocks are placed by their reply's address; those behind a lost one
    // are answered after the read has ended and still shown.
    { "ruleChkPushButton", "RuleVIew", 2402, 10, 8, 50,
      "Read rule chain table configuration done, thanks for patience.", 8 * 2000 + 2000,
      { 12, 3, 250, 4, 2, 8000 }, { "12", "3", "A-V", "250", "4", "8000" }, "ruleChainAddPushButton",
      "ruleClrPushButton", "Check the table first, so no rule on the bridge is overwritten.", 40,
      { 0, 7, 12, 27, 33, 38 },
      { { 2, sim::Fault::Exception }, { 5, sim::Fault::NoAnswer }, { 7, sim::Fault::ShortReply } },
      { "B0", "B7", "B33" } },
    // The monitor keeps an entry whose block failed.
    { "monitorCheckpushButton", "MonitorView", 2000, 9, 4, 90, QString(), 4 * 1000 + 6000,
      { 104, 3, 1, 0x6553, 0xF100 }, { "104", "A-A", "Success", "2023-11-14 22:13:20 Tue" },
      nullptr, "monitorClearPushButton", QString(), 40, { 0, 15, 25, 39 },
      { { 0, sim::Fault::Exception }, { 1, sim::Fault::NoAnswer }, { 2, sim::Fault::ShortReply } },
      { "A0", "A15", "A25", "B39" } },
};

QString faultText(sim::Fault fault)
{
    return fault == sim::Fault::NoAnswer    ? "(code: 0x5)"
           : fault == sim::Fault::Exception ? "(Mobus exception: 0x2)"
                                            : "registers. (code: 0x1)";
}

Regs entryRegs(const QString &name, const Regs &fields)
{
    return codec::textToRegisters(name, 4) + fields;
}

void fillTable(sim::SimBridge &bridge, const Table &t, const QString &prefix, const QList<int> &used)
{
    bridge.setRegs(t.start, Regs(t.blocks * t.blockSize, 0));
    for (int e : used)
        bridge.setRegs(t.start + e * t.entrySize, entryRegs(prefix + QString::number(e), t.fields));
}

// Sees every event of an object (the whole application by default) as it happens.
class Watch : public QObject
{
public:
    using Seen = std::function<void(QObject *, QEvent *)>;
    explicit Watch(Seen seen, QObject *on = qApp) : m_seen(std::move(seen)) { on->installEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        m_seen(object, event);
        return false;
    }

private:
    Seen m_seen;
};
} // namespace

class TestTables : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete h; }
    void init();
    void tableReads_data();
    void tableReads();
    void addPauseAtFullLength();
    void freeEntries_data();
    void freeEntries();
    void sensorEdit();
    void ruleEdit();
    void monitorClearAndAuto();

private:
    Harness *h = nullptr;
    QPushButton *button(const char *name) const { return h->find<QPushButton>(name); }
    QTableView *view(int table) const { return h->find<QTableView>(tables[table].view); }
    QString cell(int table, int row, int column) const
    {
        return view(table)->model()->index(row, column).data().toString();
    }
    QStringList shownTags(int table) const;
    void read(int table);
    void reconnect();
    int clickAndCountWrites(QPushButton *button);
    int add(int table, const QString &name);
    bool contextMenu(int table, int row, const QString &action);
};

void TestTables::initTestCase()
{
    QCOMPARE(pacing::scale(), 1.0);  // what the program runs with
    pacing::setScale(Scale);
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    h = new Harness;
    QVERIFY(h->startWindow());
    reconnect();
    // What Add sends besides the name: the fields of `tables`.
    for (const auto &f : QList<QPair<const char *, const char *>>{
             { "sensorSlaveId", "5" }, { "sensorFunCodeCombox", "3" }, { "sensorPLCAddress", "40001" },
             { "sensorLength", "2" }, { "ruleInDeviceIDComboBox", "12" }, { "ruleInChComboBox", "3" },
             { "ruleOutIDComboBox", "250" }, { "ruleOutChnComboBox", "4" }, { "ruleTypeComboBox", "A-V" },
             { "TMOValueLineEdit", "8000" } })
        h->find<QComboBox>(f.first) ? h->find<QComboBox>(f.first)->setCurrentText(f.second)
                                    : h->find<QLineEdit>(f.first)->setText(f.second);
}

void TestTables::init()
{
    QTRY_VERIFY_WITH_TIMEOUT(button("ruleChainAddPushButton")->isEnabled(), Wait);
    // Short, so lost blocks do not hold the reads up; one try, so they stay lost.
    h->window()->link()->device()->setTimeout(1000);
    h->window()->link()->device()->setNumberOfRetries(0);
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

QStringList TestTables::shownTags(int table) const
{
    QStringList tags;
    for (int row = 0; row < view(table)->model()->rowCount(); ++row) {
        if (!view(table)->isRowHidden(row))
            tags << cell(table, row, 0);
    }
    return tags;
}

// A whole table read, its replies (also the late ones) handled.
void TestTables::read(int table)
{
    button(tables[table].button)->click();  // a Reload runs its waits inside the click
    QTRY_VERIFY_WITH_TIMEOUT(button(tables[table].button)->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());
}

// Disconnect if connected, then Connect: the window knows nothing of the tables.
void TestTables::reconnect()
{
    if (h->window()->link()->isConnected())
        button("connectButton")->click();
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    auto *tabs = h->find<QTabWidget>("tabWidget");
    for (int tab = 0; tab < MainWindow::TabCount; ++tab)
        tabs->setTabEnabled(tab, true);
    init();
}

// Clicks, waits for the answers to all it sent, and counts its writes.
int TestTables::clickAndCountWrites(QPushButton *button)
{
    const int before = h->bridge().writes().size();
    h->boxes.clear();
    button->click();
    return h->waitForReplies() ? h->bridge().writes().size() - before : -1;
}

// Adds an entry named `name` with the table's fields (set at the start).
int TestTables::add(int table, const QString &name)
{
    if (!QTest::qWaitFor([&] { return button(tables[table].add)->isEnabled(); }, Wait))
        return -1;
    h->find<QLineEdit>(table == Sensors ? "sensorTypeLineEdit" : "ruleNameLineEdit")->setText(name);
    return clickAndCountWrites(button(tables[table].add));
}

// Right-clicks a row (-1: below the rows) and picks `action` from the
// menu; false when no menu came up.
bool TestTables::contextMenu(int table, int row, const QString &action)
{
    h->find<QTabWidget>("tabWidget")->setCurrentIndex(table == Sensors ? MainWindow::TabRtu
                                                                         : MainWindow::TabRuleChain);
    QTableView *v = view(table);
    const QPoint pos = row < 0 ? QPoint(5, v->viewport()->height() - 3)
                               : v->visualRect(v->model()->index(row, 1)).center();
    int shown = -1;
    QTimer::singleShot(0, [&] {  // the menu is up by then, in its own loop or not
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        shown = menu != nullptr;
        if (menu)
            menu->close();
        for (QAction *a : menu ? menu->actions() : QList<QAction *>())
            if (a->text() == action)
                a->trigger();
    });
    QMetaObject::invokeMethod(v, "customContextMenuRequested", Q_ARG(QPoint, pos));
    return QTest::qWaitFor([&] { return shown >= 0; }, Wait) && shown == 1;
}

void TestTables::tableReads_data()
{
    freeEntries_data();  // the sensor table and the rule chain
    QTest::newRow("chain monitor") << int(Monitor);
}

// A good read sends every block once, in order, takes its pauses and ends
// with its note; a read with failed blocks reports each, shows what the
// others brought (an emptied entry where the page clears first, the earlier
// one where it keeps it) and writes nothing; a clean read then shows it all.
void TestTables::tableReads()
{
    QFETCH(int, table);
    const Table &t = tables[table];
    sim::SimBridge &bridge = h->bridge();
    QStringList earlier, now, sent, blocks;
    for (int e : t.used) {
        earlier << QString("A%1").arg(e);
        now << QString("B%1").arg(e);
    }
    for (int k = 0; k < t.blocks; ++k)
        blocks << QString("%1+%2").arg(t.start + k * t.blockSize).arg(t.blockSize);
    blocks << "0+1";  // the harness's own read after them

    fillTable(bridge, t, "A", t.used);
    h->boxes.autoClose = false;  // the note closes itself
    QStringList notes;  // title | text
    auto watch = std::make_unique<Watch>([&](QObject *object, QEvent *event) {
        if (auto *box = qobject_cast<QMessageBox *>(object); box && event->type() == QEvent::Show)
            notes << box->windowTitle() + '|' + box->text();
    });
    QElapsedTimer clock;
    clock.start();
    read(table);
    QVERIFY2(clock.elapsed() >= pacing::ms(t.pauses), qPrintable(QString::number(clock.elapsed())));
    watch.reset();
    h->boxes.autoClose = true;
    QVERIFY(!QApplication::activeModalWidget());
    // Only its icon text says "Tip".
    QCOMPARE(notes, t.doneBox.isEmpty() ? QStringList() : QStringList{ '|' + t.doneBox });
    for (const sim::ReadRecord &r : bridge.reads())
        sent << QString("%1+%2").arg(r.start).arg(r.count);
    QCOMPARE(sent, blocks);
    QCOMPARE(shownTags(table), earlier);
    for (int col = 0; col < t.cells.size(); ++col)
        QCOMPARE(cell(table, t.used.last(), col + 1), t.cells.at(col));

    fillTable(bridge, t, "B", t.used);
    for (const auto &f : t.faults) {
        sim::FaultRule rule;
        rule.kind = f.second;
        rule.first = rule.last = t.start + f.first * t.blockSize;
        rule.count = 1;
        bridge.addFault(rule);
    }
    QSignalSpy messages(h->window()->link(), &Link::statusMessage);
    read(table);
    QCOMPARE(shownTags(table), t.shown);
    for (const auto &f : t.faults) {
        QVERIFY2(std::any_of(messages.begin(), messages.end(), [&](const QList<QVariant> &m) {
                     const QString text = m.first().toString();
                     return text.startsWith("Read response error: ") && text.endsWith(faultText(f.second));
                 }), qPrintable(faultText(f.second)));
    }

    read(table);
    QCOMPARE(shownTags(table), now);
    QVERIFY(bridge.writes().isEmpty());
}

// The one pause checked at the program's own time scale: Add holds its
// button back 4 s while the device stores the rule. It starts just after a
// half second of the monotonic clock, which a coarse timer (5 % allowed)
// would round its end down to.
void TestTables::addPauseAtFullLength()
{
    read(Rules);
    pacing::setScale(1.0);
    QPushButton *add = button("ruleChainAddPushButton");
    h->find<QLineEdit>("ruleNameLineEdit")->setText("paced");
    QElapsedTimer clock;
    qint64 took = -1;
    Watch enabled([&](QObject *, QEvent *event) {
        if (event->type() == QEvent::EnabledChange && add->isEnabled())
            took = clock.elapsed();
    }, add);
    QVERIFY(QTest::qWaitFor([&] { return clock.start(), clock.msecsSinceReference() % 500 / 20 == 1; }, 5000));
    add->click();
    QVERIFY(!add->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(took >= 0, Wait);
    pacing::setScale(Scale);
    QVERIFY2(took >= 4000, qPrintable(QString::number(took)));
    QCOMPARE(h->bridge().writes().size(), 1);
}

void TestTables::freeEntries_data()
{
    QTest::addColumn<int>("table");
    QTest::newRow("sensor table") << int(Sensors);
    QTest::newRow("rule chain") << int(Rules);
}

// Add takes the first entry free on the bridge, up to the last; Delete frees
// the entry clicked; Clear, a read with a failed block and a new Connect each
// make the table unknown again, so Add refuses, as it does before any read;
// on a full table Add writes nothing.
void TestTables::freeEntries()
{
    QFETCH(int, table);
    const Table &t = tables[table];
    sim::SimBridge &bridge = h->bridge();
    const auto entry = [&](int e) { return t.start + e * t.entrySize; };
    const auto lastWrite = [&] { return bridge.writes().isEmpty() ? -1 : bridge.writes().last().start; };
    const auto refused = [&] { return add(table, "x") == 0 && h->boxes.lastText() == t.readFirst; };
    QList<int> used;
    for (int e = 0; e < t.capacity - 1; ++e)
        used << e;
    used.removeOne(4);
    fillTable(bridge, t, "T", used);
    reconnect();
    QVERIFY(refused());
    read(table);
    QCOMPARE(add(table, "TANK1"), 1);
    QCOMPARE(lastWrite(), entry(4));
    QCOMPARE(bridge.writes().last().values, entryRegs("TANK1", t.fields));
    QCOMPARE(cell(table, 4, 0), QString("TANK1"));
    QCOMPARE(add(table, "LAST"), 1);
    QCOMPARE(lastWrite(), entry(t.capacity - 1));
    QCOMPARE(shownTags(table).size(), t.capacity);
    QCOMPARE(add(table, "MORE"), 0);
    QCOMPARE(shownTags(table).size(), t.capacity);

    view(table)->setCurrentIndex(view(table)->model()->index(0, 0));  // not the row clicked
    QVERIFY(contextMenu(table, 7, "Delete"));
    QVERIFY(h->waitForReplies());
    QCOMPARE(lastWrite(), entry(7));
    QCOMPARE(bridge.writes().last().values, Regs(t.entrySize, 0));
    QCOMPARE(bridge.text(entry(8), 4), QString("T8"));
    QVERIFY(view(table)->isRowHidden(7));
    QCOMPARE(add(table, "AGAIN"), 1);
    QCOMPARE(lastWrite(), entry(7));

    const int requests = bridge.requestCount();
    button(t.clear)->click();
    QVERIFY(shownTags(table).isEmpty());
    QCOMPARE(bridge.requestCount(), requests);
    QVERIFY(refused());
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = rule.last = t.start + t.blockSize;
    rule.count = 1;
    bridge.addFault(rule);
    read(table);
    QVERIFY(refused());
    read(table);
    reconnect();
    QVERIFY(refused());
}

// The one dialog edits one entry at a time; only a confirmed edit writes.
void TestTables::sensorEdit()
{
    sim::SimBridge &bridge = h->bridge();
    bridge.setRegs(500, Regs(140, 0));
    bridge.setRegs(500 + 7 * 2, entryRegs("PUMP", { 0x0305, 100, 2 }));
    bridge.setRegs(500 + 7 * 4, entryRegs("VALVE", { 0x0406, 200, 3 }));
    read(Sensors);
    auto *dialog = h->find<QDialog>("sensor_edit");
    auto *code = dialog->findChild<QComboBox *>("sensorFunctionCodeComboBox");
    const auto field = [&](int i) {
        return dialog->findChild<QLineEdit *>(QStringList{ "sensorTypeLE", "sensorSlaveId", "sensorPLCAddress",
                                                           "sensorLLE" }.at(i));
    };

    emit view(Sensors)->doubleClicked(view(Sensors)->model()->index(4, 0));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), Wait);
    QVERIFY(contextMenu(Sensors, 2, "Edit"));  // the open dialog stays on its entry
    const QStringList edited{ "VALVE-2", "9", "301", "40" }, shown{ "VALVE", "6", "200", "3" };
    QCOMPARE(code->currentText(), QString("4"));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(field(i)->text(), shown.at(i));
        field(i)->setText(edited.at(i));
    }
    code->setCurrentText("1");
    QCOMPARE(clickAndCountWrites(dialog->findChild<QPushButton *>("sensorAddPushButton")), 1);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(bridge.writes().last().start, 500 + 7 * 4);
    QCOMPARE(bridge.regs(500 + 7 * 4, 7), entryRegs("VALVE-2", { 0x0109, 301, 40 }));
    QCOMPARE(cell(Sensors, 4, 0), QString("VALVE-2"));

    // Closed without confirming, or its entry deleted meanwhile: nothing written.
    QVERIFY(contextMenu(Sensors, 2, "Edit"));
    field(0)->setText("CHANGED");
    dialog->close();
    QVERIFY(contextMenu(Sensors, 2, "Edit"));
    QVERIFY(contextMenu(Sensors, 2, "Delete"));
    QVERIFY(!dialog->isVisible());
    QVERIFY(h->waitForReplies());
    QCOMPARE(bridge.writes().size(), 2);
    QCOMPARE(bridge.writes().last().values, Regs(7, 0));
    QCOMPARE(shownTags(Sensors), QStringList{ "VALVE-2" });
    QVERIFY(!contextMenu(Sensors, -1, "Delete"));  // below the rows: no menu
}

// Each Edit opens a dialog of its own on the row clicked, whatever row is
// current; an output channel without a value drops the value.
void TestTables::ruleEdit()
{
    sim::SimBridge &bridge = h->bridge();
    fillTable(bridge, tables[Rules], "R", { 0, 1 });
    read(Rules);
    view(Rules)->setCurrentIndex(view(Rules)->model()->index(0, 0));
    emit view(Rules)->doubleClicked(view(Rules)->model()->index(1, 2));
    QPointer<ruleChainEdit> dialog = h->window()->findChild<ruleChainEdit *>();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    const auto combo = [&](const char *name) { return dialog->findChild<QComboBox *>(name); };
    auto *name = dialog->findChild<QLineEdit *>("ruleChainRuleNameEdit");
    QCOMPARE((QStringList{ name->text(), dialog->findChild<QLineEdit *>("ruleChainTMOValueLineEdit")->text(),
                           combo("ruleChainInIDComboBox")->currentText(),
                           combo("ruleChainOutChComboBox")->currentText(),
                           combo("ruleChainRuleTypeComBox")->currentText() }),
             (QStringList{ "R1", "8000", "12", "4", "A-V" }));
    name->setText("pump");
    combo("ruleChainOutChComboBox")->setCurrentText("7");
    combo("ruleChainRuleTypeComBox")->setCurrentText("A-A");
    QCOMPARE(clickAndCountWrites(dialog->findChild<QPushButton *>("ruleChainEditPushButton")), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog, Wait);
    QCOMPARE(bridge.writes().last().start, 2412);
    QCOMPARE(bridge.writes().last().values, entryRegs("pump", { 12, 3, 250, 7, 3, 0 }));
    QCOMPARE(shownTags(Rules), (QStringList{ "R0", "pump" }));
    QCOMPARE(cell(Rules, 1, 3), QString("A-A"));

    // The menu's Edit, too; below the rows neither opens anything.
    QVERIFY(contextMenu(Rules, 0, "Edit"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog = h->window()->findChild<ruleChainEdit *>(), Wait);
    QCOMPARE(dialog->findChild<QLineEdit *>("ruleChainRuleNameEdit")->text(), QString("R0"));
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog, Wait);  // deleted when closed
    QVERIFY(!contextMenu(Rules, -1, "Edit"));
    QVERIFY(!h->window()->findChild<ruleChainEdit *>());
    QCOMPARE(bridge.writes().size(), 1);

    // The page's value field is there for the output channels with a value.
    const QStringList labels{ "", "Output Voltage(mV):", "Output Current(uA):" };  // 3, 5, 4
    for (int i = 0; i < labels.size(); ++i) {
        h->find<QComboBox>("ruleOutChnComboBox")->setCurrentText(QString("354").at(i));
        auto *label = h->find<QLabel>("label_136");
        QCOMPARE(label->isHidden() ? QString() : label->text(), labels.at(i));
        QCOMPARE(h->find<QLineEdit>("TMOValueLineEdit")->isHidden(), i == 0);
    }
}

// Clear empties the window's copy only. Auto reads every minute, from a
// minute after it is checked; a tick during a read is skipped.
void TestTables::monitorClearAndAuto()
{
    sim::SimBridge &bridge = h->bridge();
    fillTable(bridge, tables[Monitor], "M", { 0, 8 });
    bridge.setRegs(2000 + 9 * 8 + 4, { 7, 4, 2 });  // no type text, a failure
    button("monitorClearPushButton")->click();
    QVERIFY(shownTags(Monitor).isEmpty());

    auto *radio = h->find<QRadioButton>("monitorRadioButton");
    radio->click();
    auto *timer = h->window()->findChild<QTimer *>("monitorTimer");
    QVERIFY(timer && timer->isActive() && !timer->isSingleShot() && timer->interval() == 60000);
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QTRY_VERIFY_WITH_TIMEOUT(button("monitorCheckpushButton")->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());
    QCOMPARE(bridge.reads().size(), 4 + 1);  // nothing before the ticks; the harness's marker
    QCOMPARE(shownTags(Monitor), (QStringList{ "M0", "M8" }));
    QCOMPARE(cell(Monitor, 8, 2), QString());
    QCOMPARE(cell(Monitor, 8, 3), QString("Fail"));
    radio->click();
    QVERIFY(!timer->isActive());
    QVERIFY(bridge.writes().isEmpty());
}

QTEST_MAIN(TestTables)
#include "test_tables.moc"

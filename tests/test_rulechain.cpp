// The " Rule Chain" page end to end against the simulated bridge.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "pages/rtu/rulechainedit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QModbusClient>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {
constexpr int Timeout = 20000;
const QString CheckFirst = "Check the table first, so no rule on the bridge is overwritten.";

Regs ruleRegs(const QString &name, quint16 in, quint16 inCh, quint16 out, quint16 outCh,
              quint16 type, quint16 value)
{
    Regs r = codec::textToRegisters(name, 4);
    r << in << inCh << out << outCh << type << value;
    return r;
}
}

class TestRuleChain : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void outputValueField();
    void add_data();
    void add();
    void freeEntriesAndClear();
    void edit_data();
    void edit();
    void menuActsOnClickedRow();
    void fullRead();
    void loopTime();
    void closingDuringWaits();

private:
    Harness *h = nullptr;
    QTableView *view() { return h->find<QTableView>("RuleVIew"); }
    QPushButton *button(const char *name) { return h->find<QPushButton>(name); }
    QString cell(int row, int column) { return view()->model()->index(row, column).data().toString(); }
    void enableTab(Harness *harness);
    bool addRule(const QString &name, int outChannel = 0, const QString &value = QString());
    void readTable();
    void runMenu(int row, const QString &action);
};

void TestRuleChain::enableTab(Harness *harness)
{
    auto *tabs = harness->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabRuleChain, true);
    tabs->setCurrentIndex(MainWindow::TabRuleChain);
}

void TestRuleChain::initTestCase()
{
    pacing::setScale(0.05);
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    // The identification's last reads are answered after Connect returns.
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    // On a slow machine more of them may still be on their way.
    QVERIFY(h->waitForReplies());
    // Identification keeps the tab disabled; the page is complete all the same.
    QVERIFY(!h->find<QTabWidget>("tabWidget")->isTabEnabled(MainWindow::TabRuleChain));
    enableTab(h);
}

void TestRuleChain::cleanupTestCase()
{
    delete h;
}

void TestRuleChain::init()
{
    QTRY_VERIFY_WITH_TIMEOUT(button("ruleChainAddPushButton")->isEnabled(), Timeout);
    button("ruleClrPushButton")->click();
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->bridge().setRegs(2400, Regs(402, 0));
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

// The whole table from the bridge: what Add needs to know which entries are free.
void TestRuleChain::readTable()
{
    button("ruleChkPushButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(button("ruleChkPushButton")->isEnabled(), Timeout);
    QVERIFY(h->waitForReplies());
    h->boxes.clear();
}

bool TestRuleChain::addRule(const QString &name, int outChannel, const QString &value)
{
    if (!QTest::qWaitFor([this] { return button("ruleChainAddPushButton")->isEnabled(); }, Timeout))
        return false;
    h->find<QLineEdit>("ruleNameLineEdit")->setText(name);
    h->find<QComboBox>("ruleOutChnComboBox")->setCurrentIndex(outChannel);
    h->find<QLineEdit>("TMOValueLineEdit")->setText(value);
    const int writes = h->bridge().writes().size();
    const int boxes = h->boxes.boxes.size();
    button("ruleChainAddPushButton")->click();
    if (h->boxes.boxes.size() > boxes)  // refused
        return false;
    return QTest::qWaitFor([&] { return h->bridge().writes().size() > writes; }, Timeout);
}

void TestRuleChain::outputValueField()
{
    auto *combo = h->find<QComboBox>("ruleOutChnComboBox");
    auto *edit = h->find<QLineEdit>("TMOValueLineEdit");
    auto *label = h->find<QLabel>("label_136");
    edit->setText("1234");
    for (int ch = 0; ch <= 7; ++ch) {
        combo->setCurrentIndex(ch);
        QCOMPARE(edit->isVisible(), ch == 4 || ch == 5);
        QCOMPARE(label->isVisible(), ch == 4 || ch == 5);
        QCOMPARE(h->find<QLabel>("label_137")->isVisible(), ch == 4 || ch == 5);
        if (ch == 4)
            QCOMPARE(label->text(), QString("Output Current(uA):"));
        if (ch == 5)
            QCOMPARE(label->text(), QString("Output Voltage(mV):"));
    }
    QCOMPARE(edit->text(), QString("1234"));  // hiding keeps the text
    combo->setCurrentIndex(0);
}

void TestRuleChain::add_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outChannel");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal");  // empty: written
    QTest::addColumn<int>("stored");       // value register when written
    QTest::newRow("nine characters") << "abcdefghi" << 0 << "" << "Please set Rule-Name with maximum 8 words." << 0;
    QTest::newRow("long name first") << "abcdefghi" << 4 << "" << "Please set Rule-Name with maximum 8 words." << 0;
    QTest::newRow("empty name") << "" << 4 << "" << "Please set Rule Name." << 0;
    QTest::newRow("not latin-1") << QString::fromUtf8("温度") << 0 << "" << "Please set Rule Name with Latin-1 characters only." << 0;
    QTest::newRow("current empty") << "r" << 4 << "" << "Please set valid Current/Voltage value." << 0;
    QTest::newRow("current not a number") << "r" << 4 << "12mA" << "Please set valid Current/Voltage value." << 0;
    QTest::newRow("current 4000") << "r" << 4 << "4000" << "" << 4000;
    QTest::newRow("current 3999") << "r" << 4 << "3999" << "Please set Current value greater than 4000uA." << 0;
    QTest::newRow("current 20000") << "r" << 4 << "20000" << "" << 20000;
    QTest::newRow("current 20001") << "r" << 4 << "20001" << "Please set Current value less than 20000uA." << 0;
    // The typed value is checked, not its low 16 bits (4464 and 0).
    QTest::newRow("current 70000") << "r" << 4 << "70000" << "Please set Current value less than 20000uA." << 0;
    QTest::newRow("voltage 65536") << "r" << 5 << "65536" << "Please set Voltage value less than 10000." << 0;
    QTest::newRow("current -1") << "r" << 4 << "-1" << "Please set Current value greater than 4000uA." << 0;
    QTest::newRow("voltage 0") << "r" << 5 << "0" << "" << 0;
    QTest::newRow("voltage 10000") << "r" << 5 << "10000" << "" << 10000;
    QTest::newRow("voltage 10001") << "r" << 5 << "10001" << "Please set Voltage value less than 10000." << 0;
    QTest::newRow("voltage -5") << "r" << 5 << "-5" << "Please set Current/Voltage value greater than 0." << 0;
    QTest::newRow("channel 2 ignores value") << "r" << 2 << "99999" << "" << 0;
    QTest::newRow("eight characters") << "abcdefgh" << 0 << "" << "" << 0;
    QTest::newRow("table not read") << "r" << 4 << "4000" << CheckFirst << 0;
}

void TestRuleChain::add()
{
    QFETCH(QString, name);
    QFETCH(int, outChannel);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    QFETCH(int, stored);
    if (refusal.isEmpty())
        readTable();  // init() has cleared the window's copy
    h->find<QLineEdit>("ruleNameLineEdit")->setText(name);
    h->find<QComboBox>("ruleInDeviceIDComboBox")->setCurrentText("12");
    h->find<QComboBox>("ruleInChComboBox")->setCurrentText("3");
    h->find<QComboBox>("ruleTypeComboBox")->setCurrentText("A-V");
    h->find<QComboBox>("ruleOutIDComboBox")->setCurrentText("250");
    h->find<QComboBox>("ruleOutChnComboBox")->setCurrentIndex(outChannel);
    h->find<QLineEdit>("TMOValueLineEdit")->setText(value);
    QPushButton *add = button("ruleChainAddPushButton");
    add->click();
    if (!refusal.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, Timeout);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), refusal);
        QVERIFY(add->isEnabled());
        QCOMPARE(h->bridge().requestCount() >= 0, true);
        QVERIFY(h->bridge().writes().isEmpty());
        QVERIFY(view()->isRowHidden(0));
        return;
    }
    // Stored at once and the button held back while the device stores it.
    QVERIFY(!add->isEnabled());
    QVERIFY(!view()->isRowHidden(0));
    QCOMPARE(cell(0, 0), name);
    QCOMPARE(cell(0, 3), QString("A-V"));
    QCOMPARE(cell(0, 6), QString::number(stored));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 2402);
    Regs expected = codec::textToRegisters(name, 4);
    expected << 12 << 3 << 250 << quint16(outChannel) << 2 << quint16(stored);
    QCOMPARE(writes.first().values, expected);
    QCOMPARE(h->bridge().regs(2402, 10), expected);
    QTRY_VERIFY_WITH_TIMEOUT(add->isEnabled(), Timeout);
    QVERIFY(h->boxes.boxes.isEmpty());
}

void TestRuleChain::freeEntriesAndClear()
{
    readTable();
    QVERIFY(addRule("abc"));
    QVERIFY(addRule("second"));
    QVERIFY(addRule("third"));
    auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 3);
    QCOMPARE(writes.at(0).start, 2402);
    QCOMPARE(writes.at(0).values.mid(0, 4), (Regs{ 0x6162, 0x6300, 0x0000, 0x0000 }));
    QCOMPARE(writes.at(1).start, 2412);
    QCOMPARE(writes.at(2).start, 2422);
    for (int r = 0; r < 40; ++r)
        QCOMPARE(view()->isRowHidden(r), r > 2);

    // Clear forgets the window's copy only: nothing is sent, and Add waits
    // for the next Check rather than overwrite the device's entry 0.
    const int requests = h->bridge().requestCount();
    button("ruleClrPushButton")->click();
    for (int r = 0; r < 40; ++r)
        QVERIFY(view()->isRowHidden(r));
    QCOMPARE(h->bridge().requestCount(), requests);
    QCOMPARE(h->bridge().text(2412, 4), QString("second"));
    QVERIFY(!addRule("again"));
    QCOMPARE(h->boxes.lastText(), CheckFirst);
    QVERIFY(h->waitForReplies());
    QCOMPARE(h->bridge().writes().size(), 3);
    readTable();
    QVERIFY(addRule("again"));
    QCOMPARE(h->bridge().writes().last().start, 2432);
    QCOMPARE(h->bridge().text(2402, 4), QString("abc"));
    QCOMPARE(h->bridge().text(2432, 4), QString("again"));

    // So does a new Connect.
    h->find<QPushButton>("connectButton")->click();  // Disconnect
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    enableTab(h);
    h->bridge().clearWrites();
    QVERIFY(!addRule("more"));
    QCOMPARE(h->boxes.lastText(), CheckFirst);
    QVERIFY(h->waitForReplies());
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestRuleChain::edit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outChannel");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("stored");
    QTest::newRow("nine characters") << "abcdefghi" << 4 << "5000" << "Please set Rule-Name with maximum 8 words." << 0;
    QTest::newRow("empty name") << "" << 4 << "5000" << "Please set Rule Name." << 0;
    QTest::newRow("value empty") << "pump" << 5 << "" << "Please set valid Current/Voltage value." << 0;
    QTest::newRow("negative") << "pump" << 4 << "-1" << "Please set Current/Voltage value greater than 0." << 0;
    QTest::newRow("channel 1 ignores a negative value") << "pump" << 1 << "-1" << "" << 0;
    QTest::newRow("current 20001") << "pump" << 4 << "20001" << "Please set Current value less than 20000uA." << 0;
    QTest::newRow("current 70000") << "pump" << 4 << "70000" << "Please set Current value less than 20000uA." << 0;
    QTest::newRow("current 3999") << "pump" << 4 << "3999" << "Please set Current value greater than 4000uA." << 0;
    QTest::newRow("voltage 10001") << "pump" << 5 << "10001" << "Please set Voltage value less than 10000." << 0;
    QTest::newRow("current 20000") << "pump" << 4 << "20000" << "" << 20000;
    QTest::newRow("voltage 7500") << "pump" << 5 << "7500" << "" << 7500;
    QTest::newRow("channel 7 drops value") << "valve" << 7 << "123" << "" << 0;
}

void TestRuleChain::edit()
{
    QFETCH(QString, name);
    QFETCH(int, outChannel);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    QFETCH(int, stored);
    h->bridge().setRegs(2402, ruleRegs("first", 12, 3, 250, 0, 2, 0));
    h->bridge().setRegs(2412, ruleRegs("second", 12, 3, 250, 4, 2, 8000));
    readTable();

    // A double click on row 1 edits entry 1, whatever row is current.
    view()->setCurrentIndex(view()->model()->index(0, 0));
    QMetaObject::invokeMethod(view(), "doubleClicked",
                              Q_ARG(QModelIndex, view()->model()->index(1, 2)));
    QPointer<ruleChainEdit> dialog = h->window()->findChild<ruleChainEdit *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowTitle(), QString("Rule Chain Configuration"));
    QCOMPARE(dialog->entryIndex(), 1);
    auto *nameEdit = dialog->findChild<QLineEdit *>("ruleChainRuleNameEdit");
    auto *valueEdit = dialog->findChild<QLineEdit *>("ruleChainTMOValueLineEdit");
    QCOMPARE(nameEdit->text(), QString("second"));
    QCOMPARE(valueEdit->text(), QString("8000"));
    QCOMPARE(dialog->findChild<QComboBox *>("ruleChainOutChComboBox")->currentText(), QString("4"));
    QCOMPARE(dialog->findChild<QComboBox *>("ruleChainInIDComboBox")->currentText(), QString("12"));

    nameEdit->setText(name);
    valueEdit->setText(value);
    dialog->findChild<QComboBox *>("ruleChainOutChComboBox")->setCurrentIndex(outChannel);
    dialog->findChild<QComboBox *>("ruleChainRuleTypeComBox")->setCurrentIndex(3);
    dialog->findChild<QPushButton *>("ruleChainEditPushButton")->click();
    if (!refusal.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, Timeout);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), refusal);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(h->bridge().writes().size(), 0);
        QCOMPARE(cell(1, 0), QString("second"));
        dialog->close();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog, Timeout);  // deleted when closed
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dialog, Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Timeout);
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.first().start, 2412);
    Regs expected = codec::textToRegisters(name, 4);
    expected << 12 << 3 << 250 << quint16(outChannel) << 3 << quint16(stored);
    QCOMPARE(writes.first().values, expected);
    QCOMPARE(cell(1, 0), name);
    QCOMPARE(cell(1, 3), QString("A-A"));
    QCOMPARE(cell(1, 6), QString::number(stored));
    QCOMPARE(cell(0, 0), QString("first"));
}

void TestRuleChain::runMenu(int row, const QString &action)
{
    const QPoint pos = row < 0 ? QPoint(5, view()->viewport()->height() - 5)
                               : view()->visualRect(view()->model()->index(row, 1)).center();
    bool shown = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        shown = true;
        poll.stop();
        QAction *chosen = nullptr;
        for (QAction *a : menu->actions())
            if (a->text() == action)
                chosen = a;
        menu->close();
        if (chosen)
            chosen->trigger();
    });
    poll.start();
    QMetaObject::invokeMethod(view(), "customContextMenuRequested", Q_ARG(QPoint, pos));
    QCOMPARE(shown, row >= 0);
}

void TestRuleChain::menuActsOnClickedRow()
{
    readTable();
    QVERIFY(addRule("r0"));
    QVERIFY(addRule("r1"));
    QVERIFY(addRule("r2"));
    QVERIFY(addRule("r3"));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    h->bridge().clearWrites();

    // Delete on row 3 while row 0 is current: entry 3 is emptied.
    view()->setCurrentIndex(view()->model()->index(0, 0));
    runMenu(3, "Delete");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Timeout);
    QCOMPARE(h->bridge().writes().first().start, 2432);
    QCOMPARE(h->bridge().writes().first().values, Regs(10, 0));
    QCOMPARE(h->bridge().regs(2432, 10), Regs(10, 0));
    QCOMPARE(h->bridge().text(2402, 4), QString("r0"));
    QVERIFY(view()->isRowHidden(3));
    QVERIFY(!view()->isRowHidden(0));

    // Edit from the menu opens the clicked row's entry.
    runMenu(2, "Edit");
    QPointer<ruleChainEdit> dialog = h->window()->findChild<ruleChainEdit *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->entryIndex(), 2);
    QCOMPARE(dialog->findChild<QLineEdit *>("ruleChainRuleNameEdit")->text(), QString("r2"));
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog, Timeout);

    // Outside any row: no menu, nothing written, no dialog.
    runMenu(-1, "Delete");
    QMetaObject::invokeMethod(view(), "doubleClicked", Q_ARG(QModelIndex, QModelIndex()));
    QVERIFY(!h->window()->findChild<ruleChainEdit *>());
    QCOMPARE(h->bridge().writes().size(), 1);

    // The entry freed by Delete is the next one Add takes.
    QVERIFY(addRule("new"));
    QCOMPARE(h->bridge().writes().last().start, 2432);
}

void TestRuleChain::fullRead()
{
    // An old window copy that the read replaces.
    readTable();
    QVERIFY(addRule("stale"));
    // Device table: entry i named "d<i>" for every third entry, the rest free.
    for (int i = 0; i < 40; ++i) {
        const bool used = i % 3 == 0;
        h->bridge().setRegs(2402 + 10 * i, used ? ruleRegs(QString("d%1").arg(i), i + 1, i % 8, 250 - i,
                                                           4, i % 4, 4000 + i)
                                                : Regs(10, 0));
    }
    h->bridge().clearReads();
    h->boxes.clear();

    // Block 2 (entries 10-14) is refused by the device, block 5 (25-29) gets no answer.
    sim::FaultRule refused;
    refused.kind = sim::Fault::Exception;
    refused.first = 2502;
    refused.last = 2502;
    refused.function = 3;
    h->bridge().addFault(refused);
    sim::FaultRule lost;
    lost.kind = sim::Fault::NoAnswer;
    lost.first = 2652;
    lost.last = 2652;
    lost.function = 3;
    lost.count = 1;
    h->bridge().addFault(lost);

    QPushButton *check = button("ruleChkPushButton");
    check->click();
    QVERIFY(!check->isEnabled());
    for (int r = 0; r < 40; ++r)
        QVERIFY(view()->isRowHidden(r));  // the window's copy is cleared first
    QTRY_VERIFY_WITH_TIMEOUT(check->isEnabled(), Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reads().size(), 8, Timeout);
    const auto reads = h->bridge().reads();
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(reads.at(k).start, 2402 + 50 * k);
        QCOMPARE(reads.at(k).count, 50);
    }
    QCOMPARE(h->boxes.boxes.size(), 1);
    QCOMPARE(h->boxes.lastText(),
             QString("Read rule chain table configuration done, thanks for patience."));

    // The lost reply ends in its time-out after the read: wait for its report.
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Read response error:")
                             && h->status().contains("(code: 0x5)"), Timeout);
    // The blocks behind the lost one are answered after the read has ended.
    QTRY_VERIFY_WITH_TIMEOUT(!view()->isRowHidden(39), Timeout);
    for (int i = 0; i < 40; ++i) {
        const bool failed = (i >= 10 && i < 15) || (i >= 25 && i < 30);
        const bool used = i % 3 == 0 && !failed;
        QCOMPARE(view()->isRowHidden(i), !used);
        QCOMPARE(cell(i, 7), QString::number(i));
        if (used) {
            QCOMPARE(cell(i, 0), QString("d%1").arg(i));
            QCOMPARE(cell(i, 1), QString::number(i + 1));
            QCOMPARE(cell(i, 2), QString::number(i % 8));
            QCOMPARE(cell(i, 3), codec::ruleTypeText(i % 4));
            QCOMPARE(cell(i, 4), QString::number(250 - i));
            QCOMPARE(cell(i, 6), QString::number(4000 + i));
        } else {
            QCOMPARE(cell(i, 0), QString());
        }
    }
    QCOMPARE(h->bridge().writes().size(), 1);  // only the Add above

    // With two blocks unknown, Add cannot tell which entries are free.
    QVERIFY(!addRule("x"));
    QCOMPARE(h->boxes.lastText(), CheckFirst);
    QVERIFY(h->waitForReplies());
    QCOMPARE(h->bridge().writes().size(), 1);
}

void TestRuleChain::loopTime()
{
    auto *edit = h->find<QLineEdit>("ruleIntervalLineEdit");
    h->bridge().setReg(2400, 0xFFFF);
    button("ruleIntervalChkPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    QCOMPARE(edit->text(), QString("-1"));
    h->bridge().setReg(2400, 30);
    button("ruleIntervalChkPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("30"), Timeout);

    edit->setText("65537");
    button("ruleIntervalSetPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Timeout);
    QCOMPARE(h->bridge().writes().first().start, 2400);
    QCOMPARE(h->bridge().writes().first().values, Regs{ 1 });
    QCOMPARE(h->bridge().reg(2401), quint16(0));
}

void TestRuleChain::closingDuringWaits()
{
    for (int what = 0; what < 2; ++what) {
        Harness other;
        QVERIFY(other.startWindow());
        QVERIFY(other.connectAs());
        enableTab(&other);
        QPointer<MainWindow> window = other.window();
        if (what == 0) {
            other.find<QPushButton>("ruleChkPushButton")->click();
            QTRY_VERIFY_WITH_TIMEOUT(other.find<QPushButton>("ruleChkPushButton")->isEnabled(),
                                     Timeout);
            other.find<QLineEdit>("ruleNameLineEdit")->setText("gone");
            other.find<QPushButton>("ruleChainAddPushButton")->click();
        } else {
            other.find<QPushButton>("ruleChkPushButton")->click();
        }
        QVERIFY(!other.find<QPushButton>(what == 0 ? "ruleChainAddPushButton" : "ruleChkPushButton")
                     ->isEnabled());
        window->close();
        delete window;
        QVERIFY(!window);
        QCoreApplication::processEvents();
    }
    // This window carries on untouched.
    readTable();
    QVERIFY(addRule("still"));
}

QTEST_MAIN(TestRuleChain)
#include "test_rulechain.moc"

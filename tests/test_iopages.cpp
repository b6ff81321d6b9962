// The "I/O", "Adjust" and "TMO I/O" pages against the simulated bridge:
// which register each row touches, how values are shown, the output limits
// and what the device holds afterwards.
#include "testsupport.h"

#include "link/link.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using Regs = QVector<quint16>;

class TestIoPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void beforeIdentification();
    void readRows_data();
    void readRows();
    void failedReadClearsField();
    void outputLimits_data();
    void outputLimits();
    void calibration();
    void timeoutHolding();
    void timeoutHoldingValues_data();
    void timeoutHoldingValues();

private:
    void waitIdle();
    Harness *h = nullptr;
    QPushButton *button(const char *name) { return h->find<QPushButton>(name); }
    QLineEdit *edit(const char *name) { return h->find<QLineEdit>(name); }
    QComboBox *combo(const char *name) { return h->find<QComboBox>(name); }
};

void TestIoPages::initTestCase()
{
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
}

void TestIoPages::cleanupTestCase()
{
    delete h;
}

void TestIoPages::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

void TestIoPages::waitIdle()
{
    QVERIFY(h->waitForReplies());
}

void TestIoPages::beforeIdentification()
{
    // Connected without identification: the boxes are empty, so every row
    // addresses its base register.
    QVERIFY(h->window()->link()->openSerial(h->bridge().portPath()));
    QTRY_VERIFY_WITH_TIMEOUT(h->window()->link()->isConnected(), 10000);
    for (const char *name : { "currentInputComboBox", "currentOutputComboBox",
                              "voltageInputComboBox", "voltageOutputcomboBox", "PWMInputComboBox",
                              "PWMOutputComboBox" })
        QVERIFY2(combo(name)->count() == 0, name);
    const char *readButtons[] = { "currentInputPushButton", "voltageInputPushButton",
                                  "PWMInputPushButton", "currentOutputReadPushButton",
                                  "rvPshBtn", "PwmOutputReadPushButton" };
    for (const char *name : readButtons) {
        button(name)->click();
        waitIdle();
    }
    QList<int> starts, counts;
    for (const auto &r : h->bridge().reads()) {
        if (r.start != 0) {  // not a marker read
            starts << r.start;
            counts << r.count;
        }
    }
    QCOMPARE(starts, (QList<int>{ 1000, 1016, 1032, 1064, 1080, 1096 }));
    QCOMPARE(counts, (QList<int>{ 1, 1, 2, 1, 1, 2 }));

    edit("PWMOutputlineEdit")->setText("500");
    edit("PWMOutputLineEdit2")->setText("20");
    button("PWMOutputPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(1096, 2), (Regs{ 500, 20 }), 10000);
    h->window()->link()->close();

    // Identification fills the boxes with the model's channels.
    QVERIFY(h->connectAs());
    QCOMPARE(combo("currentInputComboBox")->count(), 2);
    QCOMPARE(combo("PWMOutputComboBox")->itemText(1), QString("7"));
    QCOMPARE(combo("PWMInputComboBox")->count(), 0);
}

void TestIoPages::readRows_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("readButton");
    QTest::addColumn<int>("start");
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("second");  // PWM duty field, else empty
    QTest::addColumn<QString>("secondShown");

    QTest::newRow("current input 1") << "currentInputComboBox" << "1" << "currentInputPushButton"
                                     << 1001 << Regs{ 4000 } << "currentInputLineEdit" << "4"
                                     << "" << "";
    QTest::newRow("current input 3") << "currentInputComboBox" << "3" << "currentInputPushButton"
                                     << 1003 << Regs{ 12345 } << "currentInputLineEdit"
                                     << "12.345" << "" << "";
    QTest::newRow("current input 5 digits") << "currentInputComboBox" << "1"
                                            << "currentInputPushButton" << 1001 << Regs{ 65535 }
                                            << "currentInputLineEdit" << "65.535" << "" << "";
    QTest::newRow("current output 4") << "currentOutputComboBox" << "4"
                                      << "currentOutputReadPushButton" << 1068 << Regs{ 20000 }
                                      << "currentOutputLineEdit" << "20" << "" << "";
    QTest::newRow("voltage input 0") << "voltageInputComboBox" << "0" << "voltageInputPushButton"
                                     << 1016 << Regs{ 65535 } << "voltageInputLineEdit" << "65535"
                                     << "" << "";
    QTest::newRow("voltage input 2") << "voltageInputComboBox" << "2" << "voltageInputPushButton"
                                     << 1018 << Regs{ 3300 } << "voltageInputLineEdit" << "3300"
                                     << "" << "";
    QTest::newRow("voltage output 5") << "voltageOutputcomboBox" << "5" << "rvPshBtn" << 1085
                                      << Regs{ 10000 } << "voltageOutputLineEdit" << "10000"
                                      << "" << "";
    QTest::newRow("PWM input") << "PWMInputComboBox" << "" << "PWMInputPushButton" << 1032
                               << Regs{ 50000, 75 } << "PWMInputlineEdit" << "50000"
                               << "PWMInputlineEdit2" << "75";
    QTest::newRow("PWM output 6") << "PWMOutputComboBox" << "6" << "PwmOutputReadPushButton"
                                  << 1108 << Regs{ 1000, 50 } << "PWMOutputlineEdit" << "1000"
                                  << "PWMOutputLineEdit2" << "50";
    QTest::newRow("PWM output 7") << "PWMOutputComboBox" << "7" << "PwmOutputReadPushButton"
                                  << 1110 << Regs{ 65535, 100 } << "PWMOutputlineEdit" << "65535"
                                  << "PWMOutputLineEdit2" << "100";
}

void TestIoPages::readRows()
{
    QFETCH(QString, box);
    QFETCH(QString, channel);
    QFETCH(QString, readButton);
    QFETCH(int, start);
    QFETCH(Regs, regs);
    QFETCH(QString, field);
    QFETCH(QString, second);
    QVERIFY(h->window()->link()->isConnected());
    h->find<QTabWidget>("tabWidget")->setCurrentIndex(MainWindow::TabIo);
    waitIdle();  // nothing of the Connect still under way
    h->bridge().clearReads();
    if (!channel.isEmpty())
        combo(qPrintable(box))->setCurrentText(channel);
    QCOMPARE(combo(qPrintable(box))->currentText(), channel);
    h->bridge().setRegs(start, regs);
    edit(qPrintable(field))->setText("stale");
    h->window()->link()->showMessage("before", 0);
    button(qPrintable(readButton))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!edit(qPrintable(field))->text().isEmpty(), 10000);
    QTEST(edit(qPrintable(field))->text(), "shown");
    if (!second.isEmpty())
        QTEST(edit(qPrintable(second))->text(), "secondShown");
    // A read clears the bar and shows no "OK!" on success.
    QCOMPARE(h->status(), QString());
    const auto reads = h->bridge().reads();
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads.first().start, start);
    QCOMPARE(reads.first().count, regs.size());
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestIoPages::failedReadClearsField()
{
    combo("voltageInputComboBox")->setCurrentText("2");
    edit("voltageInputLineEdit")->setText("1234");
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.code = 2;
    rule.first = rule.last = 1018;
    rule.count = 1;
    h->bridge().addFault(rule);
    button("voltageInputPushButton")->click();
    QCOMPARE(edit("voltageInputLineEdit")->text(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(h->status().endsWith("(Mobus exception: 0x2)"), 10000);
    QVERIFY(h->status().startsWith("Read response error: "));
    QCOMPARE(edit("voltageInputLineEdit")->text(), QString());

    // A PWM read clears only the frequency field.
    edit("PWMOutputlineEdit")->setText("9");
    edit("PWMOutputLineEdit2")->setText("8");
    rule.kind = sim::Fault::NoAnswer;
    rule.first = rule.last = 1110;
    h->bridge().addFault(rule);
    combo("PWMOutputComboBox")->setCurrentText("7");
    button("PwmOutputReadPushButton")->click();
    QCOMPARE(edit("PWMOutputlineEdit")->text(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(h->status().endsWith("(code: 0x5)"), 20000);
    QCOMPARE(edit("PWMOutputlineEdit")->text(), QString());
    QCOMPARE(edit("PWMOutputLineEdit2")->text(), QString("8"));
}

void TestIoPages::outputLimits_data()
{
    QTest::addColumn<QString>("row");     // current, voltage, pwm
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("duty");
    QTest::addColumn<int>("start");
    QTest::addColumn<Regs>("sent");       // empty: refused
    QTest::addColumn<QString>("message"); // status bar afterwards

    const QString low = "Set Current Error: current output must bigger than 4mA";
    const QString high = "Set Current Error: current output must less than 20mA";
    const QString volt = "Set Voltage Error: voltage output must less than 10000mv";
    const QString freq = "Set Frequency Error: frequency output must less than 100000Hz";
    const QString freq16 = "Set Frequency Error: frequency output must be at most 65535Hz";
    const QString duty = "Set Occupu Error: occupy output must less than 100%";

    QTest::newRow("4 mA") << "current" << "4" << "4" << "" << 1068 << Regs{ 4000 } << "OK!";
    QTest::newRow("12.5 mA") << "current" << "4" << "12.5" << "" << 1068 << Regs{ 12500 } << "OK!";
    QTest::newRow("4.001 mA") << "current" << "4" << "4.001" << "" << 1068 << Regs{ 4001 } << "OK!";
    QTest::newRow("20 mA") << "current" << "4" << "20" << "" << 1068 << Regs{ 20000 } << "OK!";
    QTest::newRow("3.999 mA") << "current" << "4" << "3.999" << "" << 1068 << Regs{} << low;
    QTest::newRow("20.0001 mA") << "current" << "4" << "20.0001" << "" << 1068 << Regs{} << high;
    QTest::newRow("no current") << "current" << "4" << "" << "" << 1068 << Regs{} << low;
    QTest::newRow("current text") << "current" << "4" << "abc" << "" << 1068 << Regs{} << low;
    QTest::newRow("current nan") << "current" << "4" << "nan" << "" << 1068 << Regs{} << low;

    QTest::newRow("0 mV") << "voltage" << "5" << "0" << "" << 1085 << Regs{ 0 } << "OK!";
    QTest::newRow("10000 mV") << "voltage" << "5" << "10000" << "" << 1085 << Regs{ 10000 } << "OK!";
    QTest::newRow("2500.9 mV") << "voltage" << "5" << "2500.9" << "" << 1085 << Regs{ 2500 } << "OK!";
    QTest::newRow("10001 mV") << "voltage" << "5" << "10001" << "" << 1085 << Regs{} << volt;
    QTest::newRow("-1 mV") << "voltage" << "5" << "-1" << "" << 1085 << Regs{} << volt;
    QTest::newRow("no voltage") << "voltage" << "5" << "" << "" << 1085 << Regs{} << volt;

    QTest::newRow("7: 1000 Hz 50 %") << "pwm" << "7" << "1000" << "50" << 1110 << Regs{ 1000, 50 } << "";
    QTest::newRow("6: 0 Hz 0 %") << "pwm" << "6" << "0" << "0" << 1108 << Regs{ 0, 0 } << "";
    QTest::newRow("65535 Hz 100 %") << "pwm" << "6" << "65535" << "100" << 1108 << Regs{ 65535, 100 } << "";
    QTest::newRow("65536 Hz") << "pwm" << "6" << "65536" << "50" << 1108 << Regs{} << freq16;
    QTest::newRow("100000 Hz") << "pwm" << "6" << "100000" << "50" << 1108 << Regs{} << freq16;
    QTest::newRow("100001 Hz") << "pwm" << "6" << "100001" << "50" << 1108 << Regs{} << freq;
    QTest::newRow("-5 Hz") << "pwm" << "6" << "-5" << "50" << 1108 << Regs{} << freq;
    QTest::newRow("no frequency") << "pwm" << "6" << "" << "50" << 1108 << Regs{} << freq;
    QTest::newRow("duty 101") << "pwm" << "7" << "1000" << "101" << 1110 << Regs{} << duty;
    QTest::newRow("duty 300") << "pwm" << "7" << "1000" << "300" << 1110 << Regs{} << duty;
    QTest::newRow("duty -1") << "pwm" << "7" << "1000" << "-1" << 1110 << Regs{} << duty;
    QTest::newRow("no duty") << "pwm" << "7" << "1000" << "" << 1110 << Regs{} << duty;
}

void TestIoPages::outputLimits()
{
    QFETCH(QString, row);
    QFETCH(QString, channel);
    QFETCH(QString, value);
    QFETCH(QString, duty);
    QFETCH(int, start);
    QFETCH(Regs, sent);
    QFETCH(QString, message);

    h->bridge().setRegs(start, { 7, 7 });
    const int before = h->bridge().requestCount();
    QPushButton *write = nullptr;
    if (row == "current") {
        combo("currentOutputComboBox")->setCurrentText(channel);
        edit("currentOutputLineEdit")->setText(value);
        write = button("currentOutputPushButton");
    } else if (row == "voltage") {
        combo("voltageOutputcomboBox")->setCurrentText(channel);
        edit("voltageOutputLineEdit")->setText(value);
        write = button("voltageOutputPushButton");
    } else {
        combo("PWMOutputComboBox")->setCurrentText(channel);
        edit("PWMOutputlineEdit")->setText(value);
        edit("PWMOutputLineEdit2")->setText(duty);
        write = button("PWMOutputPushButton");
    }
    h->window()->link()->showMessage("before", 0);
    write->click();

    if (sent.isEmpty()) {
        QCOMPARE(h->status(), message);
        waitIdle();  // anything sent would have arrived by now
        QCOMPARE(h->status(), message);
        QCOMPARE(h->bridge().requestCount(), before + 1);
        QVERIFY(h->bridge().writes().isEmpty());
        QCOMPARE(h->bridge().regs(start, 2), (Regs{ 7, 7 }));
        QVERIFY(h->boxes.boxes.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, 10000);
    QCOMPARE(h->bridge().writes().first().start, start);
    QCOMPARE(h->bridge().writes().first().values, sent);
    QCOMPARE(h->bridge().regs(start, sent.size()), sent);
    if (message.isEmpty()) {
        // PWM success shows nothing: a marker message would be replaced.
        waitIdle();
        h->window()->link()->clearMessage();
        write->click();
        waitIdle();
        QCOMPARE(h->bridge().writes().size(), 2);
        QCOMPARE(h->status(), QString());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), message, 10000);
    }
}

void TestIoPages::calibration()
{
    auto *tabs = h->find<QTabWidget>("tabWidget");
    QVERIFY(!tabs->isTabEnabled(MainWindow::TabAdjust));
    h->find<QAction>("actionDa_rk")->trigger();
    QVERIFY(tabs->isTabEnabled(MainWindow::TabAdjust));
    tabs->setCurrentIndex(MainWindow::TabAdjust);
    QCOMPARE(tabs->currentWidget()->objectName(), QString("tab_9"));

    struct Row { const char *field, *read, *write; int reg; };
    const Row rows[] = {
        { "vinLineEdit", "vinRead", "vinWrite", 400 },
        { "vinLineEdit_2", "vinRead_2", "vinWrite_2", 410 },
        { "voutLineEdit", "voutRead", "voutWrite", 401 },
        { "iinLineEdit", "iinRead", "iinWrite", 402 },
        { "iinLineEdit_2", "iinRead_2", "iinWrite_2", 411 },
        { "ioutLineEdit", "ioutRead", "ioutWrite", 403 },
    };
    int n = 0;
    for (const Row &r : rows) {
        ++n;
        // Read: signed display.
        h->bridge().setReg(r.reg, quint16(0xFFFF - n));
        h->bridge().clearReads();
        h->window()->link()->clearMessage();
        button(r.read)->click();
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
        QCOMPARE(edit(r.field)->text(), QString::number(-1 - n));
        QCOMPARE(h->bridge().reads().first().start, r.reg);

        // Writes: negative numbers as 16 bits, an empty field as 0.
        const QList<std::pair<QString, quint16>> writes{
            { "-2", 0xFFFE }, { "", 0 }, { "1234", 1234 }, { "65537", 1 } };
        for (const auto &w : writes) {
            h->bridge().clearWrites();
            h->window()->link()->clearMessage();
            edit(r.field)->setText(w.first);
            button(r.write)->click();
            QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
            QCOMPARE(h->bridge().writes().size(), 1);
            QCOMPARE(h->bridge().writes().first().start, r.reg);
            QCOMPARE(h->bridge().reg(r.reg), w.second);
        }
    }
    // No other register of the calibration block was touched.
    QCOMPARE(h->bridge().regs(404, 6), Regs(6, 0));

    h->find<QAction>("action_Default")->trigger();
    QVERIFY(!tabs->isTabEnabled(MainWindow::TabAdjust));
    QVERIFY(tabs->currentIndex() != MainWindow::TabAdjust);
}

void TestIoPages::timeoutHolding()
{
    auto *tabs = h->find<QTabWidget>("tabWidget");
    auto *current = h->find<QCheckBox>("currentEnableCheckBox");
    auto *voltage = h->find<QCheckBox>("voltageEnableCheckBox");
    tabs->setCurrentIndex(MainWindow::TabIo);
    waitIdle();
    h->bridge().setReg(903, 0);
    h->bridge().setReg(900, 2);  // any non-zero value is enabled
    current->setChecked(true);
    voltage->setChecked(false);

    // Other tabs read nothing.
    h->bridge().clearReads();
    for (int tab : { MainWindow::TabSerial, MainWindow::TabRf, MainWindow::TabIo })
        tabs->setCurrentIndex(tab);
    QVERIFY(h->bridge().reads().isEmpty());

    tabs->setTabEnabled(MainWindow::TabTmo, true);  // identification keeps it hidden
    tabs->setCurrentIndex(MainWindow::TabTmo);
    QTRY_VERIFY_WITH_TIMEOUT(!current->isChecked() && voltage->isChecked(), 10000);
    waitIdle();
    const auto reads = h->bridge().reads();
    QCOMPARE(reads.size(), 3);  // the two flags, then our marker
    QCOMPARE(reads.at(0).start, 903);
    QCOMPARE(reads.at(1).start, 900);
    QCOMPARE(reads.at(1).count, 1);
    QVERIFY(h->bridge().writes().isEmpty());

    // The switches write 1 when checked and 0 when unchecked.
    current->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(903), quint16(1), 10000);
    voltage->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(900), quint16(0), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    current->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(903), quint16(0), 10000);
    QCOMPARE(h->bridge().writes().size(), 3);

    // Polling intervals and the voltage value read back as signed numbers.
    h->bridge().setRegs(901, { 30, 5000, 0, 45 });
    const std::pair<const char *, const char *> reads2[] = {
        { "voltagePollReadPushButton", "voltageInterlLineEdit" },
        { "voltageOutReadPushButton", "voltageOutValLineEdit" },
        { "currentPollReadPushButton", "currentInterlLineEdit" } };
    for (const auto &r : reads2) {
        edit(r.second)->clear();
        button(r.first)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!edit(r.second)->text().isEmpty(), 10000);
    }
    QCOMPARE(edit("voltageInterlLineEdit")->text(), QString("30"));
    QCOMPARE(edit("voltageOutValLineEdit")->text(), QString("5000"));
    QCOMPARE(edit("currentInterlLineEdit")->text(), QString("45"));

    edit("currentInterlLineEdit")->setText("120");
    button("currentPollWritePushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(904), quint16(120), 10000);
    edit("voltageInterlLineEdit")->setText("-1");
    button("voltagePollWritePushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(901), quint16(0xFFFF), 10000);

    // The current value is held in thousandths of a mA and shown in mA.
    for (const auto &c : { std::pair<quint16, QString>{ 12345, "12.345" }, { 4000, "4" },
                           { 20000, "20" } }) {
        h->bridge().setReg(905, c.first);
        h->window()->link()->clearMessage();
        button("currentOutReadPushButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
        QCOMPARE(edit("currentOutValLineEdit")->text(), c.second);
    }
}

void TestIoPages::timeoutHoldingValues_data()
{
    QTest::addColumn<QString>("row");    // current or voltage
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("sent");       // -1: refused
    QTest::addColumn<QString>("message");
    const QString low = "Please set Current value greater than 4mA.";
    const QString high = "Please set Current value less than 20mA.";
    const QString volt = "Please set Current value less than 10000mV.";
    QTest::newRow("4 mA") << "current" << "4" << 4000 << "";
    QTest::newRow("20 mA") << "current" << "20" << 20000 << "";
    QTest::newRow("12.345 mA") << "current" << "12.345" << 12345 << "";
    QTest::newRow("4.001 mA") << "current" << "4.001" << 4001 << "";
    QTest::newRow("20.5 mA") << "current" << "20.5" << -1 << high;
    QTest::newRow("3.9 mA") << "current" << "3.9" << -1 << low;
    QTest::newRow("no current") << "current" << "" << -1 << low;
    QTest::newRow("0 mV") << "voltage" << "0" << 0 << "";
    QTest::newRow("10000 mV") << "voltage" << "10000" << 10000 << "";
    QTest::newRow("10001 mV") << "voltage" << "10001" << -1 << volt;
    QTest::newRow("-5 mV") << "voltage" << "-5" << -1 << volt;
    QTest::newRow("no voltage") << "voltage" << "" << -1 << volt;
    QTest::newRow("2500.5 mV") << "voltage" << "2500.5" << -1 << volt;
}

void TestIoPages::timeoutHoldingValues()
{
    QFETCH(QString, row);
    QFETCH(QString, value);
    QFETCH(int, sent);
    QFETCH(QString, message);
    const bool current = row == "current";
    const int reg = current ? 905 : 902;
    h->bridge().setReg(reg, 7);
    edit(current ? "currentOutValLineEdit" : "voltageOutValLineEdit")->setText(value);
    button(current ? "currentOutWritePushButton" : "voltageOutWritePushButton")->click();
    if (sent < 0) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), message);
        waitIdle();
        QVERIFY(h->bridge().writes().isEmpty());
        QCOMPARE(h->bridge().reg(reg), quint16(7));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, reg);
    QCOMPARE(h->bridge().reg(reg), quint16(sent));
    QVERIFY(h->boxes.boxes.isEmpty());
}

QTEST_MAIN(TestIoPages)
#include "test_iopages.moc"

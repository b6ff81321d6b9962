// The "Serial" page end to end, and the standard status-bar reporting that
// every page shares.
#include "testsupport.h"

#include "link/link.h"

#include <QComboBox>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QtTest>

using Regs = QVector<quint16>;

class TestSerialPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void read_data();
    void read();
    void write_data();
    void write();
    void standardReporting();
    void notConnected();
    void writeNeedsReadSinceConnect();

private:
    Harness *h = nullptr;
    QPushButton *readButton() { return h->find<QPushButton>("serialBtnRead"); }
    QPushButton *writeButton() { return h->find<QPushButton>("serialBtn"); }
    QComboBox *combo(const char *name) { return h->find<QComboBox>(name); }
};

void TestSerialPage::initTestCase()
{
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());  // no late "OK!" from the Connect
}

void TestSerialPage::cleanupTestCase()
{
    delete h;
}

void TestSerialPage::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

void TestSerialPage::read_data()
{
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<bool>("writable");  // a Write then sends back what was read
    QTest::newRow("factory") << Regs{ 0, 8, 1, 0, 1 } << "9600" << "8" << "1" << "No" << true;
    // The hidden address is read too, so a Write keeps the bridge at 7.
    QTest::newRow("19200 even two, address 7") << Regs{ 4, 8, 2, 1, 7 } << "19200" << "8" << "2"
                                               << "Even" << true;
    // Values the page does not list: no baud item, data and stop bits kept.
    QTest::newRow("unknown values") << Regs{ 5, 7, 3, 2, 1 } << "" << "8" << "2" << "Odd" << false;
    QTest::newRow("unknown parity") << Regs{ 0, 8, 1, 3, 1 } << "9600" << "8" << "1" << "" << false;
}

void TestSerialPage::read()
{
    QFETCH(Regs, regs);
    h->bridge().setRegs(0, regs);
    readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QTEST(combo("s_baudCombo")->currentText(), "baud");
    QTEST(combo("s_dataBitsCombo")->currentText(), "dataBits");
    QTEST(combo("s_stopBitsCombo")->currentText(), "stopBits");
    QTEST(combo("s_parityCombo")->currentText(), "parity");
    QVERIFY(h->bridge().writes().isEmpty());

    QFETCH(bool, writable);
    h->window()->link()->clearMessage();
    writeButton()->click();
    if (!writable) {  // an unknown baud rate or parity is never written back
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), QString("Please choose a baud rate and a parity before writing."));
        QVERIFY(h->waitForReplies());
        QVERIFY(h->bridge().writes().isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().regs(0, 5), regs);
}

void TestSerialPage::write_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<Regs>("sent");  // empty: refused
    QTest::newRow("address 17") << "17" << Regs{ 1, 8, 2, 1, 17 };
    QTest::newRow("address 1") << "1" << Regs{ 1, 8, 2, 1, 1 };
    QTest::newRow("address 250") << "250" << Regs{ 1, 8, 2, 1, 250 };
    QTest::newRow("address 0") << "0" << Regs{};
    QTest::newRow("address 251") << "251" << Regs{};
    QTest::newRow("empty") << "" << Regs{};
    QTest::newRow("not a number") << "1x" << Regs{};
}

void TestSerialPage::write()
{
    QFETCH(QString, address);
    QFETCH(Regs, sent);
    combo("s_baudCombo")->setCurrentText("4800");
    combo("s_stopBitsCombo")->setCurrentText("2");
    combo("s_parityCombo")->setCurrentText("Even");
    h->find<QLineEdit>("portEdit_2")->setText(address);
    h->bridge().setRegs(0, { 0, 8, 1, 0, 1 });
    writeButton()->click();
    if (sent.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), QString("Device Modbus Address Should between 1 and 250!"));
        QCOMPARE(h->bridge().writes().size(), 0);
        QCOMPARE(h->bridge().regs(0, 5), (Regs{ 0, 8, 1, 0, 1 }));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 0);
    QCOMPARE(writes.first().values, sent);
    QCOMPARE(h->bridge().regs(0, 5), sent);
}

void TestSerialPage::standardReporting()
{
    // Time-out: the code message with the link's text and code 5.
    sim::FaultRule rule;
    rule.first = 0;
    rule.last = 4;
    rule.count = 1;
    h->bridge().addFault(rule);
    combo("s_baudCombo")->setCurrentText("2400");
    readButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Read response error: "), 15000);
    QVERIFY2(h->status().endsWith("(code: 0x5)"), qPrintable(h->status()));
    QCOMPARE(combo("s_baudCombo")->currentText(), QString("2400"));  // unchanged

    // An exception reply names its code.
    rule.kind = sim::Fault::Exception;
    rule.code = 2;
    h->bridge().addFault(rule);
    readButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().endsWith("(Mobus exception: 0x2)"), 10000);
    QVERIFY(h->status().startsWith("Read response error: "));

    rule.code = 4;
    h->bridge().addFault(rule);
    h->find<QLineEdit>("portEdit_2")->setText("3");
    writeButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Write response error: "), 10000);
    QVERIFY(h->status().endsWith("(Mobus exception: 0x4)"));
    QCOMPARE(h->bridge().reg(4), quint16(1));  // the refused write changed nothing

    // Success stays on the bar.
    readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    // It is shown without a time-out: half a second later it is still there.
    QVERIFY(!QTest::qWaitFor([this] { return h->status() != QLatin1String("OK!"); }, 500));
    // Hovering a menu entry does not wipe it.
    QStatusTipEvent hover{ QString() };
    QApplication::sendEvent(h->window(), &hover);
    QCOMPARE(h->status(), QString("OK!"));
    QCOMPARE(combo("s_baudCombo")->currentText(), QString("9600"));
}

void TestSerialPage::notConnected()
{
    h->find<QPushButton>("connectButton")->click();  // Disconnect
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    const int before = h->bridge().requestCount();
    readButton()->click();
    QVERIFY(h->status().startsWith("Read error: "));
    QVERIFY(h->status().size() > QString("Read error: ").size());
    h->find<QLineEdit>("portEdit_2")->setText("5");
    writeButton()->click();
    QVERIFY(h->status().startsWith("Write error: "));
    QCOMPARE(h->bridge().requestCount(), before);
}

void TestSerialPage::writeNeedsReadSinceConnect()
{
    // Read before notConnected()'s Disconnect; after a new Connect the hidden
    // address field says nothing about this bridge.
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    h->bridge().setRegs(0, { 0, 8, 1, 0, 7 });
    h->bridge().clearWrites();
    writeButton()->click();
    QCOMPARE(h->boxes.lastTitle(), QString("Error"));
    QCOMPARE(h->boxes.lastText(),
             QString("Please Read the settings first, so the device keeps its Modbus address."));
    QVERIFY(h->waitForReplies());
    QVERIFY(h->bridge().writes().isEmpty());
    QCOMPARE(h->bridge().reg(4), quint16(7));
}

QTEST_MAIN(TestSerialPage)
#include "test_serialpage.moc"

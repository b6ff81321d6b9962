// The "LoRa Wan", "RF", "LoRa" and "Group Net" pages and the auto scan
// dialog, driven by object name against the simulated bridge. The pages that
// identification keeps disabled are enabled here so they can be used.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "tools/asdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

using codec::ScanMapEntry;

using Regs = QVector<quint16>;

class TestRadioPages : public QObject
{
    Q_OBJECT
private slots:
    void cleanupTestCase();
    void init();
    void hexRead_data();
    void hexRead();
    void hexWrite_data();
    void hexWrite();
    void activationAndUplinks();
    void signalQuality();
    void loraRead();
    void loraWrite_data();
    void loraWrite();
    void groupNetRegisters_data();
    void groupNetRegisters();
    void aesSettings();
    void destinationBitmap();
    void autoScan();

private:
    // One connected window per model; switching models starts a new one.
    Harness *harness(const QString &model = QStringLiteral("NB500-400"));
    Harness *h = nullptr;
    QString m_model;
    template <typename T> T *w(const QString &name) { return h->find<T>(name); }
    void click(const QString &name) { w<QAbstractButton>(name)->click(); }
};

Harness *TestRadioPages::harness(const QString &model)
{
    if (h && m_model == model)
        return h;
    delete h;
    sim::Options options;
    options.model = model;
    h = new Harness(options);
    m_model = model;
    if (!h->startWindow())
        return nullptr;
    h->window()->link()->device()->setNumberOfRetries(0);
    if (!h->connectAs())
        return nullptr;
    auto *tabs = h->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabGroupNet, true);
    tabs->setTabEnabled(MainWindow::TabLora, true);
    // The link answers in order: once a read sent now is answered, the
    // activation reads of the Connect are done and cannot put "OK!" on the
    // bar in the middle of a test.
    h->window()->link()->clearMessage();
    h->find<QPushButton>("RSSIRead")->click();
    if (!QTest::qWaitFor([this] { return h->status() == QLatin1String("OK!"); }, 10000))
        return nullptr;
    return h;
}

void TestRadioPages::cleanupTestCase()
{
    delete h;
}

void TestRadioPages::init()
{
    pacing::setScale(0.1);  // the auto scan's pause between the map halves
    QVERIFY(harness(m_model.isEmpty() ? QStringLiteral("NB500-400") : m_model));
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

void TestRadioPages::hexRead_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("start");
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<QString>("text");
    QTest::newRow("device address") << "abpDevAddr" << 200 << Regs{ 0x0A0B, 0xC0D0 } << "0A 0B C0 D0";
    QTest::newRow("leading zeros") << "abpDevAddr" << 200 << Regs{ 0x0000, 0x0F00 } << "00 00 0F 00";
    QTest::newRow("device EUI") << "otaaDevEui" << 240 << Regs{ 0x0011, 0x2233, 0x4455, 0x6677 }
                                << "00 11 22 33 44 55 66 77";
    QTest::newRow("application EUI") << "otaaAppEui" << 244 << Regs{ 0x70B3, 0xD57E, 0xD000, 0x1234 }
                                     << "70 B3 D5 7E D0 00 12 34";
    const Regs key{ 0x2B7E, 0x1516, 0x28AE, 0xD2A6, 0xABF7, 0x1588, 0x09CF, 0x4F3C };
    const QString keyText = "2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C";
    QTest::newRow("application key") << "otaaAppKey" << 248 << key << keyText;
    QTest::newRow("application session key") << "abpAppsKey" << 202 << key << keyText;
    QTest::newRow("network session key") << "abpNwksKey" << 210 << key << keyText;
}

void TestRadioPages::hexRead()
{
    QFETCH(QString, field);
    QFETCH(int, start);
    QFETCH(Regs, regs);
    QFETCH(QString, text);
    const QString lineName = field == "abpNwksKey" ? "abpNswksKeyLine" : field + "Line";
    h->bridge().setRegs(start, regs);
    click(field + "Read");
    QTRY_COMPARE_WITH_TIMEOUT(w<QLineEdit>(lineName)->text(), text, 10000);
    QCOMPARE(h->status(), QString("OK!"));

    // Written back unchanged, the text restores the same registers.
    h->bridge().setRegs(start, Regs(regs.size(), 0xEEEE));
    click(field + "Write");
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, start);
    QCOMPARE(h->bridge().regs(start, regs.size()), regs);
}

void TestRadioPages::hexWrite_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Regs>("sent");      // empty: refused
    QTest::addColumn<QString>("message");
    const QString eui = "Dev_eui needs 8 bytes: two hex digits per byte, separated by blanks "
                        "(as in 00 11 22), or 16 hex digits in one run.";
    const QString addr = "Dev_addr needs 4 bytes: two hex digits per byte, separated by blanks "
                         "(as in 00 11 22), or 8 hex digits in one run.";
    const QString key = "Nwks_key needs 16 bytes: two hex digits per byte, separated by blanks "
                        "(as in 00 11 22), or 32 hex digits in one run.";
    QTest::newRow("groups") << "abpDevAddr" << 200 << "01 02 03 04" << Regs{ 0x0102, 0x0304 } << "";
    QTest::newRow("lower case") << "abpDevAddr" << 200 << "ab cd ef 01" << Regs{ 0xABCD, 0xEF01 } << "";
    QTest::newRow("EUI as one run") << "otaaDevEui" << 240 << "70b3d57ed0001234"
                                    << Regs{ 0x70B3, 0xD57E, 0xD000, 0x1234 } << "";
    QTest::newRow("key as one run") << "abpNwksKey" << 210 << "000102030405060708090a0b0c0d0e0f"
                                    << Regs{ 0x0001, 0x0203, 0x0405, 0x0607, 0x0809, 0x0A0B, 0x0C0D, 0x0E0F }
                                    << "";
    QTest::newRow("EUI group too many") << "otaaDevEui" << 240 << "00 11 22 33 44 55 66 77 88"
                                        << Regs{} << eui;
    QTest::newRow("EUI too short") << "otaaDevEui" << 240 << "00 11 22" << Regs{} << eui;
    QTest::newRow("typing mistake") << "abpDevAddr" << 200 << "01 02 O3 04" << Regs{} << addr;
    QTest::newRow("two blanks between groups") << "abpDevAddr" << 200 << "01  02" << Regs{} << addr;
    QTest::newRow("letters") << "abpNwksKey" << 210 << "hello" << Regs{} << key;
    QTest::newRow("empty") << "abpDevAddr" << 200 << "" << Regs{} << addr;
}

void TestRadioPages::hexWrite()
{
    QFETCH(QString, field);
    QFETCH(int, start);
    QFETCH(QString, text);
    QFETCH(Regs, sent);
    QFETCH(QString, message);
    const QString lineName = field == "abpNwksKey" ? "abpNswksKeyLine" : field + "Line";
    const int count = field.endsWith("Key") ? 8 : field == "abpDevAddr" ? 2 : 4;
    // The neighbouring blocks must never be touched.
    h->bridge().setRegs(196, Regs(64, 0x5A5A));
    w<QLineEdit>(lineName)->setText(text);
    click(field + "Write");
    if (sent.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), message);
        QCOMPARE(h->bridge().writes().size(), 0);
        QCOMPARE(h->bridge().regs(196, 64), Regs(64, 0x5A5A));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().writes().first().start, start);
    QCOMPARE(h->bridge().writes().first().values.size(), count);
    QCOMPARE(h->bridge().regs(start, count), sent);
    Regs expected(64, 0x5A5A);
    for (int i = 0; i < count; ++i)
        expected[start - 196 + i] = sent.at(i);
    QCOMPARE(h->bridge().regs(196, 64), expected);
}

void TestRadioPages::activationAndUplinks()
{
    auto *otaa = w<QRadioButton>("otaaEnable");
    auto *abp = w<QRadioButton>("abpEnable");
    auto *confirm = w<QCheckBox>("txConfirmCheckBox");
    h->bridge().setReg(256, 0);
    click("abpEnable");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, 10000);
    QVERIFY(abp->isChecked() && !otaa->isChecked());

    click("otaaEnable");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(256), quint16(1), 10000);
    QVERIFY(otaa->isChecked() && !abp->isChecked());
    click("otaaEnable");  // again: stays chosen and writes 1 again
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writesIn(256, 256).size(), 3, 10000);
    QCOMPARE(h->bridge().writesIn(256, 256).last().values, Regs{ 1 });
    QVERIFY(otaa->isChecked() && !abp->isChecked());

    const bool before = confirm->isChecked();
    click("txConfirmCheckBox");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writesIn(257, 257).size(), 1, 10000);
    QCOMPARE(h->bridge().reg(257), quint16(before ? 0 : 1));
    click("txConfirmCheckBox");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writesIn(257, 257).size(), 2, 10000);
    QCOMPARE(h->bridge().reg(257), quint16(before ? 1 : 0));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);

    // After a new Connect both show the device's settings.
    h->bridge().setReg(256, 0);
    h->bridge().setReg(257, 1);
    click("connectButton");  // Disconnect
    QVERIFY(h->connectAs());
    QTRY_VERIFY_WITH_TIMEOUT(abp->isChecked() && !otaa->isChecked() && confirm->isChecked(), 10000);
    // A method the page does not know leaves both buttons.
    h->bridge().setReg(256, 2);
    h->bridge().setReg(257, 7);
    click("connectButton");
    QVERIFY(h->connectAs());
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reads().last().start, 257, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QVERIFY(abp->isChecked() && !otaa->isChecked() && confirm->isChecked());
    auto *tabs = h->find<QTabWidget>("tabWidget");
    tabs->setTabEnabled(MainWindow::TabGroupNet, true);
    tabs->setTabEnabled(MainWindow::TabLora, true);
}

void TestRadioPages::signalQuality()
{
    struct Case { int reg; quint16 value; const char *button; const char *edit; const char *shown; };
    const Case cases[] = {
        { 160, 0xFF9C, "RSSIRead", "rssiLineEdit", "-100" },
        { 161, 0xFFF6, "SNNRRead", "snnrLineEdit", "-10" },
        { 161, 0x0007, "SNNRRead", "snnrLineEdit", "7" },
        { 160, 0x0000, "RSSIRead", "rssiLineEdit", "0" },
    };
    for (const Case &c : cases) {
        h->bridge().setReg(c.reg, c.value);
        h->window()->link()->clearMessage();
        click(c.button);
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
        QCOMPARE(w<QLineEdit>(c.edit)->text(), QString(c.shown));
    }
    // A failed read keeps the value shown.
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = rule.last = 161;
    rule.count = 1;
    h->bridge().addFault(rule);
    h->bridge().setReg(161, 3);
    click("SNNRRead");
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Read response error: "), 10000);
    QCOMPARE(w<QLineEdit>("snnrLineEdit")->text(), QString("7"));
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestRadioPages::loraRead()
{
    auto *freq = w<QComboBox>("FrequencyComboBox");
    auto *power = w<QComboBox>("RFPowerComboBox");
    h->bridge().setRegs(21, { 9150, 17, 0, 0, 4, 0, 0x3434 });
    click("loraGetButton");
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(freq->currentText(), QString("915"));
    QCOMPARE(power->currentText(), QString("17"));
    QCOMPARE(w<QComboBox>("SFComboBox")->currentText(), QString("SF5"));
    QCOMPARE(w<QComboBox>("BandwidthComboBox")->currentText(), QString("125"));
    QCOMPARE(w<QComboBox>("CodeRateComboBox")->currentText(), QString("4/8"));

    // Unknown power kept, unknown indexes cleared.
    h->bridge().setRegs(21, { 4705, 25, 7, 2, 0, 0, 0x3434 });
    h->window()->link()->clearMessage();
    click("loraGetButton");
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(freq->currentText(), QString("470.5"));
    QCOMPARE(power->currentText(), QString("17"));
    QCOMPARE(w<QComboBox>("SFComboBox")->currentText(), QString("SF12"));
    QCOMPARE(w<QComboBox>("BandwidthComboBox")->currentText(), QString("500"));
    QCOMPARE(w<QComboBox>("CodeRateComboBox")->currentIndex(), -1);

    // Writing now would send a code rate nobody chose.
    freq->setCurrentText("433");
    click("loraSetButton");
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
    QCOMPARE(h->boxes.lastTitle(), QString("LoRa"));
    QCOMPARE(h->bridge().writes().size(), 0);
    w<QComboBox>("CodeRateComboBox")->setCurrentIndex(0);
}

void TestRadioPages::loraWrite_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("power");
    QTest::addColumn<int>("f10");  // -1: refused
    QTest::addColumn<QString>("message");
    const QString any = "Please Set LoRa Frequency range: 410MHz ~ 930MHz.";
    const QString low = "Please Set LoRa Frequency range: 410MHz ~ 493MHz.";
    const QString high = "Please Set LoRa Frequency range: 850MHz ~ 930MHz.";
    const QString th = "Please Set LoRa Frequency range: 920MHz ~ 925MHz.";
    const QString pw = "Please Set LoRa Tx(RF) Power range: 14dBm ~ 17dBm.";
    QTest::newRow("400: 493") << "NB500-400" << "493" << "22" << 4930 << "";
    QTest::newRow("400: 410") << "NB500-400" << "410" << "14" << 4100 << "";
    QTest::newRow("400: 433.15 truncated") << "NB500-400" << "433.15" << "20" << 4331 << "";
    QTest::newRow("400: 493.1") << "NB500-400" << "493.1" << "20" << -1 << low;
    QTest::newRow("400: 409.9") << "NB500-400" << "409.9" << "20" << -1 << any;
    QTest::newRow("400: letters") << "NB500-400" << "abc" << "20" << -1 << any;
    QTest::newRow("400: nan") << "NB500-400" << "nan" << "20" << -1 << any;
    QTest::newRow("900: 849.9") << "NB520-900" << "849.9" << "20" << -1 << high;
    QTest::newRow("900: 850") << "NB520-900" << "850" << "20" << 8500 << "";
    QTest::newRow("900: 930") << "NB520-900" << "930" << "22" << 9300 << "";
    QTest::newRow("900: 930.1") << "NB520-900" << "930.1" << "20" << -1 << any;
    QTest::newRow("TH: 920") << "NB520-TH" << "920" << "17" << 9200 << "";
    QTest::newRow("TH: 925") << "NB520-TH" << "925" << "14" << 9250 << "";
    QTest::newRow("TH: 925.1") << "NB520-TH" << "925.1" << "14" << -1 << th;
    QTest::newRow("TH: 919") << "NB520-TH" << "919" << "14" << -1 << th;
    QTest::newRow("TH: power 18") << "NB520-TH" << "920" << "18" << -1 << pw;
    QTest::newRow("TH: frequency first") << "NB520-TH" << "868" << "18" << -1 << th;
}

void TestRadioPages::loraWrite()
{
    QFETCH(QString, model);
    QFETCH(QString, frequency);
    QFETCH(QString, power);
    QFETCH(int, f10);
    QFETCH(QString, message);
    QVERIFY(harness(model));
    init();
    w<QComboBox>("FrequencyComboBox")->setCurrentText(frequency);
    w<QComboBox>("RFPowerComboBox")->setCurrentText(power);
    w<QComboBox>("SFComboBox")->setCurrentText("SF9");
    w<QComboBox>("BandwidthComboBox")->setCurrentText("250");
    w<QComboBox>("CodeRateComboBox")->setCurrentText("4/6");
    // The hidden fields do not matter: 26 and 27 are fixed.
    w<QComboBox>("OptimizeLowRateComboBox")->setCurrentIndex(1);
    w<QLineEdit>("syncWordLineEdit")->setText("1212");
    h->bridge().setRegs(21, Regs(7, 0xEEEE));
    click("loraSetButton");
    if (f10 < 0) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("LoRa"));
        QCOMPARE(h->boxes.lastText(), message);
        QCOMPARE(h->bridge().writes().size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, 10000);
    QCOMPARE(h->bridge().writes().first().start, 21);
    QCOMPARE(h->bridge().regs(21, 7),
             (Regs{ quint16(f10), quint16(power.toInt()), 4, 1, 2, 0, 0x3434 }));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->boxes.boxes.size(), 0);
}

void TestRadioPages::groupNetRegisters_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("button");  // without Read/Write
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("written");  // -1: refused
    QTest::addColumn<QString>("message");
    const QString sid = "Source ID Should between 1 and 250!";
    const QString rto = "Response Timeout Should between 1 and 300!";
    const QString lc = "LC Timeout Should between 0 and 65535!";
    QTest::newRow("source 1") << "srcIDLineEdit" << "netSID" << 100 << "1" << 1 << "";
    QTest::newRow("source 250") << "srcIDLineEdit" << "netSID" << 100 << "250" << 250 << "";
    QTest::newRow("source 0") << "srcIDLineEdit" << "netSID" << 100 << "0" << -1 << sid;
    QTest::newRow("source 251") << "srcIDLineEdit" << "netSID" << 100 << "251" << -1 << sid;
    QTest::newRow("source text") << "srcIDLineEdit" << "netSID" << 100 << "abc" << -1 << sid;
    QTest::newRow("timeout 300") << "ResTOutlineEdit" << "netTimeout" << 149 << "300" << 300 << "";
    QTest::newRow("timeout 0") << "ResTOutlineEdit" << "netTimeout" << 149 << "0" << -1 << rto;
    QTest::newRow("timeout 301") << "ResTOutlineEdit" << "netTimeout" << 149 << "301" << -1 << rto;
    QTest::newRow("timeout 65537") << "ResTOutlineEdit" << "netTimeout" << 149 << "65537" << -1 << rto;
    QTest::newRow("LC 1500") << "LCTimeOutlineEdit" << "LCTimeout" << 150 << "1500" << 1500 << "";
    QTest::newRow("LC 65535") << "LCTimeOutlineEdit" << "LCTimeout" << 150 << "65535" << 65535 << "";
    QTest::newRow("LC 70000") << "LCTimeOutlineEdit" << "LCTimeout" << 150 << "70000" << -1 << lc;
    QTest::newRow("LC empty") << "LCTimeOutlineEdit" << "LCTimeout" << 150 << "" << -1 << lc;
}

void TestRadioPages::groupNetRegisters()
{
    QFETCH(QString, edit);
    QFETCH(QString, button);
    QFETCH(int, reg);
    QFETCH(QString, text);
    QFETCH(int, written);
    QFETCH(QString, message);
    QVERIFY(harness("NB500-400"));
    init();
    h->bridge().setReg(reg, 0xBEEF);
    click(button + "Read");
    QTRY_COMPARE_WITH_TIMEOUT(w<QLineEdit>(edit)->text(), QString("48879"), 10000);  // unsigned

    w<QLineEdit>(edit)->setText(text);
    click(button + "Write");
    if (written < 0) {
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), message);
        QCOMPARE(h->bridge().writes().size(), 0);
        QCOMPARE(h->bridge().reg(reg), quint16(0xBEEF));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 1);
    QCOMPARE(h->bridge().reg(reg), quint16(written));
}

void TestRadioPages::aesSettings()
{
    QVERIFY(harness("NB500-400"));
    init();
    auto *combo = w<QComboBox>("aesComboBox");
    auto *key = w<QLineEdit>("aesLineEdit");
    const QString alphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

    // Switching on proposes a fresh key of the alphabet; Off keeps it.
    combo->setCurrentIndex(0);
    combo->setCurrentIndex(1);
    const QString first = key->text();
    QCOMPARE(first.size(), 16);
    for (QChar c : first)
        QVERIFY(alphabet.contains(c));
    combo->setCurrentIndex(0);
    QCOMPARE(key->text(), first);
    combo->setCurrentIndex(1);
    QVERIFY(key->text() != first);
    QVERIFY(h->bridge().writes().isEmpty());

    // Enable written and read back; showing it does not replace the key.
    click("netAesEnableWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(117), quint16(1), 10000);
    h->bridge().setText(118, 8, "KeyFromTheBridge");
    click("netAesKeyRead");
    QTRY_COMPARE_WITH_TIMEOUT(key->text(), QString("KeyFromTheBridge"), 10000);
    combo->setCurrentIndex(0);
    click("netAesEnableRead");
    QTRY_COMPARE_WITH_TIMEOUT(combo->currentIndex(), 1, 10000);
    QCOMPARE(key->text(), QString("KeyFromTheBridge"));
    h->bridge().setReg(117, 2);
    click("netAesEnableRead");
    QTRY_COMPARE_WITH_TIMEOUT(combo->currentIndex(), -1, 10000);
    h->bridge().clearWrites();
    click("netAesEnableWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
    QCOMPARE(h->bridge().reg(117), quint16(2));

    // A short key read keeps its zero bytes.
    h->bridge().setRegs(118, { 0x4142, 0, 0, 0, 0, 0, 0, 0 });
    click("netAesKeyRead");
    QTRY_COMPARE_WITH_TIMEOUT(key->text(), QString::fromLatin1("AB\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), 10000);

    // The key: exactly 16 characters.
    key->setText("0123456789abcdef");
    click("netAesKeyWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().text(118, 8), QString("0123456789abcdef"), 10000);
    h->boxes.clear();
    h->bridge().clearWrites();
    for (const QString &bad : { QString("0123456789abcde"), QString("0123456789abcdefg") }) {
        key->setText(bad);
        click("netAesKeyWrite");
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.lastText(), QString("Length of AES Key Should be 16!"), 10000);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        h->boxes.clear();
    }
    // Also without a link.
    click("connectButton");
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    key->setText("short");
    click("netAesKeyWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.lastText(), QString("Length of AES Key Should be 16!"), 10000);
    QCOMPARE(h->bridge().writes().size(), 0);
    QCOMPARE(h->bridge().text(118, 8), QString("0123456789abcdef"));
    // The next test connects afresh.
    delete h;
    h = nullptr;
}

void TestRadioPages::destinationBitmap()
{
    QVERIFY(harness("NB500-400"));
    init();
    auto *model = w<QTableView>("netBitMapTableView")->model();
    auto checkedIds = [model] {
        QList<int> ids;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                ids << model->index(r, 1).data().toInt();
        return ids;
    };
    QCOMPARE(model->rowCount(), 250);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Status"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("ID"));

    Regs regs(16, 0);
    regs[0] = 0x0001;
    regs[1] = 0x8000;
    h->bridge().setRegs(101, regs);
    w<QTextEdit>("BitMapTextEdit")->setPlainText("stale");
    click("netBitMapRead");
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 255, 10000);
    QCOMPARE(checkedIds(), (QList<int>{ 1, 32 }));
    QVERIFY(w<QTextEdit>("BitMapTextEdit")->toPlainText().isEmpty());
    // Written back unchanged: the same registers.
    h->bridge().setRegs(101, Regs(16, 0xFFFF));
    click("netBitMapWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(101, 16), regs, 10000);

    // Bit 15 of the last register has no row; the last ID is 255.
    regs[15] = 0xFFFF;
    h->bridge().setRegs(101, regs);
    click("netBitMapRead");
    QTRY_COMPARE_WITH_TIMEOUT(checkedIds().size(), 2 + 15, 10000);
    QCOMPARE(checkedIds().last(), 255);
    h->bridge().clearWrites();
    click("netBitMapWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, 10000);
    QCOMPARE(h->bridge().reg(116), quint16(0x7FFF));

    click("netBitMapClear");
    QCOMPARE(model->rowCount(), 250);
    QVERIFY(checkedIds().isEmpty());
    QVERIFY(model->setData(model->index(8, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(15, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!model->setData(model->index(15, 1), 99, Qt::EditRole));
    click("netBitMapWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(101), quint16(0x8100), 10000);
    QCOMPARE(h->bridge().regs(102, 15), Regs(15, 0));
    QCOMPARE(h->bridge().writesIn(101, 116).last().values.size(), 16);

    // The hidden serial number row shows the registers' text, zero bytes
    // included; its Write sends nothing.
    h->bridge().setRegs(141, { 0x4142, 0x4300, 0, 0, 0, 0, 0, 0x2020 });
    h->bridge().clearWrites();
    h->window()->link()->clearMessage();
    click("SNPushButton");
    QTRY_COMPARE_WITH_TIMEOUT(w<QLineEdit>("SNLineEdit")->text(),
                              QString::fromLatin1("ABC\0\0\0\0\0\0\0\0\0\0\0  ", 16), 10000);
    QCOMPARE(h->status(), QString("OK!"));
    click("SNPushButtonWrite");
    QVERIFY(h->waitForReplies());
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestRadioPages::autoScan()
{
    QVERIFY(harness("NB500-400"));
    init();
    h->window()->findChild<QAction *>("asSettingsAction")->trigger();
    QPointer<QDialog> dialog = h->window()->findChild<QDialog *>("asDialog");
    QVERIFY(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 10000);
    QCOMPARE(dialog->windowTitle(), QString("ID-FunctionCode-Reg Settings"));
    auto find = [&](const char *name) { return dialog->findChild<QWidget *>(name); };
    auto *enable = qobject_cast<QRadioButton *>(find("mapEnableRadioButton"));
    auto *loop = qobject_cast<QLineEdit *>(find("mapLoopLineEdit"));
    auto *interval = qobject_cast<QLineEdit *>(find("mapIntervalLineEdit"));
    auto *model = qobject_cast<QTableView *>(find("mapTableView"))->model();

    // Basic settings both ways.
    h->bridge().setRegs(810, { 1, 60, 5 });
    qobject_cast<QPushButton *>(find("checkMapPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(loop->text(), QString("60"), 10000);
    QVERIFY(enable->isChecked());
    QCOMPARE(interval->text(), QString("5"));
    // Times the registers cannot hold are refused, not cut to 16 bits.
    for (const auto &bad : { qMakePair(loop, QString("please input Loop Time 0 to 65535")),
                             qMakePair(interval, QString("please input Interval Time 0 to 65535")) }) {
        loop->setText("30");
        interval->setText("7");
        bad.first->setText("65536");
        h->boxes.clear();
        qobject_cast<QPushButton *>(find("applyMapPushButton"))->click();
        QCOMPARE(h->boxes.lastTitle(), QString("tip"));
        QCOMPARE(h->boxes.lastText(), bad.second);
    }
    QVERIFY(h->waitForReplies());
    QVERIFY(h->bridge().writes().isEmpty());
    h->boxes.clear();
    enable->click();  // scan off
    loop->setText("30");
    interval->setText("7");
    qobject_cast<QPushButton *>(find("applyMapPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(810, 3), (Regs{ 0, 30, 7 }), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), 10000);

    // Map read.
    Regs map(40, 0);
    map[0] = 0x0301;
    map[1] = 0x0064;
    map[2] = 0x0207;
    h->bridge().setRegs(813, map);
    qobject_cast<QPushButton *>(find("asCheckPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(model->index(0, 2).data().toString(), QString("100"), 10000);
    QCOMPARE(model->rowCount(), 20);
    QCOMPARE(model->index(0, 0).data().toString(), QString("1"));
    QCOMPARE(model->index(0, 1).data().toString(), QString("3"));
    QCOMPARE(model->index(1, 0).data().toString(), QString("7"));
    QCOMPARE(model->index(1, 2).data().toString(), QString(""));
    // A short reply is reported and leaves the table as it was.
    sim::FaultRule shortReply;
    shortReply.kind = sim::Fault::ShortReply;
    shortReply.first = 813;
    shortReply.count = 1;
    h->bridge().addFault(shortReply);
    h->bridge().setRegs(813, Regs(40, 0));
    qobject_cast<QPushButton *>(find("asCheckPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        h->status(), QString("Read response error: Short reply, 20 of 40 registers. (code: 0x1)"), 10000);
    QCOMPARE(model->index(0, 2).data().toString(), QString("100"));
    QCOMPARE(model->index(1, 0).data().toString(), QString("7"));

    // Cell editing: function codes 1 to 4 only; what an ID or REG cannot
    // hold is refused and the cell keeps its value.
    QVERIFY(model->setData(model->index(1, 1), 5, Qt::EditRole));
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, 10000);
    QCOMPARE(h->boxes.lastTitle(), QString("tip"));
    QCOMPARE(h->boxes.lastText(), QString("please input function code 1 or 2 or 3 or 4"));
    QCOMPARE(model->index(1, 1).data().toString(), QString(""));
    QCOMPARE(model->index(1, 0).data().toString(), QString("7"));
    QVERIFY(model->setData(model->index(1, 0), 0, Qt::EditRole));  // row 1 empty again
    const QList<QPair<int, QString>> refusedCells = {
        { 0, "please input ID 0 to 255" }, { 2, "please input REG 0 to 65535" } };
    for (const auto &cell : refusedCells) {
        h->boxes.clear();
        QVERIFY(!model->setData(model->index(0, cell.first), cell.first == 0 ? 300 : 65536,
                                Qt::EditRole));
        QCOMPARE(h->boxes.lastTitle(), QString("tip"));
        QCOMPARE(h->boxes.lastText(), cell.second);
    }
    QCOMPARE(model->index(0, 0).data().toString(), QString("1"));
    QCOMPARE(model->index(0, 2).data().toString(), QString("100"));
    QVERIFY(model->setData(model->index(2, 0), 44, Qt::EditRole));
    QVERIFY(model->setData(model->index(2, 1), 4, Qt::EditRole));
    QVERIFY(model->setData(model->index(2, 2), 7, Qt::EditRole));
    QCOMPARE(model->index(2, 1).data().toString(), QString("4"));
    QVERIFY(model->setData(model->index(5, 0), 9, Qt::EditRole));  // no function code: skipped
    QVERIFY(model->setData(model->index(12, 2), 55, Qt::EditRole));  // only REG: second half takes it
    QVERIFY(model->setData(model->index(15, 0), 9, Qt::EditRole));
    QVERIFY(model->setData(model->index(15, 1), 1, Qt::EditRole));
    QVERIFY(model->setData(model->index(15, 2), 2, Qt::EditRole));

    // Two halves of 20 registers: the rows compacted, then zero entries, so
    // nothing stale stays on the device.
    h->bridge().setRegs(813, Regs(40, 0xEEEE));
    h->bridge().clearWrites();
    qobject_cast<QPushButton *>(find("appPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 2, 20000);
    Regs first(20, 0);
    first[0] = 0x0301; first[1] = 100; first[2] = 0x042C; first[3] = 7;
    Regs second(20, 0);
    second[0] = 0; second[1] = 55; second[2] = 0x0109; second[3] = 2;
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.at(0).start, 813);
    QCOMPARE(writes.at(0).values, first);
    QCOMPARE(writes.at(1).start, 833);
    QCOMPARE(writes.at(1).values, second);
    QCOMPARE(h->bridge().regs(813, 40), first + second);
    QVERIFY(h->bridge().regs(810, 3) == (Regs{ 0, 30, 7 }));  // outside the map: untouched

    // A map without qualifying rows clears the device's map.
    qobject_cast<mapModel *>(model)->setList(QList<ScanMapEntry>() << ScanMapEntry());
    h->bridge().clearWrites();
    qobject_cast<QPushButton *>(find("appPushButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 2, 20000);
    QCOMPARE(h->bridge().regs(813, 40), Regs(40, 0));

    // The dialog goes when it is closed.
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 10000);
}

QTEST_MAIN(TestRadioPages)
#include "test_radiopages.moc"

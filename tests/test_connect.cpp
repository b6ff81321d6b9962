// Connect, login, identification and Disconnect, driving the real window
// against the simulated bridge.
#include "testsupport.h"

#include "link/link.h"
#include "link/portlist.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

namespace {
QStringList items(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QList<int> enabledTabs(QTabWidget *tabs)
{
    QList<int> list;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabEnabled(i))
            list << i;
    return list;
}
}

class TestConnect : public QObject
{
    Q_OBJECT
private slots:
    void identification_data();
    void identification();
    void refusedLoginThenAccepted();
    void endConnectEarly_data();
    void endConnectEarly();
    void loginFollowsChosenPort_data();
    void loginFollowsChosenPort();
    void portCannotBeOpened_data();
    void portCannotBeOpened();
    void secondConnectIgnoredAndLongCredentials();
    void modelReadFailures_data();
    void modelReadFailures();
    void lostPortAndReturn();
    void portSignature();
    void deletedDuringIdentification();
};

// Login and gating per model; another series is refused after the login.
void TestConnect::identification_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("currentInputs");
    QTest::addColumn<QStringList>("frequencies");
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("box");  // empty: accepted
    const QStringList inputs{ "1", "3" };
    QTest::newRow("NB500-400") << "NB500-400" << inputs << QStringList{ "433", "470", "490" } << 0 << "";
    QTest::newRow("NB520-900") << "NB520-900" << inputs << QStringList{ "868", "915" } << 1 << "";
    QTest::newRow("NB520-TH") << "NB520-TH" << inputs << QStringList{ "920", "925" } << 2 << "";
    QTest::newRow("no markers") << "XY-1" << QStringList{} << QStringList{} << 0 << "";
    QTest::newRow("another series") << "NB-NT400" << QStringList{} << QStringList{} << 0
                                    << "Please Connect LoraWan Series Production!";
}

void TestConnect::identification()
{
    QFETCH(QString, model);
    QFETCH(QString, box);
    sim::Options options;
    options.model = model;
    Harness h(options);
    QVERIFY(h.startWindow());
    h.bridge().setReg(256, 0);  // ABP
    QCOMPARE(h.find<QComboBox>("portComboBox")->currentText(), h.bridge().portPath());
    QVERIFY(h.connectAs("admin", "admin"));

    // User and password went to 199..214 as register text.
    const auto logins = h.bridge().writesIn(199, 214);
    const QVector<quint16> admin{ 0x6164, 0x6D69, 0x6E00, 0, 0, 0, 0, 0 };
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins.first().values, admin + admin);
    QTEST(items(h.find<QComboBox>("currentInputComboBox")), "currentInputs");
    QTEST(items(h.find<QComboBox>("FrequencyComboBox")), "frequencies");
    QTEST(h.window()->frequencyBand(), "band");
    h.find<QTabWidget>("tabWidget")->setCurrentIndex(0);
    QCOMPARE(h.find<QLineEdit>("portEdit_2")->isVisible(), !box.isEmpty());
    auto *name = h.find<QLineEdit>("portEdit_3");
    if (!box.isEmpty()) {
        QCOMPARE(h.boxes.boxes.size(), 1);
        QCOMPARE(h.boxes.lastText(), box);
        QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
        QVERIFY(name->text().isEmpty() && !h.window()->isLoginAccepted());
        QCOMPARE(h.find<QPushButton>("connectButton")->text(), QString("Connect"));
        return;
    }
    QVERIFY(name->text().startsWith(model));
    QCOMPARE(name->text().size(), 16);  // zero bytes kept
    QCOMPARE(enabledTabs(h.find<QTabWidget>("tabWidget")), (QList<int>{ 0, 3, 4, 5, 7 }));
    QCOMPARE(h.find<QPushButton>("connectButton")->text(), QString("Disconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(h.find<QRadioButton>("abpEnable")->isChecked(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h.status(), QString("OK!"), 10000);
    QVERIFY(!h.loginDialog());
    QVERIFY(h.boxes.boxes.isEmpty());
}

void TestConnect::refusedLoginThenAccepted()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.startConnect());
    QVERIFY(h.submitLogin("admin", "wrong"));
    QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 1, 10000);
    QCOMPARE(h.boxes.lastTitle(), QString("Login"));
    QCOMPARE(h.boxes.lastText(), QString("Please Check Username and Password."));
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QVERIFY(h.loginDialog());
    QVERIFY(h.window()->isConnecting());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().isEmpty());

    QVERIFY(h.submitLogin("admin", "admin"));
    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), 10000);
    QVERIFY(h.window()->link()->isConnected());
    QVERIFY(!h.loginDialog());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500-400"));
    QCOMPARE(h.bridge().writesIn(199, 214).size(), 2);
}

// Every way a Connect can end before it completes leaves the window
// disconnected with the port free, and an answer still due changes nothing.
void TestConnect::endConnectEarly_data()
{
    QTest::addColumn<int>("unanswered");  // register the bridge keeps silent on; 0: nothing sent
    QTest::addColumn<QString>("how");
    QTest::newRow("quit, nothing sent") << 0 << "quitPushButton";
    QTest::newRow("close, nothing sent") << 0 << "close";
    QTest::newRow("quit, login unanswered") << 199 << "quitPushButton";
    QTest::newRow("close, login unanswered") << 199 << "close";
    QTest::newRow("Disconnect, login unanswered") << 199 << "connectButton";
    QTest::newRow("menu Disconnect, login unanswered") << 199 << "actionDisconnect";
    QTest::newRow("Disconnect, model name unanswered") << 133 << "connectButton";
}

void TestConnect::endConnectEarly()
{
    QFETCH(int, unanswered);
    QFETCH(QString, how);
    Harness h;
    QVERIFY(h.startWindow());
    auto *button = h.find<QPushButton>("connectButton");
    QDialog *login = h.startConnect();
    QVERIFY(login);
    if (unanswered) {
        sim::FaultRule silent;  // as a wrong port would
        silent.first = silent.last = unanswered;
        silent.count = 1;
        h.bridge().addFault(silent);
        QVERIFY(h.submitLogin("admin", "admin"));
        QTRY_COMPARE_WITH_TIMEOUT(h.bridge().requestCount(), unanswered == 199 ? 1 : 2, 10000);
        QCOMPARE(button->text(), QString("Disconnect"));
    }
    if (how == "close")
        login->close();
    else if (how == "quitPushButton")
        login->findChild<QPushButton *>(how)->click();
    else if (how == "connectButton")
        button->click();
    else
        h.find<QAction>(how)->trigger();

    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), 10000);
    QVERIFY(!h.loginDialog());
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(button->text(), QString("Connect"));
    QVERIFY(h.find<QAction>("actionConnect")->isEnabled());
    QVERIFY(!h.find<QAction>("actionDisconnect")->isEnabled());
    QVERIFY(!h.window()->isLoginAccepted());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().isEmpty());
    QCOMPARE(h.status(), QString());
    QCOMPARE(h.bridge().requestCount(), unanswered == 0 ? 0 : unanswered == 199 ? 1 : 2);
    QSerialPort other(h.bridge().portPath());  // free for another program
    QVERIFY(other.open(QIODevice::ReadWrite));
    other.close();

    // The window connects again; the answer that was due never counted.
    QVERIFY(h.connectAs());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
    const auto reads = h.bridge().reads();
    QCOMPARE(std::count_if(reads.begin(), reads.end(), [](const sim::ReadRecord &r) {
                 return r.start == 133;
             }),
             unanswered == 133 ? 2 : 1);
    QVERIFY(h.boxes.boxes.isEmpty());
}

// The login goes to the port chosen at each press: after a refusal, and
// while the wrong port keeps silent.
void TestConnect::loginFollowsChosenPort_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("wrong port refuses") << false;
    QTest::newRow("wrong port silent") << true;
}

void TestConnect::loginFollowsChosenPort()
{
    QFETCH(bool, silent);
    Harness h;
    QVERIFY(h.startWindow());
    sim::Options otherBridge;
    otherBridge.password = "other";
    sim::SimBridge wrong(otherBridge);
    QVERIFY(wrong.start());
    if (silent)
        wrong.addFault(sim::FaultRule());
    qputenv("NODEWEAVE_EXTRA_PORTS", (wrong.portPath() + ':' + h.bridge().portPath()).toLocal8Bit());
    h.window()->findComPort();
    auto *combo = h.find<QComboBox>("portComboBox");
    QCOMPARE(combo->currentText(), wrong.portPath());

    QVERIFY(h.startConnect());
    QVERIFY(h.submitLogin("admin", "admin"));
    if (silent)
        QTRY_COMPARE_WITH_TIMEOUT(wrong.requestCount(), 1, 10000);
    else
        QTRY_COMPARE_WITH_TIMEOUT(h.boxes.lastText(), QString("Please Check Username and Password."),
                                  10000);
    combo->setCurrentText(h.bridge().portPath());
    QVERIFY(h.submitLogin("admin", "admin"));
    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), 10000);
    QVERIFY(h.window()->link()->isConnected());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
    QCOMPARE(wrong.requestCount(), 1);
    QCOMPARE(h.bridge().writesIn(199, 214).size(), 1);
    QCOMPARE(h.boxes.boxes.size(), silent ? 0 : 1);
}

void TestConnect::portCannotBeOpened_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("gone") << false;
    QTest::newRow("held by another program") << true;
}

void TestConnect::portCannotBeOpened()
{
    QFETCH(bool, held);
    Harness h;
    QVERIFY(h.startWindow());
    auto *combo = h.find<QComboBox>("portComboBox");
    QSerialPort other(h.bridge().portPath());
    QString port = h.bridge().portPath();
    if (held) {
        QVERIFY(other.open(QIODevice::ReadWrite));
    } else {
        port = QDir::temp().filePath("nodeweave-no-such-port");
        combo->addItem(port);
        combo->setCurrentText(port);
    }
    QVERIFY(h.startConnect());
    QVERIFY(h.submitLogin("admin", "admin"));
    QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 1, 10000);
    QCOMPARE(h.boxes.lastTitle(), QString("Login"));
    QCOMPARE(h.boxes.lastText(),
             QString("The port %1 cannot be opened: it is gone or in use by another program.")
                 .arg(port));
    QVERIFY(h.loginDialog());
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(h.bridge().requestCount(), 0);

    // Port freed, or the right one picked: the next press logs in.
    other.close();
    combo->setCurrentText(h.bridge().portPath());
    QVERIFY(h.submitLogin("admin", "admin"));
    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), 10000);
    QVERIFY(h.window()->link()->isConnected());
}

void TestConnect::secondConnectIgnoredAndLongCredentials()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.startConnect());
    h.find<QPushButton>("connectButton")->click();
    h.find<QAction>("actionConnect")->trigger();
    QCOMPARE(h.window()->findChildren<QDialog *>("logindialog").size(), 1);

    // Longer than the bridge's 16 characters: refused before anything is sent.
    QVERIFY(h.submitLogin(QString(17, 'u'), "admin"));
    QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 1, 10000);
    QCOMPARE(h.boxes.lastTitle(), QString("Login"));
    QVERIFY(h.submitLogin("admin", QString(17, 'p')));
    QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 2, 10000);
    QCOMPARE(h.bridge().requestCount(), 0);
    QVERIFY(h.loginDialog());

    // Exactly 16 characters are sent in full (and refused by the bridge).
    QVERIFY(h.submitLogin(QString(16, 'u'), "admin"));
    QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 3, 10000);
    QCOMPARE(h.boxes.lastText(), QString("Please Check Username and Password."));
    const auto logins = h.bridge().writes();
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins.first().start, 199);
    QCOMPARE(logins.first().values.mid(0, 8), QVector<quint16>(8, 0x7575));
}

void TestConnect::modelReadFailures_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("status");
    QTest::newRow("time-out") << int(sim::Fault::NoAnswer) << "Unknown Device"
                              << "Unknown Device: Please input the correct type of IOT Devices.";
    QTest::newRow("exception") << int(sim::Fault::Exception) << ""
                               << "Read response error: .+ \\(Mobus exception: 0x2\\)";
    QTest::newRow("short reply") << int(sim::Fault::ShortReply) << "Unknown Device"
                                 << "Unknown Device: Please input the correct type of IOT Devices.";
}

void TestConnect::modelReadFailures()
{
    QFETCH(int, fault);
    Harness h;
    QVERIFY(h.startWindow());
    h.window()->link()->device()->setNumberOfRetries(0);
    sim::FaultRule rule;
    rule.kind = sim::Fault(fault);
    rule.first = 133;
    rule.last = 140;
    rule.code = 2;
    h.bridge().addFault(rule);

    QVERIFY(h.connectAs());
    QTEST(h.find<QLineEdit>("portEdit_3")->text(), "name");
    QVERIFY(h.window()->link()->isConnected());
    QCOMPARE(h.find<QComboBox>("currentInputComboBox")->count(), 0);
    QCOMPARE(h.find<QComboBox>("FrequencyComboBox")->count(), 0);
    // The later reads do not hide the error.
    QTRY_COMPARE_WITH_TIMEOUT(h.bridge().requestCount(), 4, 10000);
    QFETCH(QString, status);
    QVERIFY2(QRegularExpression("^" + status + "$").match(h.status()).hasMatch(),
             qPrintable(h.status()));
    QVERIFY(!h.loginDialog());
}

void TestConnect::lostPortAndReturn()
{
    sim::Options options;
    options.linkPath = QDir::temp().filePath(
        QString("nodeweave-test-%1").arg(QCoreApplication::applicationPid()));
    Harness h(options);
    QVERIFY(h.startWindow());
    QVERIFY(h.connectAs());

    h.bridge().unplug();
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QPushButton>("connectButton")->text(), QString("Connect"),
                              10000);
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QVERIFY(!h.status().isEmpty());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().isEmpty());
    // The port watch drops the vanished port...
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QComboBox>("portComboBox")->findText(h.bridge().portPath()),
                              -1, 10000);

    // ...and lists it again when it is back; Connect then works.
    QVERIFY(h.bridge().replug());
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QComboBox>("portComboBox")->currentText(),
                              h.bridge().portPath(), 10000);
    QVERIFY(h.connectAs());
    QVERIFY(h.window()->link()->isConnected());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
}

// The port watch enumerates only when the fingerprint changes: it must
// change when a listed extra port comes or goes, and only then.
void TestConnect::portSignature()
{
    const QByteArray saved = qgetenv("NODEWEAVE_EXTRA_PORTS");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString port = dir.filePath("ttyFake0");
    qputenv("NODEWEAVE_EXTRA_PORTS", port.toLocal8Bit());
    // The part after /dev's time stamp (which the system may change meanwhile).
    const auto extraPart = [] {
        const QByteArray s = portListSignature();
        return s.mid(s.indexOf(':'));
    };

    const QByteArray absent = extraPart();
    QVERIFY(!portListSignature().isEmpty());
    QVERIFY(!absent.isEmpty());
    QFile file(port);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(extraPart() != absent);
    QVERIFY(availablePortNames().contains(port));
    QVERIFY(QFile::remove(port));
    QCOMPARE(extraPart(), absent);
    QVERIFY(!availablePortNames().contains(port));

    qputenv("NODEWEAVE_EXTRA_PORTS", saved);
}

void TestConnect::deletedDuringIdentification()
{
    {   // Deleting the window while identification waits for the model name.
        Harness h;
        QVERIFY(h.startWindow());
        sim::FaultRule rule;
        rule.first = 133;
        rule.last = 140;
        h.bridge().addFault(rule);
        QVERIFY(h.startConnect());
        QVERIFY(h.submitLogin("admin", "admin"));
        QTRY_VERIFY_WITH_TIMEOUT(h.window()->isLoginAccepted(), 10000);
        QPointer<MainWindow> window = h.window();
        delete h.window();
        QVERIFY(!window);
        // Pending replies and timers now find no window.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QTEST_MAIN(TestConnect)
#include "test_connect.moc"

// Connect, login, identification and Disconnect, driving the real window
// against the simulated bridge.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTabWidget>
#include <QtTest>

namespace {
constexpr int Wait = 10000;

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
} // namespace

class TestConnect : public QObject
{
    Q_OBJECT
private slots:
    void identification_data();
    void identification();
    void endConnectEarly_data();
    void endConnectEarly();
    void loginRetried_data();
    void loginRetried();
    void modelReadFailures_data();
    void modelReadFailures();
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
    QVERIFY(h.connectAs("admin", "admin"));

    // User and password went to 199..214 as register text.
    const QVector<quint16> admin{ 0x6164, 0x6D69, 0x6E00, 0, 0, 0, 0, 0 };
    QCOMPARE(h.bridge().writesIn(199, 214).size(), 1);
    QCOMPARE(h.bridge().writesIn(199, 214).first().values, admin + admin);
    QTEST(items(h.find<QComboBox>("currentInputComboBox")), "currentInputs");
    QTEST(items(h.find<QComboBox>("FrequencyComboBox")), "frequencies");
    QTEST(h.window()->frequencyBand(), "band");
    h.find<QTabWidget>("tabWidget")->setCurrentIndex(MainWindow::TabSerial);
    QCOMPARE(h.find<QLineEdit>("portEdit_2")->isVisible(), !box.isEmpty());
    auto *name = h.find<QLineEdit>("portEdit_3");
    auto *button = h.find<QPushButton>("connectButton");
    if (!box.isEmpty()) {
        QCOMPARE(h.boxes.boxes.size(), 1);
        QCOMPARE(h.boxes.lastText(), box);
        QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
        QVERIFY(name->text().isEmpty() && !h.window()->isLoginAccepted());
        QCOMPARE(button->text(), QString("Connect"));
        return;
    }
    QVERIFY(name->text().startsWith(model));
    QCOMPARE(name->text().size(), 16);  // zero bytes kept
    QCOMPARE(enabledTabs(h.find<QTabWidget>("tabWidget")), (QList<int>{ 0, 3, 4, 5, 7 }));
    QCOMPARE(button->text(), QString("Disconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(h.find<QRadioButton>("abpEnable")->isChecked(), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h.status(), QString("OK!"), Wait);
    QVERIFY(h.boxes.boxes.isEmpty());
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
    // Pending replies and timers must then find no window.
    QTest::newRow("window deleted, model name unanswered") << 133 << "delete";
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
    const int sent = unanswered == 0 ? 0 : unanswered == 199 ? 1 : 2;
    if (unanswered) {
        sim::FaultRule once;  // no answer, as a wrong port would give
        once.first = once.last = unanswered;
        once.count = 1;
        h.bridge().addFault(once);
        QVERIFY(h.submitLogin("admin", "admin"));
        QTRY_COMPARE_WITH_TIMEOUT(h.bridge().requestCount(), sent, Wait);
        QCOMPARE(button->text(), QString("Disconnect"));
    }
    if (how == "delete") {
        QPointer<MainWindow> window = h.window();
        delete window;
        QVERIFY(!window);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return;
    }
    if (how == "close")
        login->close();
    else if (how == "quitPushButton")
        login->findChild<QPushButton *>(how)->click();
    else if (how == "connectButton")
        button->click();
    else
        h.find<QAction>(how)->trigger();

    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), Wait);
    QVERIFY(!h.loginDialog() && !h.window()->isLoginAccepted());
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(button->text(), QString("Connect"));
    QVERIFY(h.find<QAction>("actionConnect")->isEnabled());
    QVERIFY(!h.find<QAction>("actionDisconnect")->isEnabled());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().isEmpty());
    QCOMPARE(h.status(), QString());
    QCOMPARE(h.bridge().requestCount(), sent);
    QSerialPort other(h.bridge().portPath());  // free for another program
    QVERIFY(other.open(QIODevice::ReadWrite));
    other.close();

    // The window connects again; the answer that was due never counted.
    QVERIFY(h.connectAs());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
    const auto reads = h.bridge().reads();
    QCOMPARE(std::count_if(reads.begin(), reads.end(), [](const sim::ReadRecord &r) { return r.start == 133; }),
             unanswered == 133 ? 2 : 1);
    QVERIFY(h.boxes.boxes.isEmpty());
}

// The first Login press fails; the next, with the bridge's port chosen (or
// freed) and its credentials, logs in: each press opens the port chosen then.
void TestConnect::loginRetried_data()
{
    QTest::addColumn<QString>("first");  // what the first press meets
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("box");  // its box ("%1": the port), none while it waits
    const QString refused("Please Check Username and Password."), long16(16, 'u');
    const QString unopened("The port %1 cannot be opened: it is gone or in use by another program.");
    const QString tooLong("Username and password can have at most 16 characters each.");
    // A user name of the bridge's 16 characters is sent in full.
    QTest::newRow("another bridge refuses") << "refuses" << long16 << "admin" << refused;
    QTest::newRow("another bridge silent") << "silent" << "admin" << "admin" << "";
    QTest::newRow("port gone") << "gone" << "admin" << "admin" << unopened;
    QTest::newRow("port held by another program") << "held" << "admin" << "admin" << unopened;
    QTest::newRow("user of 17") << "long" << QString(17, 'u') << "admin" << tooLong;
    QTest::newRow("password of 17") << "long" << "admin" << QString(17, 'p') << tooLong;
}

void TestConnect::loginRetried()
{
    QFETCH(QString, first);
    QFETCH(QString, box);
    Harness h;
    QVERIFY(h.startWindow());
    sim::Options otherBridge;
    otherBridge.password = "other";
    sim::SimBridge wrong(otherBridge);
    QVERIFY(wrong.start());
    if (first == "silent")
        wrong.addFault(sim::FaultRule());
    auto *combo = h.find<QComboBox>("portComboBox");
    QString port = h.bridge().portPath();
    QSerialPort holder(port);
    if (first == "held") {
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else if (first == "gone") {
        port = QDir::temp().filePath("nodeweave-no-such-port");
        combo->addItem(port);
    } else if (first != "long") {
        port = wrong.portPath();
        qputenv("NODEWEAVE_EXTRA_PORTS", (port + ':' + h.bridge().portPath()).toLocal8Bit());
        h.window()->findComPort();
    }
    combo->setCurrentText(port);

    QVERIFY(h.startConnect());
    h.find<QPushButton>("connectButton")->click();  // a second Connect meanwhile is ignored
    h.find<QAction>("actionConnect")->trigger();
    QCOMPARE(h.window()->findChildren<QDialog *>("logindialog").size(), 1);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QVERIFY(h.submitLogin(user, password));
    if (box.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(wrong.requestCount(), 1, Wait);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(h.boxes.boxes.size(), 1, Wait);
        QCOMPARE(h.boxes.lastTitle(), QString("Login"));
        QCOMPARE(h.boxes.lastText(), QString(box).replace("%1", port));
        QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    }
    QVERIFY(h.loginDialog() && h.window()->isConnecting());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().isEmpty());
    QCOMPARE(h.bridge().requestCount(), 0);
    const auto tried = wrong.writes();  // a silent bridge keeps no record
    QCOMPARE(tried.size(), first == "refuses" ? 1 : 0);
    if (!tried.isEmpty())
        QCOMPARE(tried.first().values, codec::textToRegisters(user, 8) + codec::textToRegisters(password, 8));

    holder.close();
    combo->setCurrentText(h.bridge().portPath());
    QVERIFY(h.submitLogin("admin", "admin"));
    QTRY_VERIFY_WITH_TIMEOUT(!h.window()->isConnecting(), Wait);
    QVERIFY(h.window()->link()->isConnected() && !h.loginDialog());
    QVERIFY(h.find<QLineEdit>("portEdit_3")->text().startsWith("NB500"));
    QCOMPARE(wrong.requestCount(), port == wrong.portPath() ? 1 : 0);
    QCOMPARE(h.bridge().writesIn(199, 214).size(), 1);
    QCOMPARE(h.boxes.boxes.size(), box.isEmpty() ? 0 : 1);
}

// The model name cannot be read: the link stays up, nothing is offered, and
// the identification's later reads do not hide the error. (A short reply
// takes the time-out's way, as every read's register count is checked once.)
void TestConnect::modelReadFailures_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("status");
    const QString unknown("Unknown Device: Please input the correct type of IOT Devices.");
    QTest::newRow("time-out") << int(sim::Fault::NoAnswer) << "Unknown Device" << unknown;
    QTest::newRow("exception") << int(sim::Fault::Exception) << ""
                               << "Read response error: .+ \\(Mobus exception: 0x2\\)";
}

void TestConnect::modelReadFailures()
{
    QFETCH(int, fault);
    QFETCH(QString, status);
    Harness h;
    QVERIFY(h.startWindow());
    h.window()->link()->device()->setTimeout(1000);  // the time-out itself is no matter here
    h.window()->link()->device()->setNumberOfRetries(0);
    sim::FaultRule rule;
    rule.first = 133;
    rule.last = 140;
    rule.kind = sim::Fault(fault);
    rule.code = 2;
    h.bridge().addFault(rule);

    QVERIFY(h.connectAs());
    QTEST(h.find<QLineEdit>("portEdit_3")->text(), "name");
    QVERIFY(h.window()->link()->isConnected() && !h.loginDialog());
    QCOMPARE(h.find<QComboBox>("currentInputComboBox")->count(), 0);
    QCOMPARE(h.find<QComboBox>("FrequencyComboBox")->count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(h.bridge().requestCount(), 4, Wait);
    QVERIFY2(QRegularExpression("^" + status + "$").match(h.status()).hasMatch(), qPrintable(h.status()));
}

QTEST_MAIN(TestConnect)
#include "test_connect.moc"

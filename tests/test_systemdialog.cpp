// The "System Settings" dialog end to end: version, serial number, device
// clock, output holds, factory reset and the stored login credentials,
// driven by object name against the simulated bridge.
#include "testsupport.h"

#include "link/link.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusClient>
#include <QPushButton>
#include <QtTest>

#include <ctime>

using Regs = QVector<quint16>;

namespace {
constexpr int Timeout = 20000;

// Answers the message boxes that the harness has recorded with one button
// (the harness's own catcher is switched to record only).
class Answerer : public QObject
{
public:
    Answerer(BoxCatcher &catcher, QMessageBox::StandardButton answer)
        : m_catcher(catcher), m_answer(answer)
    {
        m_catcher.autoClose = false;
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &Answerer::poll);
        m_timer.start();
    }
    ~Answerer() override { m_catcher.autoClose = true; }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || !box->property("nwCaught").toBool())
            return;
        QAbstractButton *button = box->button(m_answer);
        if (!button)
            button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        if (button)
            button->click();
    }

    BoxCatcher &m_catcher;
    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
};

class ZoneScope
{
public:
    explicit ZoneScope(const QByteArray &tz) : m_had(qEnvironmentVariableIsSet("TZ")),
                                               m_old(qgetenv("TZ"))
    {
        qputenv("TZ", tz);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    QByteArray m_old;
};

const char Marker[] = "marker";
}

class TestSystemDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void openAndExpand();
    void versionAndSerialNumber_data();
    void versionAndSerialNumber();
    void silentReadFailures_data();
    void silentReadFailures();
    void clock_data();
    void clock();
    void holds_data();
    void holds();
    void factoryReset();
    void reloadCredentials();
    void applyCredentials_data();
    void applyCredentials();
    void newCredentialsAtNextLogin();
    void notConnected();

private:
    template <typename T> T *w(const char *name)
    {
        T *widget = dialog()->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    QDialog *dialog() { return h->window()->findChild<QDialog *>("systemDialog"); }
    void click(const char *name) { w<QPushButton>(name)->click(); }
    QString text(const char *name) { return w<QLineEdit>(name)->text(); }
    // Waits until every request sent so far has been answered (or has run
    // into its time-out): the link handles them in order, so a fresh version
    // read that shows up means the earlier ones are done.
    bool settle();

    Harness *h = nullptr;
    int m_settles = 0;
};

void TestSystemDialog::initTestCase()
{
    h = new Harness;
    QVERIFY(h->startWindow());
    QVERIFY(h->connectAs());
    h->window()->link()->device()->setNumberOfRetries(0);
    h->find<QAction>("action_Settings")->trigger();
    QVERIFY(dialog());
    QVERIFY(dialog()->isVisible());
    QVERIFY(settle());  // the Connect's own requests are done
}

void TestSystemDialog::cleanupTestCase()
{
    delete h;
}

void TestSystemDialog::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->boxes.clear();
    h->window()->link()->showMessage(Marker);
}

bool TestSystemDialog::settle()
{
    const QString version = QString("S%1").arg(++m_settles);
    const QVector<quint16> saved = h->bridge().regs(170, 8);
    h->bridge().setText(170, 8, version);
    click("systemCheck");
    const bool ok = QTest::qWaitFor([&] { return text("systemVersionLineEdit") == version; },
                                    Timeout);
    h->bridge().setRegs(170, saved);
    return ok;
}

void TestSystemDialog::openAndExpand()
{
    QCOMPARE(dialog()->windowTitle(), QString("System Settings"));
    QCOMPARE(dialog()->size(), QSize(510, 315));
    QCOMPARE(dialog()->minimumSize(), dialog()->maximumSize());
    QVERIFY(!w<QWidget>("widget")->isVisible());
    QVERIFY(!w<QLineEdit>("systemVersionLineEdit")->isEnabled());
    QVERIFY(w<QPushButton>("pushButton")->height() <= 15);
    QCOMPARE(w<QComboBox>("PWMOCComboBox")->itemText(1), QString("ON"));

    click("pushButton");
    QCOMPARE(dialog()->size(), QSize(510, 481));
    QCOMPARE(dialog()->minimumSize(), dialog()->maximumSize());
    QVERIFY(w<QWidget>("widget")->isVisible());
    QCOMPARE(w<QPushButton>("pushButton")->text(), QString("<<<"));
    QVERIFY(w<QLineEdit>("usernameLineEdit")->isEnabled());
    QVERIFY(w<QLineEdit>("passwordLineEdit")->width() <= 200);
    QCOMPARE(w<QLineEdit>("passwordLineEdit")->echoMode(), QLineEdit::Normal);

    click("pushButton");
    QCOMPARE(dialog()->size(), QSize(510, 315));
    QVERIFY(!w<QWidget>("widget")->isVisible());
    QCOMPARE(w<QPushButton>("pushButton")->text(), QString(">>>"));

    // Closing only hides; the menu entry shows the same dialog again.
    dialog()->close();
    h->find<QAction>("action_Settings")->trigger();
    QVERIFY(dialog()->isVisible());
    QCOMPARE(h->window()->findChildren<QDialog *>("systemDialog").size(), 1);
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestSystemDialog::versionAndSerialNumber_data()
{
    QTest::addColumn<Regs>("version");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<Regs>("serial");
    QTest::addColumn<QString>("serialText");  // null: field unchanged
    QTest::newRow("plain") << Regs{ 0x5632, 0x2E31, 0x2E33, 0, 0, 0, 0, 0 } << "V2.1.3"
                           << Regs{ 0x4142, 0x4300, 0x4445, 0, 0, 0, 0, 0 } << "ABC";
    QTest::newRow("zero low byte kept, serial unset")
        << Regs{ 0x5600, 0x3132, 0, 0, 0, 0, 0, 0 } << QString::fromLatin1("V\0" "12", 4)
        << Regs(8, 0xFFFF) << QString();
    QTest::newRow("empty serial") << Regs(8, 0x4142) << QString("AB").repeated(8)
                                  << Regs(8, 0) << QString("");
}

void TestSystemDialog::versionAndSerialNumber()
{
    QFETCH(Regs, version);
    QFETCH(Regs, serial);
    QFETCH(QString, serialText);
    h->bridge().setRegs(170, version);
    h->bridge().setRegs(141, serial);
    w<QLineEdit>("SNShow")->setText("before");
    w<QLineEdit>("systemVersionLineEdit")->setText("before");

    click("systemCheck");
    click("SNRead");
    QTRY_VERIFY_WITH_TIMEOUT(text("systemVersionLineEdit") != "before", Timeout);
    QTEST(text("systemVersionLineEdit"), "versionText");
    QVERIFY(settle());
    QCOMPARE(text("SNShow"), serialText.isNull() ? QString("before") : serialText);

    QCOMPARE(h->status(), QString(Marker));  // no "OK!" for these reads
    const auto reads = h->bridge().reads();
    QVERIFY(reads.size() >= 2);
    QCOMPARE(reads.at(0).start, 170);
    QCOMPARE(reads.at(0).count, 8);
    QCOMPARE(reads.at(1).start, 141);
    QCOMPARE(reads.at(1).count, 8);
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestSystemDialog::silentReadFailures_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("exception") << int(sim::Fault::Exception);
    QTest::newRow("no answer") << int(sim::Fault::NoAnswer);
    QTest::newRow("bad CRC") << int(sim::Fault::BadCrc);
}

void TestSystemDialog::silentReadFailures()
{
    QFETCH(int, fault);
    w<QLineEdit>("SNShow")->setText("sn");
    w<QComboBox>("PWMComboBox")->setCurrentIndex(1);
    h->bridge().setReg(308, 0);
    for (int first : { 141, 308 }) {
        sim::FaultRule rule;
        rule.kind = sim::Fault(fault);
        rule.first = first;
        rule.last = first;
        rule.count = 1;
        h->bridge().addFault(rule);
    }
    click("SNRead");
    click("PWMChk");
    QVERIFY(settle());
    QCOMPARE(text("SNShow"), QString("sn"));
    QCOMPARE(w<QComboBox>("PWMComboBox")->currentIndex(), 1);
    QCOMPARE(h->status(), QString(Marker));
    QVERIFY(h->boxes.boxes.isEmpty());

    // The clock is the exception: its failures are reported.
    w<QLineEdit>("globalTSLineEdit")->setText("clock");
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.code = 2;
    rule.first = 805;
    rule.last = 806;
    rule.count = 1;
    h->bridge().addFault(rule);
    click("globalTSCheckPushButton");
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Read response error: "), Timeout);
    QVERIFY2(h->status().endsWith("(Mobus exception: 0x2)"), qPrintable(h->status()));
    QCOMPARE(text("globalTSLineEdit"), QString("clock"));
}

void TestSystemDialog::clock_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("day");
    QTest::newRow("UTC") << QByteArray("UTC0") << "2023-11-14 22:13:20" << 2;
    QTest::newRow("five hours west") << QByteArray("EST5") << "2023-11-14 17:13:20" << 2;
    QTest::newRow("nine hours east") << QByteArray("JST-9") << "2023-11-15 07:13:20" << 3;
}

void TestSystemDialog::clock()
{
    QFETCH(QByteArray, tz);
    QFETCH(QString, shown);
    ZoneScope zone(tz);

    h->bridge().setRegs(805, { 0x6553, 0xF100 });
    click("globalTSCheckPushButton");
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    QFETCH(int, day);
    QCOMPARE(text("globalTSLineEdit"),
             shown + " " + QLocale::system().dayName(day, QLocale::ShortFormat));

    // Set writes the PC's clock and shows the very value it wrote.
    h->window()->link()->showMessage(Marker);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    click("globalTSSetPushButton");
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 805);
    QCOMPARE(writes.first().values.size(), 2);
    const Regs regs = h->bridge().regs(805, 2);
    const qint64 written = qint64(regs.at(0)) << 16 | regs.at(1);
    QVERIFY(written >= before && written <= after);
    const QDateTime shownTime = QDateTime::fromString(text("globalTSLineEdit").left(19),
                                                      "yyyy-MM-dd hh:mm:ss");
    QVERIFY(shownTime.isValid());
    QCOMPARE(shownTime.toSecsSinceEpoch(), written);
}

void TestSystemDialog::holds_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("address");
    QTest::newRow("voltage") << "voltageHoldChk" << "voltageHoldSet" << "voltageHoldComboBox" << 306;
    QTest::newRow("current") << "currentHoldCheck" << "currentHoldSet" << "currentHoldComboBox"
                             << 307;
    QTest::newRow("PWM 5 V") << "PWMChk" << "PWMSet" << "PWMComboBox" << 308;
    QTest::newRow("PWM OC") << "PWMOCChk" << "PWMOCSet" << "PWMOCComboBox" << 309;
}

void TestSystemDialog::holds()
{
    QFETCH(QString, check);
    QFETCH(QString, set);
    QFETCH(QString, combo);
    QFETCH(int, address);
    auto *box = w<QComboBox>(combo.toLatin1());
    const Regs neighbours = h->bridge().regs(300, 20);

    h->bridge().setReg(address, 1);
    click(check.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(box->currentIndex(), 1, Timeout);
    h->bridge().setReg(address, 0);
    click(check.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(box->currentIndex(), 0, Timeout);
    h->bridge().setReg(address, 2);
    click(check.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(box->currentIndex(), -1, Timeout);
    QCOMPARE(box->currentText(), QString());
    QCOMPARE(h->status(), QString(Marker));  // the reads report nothing

    // Without a selection there is nothing to set: refused, nothing written.
    click(set.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, Timeout);
    QCOMPARE(h->boxes.lastTitle(), QString("Error"));
    QCOMPARE(h->boxes.lastText(), QString("Please choose OFF or ON before Set."));
    QVERIFY(h->bridge().writes().isEmpty());

    box->setCurrentIndex(1);
    click(set.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    QCOMPARE(h->bridge().reg(address), quint16(1));
    box->setCurrentIndex(0);
    click(set.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 2, Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(address), quint16(0), Timeout);
    for (const auto &write : h->bridge().writes()) {
        QCOMPARE(write.start, address);
        QCOMPARE(write.values.size(), 1);
    }
    Regs expected = neighbours;
    expected[address - 300] = 0;
    QCOMPARE(h->bridge().regs(300, 20), expected);

    // A refused write is reported on the status bar.
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.code = 4;
    rule.first = address;
    rule.last = address;
    rule.count = 1;
    h->bridge().addFault(rule);
    box->setCurrentIndex(1);
    click(set.toLatin1());
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Write response error: "), Timeout);
    QVERIFY(h->status().endsWith("(Mobus exception: 0x4)"));
    QCOMPARE(h->bridge().reg(address), quint16(0));
}

void TestSystemDialog::factoryReset()
{
    h->bridge().setReg(306, 1);
    const int before = h->bridge().requestCount();
    click("systemSet");  // answered No by the harness
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, Timeout);
    QCOMPARE(h->boxes.lastTitle(), QString("Reset"));
    QCOMPARE(h->boxes.lastText(), QString("WARN: It will reset the system to default setting value."));
    QCOMPARE(h->bridge().requestCount(), before);
    QCOMPARE(h->bridge().reg(306), quint16(1));

    {
        Answerer yes(h->boxes, QMessageBox::Yes);
        click("systemSet");
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Timeout);
    }
    QCOMPARE(h->boxes.boxes.size(), 2);
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 178);
    QCOMPARE(writes.first().values, Regs{ 1 });
    QCOMPARE(h->bridge().reg(306), quint16(0));  // the bridge went back to its defaults
}

void TestSystemDialog::reloadCredentials()
{
    if (!w<QWidget>("widget")->isVisible())
        click("pushButton");
    h->bridge().setText(180, 8, "field");
    h->bridge().setText(188, 8, QString(16, 'p'));

    // Reload waits with the event loop running: look at the dialog while it does.
    bool lockedDuringWait = false;
    bool clearedDuringWait = false;
    QTimer::singleShot(200, this, [&] {
        lockedDuringWait = !w<QPushButton>("systemReload")->isEnabled()
                           && !w<QPushButton>("systemApply")->isEnabled();
        clearedDuringWait = text("usernameLineEdit").isEmpty() && text("passwordLineEdit").isEmpty();
    });
    click("systemReload");
    QVERIFY(lockedDuringWait);
    QVERIFY(clearedDuringWait);
    QVERIFY(w<QPushButton>("systemApply")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("systemReload")->isEnabled(), Timeout);
    QCOMPARE(text("usernameLineEdit"), QString("field"));
    QCOMPARE(text("passwordLineEdit"), QString(16, 'p'));
    const auto reads = h->bridge().reads();
    QCOMPARE(reads.size(), 2);
    QCOMPARE(reads.at(0).start, 180);
    QCOMPARE(reads.at(0).count, 8);
    QCOMPARE(reads.at(1).start, 188);
    QCOMPARE(reads.at(1).count, 8);
    QCOMPARE(h->status(), QString(Marker));

    // A failed read leaves its field empty rather than showing what an
    // earlier Reload found.
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = 180;
    rule.last = 187;
    rule.count = 1;
    h->bridge().addFault(rule);
    h->bridge().setText(188, 8, "new");
    click("systemReload");
    QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("systemReload")->isEnabled(), Timeout);
    QCOMPARE(text("usernameLineEdit"), QString());
    QCOMPARE(text("passwordLineEdit"), QString("new"));
    QVERIFY(h->boxes.boxes.isEmpty());
    QCOMPARE(h->status(), QString(Marker));
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestSystemDialog::applyCredentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("refusal");  // empty: confirmation asked
    QTest::addColumn<Regs>("sent");        // empty: nothing sent
    Regs abc(16, 0);
    abc[0] = 0x6162;
    abc[8] = 0x6300;
    QTest::newRow("ab/c, No") << "ab" << "c" << int(QMessageBox::No) << "" << Regs{};
    QTest::newRow("ab/c, Yes") << "ab" << "c" << int(QMessageBox::Yes) << "" << abc;
    Regs full(16, 0x7575);
    for (int i = 8; i < 16; ++i)
        full[i] = 0x7070;
    QTest::newRow("16 characters each") << QString(16, 'u') << QString(16, 'p')
                                        << int(QMessageBox::Yes) << "" << full;
    const QString tooLong = "Username and password can have at most 16 characters each.";
    QTest::newRow("user of 17") << QString(17, 'u') << "c" << int(QMessageBox::Yes) << tooLong
                                << Regs{};
    QTest::newRow("password of 17") << "ab" << QString(17, 'p') << int(QMessageBox::Yes) << tooLong
                                    << Regs{};
    QTest::newRow("not latin-1") << "ab" << QString("c") + QChar(0x20AC) << int(QMessageBox::Yes)
                                 << "Username and password can only use Latin-1 characters."
                                 << Regs{};
}

void TestSystemDialog::applyCredentials()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, answer);
    QFETCH(QString, refusal);
    QFETCH(Regs, sent);
    if (!w<QWidget>("widget")->isVisible())
        click("pushButton");
    h->bridge().setText(180, 8, "admin");
    h->bridge().setText(188, 8, "admin");
    const Regs stored = h->bridge().regs(180, 16);
    const Regs after = h->bridge().regs(196, 20);  // the login block and beyond
    const int before = h->bridge().requestCount();

    w<QLineEdit>("usernameLineEdit")->setText(user);
    w<QLineEdit>("passwordLineEdit")->setText(password);
    {
        Answerer answerer(h->boxes, QMessageBox::StandardButton(answer));
        click("systemApply");
        QTRY_VERIFY_WITH_TIMEOUT(!h->boxes.boxes.isEmpty(), Timeout);
        if (!sent.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 2, Timeout);
    }
    if (!refusal.isEmpty()) {
        QCOMPARE(h->boxes.boxes.size(), 1);
        QCOMPARE(h->boxes.lastTitle(), QString("Error"));
        QCOMPARE(h->boxes.lastText(), refusal);
    } else {
        QCOMPARE(h->boxes.boxes.first().title, QString());
        QCOMPARE(h->boxes.boxes.first().text,
                 QString("WARN: It will change the username and password for login."));
    }
    if (sent.isEmpty()) {
        QCOMPARE(h->boxes.boxes.size(), 1);
        QCOMPARE(h->bridge().requestCount(), before);
        QCOMPARE(h->bridge().regs(180, 16), stored);
        return;
    }
    QCOMPARE(h->boxes.lastTitle(), QString());
    QCOMPARE(h->boxes.lastText(), QString("Successed to Reset Username and Password."));
    const auto writes = h->bridge().writes();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().start, 180);
    QCOMPARE(writes.first().values, sent);
    QCOMPARE(h->bridge().regs(180, 16), sent);
    QCOMPARE(h->bridge().regs(196, 20), after);
    QVERIFY(w<QPushButton>("systemApply")->isEnabled());

    // A refusal by the bridge is reported in a box and changes nothing.
    h->boxes.clear();
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = 180;
    rule.last = 195;
    rule.count = 1;
    h->bridge().addFault(rule);
    w<QLineEdit>("usernameLineEdit")->setText("other");
    {
        Answerer yes(h->boxes, QMessageBox::Yes);
        click("systemApply");
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 2, Timeout);
    }
    QCOMPARE(h->boxes.lastText(), QString("Failed to Reset Username and Password."));
    QCOMPARE(h->bridge().regs(180, 16), sent);
    QCOMPARE(h->bridge().text(180, 8), user);
}

void TestSystemDialog::newCredentialsAtNextLogin()
{
    if (!w<QWidget>("widget")->isVisible())
        click("pushButton");
    w<QLineEdit>("usernameLineEdit")->setText("ab");
    w<QLineEdit>("passwordLineEdit")->setText("c");
    {
        Answerer yes(h->boxes, QMessageBox::Yes);
        click("systemApply");
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 2, Timeout);
    }
    QCOMPARE(h->boxes.lastText(), QString("Successed to Reset Username and Password."));

    h->find<QPushButton>("connectButton")->click();  // Disconnect
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    h->boxes.clear();
    QVERIFY(h->startConnect());
    QVERIFY(h->submitLogin("admin", "admin"));
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 1, Timeout);
    QCOMPARE(h->boxes.lastText(), QString("Please Check Username and Password."));
    QVERIFY(h->submitLogin("ab", "c"));
    QTRY_VERIFY_WITH_TIMEOUT(!h->window()->isConnecting(), 30000);
    QVERIFY(h->window()->isLoginAccepted());
    QCOMPARE(h->window()->link()->state(), QModbusDevice::ConnectedState);
    h->window()->link()->device()->setNumberOfRetries(0);
}

void TestSystemDialog::notConnected()
{
    h->find<QPushButton>("connectButton")->click();  // Disconnect
    QCOMPARE(h->window()->link()->state(), QModbusDevice::UnconnectedState);
    const int before = h->bridge().requestCount();
    if (!w<QWidget>("widget")->isVisible())
        click("pushButton");

    // The dialog's silent reads add nothing of their own (the link itself
    // names its state, as for every request it refuses).
    w<QLineEdit>("systemVersionLineEdit")->setText("v");
    for (const char *name : { "systemCheck", "SNRead", "currentHoldCheck", "voltageHoldChk",
                              "PWMChk", "PWMOCChk" }) {
        h->window()->link()->showMessage(Marker);
        click(name);
        QVERIFY2(!h->status().startsWith("Read error"), name);
    }
    QCOMPARE(text("systemVersionLineEdit"), QString("v"));
    QVERIFY(h->boxes.boxes.isEmpty());

    click("globalTSCheckPushButton");
    QVERIFY(h->status().startsWith("Read error: "));

    // Set still shows the PC's time.
    w<QLineEdit>("globalTSLineEdit")->clear();
    click("globalTSSetPushButton");
    QVERIFY(h->status().startsWith("Write error: "));
    QCOMPARE(text("globalTSLineEdit").size(), 23);

    h->window()->link()->showMessage(Marker);
    w<QComboBox>("voltageHoldComboBox")->setCurrentIndex(1);
    click("voltageHoldSet");
    QVERIFY(h->status().startsWith("Write error: "));

    {
        Answerer yes(h->boxes, QMessageBox::Yes);
        h->window()->link()->showMessage(Marker);
        click("systemSet");
        QVERIFY(h->status().startsWith("Write error: "));
        // A credentials change that cannot be sent is a failure, not silence.
        w<QLineEdit>("usernameLineEdit")->setText("x");
        click("systemApply");
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.boxes.size(), 3, Timeout);
    }
    QCOMPARE(h->boxes.lastText(), QString("Failed to Reset Username and Password."));

    // Reload empties the fields: nothing could be read.
    click("systemReload");
    QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("systemReload")->isEnabled(), Timeout);
    QCOMPARE(text("usernameLineEdit"), QString());
    QCOMPARE(text("passwordLineEdit"), QString());
    QCOMPARE(h->bridge().requestCount(), before);
}

QTEST_MAIN(TestSystemDialog)
#include "test_systemdialog.moc"

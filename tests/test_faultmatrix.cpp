// Read and write actions of the pages and the system settings dialog under
// every fault the line can show: no answer, exception replies 1 to 4, a
// damaged CRC, a short read reply and stray bytes after the reply. Each case
// checks what the user sees (status bar or box), that a failed read leaves
// the page as the page promises, that nothing is written outside the action's
// block, and that the same action works again once the line is clean.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusClient>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {

constexpr int Wait = 20000;
// Short enough that the time-out cases do not dominate the run, long enough
// for a busy machine to answer the clean requests.
constexpr int ResponseTimeout = 1000;

// One widget of an action and the text it shows or is given.
struct Field {
    QString widget;
    QString text;
};

// How an action deviates from the standard reporting ("OK!" on success, the
// standard error text on the status bar, a failed read changes nothing).
struct Expect {
    QString ok = QStringLiteral("OK!");  // the status bar after success
    bool quiet = false;                  // failures show nothing at all
    bool clearsOnFail = false;           // read: the page empties `failed` first
    QList<Field> failed;                 // read: what a failed read leaves
    QString failBox;                     // failures are told in this box instead
    QString okBox;                       // success is told in this box
    bool anyValues = false;              // write: the values depend on the moment
    const char *scope = nullptr;         // the dialog whose widgets the action uses
    const char *readFirst = nullptr;     // write: the page's read, run first with the block free
    QList<int> onlyFaults;               // a slow action runs these faults only
    int perRequest = 0;                  // registers per request, when not the whole block
    std::function<void(Harness &)> trigger;  // instead of a button click
};

struct Action {
    const char *name;
    const char *button;
    int first;
    int last;
    bool read;
    Regs device;          // the block on the bridge before the action
    QList<Field> before;  // what the page shows (read) or is given (write) first
    QList<Field> after;   // read: what a good reply shows
    Regs sent;            // write: the block a good write leaves on the bridge
    Expect expect = Expect();
};

// Reads that show their value without "OK!" and empty the field before sending.
Expect clearingRead(const QList<Field> &failed)
{
    Expect e;
    e.ok.clear();
    e.clearsOnFail = true;
    e.failed = failed;
    return e;
}

// System settings dialog reads that report nothing, good or bad.
Expect quietDialogRead()
{
    Expect e;
    e.ok.clear();
    e.quiet = true;
    e.scope = "systemDialog";
    return e;
}

Expect inDialog()
{
    Expect e;
    e.scope = "systemDialog";
    return e;
}

// Writes that the page sends only after it has read what the bridge holds.
Expect readingFirst(const char *readButton)
{
    Expect e;
    e.readFirst = readButton;
    return e;
}

Regs credentials(const QString &user, const QString &password)
{
    return codec::textToRegisters(user, 8) + codec::textToRegisters(password, 8);
}

// The schedule page's hour boxes ("1" checked), hours 0 and 16 checked.
QList<Field> scheduleHours()
{
    QList<Field> fields;
    for (int hr = 0; hr < 24; ++hr)
        fields << Field{ QStringLiteral("checkBox_%1").arg(hr == 0 ? 24 : hr),
                         hr == 0 || hr == 16 ? QStringLiteral("1") : QStringLiteral("0") };
    return fields;
}

const Regs Key{ 0x2B7E, 0x1516, 0x28AE, 0xD2A6, 0xABF7, 0x1588, 0x09CF, 0x4F3C };

const QList<Action> &actions()
{
    static const QList<Action> table{
        { "Serial read", "serialBtnRead", 0, 4, true, Regs{ 4, 8, 2, 1, 1 },
          { { "s_baudCombo", "2400" }, { "s_stopBitsCombo", "1" }, { "s_parityCombo", "Odd" } },
          { { "s_baudCombo", "19200" }, { "s_stopBitsCombo", "2" }, { "s_parityCombo", "Even" } },
          {} },
        { "Serial write", "serialBtn", 0, 4, false, Regs{ 0, 8, 1, 0, 1 },
          { { "s_baudCombo", "4800" }, { "s_stopBitsCombo", "2" }, { "s_parityCombo", "Even" },
            { "portEdit_2", "17" } },
          {}, Regs{ 1, 8, 2, 1, 17 }, readingFirst("serialBtnRead") },
        { "device address read", "abpDevAddrRead", 200, 201, true, Regs{ 0x0A0B, 0xC0D0 },
          { { "abpDevAddrLine", "11 22 33 44" } }, { { "abpDevAddrLine", "0A 0B C0 D0" } }, {} },
        { "device address write", "abpDevAddrWrite", 200, 201, false, Regs{ 0x5A5A, 0x5A5A },
          { { "abpDevAddrLine", "01 02 03 04" } }, {}, Regs{ 0x0102, 0x0304 } },
        { "device EUI read", "otaaDevEuiRead", 240, 243, true, Regs{ 0x0011, 0x2233, 0x4455, 0x6677 },
          { { "otaaDevEuiLine", "AA BB CC DD EE FF 00 11" } },
          { { "otaaDevEuiLine", "00 11 22 33 44 55 66 77" } }, {} },
        { "device EUI write", "otaaDevEuiWrite", 240, 243, false, Regs(4, 0x5A5A),
          { { "otaaDevEuiLine", "70 B3 D5 7E D0 00 12 34" } }, {},
          Regs{ 0x70B3, 0xD57E, 0xD000, 0x1234 } },
        { "application key read", "otaaAppKeyRead", 248, 255, true, Key,
          { { "otaaAppKeyLine", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01" } },
          { { "otaaAppKeyLine", "2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C" } }, {} },
        { "application key write", "otaaAppKeyWrite", 248, 255, false, Regs(8, 0x5A5A),
          { { "otaaAppKeyLine", "2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C" } }, {}, Key },
        { "schedule write", "sensorTimeSetPushButton_2", 800, 801, false, Regs{ 0x1234, 0x5678 },
          scheduleHours(), {}, Regs{ 0x0001, 0x0001 } },

        // I/O channels: reads empty the value field before sending and show
        // no "OK!"; a PWM output write shows nothing on success.
        { "current output read", "currentOutputReadPushButton", 1068, 1068, true, Regs{ 12500 },
          { { "currentOutputComboBox", "4" }, { "currentOutputLineEdit", "7" } },
          { { "currentOutputLineEdit", "12.5" } }, {},
          clearingRead({ { "currentOutputComboBox", "4" }, { "currentOutputLineEdit", "" } }) },
        { "current output write", "currentOutputPushButton", 1068, 1068, false, Regs{ 5000 },
          { { "currentOutputComboBox", "4" }, { "currentOutputLineEdit", "12.5" } }, {},
          Regs{ 12500 } },
        { "voltage input read", "voltageInputPushButton", 1018, 1018, true, Regs{ 3300 },
          { { "voltageInputComboBox", "2" }, { "voltageInputLineEdit", "1" } },
          { { "voltageInputLineEdit", "3300" } }, {},
          clearingRead({ { "voltageInputComboBox", "2" }, { "voltageInputLineEdit", "" } }) },
        { "voltage output write", "voltageOutputPushButton", 1085, 1085, false, Regs{ 0 },
          { { "voltageOutputcomboBox", "5" }, { "voltageOutputLineEdit", "2500" } }, {},
          Regs{ 2500 } },
        { "PWM output read", "PwmOutputReadPushButton", 1110, 1111, true, Regs{ 1000, 50 },
          { { "PWMOutputComboBox", "7" }, { "PWMOutputlineEdit", "7" }, { "PWMOutputLineEdit2", "8" } },
          { { "PWMOutputlineEdit", "1000" }, { "PWMOutputLineEdit2", "50" } }, {},
          clearingRead({ { "PWMOutputComboBox", "7" }, { "PWMOutputlineEdit", "" },
                         { "PWMOutputLineEdit2", "8" } }) },
        { "PWM output write", "PWMOutputPushButton", 1108, 1109, false, Regs{ 0, 0 },
          { { "PWMOutputComboBox", "6" }, { "PWMOutputlineEdit", "2000" },
            { "PWMOutputLineEdit2", "25" } },
          {}, Regs{ 2000, 25 }, [] { Expect e; e.ok.clear(); return e; }() },

        // Calibration factors and the time-out output holding.
        { "calibration read", "iinRead_2", 411, 411, true, Regs{ 0xFFFE },
          { { "iinLineEdit_2", "5" } }, { { "iinLineEdit_2", "-2" } }, {} },
        { "calibration write", "vinWrite", 400, 400, false, Regs{ 7 },
          { { "vinLineEdit", "-2" } }, {}, Regs{ 0xFFFE } },
        { "hold enables read", nullptr, 900, 903, true, Regs{ 1, 5, 6, 1 },
          { { "voltageEnableCheckBox", "0" }, { "currentEnableCheckBox", "0" } },
          { { "voltageEnableCheckBox", "1" }, { "currentEnableCheckBox", "1" } }, {},
          [] {
              // Showing the "TMO I/O" tab reads both switches.
              Expect e;
              e.perRequest = 1;
              e.trigger = [](Harness &h) {
                  auto *tabs = h.find<QTabWidget>("tabWidget");
                  tabs->setCurrentIndex(MainWindow::TabSerial);
                  tabs->setCurrentIndex(MainWindow::TabTmo);
              };
              return e;
          }() },
        { "hold enable write", "voltageEnableCheckBox", 900, 900, false, Regs{ 0 },
          { { "voltageEnableCheckBox", "0" } }, {}, Regs{ 1 } },
        { "hold current read", "currentOutReadPushButton", 905, 905, true, Regs{ 12345 },
          { { "currentOutValLineEdit", "4" } }, { { "currentOutValLineEdit", "12.345" } }, {} },
        { "hold current write", "currentOutWritePushButton", 905, 905, false, Regs{ 0 },
          { { "currentOutValLineEdit", "12.5" } }, {}, Regs{ 12500 } },

        // RTU sensor table entry, rule chain entry and loop time, event log switch.
        { "sensor entry write", "sensorAddPushButton", 500, 506, false, Regs(7, 0x5A5A),
          { { "sensorTypeLineEdit", "TANK1" }, { "sensorSlaveId", "5" },
            { "sensorFunCodeCombox", "3" }, { "sensorPLCAddress", "40001" }, { "sensorLength", "2" } },
          {}, Regs{ 0x5441, 0x4E4B, 0x3100, 0x0000, 0x0305, 0x9C41, 2 },
          readingFirst("sensorUpdatePushButton") },
        { "rule entry write", "ruleChainAddPushButton", 2402, 2411, false, Regs(10, 0x5A5A),
          { { "ruleNameLineEdit", "abc" }, { "ruleInDeviceIDComboBox", "3" },
            { "ruleInChComboBox", "1" }, { "ruleTypeComboBox", "A-V" },
            { "ruleOutIDComboBox", "7" }, { "ruleOutChnComboBox", "5" },
            { "TMOValueLineEdit", "2500" } },
          {}, Regs{ 0x6162, 0x6300, 0, 0, 3, 1, 7, 5, 2, 2500 }, readingFirst("ruleChkPushButton") },
        { "loop time read", "ruleIntervalChkPushButton", 2400, 2400, true, Regs{ 30 },
          { { "ruleIntervalLineEdit", "5" } }, { { "ruleIntervalLineEdit", "30" } }, {} },
        { "loop time write", "ruleIntervalSetPushButton", 2400, 2400, false, Regs{ 0 },
          { { "ruleIntervalLineEdit", "45" } }, {}, Regs{ 45 } },
        { "event log switch write", "eventLogEnableRadioButton", 3000, 3000, false, Regs{ 0 },
          { { "eventLogEnableRadioButton", "0" } }, {}, Regs{ 1 } },

        // The system settings dialog: most of its reads report nothing.
        { "version read", "systemCheck", 170, 177, true, codec::textToRegisters("V1.2.3", 8),
          { { "systemVersionLineEdit", "old" } }, { { "systemVersionLineEdit", "V1.2.3" } }, {},
          quietDialogRead() },
        { "voltage hold read", "voltageHoldChk", 306, 306, true, Regs{ 1 },
          { { "voltageHoldComboBox", "OFF" } }, { { "voltageHoldComboBox", "ON" } }, {},
          quietDialogRead() },
        { "voltage hold write", "voltageHoldSet", 306, 306, false, Regs{ 0 },
          { { "voltageHoldComboBox", "ON" } }, {}, Regs{ 1 }, inDialog() },
        { "clock read", "globalTSCheckPushButton", 805, 806, true, Regs{ 0x6553, 0xF100 },
          { { "globalTSLineEdit", "old" } }, { { "globalTSLineEdit", codec::localTimeText(1700000000) } },
          {}, inDialog() },
        { "clock write", "globalTSSetPushButton", 805, 806, false, Regs{ 0, 0 }, {}, {}, {},
          [] { Expect e = inDialog(); e.anyValues = true; return e; }() },
        { "credentials write", "systemApply", 180, 195, false, Regs(16, 0x5A5A),
          { { "usernameLineEdit", "admin" }, { "passwordLineEdit", "admin" } }, {},
          credentials("admin", "admin"),
          [] {
              // Asked first; the outcome comes in a box, not on the status bar.
              Expect e = inDialog();
              e.ok.clear();
              e.failBox = QStringLiteral("Failed to Reset Username and Password.");
              e.okBox = QStringLiteral("Successed to Reset Username and Password.");
              return e;
          }() },
        { "credentials read", "systemReload", 180, 195, true, credentials("admin", "admin"),
          { { "usernameLineEdit", "old" }, { "passwordLineEdit", "old" } },
          { { "usernameLineEdit", "admin" }, { "passwordLineEdit", "admin" } }, {},
          [] {
              // Reload empties both fields and fills them after its 3 s wait:
              // a failed read leaves them empty. Slow, so three faults only.
              Expect e = quietDialogRead();
              e.clearsOnFail = true;
              e.failed = { { "usernameLineEdit", "" }, { "passwordLineEdit", "" } };
              e.onlyFaults = { 0, 2, 6 };
              return e;
          }() },
    };
    return table;
}

struct FaultCase {
    const char *name;
    sim::Fault kind;
    int code;
    bool readsOnly;
    QString suffix;  // how the status bar ends
};

const QList<FaultCase> &faults()
{
    static const QList<FaultCase> table{
        { "no answer", sim::Fault::NoAnswer, 0, false, "(code: 0x5)" },
        { "exception 1", sim::Fault::Exception, 1, false, "(Mobus exception: 0x1)" },
        { "exception 2", sim::Fault::Exception, 2, false, "(Mobus exception: 0x2)" },
        { "exception 3", sim::Fault::Exception, 3, false, "(Mobus exception: 0x3)" },
        { "exception 4", sim::Fault::Exception, 4, false, "(Mobus exception: 0x4)" },
        { "damaged CRC", sim::Fault::BadCrc, 0, false, "(code: 0x5)" },
        { "short reply", sim::Fault::ShortReply, 0, true, "registers. (code: 0x1)" },
        { "stray bytes", sim::Fault::ExtraBytes, 0, false, "" },
    };
    return table;
}

// Answers the confirmation boxes of an action with Yes and closes every other
// box, once the harness's catcher has recorded it.
class YesSayer : public QObject
{
public:
    YesSayer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || !box->property("nwCaught").toBool()
                || box->property("nwAnswered").toBool())
                return;
            box->setProperty("nwAnswered", true);
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
            else if (!box->buttons().isEmpty())
                box->buttons().first()->click();
            else
                box->accept();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void matrix_data();
    void matrix();
    void unplugDuringRead();

private:
    QObject *scope(const Action &act) const;
    QString text(const Action &act, const QString &widget) const;
    void setText(const Action &act, const QString &widget, const QString &text);
    bool fieldsAre(const Action &act, const QList<Field> &fields, QString *what) const;
    bool writesInside(int first, int last, QString *what) const;
    void readFirst(const Action &act);
    void start(const Action &act);
    void waitIdle(const Action &act);
    QStringList boxTexts() const;
    Harness *h = nullptr;
};

void TestFaultMatrix::initTestCase()
{
    pacing::setScale(0.1);  // Reload, the rule chain read and the pause after an Add
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    // Identification keeps several tabs disabled; their pages are used anyway.
    auto *tabs = h->find<QTabWidget>("tabWidget");
    for (int tab = 0; tab < MainWindow::TabCount; ++tab)
        tabs->setTabEnabled(tab, true);
    auto *dialog = h->window()->findChild<QDialog *>("systemDialog");
    QVERIFY(dialog);
    dialog->show();
    dialog->findChild<QPushButton *>("pushButton")->click();  // shows the credentials
}

void TestFaultMatrix::cleanupTestCase()
{
    delete h;
}

void TestFaultMatrix::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->boxes.clear();
    h->boxes.autoClose = true;
    h->window()->link()->clearMessage();
    // Shorter than the application's 3000 ms, so the time-out cases run quickly.
    h->window()->link()->device()->setTimeout(ResponseTimeout);
}

QObject *TestFaultMatrix::scope(const Action &act) const
{
    if (act.expect.scope)
        return h->window()->findChild<QObject *>(QLatin1String(act.expect.scope));
    return h->window();
}

QString TestFaultMatrix::text(const Action &act, const QString &widget) const
{
    QObject *in = scope(act);
    if (auto *combo = in->findChild<QComboBox *>(widget))
        return combo->currentText();
    if (auto *edit = in->findChild<QLineEdit *>(widget))
        return edit->text();
    if (auto *box = in->findChild<QAbstractButton *>(widget))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return QStringLiteral("<no widget %1>").arg(widget);
}

void TestFaultMatrix::setText(const Action &act, const QString &widget, const QString &value)
{
    QObject *in = scope(act);
    if (auto *combo = in->findChild<QComboBox *>(widget)) {
        const int index = combo->findText(value);
        QVERIFY2(index >= 0, qPrintable(widget + QLatin1Char(' ') + value));
        combo->setCurrentIndex(index);
    } else if (auto *edit = in->findChild<QLineEdit *>(widget)) {
        edit->setText(value);
    } else if (auto *box = in->findChild<QAbstractButton *>(widget)) {
        box->setChecked(value == QLatin1String("1"));
    } else {
        QFAIL(qPrintable(QStringLiteral("no widget ") + widget));
    }
}

bool TestFaultMatrix::fieldsAre(const Action &act, const QList<Field> &fields, QString *what) const
{
    for (const Field &f : fields) {
        const QString shown = text(act, f.widget);
        if (shown != f.text) {
            *what = QStringLiteral("%1 shows \"%2\", expected \"%3\"").arg(f.widget, shown, f.text);
            return false;
        }
    }
    return true;
}

bool TestFaultMatrix::writesInside(int first, int last, QString *what) const
{
    for (const auto &w : h->bridge().writes()) {
        const int end = w.start + w.values.size() - 1;
        if (w.start < first || end > last) {
            *what = QStringLiteral("write of %1..%2 outside %3..%4")
                        .arg(w.start).arg(end).arg(first).arg(last);
            return false;
        }
    }
    return true;
}

// Runs the page's read on a clean line, with the action's block free on the
// bridge, so the write lands in that block.
void TestFaultMatrix::readFirst(const Action &act)
{
    if (!act.expect.readFirst)
        return;
    h->bridge().setRegs(act.first, Regs(act.last - act.first + 1, 0));
    auto *button = h->find<QPushButton>(QLatin1String(act.expect.readFirst));
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    QVERIFY(h->waitForReplies());
    h->boxes.clear();
    h->window()->link()->clearMessage();
}

// Sets the page up as the row says and starts the action.
void TestFaultMatrix::start(const Action &act)
{
    for (const Field &f : act.before)
        setText(act, f.widget, f.text);
    if (act.expect.trigger) {
        act.expect.trigger(*h);
        return;
    }
    auto *button = scope(act)->findChild<QAbstractButton *>(QLatin1String(act.button));
    QVERIFY2(button, act.button);
    // Some actions keep their button disabled for a pause after they ran.
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
    button->click();
}

// Actions with pauses keep their button disabled until they have ended.
void TestFaultMatrix::waitIdle(const Action &act)
{
    if (!act.button)
        return;
    auto *button = scope(act)->findChild<QAbstractButton *>(QLatin1String(act.button));
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);
}

QStringList TestFaultMatrix::boxTexts() const
{
    QStringList texts;
    for (const auto &box : h->boxes.boxes)
        texts << box.text;
    return texts;
}

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("fault");
    for (int a = 0; a < actions().size(); ++a) {
        const Action &act = actions().at(a);
        for (int f = 0; f < faults().size(); ++f) {
            if (faults().at(f).readsOnly && !act.read)
                continue;
            if (!act.expect.onlyFaults.isEmpty() && !act.expect.onlyFaults.contains(f))
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(act.name, faults().at(f).name)))
                << a << f;
        }
    }
}

void TestFaultMatrix::matrix()
{
    QFETCH(int, action);
    QFETCH(int, fault);
    const Action &act = actions().at(action);
    const Expect &ex = act.expect;
    const FaultCase &fc = faults().at(fault);
    sim::SimBridge &bridge = h->bridge();
    const int count = act.last - act.first + 1;
    std::unique_ptr<YesSayer> yes;
    if (!ex.okBox.isEmpty() || !ex.failBox.isEmpty()) {
        h->boxes.autoClose = false;
        yes.reset(new YesSayer);
    }
    const QList<Field> &failed = ex.clearsOnFail ? ex.failed : act.before;
    const bool fails = !fc.suffix.isEmpty();
    QString what;

    readFirst(act);
    bridge.setRegs(act.first, act.device);
    sim::FaultRule rule;
    rule.kind = fc.kind;
    rule.first = act.first;
    rule.last = act.last;
    rule.code = fc.code == 0 ? 2 : fc.code;
    bridge.addFault(rule);
    start(act);
    if (QTest::currentTestFailed())
        return;

    const QString prefix = act.read ? QStringLiteral("Read response error: ")
                                    : QStringLiteral("Write response error: ");
    if (!fails) {
        // Stray bytes after a good reply: the reply itself counts.
        if (!ex.okBox.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(ex.okBox), Wait);
        QTRY_VERIFY2_WITH_TIMEOUT(h->status() == ex.ok && fieldsAre(act, act.after, &what)
                                      && (act.read || ex.anyValues
                                          || bridge.regs(act.first, count) == act.sent),
                                  qPrintable(h->status() + QLatin1Char(' ') + what), Wait);
    } else if (!ex.failBox.isEmpty()) {
        QTRY_VERIFY2_WITH_TIMEOUT(boxTexts().contains(ex.failBox),
                                  qPrintable(boxTexts().join(QLatin1Char('|'))), Wait);
        QVERIFY2(h->status().isEmpty(), qPrintable(h->status()));
    } else if (ex.quiet) {
        // Nothing tells the user; the reply has been handled once every
        // later request has been answered.
        QVERIFY(h->waitForReplies());
        waitIdle(act);
        QTRY_VERIFY2_WITH_TIMEOUT(fieldsAre(act, failed, &what), qPrintable(what), Wait);
        QVERIFY2(h->status().isEmpty(), qPrintable(h->status()));
    } else {
        // Half of one register is none: Qt itself refuses a reply without
        // registers as invalid.
        const int asked = ex.perRequest > 0 ? ex.perRequest : count;
        const QString suffix = fc.kind == sim::Fault::ShortReply && asked == 1
                                   ? QStringLiteral("(code: 0x%1)").arg(int(QModbusDevice::UnknownError), 0, 16)
                                   : fc.suffix;
        QTRY_VERIFY2_WITH_TIMEOUT(h->status().startsWith(prefix) && h->status().endsWith(suffix),
                                  qPrintable(h->status()), Wait);
    }
    if (fails) {
        if (act.read)
            QVERIFY2(fieldsAre(act, failed, &what), qPrintable(what));  // as the page promises
        else if (fc.kind == sim::Fault::NoAnswer || fc.kind == sim::Fault::Exception)
            QCOMPARE(bridge.regs(act.first, count), act.device);  // never stored
    }
    // Whatever the failed action still had on its way is answered now (under
    // the fault, unless the fault would swallow the harness's marker read).
    waitIdle(act);
    if (act.first > 0)
        QVERIFY(h->waitForReplies());
    bridge.clearFaults();
    QVERIFY(h->waitForReplies());
    if (fails && act.read)
        QVERIFY2(fieldsAre(act, failed, &what), qPrintable(what));
    QVERIFY2(writesInside(act.first, act.last, &what), qPrintable(what));
    if (act.read)
        QCOMPARE(bridge.writes().size(), 0);
    if (ex.okBox.isEmpty() && ex.failBox.isEmpty())
        QVERIFY2(h->boxes.boxes.isEmpty(), qPrintable(boxTexts().join(QLatin1Char('|'))));

    // The line is clean again: the same action goes through.
    bridge.clearWrites();
    readFirst(act);
    bridge.setRegs(act.first, act.device);
    h->boxes.clear();
    h->window()->link()->clearMessage();
    start(act);
    if (QTest::currentTestFailed())
        return;
    if (!ex.okBox.isEmpty())
        QTRY_VERIFY2_WITH_TIMEOUT(boxTexts().contains(ex.okBox),
                                  qPrintable(boxTexts().join(QLatin1Char('|'))), Wait);
    QTRY_VERIFY2_WITH_TIMEOUT(h->status() == ex.ok && fieldsAre(act, act.after, &what)
                                  && (act.read || bridge.writes().size() == 1),
                              qPrintable(h->status() + QLatin1Char(' ') + what), Wait);
    waitIdle(act);
    QVERIFY(h->waitForReplies());
    QVERIFY2(writesInside(act.first, act.last, &what), qPrintable(what));
    if (act.read) {
        QCOMPARE(bridge.writes().size(), 0);
    } else {
        QCOMPARE(bridge.writes().size(), 1);
        QCOMPARE(bridge.writes().first().start, act.first);
        QCOMPARE(bridge.writes().first().values.size(), count);
        if (!ex.anyValues)
            QCOMPARE(bridge.regs(act.first, count), act.sent);
    }
    if (ex.okBox.isEmpty() && ex.failBox.isEmpty())
        QVERIFY(h->boxes.boxes.isEmpty());
}

void TestFaultMatrix::unplugDuringRead()
{
    // The device disappears while a read waits for its answer: the window
    // drops the link once, shows why, changes nothing on the page, and
    // Connect works again when the device is back.
    sim::Options options;
    options.linkPath = QDir::temp().filePath(
        QStringLiteral("nodeweave-faultmatrix-%1").arg(QCoreApplication::applicationPid()));
    Harness lost(options);
    QVERIFY(lost.startWindow());
    lost.window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(lost.connectAs());
    QVERIFY(lost.waitForReplies());

    auto *baud = lost.find<QComboBox>("s_baudCombo");
    baud->setCurrentText("2400");
    lost.bridge().setRegs(0, { 4, 8, 2, 1, 1 });
    lost.bridge().clearReads();
    lost.bridge().setDelay(3000);
    lost.find<QPushButton>("serialBtnRead")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!lost.bridge().reads().isEmpty(), Wait);
    QCOMPARE(lost.bridge().reads().first().start, 0);
    lost.bridge().unplug();

    QTRY_COMPARE_WITH_TIMEOUT(lost.find<QPushButton>("connectButton")->text(), QString("Connect"),
                              Wait);
    QCOMPARE(lost.window()->link()->state(), QModbusDevice::UnconnectedState);
    QVERIFY(!lost.status().isEmpty());
    QVERIFY(lost.status() != QLatin1String("OK!"));
    QCOMPARE(baud->currentText(), QString("2400"));

    lost.bridge().setDelay(0);
    QVERIFY(lost.bridge().replug());
    QTRY_COMPARE_WITH_TIMEOUT(lost.find<QComboBox>("portComboBox")->currentText(),
                              lost.bridge().portPath(), Wait);
    QVERIFY(lost.connectAs());
    QVERIFY(lost.waitForReplies());
    lost.window()->link()->clearMessage();
    lost.find<QPushButton>("serialBtnRead")->click();
    QTRY_COMPARE_WITH_TIMEOUT(lost.status(), QString("OK!"), Wait);
    QCOMPARE(baud->currentText(), QString("19200"));
    QCOMPARE(lost.bridge().writesIn(0, 4).size(), 0);
}

QTEST_MAIN(TestFaultMatrix)
#include "test_faultmatrix.moc"

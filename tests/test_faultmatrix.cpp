// Read and write actions of the simple register pages under every fault the
// line can show: no answer, exception replies 1 to 4, a damaged CRC, a short
// read reply and stray bytes after the reply. Each case checks what the user
// sees on the status bar, that a failed read leaves the page as it was, that
// nothing is written outside the action's block, and that the same action
// works again once the line is clean.
#include "testsupport.h"

#include "link/link.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using Regs = QVector<quint16>;

namespace {

constexpr int Wait = 20000;
// Short enough that the time-out cases do not dominate the run, long enough
// for a busy machine to answer the clean requests.
constexpr int ResponseTimeout = 1500;

// One widget of an action and the text it shows or is given.
struct Field {
    QString widget;
    QString text;
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
};

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
          {}, Regs{ 1, 8, 2, 1, 17 } },
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
    QString text(const QString &widget) const;
    void setText(const QString &widget, const QString &text);
    bool writesInside(int first, int last, QString *what) const;
    Harness *h = nullptr;
};

void TestFaultMatrix::initTestCase()
{
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    QVERIFY(h->waitForReplies());
    h->window()->link()->device()->setTimeout(ResponseTimeout);
    // The shipped window keeps the schedule page disabled; it is used anyway.
    h->find<QTabWidget>("tabWidget")->setTabEnabled(MainWindow::TabTimeSetting, true);
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
    h->window()->link()->clearMessage();
}

QString TestFaultMatrix::text(const QString &widget) const
{
    if (auto *box = h->find<QCheckBox>(widget))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *combo = h->find<QComboBox>(widget))
        return combo->currentText();
    if (auto *edit = h->find<QLineEdit>(widget))
        return edit->text();
    return QStringLiteral("<no widget %1>").arg(widget);
}

void TestFaultMatrix::setText(const QString &widget, const QString &value)
{
    if (auto *box = h->find<QCheckBox>(widget)) {
        box->setChecked(value == QLatin1String("1"));
        return;
    }
    if (auto *combo = h->find<QComboBox>(widget)) {
        const int index = combo->findText(value);
        QVERIFY2(index >= 0, qPrintable(widget));
        combo->setCurrentIndex(index);
    } else {
        auto *edit = h->find<QLineEdit>(widget);
        QVERIFY2(edit, qPrintable(widget));
        edit->setText(value);
    }
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

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("fault");
    for (int a = 0; a < actions().size(); ++a) {
        for (int f = 0; f < faults().size(); ++f) {
            if (faults().at(f).readsOnly && !actions().at(a).read)
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1, %2")
                                         .arg(actions().at(a).name, faults().at(f).name)))
                << a << f;
        }
    }
}

void TestFaultMatrix::matrix()
{
    QFETCH(int, action);
    QFETCH(int, fault);
    const Action &act = actions().at(action);
    const FaultCase &fc = faults().at(fault);
    sim::SimBridge &bridge = h->bridge();
    const int count = act.last - act.first + 1;
    auto *button = h->find<QPushButton>(act.button);
    QVERIFY2(button, act.button);

    bridge.setRegs(act.first, act.device);
    for (const Field &f : act.before)
        setText(f.widget, f.text);

    sim::FaultRule rule;
    rule.kind = fc.kind;
    rule.first = act.first;
    rule.last = act.last;
    rule.code = fc.code == 0 ? 2 : fc.code;
    bridge.addFault(rule);
    button->click();

    const QString prefix = act.read ? QStringLiteral("Read response error: ")
                                    : QStringLiteral("Write response error: ");
    QString what;
    if (fc.suffix.isEmpty()) {
        // Stray bytes after a good reply: the reply itself counts.
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    } else {
        QTRY_VERIFY2_WITH_TIMEOUT(h->status().startsWith(prefix) && h->status().endsWith(fc.suffix),
                                  qPrintable(h->status()), Wait);
        if (act.read) {
            for (const Field &f : act.before)
                QCOMPARE(text(f.widget), f.text);  // a failed read changes nothing
        } else if (fc.kind == sim::Fault::NoAnswer || fc.kind == sim::Fault::Exception) {
            QCOMPARE(bridge.regs(act.first, count), act.device);  // never stored
        }
    }
    QVERIFY2(writesInside(act.first, act.last, &what), qPrintable(what));
    if (act.read)
        QCOMPARE(bridge.writes().size(), 0);
    QVERIFY(h->boxes.boxes.isEmpty());

    // The line is clean again: the same action goes through.
    bridge.clearFaults();
    bridge.clearWrites();
    bridge.setRegs(act.first, act.device);
    h->window()->link()->clearMessage();
    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    QVERIFY2(writesInside(act.first, act.last, &what), qPrintable(what));
    if (act.read) {
        for (const Field &f : act.after)
            QCOMPARE(text(f.widget), f.text);
        QCOMPARE(bridge.writes().size(), 0);
    } else {
        QCOMPARE(bridge.writes().size(), 1);
        QCOMPARE(bridge.writes().first().start, act.first);
        QCOMPARE(bridge.regs(act.first, count), act.sent);
    }
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

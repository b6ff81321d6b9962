// The "TimeSetting" page against the simulated bridge: schedule, countdown
// and timing mode, device clock and time zone.
#include "testsupport.h"

#include "link/link.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QLocale>
#include <QModbusClient>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <ctime>

using Regs = QVector<quint16>;

namespace {
constexpr int Wait = 20000;
}

class TestTimeSettingPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void scheduleRead_data();
    void scheduleRead();
    void scheduleWrite();
    void countdownAndMode();
    void timestamp();
    void timeZone_data();
    void timeZone();
    void timeZoneWriteErrors();

private:
    Harness *h = nullptr;
    QWidget *page() const { return h->find<QWidget>("tab_16"); }
    template <typename T> T *w(const QString &name) const { return page()->findChild<T *>(name); }
    QPushButton *button(const char *name) const { return h->find<QPushButton>(name); }
    QCheckBox *hourBox(int hour) const
    {
        return w<QCheckBox>(QString("checkBox_%1").arg(hour == 0 ? 24 : hour));
    }
    QList<int> checkedHours() const
    {
        QList<int> hours;
        for (int hr = 0; hr < 24; ++hr) {
            if (hourBox(hr)->isChecked())
                hours << hr;
        }
        return hours;
    }
    static void setZone(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }
};

void TestTimeSettingPage::initTestCase()
{
    setZone("UTC");
    h = new Harness;
    QVERIFY(h->startWindow());
    h->window()->link()->device()->setNumberOfRetries(0);
    QVERIFY(h->connectAs());
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    // On a slow machine more of them may still be on their way.
    QVERIFY(h->waitForReplies());
    // The shipped window keeps the tab disabled; the page is exercised anyway.
    auto *tabs = h->find<QTabWidget>("tabWidget");
    QVERIFY(!tabs->isTabEnabled(MainWindow::TabTimeSetting));
    tabs->setTabEnabled(MainWindow::TabTimeSetting, true);
    QVERIFY(page()->isEnabled());
    for (int hr = 0; hr < 24; ++hr)
        QCOMPARE(hourBox(hr)->text(), QString("%1:00").arg(hr, 2, 10, QChar('0')));
}

void TestTimeSettingPage::cleanupTestCase()
{
    delete h;
}

void TestTimeSettingPage::init()
{
    h->bridge().clearFaults();
    h->bridge().clearWrites();
    h->bridge().clearReads();
    h->window()->link()->clearMessage();
}

void TestTimeSettingPage::scheduleRead_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Regs>("regs");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("hours");
    QTest::newRow("Reload: 00, 15, 23") << "sensorTimeCheckPushButton_2" << Regs{ 0x0080, 0x8001 }
                                        << 1 << QList<int>{ 0, 15, 23 };
    QTest::newRow("Check: 00, 15, 23") << "sensorTimeCheckPushButton" << Regs{ 0x0080, 0x8001 }
                                       << 0 << QList<int>{ 0, 15, 23 };
    QTest::newRow("high byte ignored") << "sensorTimeCheckPushButton_2" << Regs{ 0xFF01, 0x0002 }
                                       << 2 << QList<int>{ 1, 16 };
    QTest::newRow("none") << "sensorTimeCheckPushButton_2" << Regs{ 0, 0 } << 0 << QList<int>{};
}

void TestTimeSettingPage::scheduleRead()
{
    QFETCH(QString, button);
    QFETCH(Regs, regs);
    QFETCH(int, mode);
    QFETCH(QList<int>, hours);
    // Boxes checked before the read are unchecked by it.
    for (int hr = 0; hr < 24; ++hr)
        hourBox(hr)->setChecked(hr % 2 == 1);
    h->bridge().setRegs(800, regs);
    h->bridge().setReg(804, quint16(mode));
    h->find<QPushButton>(button)->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reads().size(), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(checkedHours(), hours, Wait);
    auto *schedule = w<QRadioButton>("sensorSTradioButton");
    QTRY_COMPARE_WITH_TIMEOUT(schedule->isChecked(), mode != 0, Wait);
    QCOMPARE(w<QRadioButton>("sensorCTRadioButton")->isChecked(), mode == 0);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    const auto reads = h->bridge().reads();
    QCOMPARE(reads.at(0).start, 800);
    QCOMPARE(reads.at(0).count, 2);
    QCOMPARE(reads.at(1).start, 804);
    QCOMPARE(reads.at(1).count, 1);
    QVERIFY(h->bridge().writes().isEmpty());
}

void TestTimeSettingPage::scheduleWrite()
{
    const QList<QPair<const char *, QList<int>>> cases = {
        { "sensorTimeSetPushButton_2", { 0, 16 } },
        { "sensorTimeSetPushButton", { 1, 2, 15, 23 } },
        { "sensorTimeSetPushButton_2", {} },
    };
    for (const auto &c : cases) {
        h->bridge().clearWrites();
        h->bridge().setRegs(800, { 0x1234, 0x5678 });
        for (int hr = 0; hr < 24; ++hr)
            hourBox(hr)->setChecked(c.second.contains(hr));
        button(c.first)->click();
        QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
        quint32 mask = 0;
        for (int hr : c.second)
            mask |= 1u << hr;
        const Regs expected{ quint16(mask >> 16), quint16(mask & 0xFFFF) };
        QCOMPARE(h->bridge().writes().first().start, 800);
        QCOMPARE(h->bridge().regs(800, 2), expected);
        QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);
    }
    QCOMPARE(h->bridge().regs(800, 2), (Regs{ 0, 0 }));
    h->bridge().clearWrites();
    hourBox(0)->setChecked(true);
    hourBox(16)->setChecked(true);
    button("sensorTimeSetPushButton_2")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(800, 2), (Regs{ 0x0001, 0x0001 }), Wait);
}

void TestTimeSettingPage::countdownAndMode()
{
    auto *edit = w<QLineEdit>("sensorCountDownLineEdit");
    h->bridge().setReg(803, 45);
    h->bridge().setReg(804, 2);
    button("sensorCountdownCheckButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("45"), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(w<QRadioButton>("sensorSTradioButton")->isChecked(), Wait);

    edit->setText("120");
    button("sensorIntervalSetPushButton_2")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(803), quint16(120), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);

    h->bridge().clearWrites();
    edit->setText("70000");
    button("sensorIntervalSetPushButton_2")->click();
    QCOMPARE(h->status(), QString("Countdown time must be a whole number from 0 to 65535!"));

    // A click on a mode writes it at once.
    w<QRadioButton>("sensorCTRadioButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QCOMPARE(h->bridge().writes().first().start, 804);
    QCOMPARE(h->bridge().reg(804), quint16(0));
    QCOMPARE(h->bridge().reg(803), quint16(120));
    w<QRadioButton>("sensorSTradioButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().reg(804), quint16(1), Wait);
    QCOMPARE(h->bridge().writes().size(), 2);
}

void TestTimeSettingPage::timestamp()
{
    auto *edit = w<QLineEdit>("sensorTSLineEdit");
    h->bridge().setRegs(805, { 0x5F5E, 0x1000 });
    button("sensorTSChkButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!edit->text().isEmpty(), Wait);
    QCOMPARE(edit->text(), QString("2020-09-13 12:26:40 ")
                               + QLocale::system().dayName(7, QLocale::ShortFormat));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    button("sensorTSSetBtn")->click();
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QCOMPARE(h->bridge().writes().first().start, 805);
    const Regs regs = h->bridge().regs(805, 2);
    const qint64 written = qint64(regs.at(0)) << 16 | regs.at(1);
    QVERIFY(written >= before && written <= after);
    QCOMPARE(edit->text(), QDateTime::fromSecsSinceEpoch(written)
                               .toString("yyyy-MM-dd hh:mm:ss ddd"));
}

void TestTimeSettingPage::timeZone_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("bias");
    QTest::addColumn<QString>("text");
    QTest::newRow("Shanghai") << QByteArray("Asia/Shanghai") << -480 << "UTC+ 8 : 00";
    QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata") << -330 << "UTC+ 5 : 30";
    // Standard time, whatever the season.
    QTest::newRow("New York") << QByteArray("America/New_York") << 300 << "UTC -5 : 00";
    QTest::newRow("UTC") << QByteArray("UTC") << 0 << "UTC+ 0 : 00";
}

void TestTimeSettingPage::timeZone()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, bias);
    QFETCH(QString, text);
    auto *edit = w<QLineEdit>("sensorTZLineEdit");
    setZone(zone.constData());
    button("sensorTZSetBtn")->click();
    setZone("UTC");
    QCOMPARE(edit->text(), text);
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), 1, Wait);
    QCOMPARE(h->bridge().writes().first().start, 807);
    QCOMPARE(h->bridge().reg(807), quint16(bias));
    QTRY_COMPARE_WITH_TIMEOUT(h->status(), QString("OK!"), Wait);

    // Read back through Check.
    edit->clear();
    button("sensorTZChkButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), text, Wait);
    h->bridge().setReg(807, 345);
    button("sensorTZChkButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("UTC -5 : 45"), Wait);
}

void TestTimeSettingPage::timeZoneWriteErrors()
{
    sim::FaultRule rule;
    rule.kind = sim::Fault::Exception;
    rule.first = rule.last = 807;
    rule.code = 2;
    rule.count = 1;
    h->bridge().setReg(807, 123);
    h->bridge().addFault(rule);
    button("sensorTZSetBtn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().startsWith("Write response error:"), Wait);
    QVERIFY2(h->status().endsWith("(Modbus exception:0x2"), qPrintable(h->status()));
    QCOMPARE(h->bridge().reg(807), quint16(123));
    rule.kind = sim::Fault::NoAnswer;
    h->bridge().addFault(rule);
    button("sensorTZSetBtn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->status().endsWith("(Modbus code:0x5"), Wait);
    QCOMPARE(h->bridge().reg(807), quint16(123));
}

QTEST_MAIN(TestTimeSettingPage)
#include "test_timesettingpage.moc"

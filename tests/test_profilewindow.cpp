// Device profiles from the window's "Device" menu against the simulated
// bridge: save (and its cancel), compare, write without the identity fields.
#include "testsupport.h"

#include "app/profileactions.h"
#include "link/link.h"
#include "link/pacing.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QModbusClient>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestProfileWindow : public QObject
{
    Q_OBJECT
    Harness h;
    QTemporaryDir m_dir;
    QString m_next;       // what the next file choice returns
    QString m_suggested;  // what the last one suggested
    bool m_cancelRead = false;

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    void trigger(const char *action) { h.find<QAction>(action)->trigger(); }
    bool idle() { return QTest::qWaitFor([this] { return !h.window()->profileActions()->isBusy(); }, 30000); }
    template <typename T> T *shown(const char *name)
    {
        T *w = nullptr;
        return QTest::qWaitFor([&] { return (w = h.find<T>(name)) && w->isVisible(); }, 30000) ? w : nullptr;
    }
    // The rows of the report dialog on show, cells joined by " | "; closes it.
    QStringList reportRows()
    {
        auto *dialog = shown<QDialog>("profileReportDialog");
        QStringList rows;
        auto *table = dialog ? dialog->findChild<QTableWidget *>("table") : nullptr;
        for (int r = 0; table && r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(r, c)->text();
            rows << cells.join(" | ");
        }
        rows << (dialog ? dialog->findChild<QLabel *>("footerLabel")->text() : QString());
        if (dialog)
            dialog->close();
        return rows;
    }

private slots:
    void initTestCase()
    {
        pacing::setScale(0.01);
        QVERIFY(h.startWindow());
        h.window()->profileActions()->setFileChooser([this](const ProfileActions::FileChoice &c) {
            m_suggested = c.suggested;
            if (m_cancelRead)  // once the read has begun
                QTimer::singleShot(0, [this] {
                    if (auto *p = h.find<QProgressDialog>("profileProgress"))
                        p->findChild<QPushButton *>()->click();
                });
            return m_next;
        });
        QVERIFY(!h.find<QAction>("actionSaveProfile")->isEnabled());
        QVERIFY(h.connectAs());
        QVERIFY(h.find<QAction>("actionWriteProfile")->isEnabled());
        m_next = path("reference.json");
        trigger("actionSaveProfile");
        QVERIFY(idle() && QFile::exists(m_next));
    }

    void save_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("silent");  // the sensor table goes unanswered
        QTest::newRow("saved") << false << false;
        QTest::newRow("cancelled") << true << false;
        QTest::newRow("bridge stops answering") << false << true;
    }
    void save()
    {
        QFETCH(bool, cancel);
        QFETCH(bool, silent);
        m_next = path(cancel ? "cancelled.json" : silent ? "unanswered.json" : "saved.json");
        m_cancelRead = cancel;
        QModbusClient *client = h.window()->link()->device();
        const int timeout = client->timeout(), retries = client->numberOfRetries();
        if (silent) {  // one short wait for the answer that never comes
            h.bridge().addFault({ sim::Fault::NoAnswer, 500, 639, 2, 0, -1 });
            client->setTimeout(200);
            client->setNumberOfRetries(0);
        }
        trigger("actionSaveProfile");
        QVERIFY(idle());
        m_cancelRead = false;
        h.bridge().clearFaults();
        client->setTimeout(timeout);
        client->setNumberOfRetries(retries);
        QCOMPARE(QFileInfo(m_suggested).fileName(),
                 "NB500-400_NW24110001_" + QDate::currentDate().toString(Qt::ISODate) + ".json");
        QCOMPARE(QFile::exists(m_next), !cancel && !silent);
        if (cancel) {
            QCOMPARE(h.status(), QString("Save cancelled: no file was written."));
            return;
        }
        if (silent) {
            QVERIFY2(h.boxes.lastText().startsWith("The bridge could not be read: "), qPrintable(h.boxes.lastText()));
            return;
        }
        QCOMPARE(h.status(), "Profile saved to " + m_next + ": 6 groups (5 more not offered by the NB500-400).");
        Profile saved;
        QString error;
        QVERIFY2(profile::readFile(m_next, &saved, &error), qPrintable(error));
        QCOMPARE(saved.presentGroups(), QStringList({ "RS-485 port", "LoRaWAN", "Calibration", "Output holds",
                                                      "RTU sensor table", "Timing and schedule" }));
    }

    void compare_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("no differences") << false;
        QTest::newRow("baud rate and device EUI") << true;
    }
    void compare()
    {
        QFETCH(bool, changed);
        h.bridge().setReg(0, changed ? 1 : 0);
        h.bridge().setReg(243, changed ? 0x1A2C : 0x1A2B);
        h.boxes.clear();
        m_next = path("reference.json");
        trigger("actionCompareProfile");
        QVERIFY(idle());
        if (!changed) {
            QTRY_COMPARE(h.boxes.lastText(), "No differences: the bridge matches " + m_next + ".");
            return;
        }
        QCOMPARE(reportRows().mid(0, 2),
                 QStringList({ "RS-485 port | baud rate | 4800 | 9600 | ",
                               "LoRaWAN | device EUI | 70 B3 D5 7E D0 05 1A 2C | 70 B3 D5 7E D0 05 1A 2B"
                               " | device identity" }));
    }

    // The bridge gets the profile back; its own device EUI stays unless asked.
    void write_data()
    {
        QTest::addColumn<bool>("withIdentity");
        QTest::addColumn<bool>("refused");         // the bridge refuses LoRaWAN writes
        QTest::addColumn<QStringList>("results");  // of the first three groups, and how the note begins
        const QString verified = " | written and verified", saved = "The bridge's values from before";
        QTest::newRow("clone") << false << false << QStringList{
            "RS-485 port" + verified,
            "LoRaWAN" + verified + "; the fields that identify this device were left as they were",
            "Calibration | not chosen", saved };
        QTest::newRow("restore") << true << false << QStringList{ "RS-485 port" + verified, "LoRaWAN" + verified,
                                                                  "Calibration" + verified, saved };
        QTest::newRow("refused") << false << true << QStringList{
            "RS-485 port" + verified, "LoRaWAN | refused by the bridge: Modbus exception 0x2 (illegal data address)",
            "Calibration | not chosen", "Written before it stopped: RS-485 port. " + saved };
    }
    void write()
    {
        QFETCH(bool, withIdentity);
        QFETCH(bool, refused);
        QFETCH(QStringList, results);
        h.bridge().setReg(0, 1);
        h.bridge().setReg(243, 0x1A2C);
        if (refused)
            h.bridge().addFault({ sim::Fault::Exception, 240, 259, 2, 16, -1 });
        QString error;
        m_next = path("reference.json");
        trigger("actionWriteProfile");
        auto *dialog = shown<QDialog>("profileWriteDialog");
        QVERIFY(dialog);
        auto *identity = dialog->findChild<QCheckBox *>("identityCheck");
        QVERIFY(!identity->isChecked());
        identity->setChecked(withIdentity);
        dialog->findChild<QPushButton *>("writeButton")->click();
        QVERIFY(idle());
        h.bridge().clearFaults();
        const QStringList rows = reportRows();
        QCOMPARE(rows.mid(0, 3), results.mid(0, 3));
        QVERIFY2(rows.last().startsWith(results.last()), qPrintable(rows.last()));
        QCOMPARE(h.bridge().reg(0), quint16(0));
        QCOMPARE(h.bridge().reg(243), quint16(withIdentity ? 0x1A2B : 0x1A2C));
        // The backup named in the report holds what the bridge had before.
        const QString backup = rows.last().section(" saved in ", 1).section(".json", 0, 0) + ".json";
        Profile before;
        QVERIFY2(profile::readFile(backup, &before, &error), qPrintable(rows.last() + error));
        QCOMPARE(before.group("RS-485 port")->fields.value("baud rate").toInt(), 4800);
    }

    void cleanupTestCase()
    {
        h.find<QPushButton>("connectButton")->click();
        QTRY_VERIFY(!h.find<QAction>("actionWriteProfile")->isEnabled());
    }
};

QTEST_MAIN(TestProfileWindow)
#include "test_profilewindow.moc"

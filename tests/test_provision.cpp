// Provisioning from a key list: parsing, a batch of bridges in the window, the
// audit log, resuming, the export for a network server, nodeweave-cli provision.
#include "testsupport.h"

#include "app/provisionwindow.h"
#include "link/keylist.h"
#include "link/pacing.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString Factory = QStringLiteral("70B3D57ED0051A2B");  // the simulated bridge's own DevEUI
const QString JoinEui = QStringLiteral("0000000000000001");

QString devEui(int line) { return QStringLiteral("70B3D57E0000000%1").arg(line); }
QString key(int line) { return QStringLiteral("00112233445566778899AABBCCDDEE%1").arg(line, 2, 10, QChar('0')); }

// Rows on lines 2 to 6 (DevEUI ...0002 to ...0006, key ending in the line),
// then a row with a fault.
QByteArray keyList()
{
    QByteArray text = "DevEUI;JoinEUI;AppKey;name\n";
    for (int line = 2; line <= 6; ++line)
        text += QStringLiteral("%1;%2;%3;unit %4\n").arg(devEui(line), JoinEui, key(line)).arg(line).toUtf8();
    return text + "70B3D57E00000007;0000000000000001;0011;short key\n";
}

QString fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestProvision : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<Harness> m_h;
    ProvisionWindow *m_window = nullptr;

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    template <typename T> T *widget(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    QString cell(int row, int column) const
    {
        return widget<QTableWidget>("provisionRows")->item(row, column)->text();
    }
    // Puts the simulated bridge in the role of another bridge and presses
    // "Provision this bridge"; the question is answered with Yes.
    void provisionBridge(const QString &serial, const QString &heldDevEui)
    {
        m_h->bridge().setText(141, 8, serial);
        m_h->bridge().setRegs(240, keylist::registers(heldDevEui));
        m_h->boxes.clear();
        auto *button = widget<QPushButton>("provisionButton");
        button->click();
        QVERIFY(!button->isEnabled());  // until the result is in
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 20000);
    }

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("first");   // the first usable row: DevEUI JoinEUI AppKey name
        QTest::addColumn<QString>("faults");  // line: reason|...
        QTest::addColumn<QString>("refusal");
        const QString row = "70B3D57ED0051A01 0000000000000001 00112233445566778899AABBCCDDEEFF %1";
        QTest::newRow("comma") << QByteArray("DevEUI,JoinEUI,AppKey\n70B3D57ED0051A01,0000000000000001,"
                                             "00112233445566778899aabbccddeeff\n") << row.arg("") << "" << "";
        QTest::newRow("semicolon, synonyms, separators in hex")
            << QByteArray("dev_eui;APP_EUI;app_key;Name\n70:b3:d5:7e:d0:05:1a:01;00-00-00-00-00-00-00-01;"
                          "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF;unit 1\n")
            << row.arg("unit 1") << "" << "";
        QTest::newRow("quoted, columns in another order, BOM, CRLF, blank lines")
            << QByteArray("\xEF\xBB\xBF\"join_eui\",\"name\",\"DEVEUI\",\"AppKey\"\r\n\r\n"
                          "\"0000000000000001\",\"Tank \"\"A\"\", north; 2\",\"70B3D57ED0051A01\","
                          "\"00112233445566778899AABBCCDDEEFF\"\r\n")
            << row.arg("Tank \"A\", north; 2") << "" << "";
        QTest::newRow("faulty rows")
            << QByteArray("AppEUI,DevEUI,AppKey\n"
                          "0000000000000001,70B3D57ED0051A01,00112233445566778899AABBCCDDEEFF\n"
                          "0000000000000001,70B3D57ED0051A,00112233445566778899AABBCCDDEEFF\n"
                          "00000000000000XY,70B3D57ED0051A03,00112233445566778899AABBCCDDEE0\n"
                          "0000000000000001,70B3D57ED0051A04,00112233445566778899AABBCCDDEE\n"
                          "0000000000000001,70B3D57ED0051A05,00112233445566778899AABBCCDDEEFF\n\n"
                          "0000000000000001,70b3d57ed0051a05,00112233445566778899AABBCCDDEEFF\n"
                          "0000000000000001,70B3D57ED0051A06\n")
            << row.arg("")
            << "3: DevEUI has 7 bytes, needs 8|4: JoinEUI is not hexadecimal; AppKey has 31 hex digits, "
               "needs 32|5: AppKey has 15 bytes, needs 16|6: DevEUI also on line 8|8: DevEUI also on "
               "line 6|9: AppKey is empty" << "";
        QTest::newRow("empty") << QByteArray("\n\n") << "" << "" << "The key list is empty.";
        QTest::newRow("no key column") << QByteArray("DevEUI;JoinEUI;Key\n1;2;3\n") << "" << ""
                                       << "The header row has no column for AppKey (AppKey or app_key).";
        QTest::newRow("column twice") << QByteArray("DevEUI,JoinEUI,AppEUI,AppKey\n") << "" << ""
                                      << "The header row names JoinEUI twice (columns 2 and 3).";
        QTest::newRow("header only") << QByteArray("DevEUI,JoinEUI,AppKey\n") << "" << ""
                                     << "The key list has no rows below its header.";
        QTest::newRow("no usable row")
            << QByteArray("DevEUI,JoinEUI,AppKey\n1,2,3\n\n4,5,6\n") << "" << ""
            << "The key list has no usable row: each of its 2 rows has a fault.";
    }
    void parse()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, refusal);
        KeyList list;
        QString error;
        QCOMPARE(keylist::parse(csv, &list, &error), refusal.isEmpty());
        QCOMPARE(error, refusal);
        if (!refusal.isEmpty())
            return;
        const KeyRow &r = list.rows.first();
        QTEST(QStringList({ r.devEui, r.joinEui, r.appKey, r.name }).join(' '), "first");
        QStringList faults;
        for (const KeyRowFault &f : list.faults)
            faults << QStringLiteral("%1: %2").arg(f.line).arg(f.reason);
        QTEST(faults.join('|'), "faults");
    }

    void openWindow()
    {
        pacing::setScale(0.01);
        qputenv("NODEWEAVE_PASSWORD", "admin");  // for nodeweave-cli
        QFile list(path("keys.csv"));
        QVERIFY(list.open(QIODevice::WriteOnly) && list.write(keyList()) > 0);
        list.close();
        m_h.reset(new Harness);
        QVERIFY(m_h->startWindow());
        m_h->find<QAction>("actionProvision")->trigger();
        m_window = m_h->window()->findChild<ProvisionWindow *>("provisionWindow");
        QVERIFY(m_window && m_window->isVisible());
        m_window->setFileChooser([this](ProvisionWindow::FileRole role, const QString &) {
            return path(role == ProvisionWindow::FileRole::KeyList ? "keys.csv" : "export.csv");
        });
        widget<QPushButton>("provisionLoadButton")->click();
        QCOMPARE(widget<QListWidget>("provisionFaults")->item(0)->text(),
                 QString("Line 7: AppKey has 2 bytes, needs 16"));
        QCOMPARE(widget<QTableWidget>("provisionRows")->rowCount(), 5);
        QVERIFY(!widget<QPushButton>("provisionButton")->isEnabled());
        QVERIFY(m_h->connectAs());
        QVERIFY(widget<QPushButton>("provisionButton")->isEnabled());
    }

    // Bridge after bridge: each gets the next unused row, unless it holds
    // the DevEUI of a row already.
    void batch_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("held");
        QTest::addColumn<int>("line");
        QTest::newRow("first bridge") << "SN-A1" << Factory << 2;
        QTest::newRow("second bridge") << "SN-A2" << Factory << 3;
        QTest::newRow("holds the DevEUI of line 5") << "SN-A3" << devEui(5) << 5;
    }
    void batch()
    {
        QFETCH(QString, serial);
        QFETCH(QString, held);
        QFETCH(int, line);
        provisionBridge(serial, held);
        QCOMPARE(m_h->boxes.boxes.size(), 1);
        QCOMPARE(m_h->boxes.lastText(),
                 QStringLiteral("Line %1 (unit %1) goes to the bridge with serial %2 (NB500-400).")
                     .arg(line).arg(serial));
        QCOMPARE(keylist::hexOf(m_h->bridge().regs(240, 16)), devEui(line) + JoinEui + key(line));
        QCOMPARE(m_h->bridge().reg(256), quint16(1));
        QCOMPARE(widget<QLabel>("provisionResult")->text(),
                 QStringLiteral("Line %1 is on the bridge with serial %2, read back and checked.")
                     .arg(line).arg(serial));
        QCOMPARE(widget<QListWidget>("provisionSteps")->item(4)->text(),
                 QString("Read back and compare: done"));
        QCOMPARE(cell(line - 2, 5) + ' ' + cell(line - 2, 6), "used " + serial);
        QVERIFY(widget<QLabel>("provisionBridgeLabel")->text().endsWith(keylist::spaced(devEui(line))));
    }

    // One line per bridge with the key's fingerprint; the key itself in no form.
    void auditLog()
    {
        const QString log = fileText(path("keys.audit.csv"));
        const QStringList lines = log.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.first(), QString("time,serial,model,firmware,dev_eui,join_eui,key_fingerprint,"
                                        "profile,result,reason"));
        const QRegularExpression line("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ,SN-A\\d,NB500-400,V2.1.3,"
                                      "70B3D57E0000000(\\d),0000000000000001,([0-9a-f]{8}),,ok,$");
        for (const QString &l : lines.mid(1)) {
            const QRegularExpressionMatch m = line.match(l);
            QVERIFY2(m.hasMatch(), qPrintable(l));
            QCOMPARE(m.captured(2), keylist::fingerprint(key(m.captured(1).toInt())));
        }
        for (int row = 2; row <= 6; ++row)
            for (const QString &form : { key(row), keylist::spaced(key(row)) })
                QVERIFY(!log.contains(form, Qt::CaseInsensitive));
    }

    // A write the bridge refuses: the row stays unused, held by this bridge
    // once part of it was written; the reason is logged.
    void refusedWrite_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("logged");
        QTest::newRow("DevEUI refused") << 240 << "unused"
            << "failed,DevEUI refused by the bridge: Modbus exception 0x2 (illegal data address); "
               "written: nothing";
        QTest::newRow("AppKey refused") << 248 << "held by a failed run"
            << "incomplete,\"AppKey refused by the bridge: Modbus exception 0x2 (illegal data address); "
               "written: DevEUI, JoinEUI\"";
    }
    void refusedWrite()
    {
        QFETCH(int, first);
        m_h->bridge().addFault({ sim::Fault::Exception, first, first + 3, 2, 16, 1 });
        provisionBridge("SN-A4", Factory);
        QVERIFY(widget<QLabel>("provisionResult")->text().startsWith("Failed: "));
        QTEST(cell(2, 5), "state");
        QTEST(fileText(path("keys.audit.csv")).trimmed().section('\n', -1).section(",,", 1), "logged");
    }

    // The key list opened again: the log decides which row goes where.
    void resume_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("choice");  // the row's line, or the refusal
        QTest::newRow("new bridge: the next row no one holds") << "SN-B1" << Factory << "6";
        QTest::newRow("bridge of a failed run: its row") << "SN-A4" << Factory << "4";
        QTest::newRow("bridge done before: its row again") << "SN-A2" << Factory << "3";
        QTest::newRow("another bridge's DevEUI") << "SN-B2" << devEui(2)
            << "This bridge (serial SN-B2) already holds the DevEUI of line 2, which went to the bridge "
               "with serial SN-A1";
    }
    void resume()
    {
        QFETCH(QString, serial);
        QFETCH(QString, held);
        ProvisionBatch batch;
        QString error;
        QVERIFY2(batch.open(path("keys.csv"), &error), qPrintable(error));
        QCOMPARE(batch.count(ProvisionBatch::RowState::Used), 3);
        const ProvisionBatch::Choice choice = batch.choose(serial, held);
        QTEST(choice.row < 0 ? choice.refusal.left(choice.refusal.indexOf(" on "))
                             : QString::number(batch.keys().rows.at(choice.row).line),
              "choice");
    }

    void exportForNetworkServer()
    {
        widget<QPushButton>("provisionExportButton")->click();
        QTRY_VERIFY(QFile::exists(path("export.csv")));
        QCOMPARE(m_h->boxes.lastTitle(), QString("Export for the network server"));
        QVERIFY(m_h->boxes.lastText().contains("AppKey"));
        QStringList expected{ "dev_eui,join_eui,app_key,name" };
        for (int line : { 2, 3, 5 })
            expected << QStringLiteral("%1,%2,%3,unit %4").arg(devEui(line), JoinEui, key(line)).arg(line);
        QCOMPARE(fileText(path("export.csv")).split('\n', Qt::SkipEmptyParts), expected);
    }

    // The same from the command line; with a profile that sets ABP and
    // another JoinEUI, the row's keys and OTAA still win.
    void cli_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("withProfile");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("next row") << "keys.csv" << false << 0
            << "Line 6 \\(unit 6\\) goes to the bridge with serial SN-C1 \\(NB500-400\\): DevEUI "
               "70B3D57E00000006";
        QTest::newRow("again, with a profile") << "keys.csv" << true << 0 << "Line 6 .*, which had it before";
        QTest::newRow("not a key list") << "keys.audit.csv" << false << 2
                                        << "^nodeweave-cli: The header row has no";
    }
    void cli()
    {
        QFETCH(QString, list);
        QFETCH(bool, withProfile);
        QFETCH(int, exitCode);
        sim::SimBridge bridge;
        QVERIFY(bridge.start());
        bridge.setText(141, 8, "SN-C1");
        QStringList args{ "--port", bridge.portPath(), "provision", m_dir.filePath(list) };
        if (withProfile) {  // a profile with 19200 baud, another JoinEUI and ABP
            bridge.setRegs(0, { 4 });
            bridge.setRegs(244, QVector<quint16>(4, 0x1111));
            bridge.setReg(256, 0);
            QProcess save;
            save.start(NW_CLI_PATH, { "--port", bridge.portPath(), "save", path("p.json") });
            QVERIFY2(save.waitForFinished(30000) && save.exitCode() == 0, save.readAllStandardError().constData());
            bridge.setReg(0, 0);
            args << "--profile" << path("p.json");
        }
        QProcess cli;
        cli.start(NW_CLI_PATH, args);
        QVERIFY(cli.waitForFinished(30000));
        const QString out = cli.readAllStandardOutput(), err = cli.readAllStandardError();
        QCOMPARE(cli.exitCode(), exitCode);
        QFETCH(QString, output);
        QVERIFY2(QRegularExpression(output).match(exitCode ? err : out).hasMatch(), qPrintable(out + err));
        QCOMPARE(keylist::hexOf(bridge.regs(240, 8)), (exitCode ? Factory : devEui(6)) + JoinEui);
        QCOMPARE(bridge.reg(256), quint16(1));
        QCOMPARE(bridge.reg(0), quint16(withProfile ? 4 : 0));
    }

    void cleanupTestCase() { m_h.reset(); }
};

QTEST_MAIN(TestProvision)
#include "test_provision.moc"

// Device profiles against simulated bridges: save, write to a fresh bridge,
// clone, compare, refused edits and writes, models, and nodeweave-cli.
#include "link/link.h"
#include "link/pacing.h"
#include "link/profilereader.h"
#include "link/profilewriter.h"
#include "sim/simbridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

Q_DECLARE_METATYPE(ProfileWriteResult::Status)

namespace {

// A model that offers every group (no "NB": no page is gated off), band 0.
const QString AllGroups = QStringLiteral("LB400");

struct Bridge {
    explicit Bridge(const QString &model) : sim([&model] { sim::Options o; o.model = model; return o; }()) {}
    bool open() { return sim.start() && link.createClient(Link::Serial) && link.openSerial(sim.portPath()); }
    sim::SimBridge sim;
    Link link;
};

// Values no factory bridge has, in every group; entries at both ends of the tables.
void configure(sim::SimBridge &b)
{
    b.setRegs(0, { 4, 8, 2, 1, 17 });
    b.setRegs(21, { 4331, 17, 2, 1, 2, 0, 0x3434 });
    b.setRegs(100, { 7, 0x0001, 0x8000 }); b.setReg(117, 1); b.setText(118, 8, "0123456789abcdef");
    b.setRegs(149, { 30, 500 }); b.setRegs(400, { 0xFFFE, 12, 3, 4 }); b.setRegs(410, { 5, 6 });
    b.setRegs(306, { 1, 0, 1, 0 }); b.setRegs(900, { 1, 30, 5000, 1, 60, 12345 });
    b.setText(633, 4, "LAST"); b.setRegs(637, { 0x0101, 1, 80 });
    b.setRegs(800, { 0x0080, 0x8001, 120, 15, 1 });
    b.setReg(807, quint16(-330));  // 808 keeps 1000 s, which no page writes
    b.setRegs(810, { 1, 60, 5, 0x0301, 100 }); b.setRegs(833, { 0x0402, 7 });
    b.setRegs(2400, { 10, 0x1234 }); b.setText(2402, 4, "abc"); b.setRegs(2406, { 1, 2, 3, 4, 1, 4000 });
    b.setText(2792, 4, "Z"); b.setRegs(2796, { 250, 7, 9, 0, 3, 0 });
}

ProfileReadResult readBridge(Link &link, const QStringList &groups = {})
{
    ProfileReader reader(&link);
    QSignalSpy done(&reader, &ProfileReader::finished);
    reader.start(groups);
    return done.wait(60000) ? done.at(0).at(0).value<ProfileReadResult>() : ProfileReadResult();
}

// `step` sees each step of the write as it is shown.
ProfileWriteResult writeBridge(Link &link, const ProfileWriteRequest &request,
                               const std::function<void(const QString &)> &step = {})
{
    ProfileWriter writer(&link);
    if (step)
        QObject::connect(&writer, &ProfileWriter::progress, [&step](int, int, const QString &s) { step(s); });
    QSignalSpy done(&writer, &ProfileWriter::finished);
    writer.start(request);
    return done.wait(60000) ? done.at(0).at(0).value<ProfileWriteResult>() : ProfileWriteResult();
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT
private:
    Bridge m_source{ AllGroups };
    Profile m_saved;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        pacing::setScale(0.01);
        configure(m_source.sim);
        QVERIFY(m_source.open());
        QElapsedTimer clock;
        clock.start();
        const ProfileReadResult read = readBridge(m_source.link);
        QCOMPARE(read.status, ProfileReadResult::Done);
        // The device gets the rest the pages give it between blocks.
        int pauses = 0;
        for (const regmap::Group *g : regmap::profileGroups())
            for (const regmap::Block &b : g->blocks)
                pauses += b.readPause ? pacing::ms(b.readPause) : 0;
        QVERIFY(clock.elapsed() >= pauses);
        QCOMPARE(read.profile.presentGroups().size(), regmap::profileGroups().size());
        m_saved = read.profile;
    }

    // What a person reads in the file, one row per kind of field.
    void readableFields_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("json");
        const auto row = [](const char *group, const char *field, const char *json) {
            QTest::newRow(field) << QString(group) << QString(field) << QByteArray(json);
        };
        row("RS-485 port", "baud rate", "19200");
        row("RS-485 port", "parity", R"("Even")");
        row("LoRaWAN", "app EUI", R"("00 00 00 00 00 00 00 01")");
        row("LoRaWAN", "confirmed uplinks", "false");
        row("LoRa radio", "frequency MHz", "433.1");
        row("LoRa radio", "coding rate", R"("4/6")");
        row("Group network", "destination IDs", "[1,32]");
        row("Group network", "AES key", R"("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66")");
        row("Calibration", "voltage input 0", "-2");
        row("Output holds", "PWM 5V hold", R"("ON")");
        row("Time-out output holding", "current output mA", "12.345");
        row("RTU sensor table", "sensors",
            R"([{"PLC address":40001,"function code":3,"name":"TANK1","register quantity":2,)"
            R"("slave ID":5,"slot":0},{"PLC address":30001,"function code":4,"name":"FLOW-02",)"
            R"("register quantity":4,"slave ID":17,"slot":1},{"PLC address":1,"function code":1,)"
            R"("name":"LAST","register quantity":80,"slave ID":1,"slot":19}])");
        row("Timing and schedule", "schedule hours", "[0,15,23]");
        row("Timing and schedule", "time zone min", "-330");
        // 1000 s: no page writes it, so it is kept as it is.
        row("Timing and schedule", "polling time-out s", R"({"raw":"03 E8"})");
        row("Auto scan", "map", R"([{"ID":1,"REG":100,"function code":3,"row":0},)"
                                R"({"ID":2,"REG":7,"function code":4,"row":10}])");
        row("Rule chain", "rules",
            R"([{"entry":0,"in channel":2,"in device ID":1,"out channel":4,"out device ID":3,)"
            R"("tag":"abc","type":"V-A","value":4000},{"entry":39,"in channel":7,"in device ID":250,)"
            R"("out channel":0,"out device ID":9,"tag":"Z","type":"A-A"}])");
        row("Rule chain", "register 2401", R"("12 34")");
    }
    void readableFields()
    {
        QFETCH(QString, group);
        QFETCH(QString, field);
        const QJsonArray value{ m_saved.group(group)->fields.value(field) };
        QTEST(QJsonDocument(value).toJson(QJsonDocument::Compact).mid(1).chopped(1), "json");
    }

    // Through the file to a factory-fresh bridge: with the identity fields
    // an exact copy, without them (a clone) the bridge keeps its own.
    void writeToFreshBridge_data()
    {
        QTest::addColumn<bool>("withIdentity");
        QTest::newRow("copy") << true;
        QTest::newRow("clone") << false;
    }
    void writeToFreshBridge()
    {
        QFETCH(bool, withIdentity);
        Bridge target(AllGroups);
        target.sim.setRegs(240, { 1, 2, 3, 4 });
        target.sim.setReg(410, 99);
        const QVector<quint16> before = target.sim.regs(0, 3000);
        QVERIFY(target.open());
        Profile file;
        QString error;
        QVERIFY2(profile::fromJson(profile::toJson(m_saved), &file, &error), qPrintable(error));

        const ProfileWriteResult result =
            writeBridge(target.link, { file, m_dir.filePath("source.json"), {}, withIdentity, false });
        QCOMPARE(result.status, ProfileWriteResult::Done);
        for (const GroupWriteOutcome &g : result.groups)
            QCOMPARE(g.status, withIdentity || g.group != "Calibration" ? GroupWriteOutcome::Verified
                                                                         : GroupWriteOutcome::Skipped);
        QVERIFY(QFile::exists(result.backupPath));
        for (const QString &group : m_saved.presentGroups())  // every register of every block
            for (const regmap::Block &block : regmap::group(group)->blocks)
                for (quint16 a = block.start; a < block.end(); ++a) {
                    const bool kept = !withIdentity && regmap::fieldAt(a)->identity;
                    QVERIFY2(target.sim.reg(a) == (kept ? before.at(a) : m_source.sim.reg(a)),
                             qPrintable(regmap::describe(a, 1)));
                }
        for (const ProfileDifference &d : profile::compare(readBridge(target.link).profile, file))
            QVERIFY2(!withIdentity && d.identity, qPrintable(d.group + " / " + d.field));
    }

    // A value the page would refuse is refused with its group and field.
    void refusedEdit_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const char *group, const char *field, const QByteArray &value,
                            const char *reason) {
            QTest::newRow(name) << QString(group) << QString(field) << value << QString(reason);
        };
        const QString rule = R"([{"entry": 2, "tag": "%1", "in device ID": 1, "in channel": 0, )"
                             R"("type": "V-A", "out device ID": 2, "out channel": 4, "value": %2}])";
        row("choice", "RS-485 port", "baud rate", "14400", "14400 is not one of 9600, 4800");
        row("number", "RS-485 port", "Modbus address", "251", "from 1 to 250");
        row("off the band", "LoRa radio", "frequency MHz", "868", "from 410 to 493 MHz");
        row("power", "LoRa radio", "power dBm", "23", "not one of 14");
        row("short key", "Group network", "AES key", "\"00 11\"", "needs 16 bytes");
        row("current", "Time-out output holding", "current output mA", "20.5", "from 4 to 20 mA");
        row("polling", "Timing and schedule", "polling time-out s", "21", "from 1 to 20");
        row("hour", "Timing and schedule", "schedule hours", "[3, 24]", "24 is not");
        row("flag", "LoRaWAN", "confirmed uplinks", "\"yes\"", "neither true nor false");
        row("unknown", "Output holds", "fan hold", "\"ON\"", "not a field of this group");
        row("sensor", "RTU sensor table", "sensors",
            R"([{"slot": 0, "name": "T", "slave ID": 248, "function code": 3, "PLC address": 1, )"
            R"("register quantity": 1}])", "slot 0, slave ID: 248 is not from 1 to 247");
        row("rule tag", "Rule chain", "rules", rule.arg("abcdefghi").arg(4000).toLatin1(),
            "entry 2, tag: more than 8 characters");
        row("rule value", "Rule chain", "rules", rule.arg("ok").arg(3999).toLatin1(),
            "entry 2, value: below 4000 uA");
    }
    void refusedEdit()
    {
        QFETCH(QString, group);
        QFETCH(QString, field);
        QFETCH(QByteArray, value);
        QFETCH(QString, reason);
        QJsonObject doc = QJsonDocument::fromJson(profile::toJson(m_saved)).object();
        QJsonArray groups = doc.value("groups").toArray();
        for (auto g = groups.begin(); g != groups.end(); ++g) {
            QJsonObject o = g->toObject(), fields = o.value("fields").toObject();
            fields.insert(field, QJsonDocument::fromJson("[" + value + "]").array().at(0));
            o.insert("fields", fields);
            if (o.value("group").toString() == group)
                *g = o;
        }
        doc.insert("groups", groups);
        Profile p;
        QString error;
        QVERIFY(!profile::fromJson(QJsonDocument(doc).toJson(), &p, &error));
        QVERIFY2(error.startsWith(group + " / " + field + ": ") && error.contains(reason), qPrintable(error));
    }

    void compareListsTheChanges()
    {
        m_source.sim.setReg(0, 1);
        m_source.sim.setReg(243, 0x1A2C);
        m_source.sim.setReg(504, 0x0309);
        m_source.sim.setText(2402, 4, "abd");
        const ProfileReadResult read = readBridge(m_source.link);
        configure(m_source.sim);
        m_source.sim.setReg(243, 0x1A2B);
        m_source.sim.setReg(504, 0x0305);
        QVector<QStringList> rows;
        for (const ProfileDifference &d : profile::compare(read.profile, m_saved))
            rows << QStringList{ d.group, d.field, d.bridge, d.file, d.identity ? "identity" : "" };
        const QVector<QStringList> expected{
            { "RS-485 port", "baud rate", "4800", "19200", "" },
            { "LoRaWAN", "device EUI", "70 B3 D5 7E D0 05 1A 2C", "70 B3 D5 7E D0 05 1A 2B", "identity" },
            { "RTU sensor table", "sensors slot 0 \u00b7 slave ID", "9", "5", "" },
            { "Rule chain", "rules entry 0 \u00b7 tag", "abd", "abc", "" },
        };
        QCOMPARE(rows, expected);
    }

    // A group the bridge refuses: absent when read, the end of a write.
    void exceptions()
    {
        Bridge target(AllGroups);
        target.sim.addFault({ sim::Fault::Exception, 400, 411, 2, 3, -1 });
        target.sim.addFault({ sim::Fault::Exception, 244, 247, 2, 16, -1 });
        QVERIFY(target.open());
        const Profile before = readBridge(target.link).profile;
        QCOMPARE(before.group("Calibration")->absentReason,
                 QString("refused by the bridge: Modbus exception 0x2 (illegal data address)"));
        QCOMPARE(before.presentGroups().size(), regmap::profileGroups().size() - 1);

        const ProfileWriteResult result =
            writeBridge(target.link, { m_saved, m_dir.filePath("exception.json"), {}, false, false });
        QCOMPARE(result.status, ProfileWriteResult::Failed);
        QCOMPARE(result.writtenGroups(), QStringList{ "RS-485 port" });
        QCOMPARE(result.groups.at(1).status, GroupWriteOutcome::Refused);
        QCOMPARE(result.groups.at(1).detail, QString("Modbus exception 0x2 (illegal data address)"));
        QCOMPARE(result.groups.last().status, GroupWriteOutcome::NotWritten);
        readBridge(target.link);  // whatever the link still had queued is sent by now
        QCOMPARE(target.sim.writes().last().start, 244);  // the group's next run not sent
        Profile backup;
        QString error;
        QVERIFY2(profile::readFile(result.backupPath, &backup, &error), qPrintable(error));
        QCOMPARE(backup.group("Timing and schedule")->fields, before.group("Timing and schedule")->fields);
    }

    // A bridge that does not keep what it was sent.
    void notVerified()
    {
        Bridge target(AllGroups);
        QVERIFY(target.open());
        const ProfileWriteResult result = writeBridge(
            target.link, { m_saved, m_dir.filePath("kept.json"), { "Output holds", "RS-485 port" }, false, false },
            [&target](const QString &step) {
                if (step == "Writing RS-485 port")
                    target.sim.setReg(0, 1);
            });
        QCOMPARE(result.status, ProfileWriteResult::Failed);
        QCOMPARE(result.groups.at(0).status, GroupWriteOutcome::NotVerified);
        QCOMPARE(result.groups.at(0).detail, QString("baud rate: bridge 4800, profile 19200"));
        QCOMPARE(result.groups.at(1).status, GroupWriteOutcome::NotWritten);
        QCOMPARE(result.writtenGroups(), QStringList{ "RS-485 port" });
    }

    void models_data()
    {
        QTest::addColumn<QString>("fileModel");
        QTest::addColumn<QString>("bridgeModel");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<ProfileWriteResult::Status>("status");
        QTest::newRow("other series") << "NB500-400" << "NB520-900" << true << ProfileWriteResult::WrongSeries;
        QTest::newRow("other model") << "NB520-900" << "NB520-TH" << false << ProfileWriteResult::NeedsConfirmation;
        QTest::newRow("other model, confirmed") << "NB500-400" << "NB500-900" << true << ProfileWriteResult::Done;
    }
    void models()
    {
        QFETCH(QString, fileModel);
        QFETCH(QString, bridgeModel);
        QFETCH(bool, confirmed);
        Bridge target(bridgeModel);
        QVERIFY(target.open());
        Profile file;
        file.model = fileModel;
        file.groups << *m_saved.group("RS-485 port");
        const ProfileWriteResult result =
            writeBridge(target.link, { file, m_dir.filePath("model.json"), {}, false, confirmed });
        QTEST(result.status, "status");
        QCOMPARE(target.sim.regs(0, 5), result.status == ProfileWriteResult::Done
                                            ? m_source.sim.regs(0, 5) : QVector<quint16>({ 0, 8, 1, 0, 1 }));
    }

    void cli_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("baud");  // the bridge's baud rate index before the run
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");  // a pattern of standard output, or of the error line
        const auto row = [](const char *name, const QStringList &args, const char *password, int baud,
                            int exitCode, const char *output) {
            QTest::newRow(name) << args << QString(password) << baud << exitCode << QString(output);
        };
        const QString file = "rs485.json";
        row("info", { "info" }, "admin", 0, 0, "model:\\s+NB500-400\\n");
        row("diff, none", { "diff", file }, "admin", 0, 0, "No differences");
        row("diff", { "diff", file }, "admin", 1, 1, "\\nRS-485 port\\s+baud rate\\s+4800\\s+9600\\n");
        row("diff --json", { "--json", "diff", file }, "admin", 1, 1, "\"bridge\": \"4800\"");
        row("write", { "write", file, "--groups", "rs-485 port" }, "admin", 1, 0,
            "RS-485 port:\\s+written and verified");
        row("wrong password", { "info" }, "nope", 0, 2, "^nodeweave-cli: login failed");
        row("no such file", { "diff", "none.json" }, "admin", 0, 2, "^nodeweave-cli: none.json: ");
    }
    void cli()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, password);
        QFETCH(int, baud);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        Bridge bridge(QStringLiteral("NB500-400"));
        QVERIFY(bridge.open());
        const ProfileReadResult read = readBridge(bridge.link, { "RS-485 port" });
        QString error;
        QVERIFY2(profile::writeFile(m_dir.filePath("rs485.json"), read.profile, &error), qPrintable(error));
        bridge.link.close();
        bridge.sim.setReg(0, quint16(baud));

        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NODEWEAVE_PASSWORD", password);
        cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(m_dir.path());
        cli.start(NW_CLI_PATH, QStringList{ "--port", bridge.sim.portPath() } + args);
        QVERIFY(cli.waitForFinished(30000));
        const QString out = cli.readAllStandardOutput(), err = cli.readAllStandardError();
        QCOMPARE(cli.exitCode(), exitCode);
        QVERIFY2(QRegularExpression(output).match(exitCode == 2 ? err : out).hasMatch(), qPrintable(out + err));
        QCOMPARE(err.count('\n'), exitCode == 2 ? 1 : 0);
        QCOMPARE(int(bridge.sim.reg(0)), exitCode == 0 && args.contains("write") ? 0 : baud);
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "test_profiles.moc"

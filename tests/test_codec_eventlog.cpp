// The event-log file as the bridge delivers it, its text export and the
// table's sorting, as pure functions of the bytes.
#include "link/codec.h"
#include "pages/rtu/eventlogmodel.h"

#include <QtTest>

#include <ctime>

using codec::EventLogEntry;

namespace {
// One 20-byte record.
QByteArray record(const QByteArray &tag, quint16 in, quint16 type, quint16 out, quint32 ts,
                  quint16 result, char spare = 0)
{
    QByteArray r(20, '\0');
    r.replace(0, qMin(tag.size(), 7), tag.left(7));
    r[7] = spare;
    auto put = [&r](int at, quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            r[at + i] = char(v >> (8 * i));
    };
    put(8, in, 2);
    put(10, type, 2);
    put(12, out, 2);
    put(14, ts, 4);
    put(18, result, 2);
    return r;
}

QByteArray file(const QList<QByteArray> &records)
{
    QByteArray f(16, '\x7f');  // header bytes mean nothing to the parser
    for (const QByteArray &r : records)
        f += r;
    return f;
}

QStringList tags(const EventLogModel &m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, 0).data().toString();
    return out;
}
}

class TestCodecEventLog : public QObject
{
    Q_OBJECT
private slots:
    void ruleExample();
    void records_data();
    void records();
    void timeStamps_data();
    void timeStamps();
    void exportLines_data();
    void exportLines();
    void sorting();
};

void TestCodecEventLog::ruleExample()
{
    // Tag "Rule1", value input 0x2710, type 1, value output 100, result 1.
    const QByteArray bytes = file({ QByteArray::fromHex("52756c653100000010270100640000000000"
                                                        "0100") });
    QCOMPARE(bytes.size(), 36);
    const QVector<EventLogEntry> entries = codec::parseEventLogFile(bytes);
    QCOMPARE(entries.size(), 1);
    const EventLogEntry &e = entries.first();
    QCOMPARE(e.tag, QString("Rule1"));
    QCOMPARE(e.valueInput, quint16(10000));
    QCOMPARE(e.type, quint16(1));
    QCOMPARE(e.valueOutput, quint16(100));
    QCOMPARE(e.result, quint16(1));

    EventLogModel model;
    model.setList(entries);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 6);
    const QStringList shown{ "Rule1", "10000", "V-A", "100", "Success" };
    for (int c = 0; c < shown.size(); ++c)
        QCOMPARE(model.index(0, c).data().toString(), shown.at(c));
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    const QByteArray line = codec::eventLogExportLine(e);
    QVERIFY(line.startsWith("Rule1,10000,V-A,100,"));
    QVERIFY(line.endsWith(",Success\r\n"));
}

void TestCodecEventLog::records_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QList<int>>("indexes");

    const QByteArray a = record("A1", 1, 0, 2, 100, 1);
    const QByteArray empty(20, '\0');
    QTest::newRow("empty file") << QByteArray() << QStringList() << QList<int>();
    QTest::newRow("header only") << QByteArray(16, '\0') << QStringList() << QList<int>();
    QTest::newRow("records 0 and 2 used")
        << file({ a, empty, record("C3", 5, 3, 6, 300, 0) }) << QStringList{ "A1", "C3" }
        << QList<int>{ 0, 2 };
    // A first tag byte of 0 empties the record, whatever else it holds.
    QByteArray dropped = record("xDrop", 9, 2, 9, 999, 1);
    dropped[0] = 0;
    QTest::newRow("first tag byte zero") << file({ dropped, a }) << QStringList{ "A1" }
                                         << QList<int>{ 1 };
    // Zeros inside a tag keep the later characters at their own places.
    QTest::newRow("gaps in tag")
        << file({ record(QByteArray("A\0B\0\0C", 6), 0, 0, 0, 0, 0),
                  record(QByteArray("Tag\0\0\0\0", 7), 0, 0, 0, 0, 0),
                  record("Seven77", 0, 0, 0, 0, 0, 'Z') })
        << QStringList{ "A B  C", "Tag", "Seven77" } << QList<int>{ 0, 1, 2 };
    // A record that the file cuts short: what is there counts, the rest is 0.
    QTest::newRow("short last record") << file({ a }) + QByteArray("Cut\0\0\0\0\0\x05", 9)
                                       << QStringList{ "A1", "Cut" } << QList<int>{ 0, 1 };
    QByteArray full(16 + 20 * 1001, '\0');
    full.replace(16 + 20 * 999, 2, "Z9");
    full.replace(16 + 20 * 1000, 2, "NO");  // beyond the 1000 records
    QTest::newRow("only 1000 records") << full << QStringList{ "Z9" } << QList<int>{ 999 };
}

void TestCodecEventLog::records()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, tags);
    QFETCH(QList<int>, indexes);
    const QVector<EventLogEntry> entries = codec::parseEventLogFile(bytes);
    QStringList got;
    QList<int> gotIndexes;
    for (const EventLogEntry &e : entries) {
        got << e.tag;
        gotIndexes << e.index;
    }
    QCOMPARE(got, tags);
    QCOMPARE(gotIndexes, indexes);
    if (QTest::currentDataTag() == QByteArray("short last record")) {
        QCOMPARE(entries.last().valueInput, quint16(5));
        QCOMPARE(entries.last().timeStamp, quint32(0));
    }
}

void TestCodecEventLog::timeStamps_data()
{
    // The test runs with TZ at UTC+2 all year.
    QTest::addColumn<quint32>("timeStamp");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << quint32(0) << "1970-01-01 02:00:00 Thu";
    QTest::newRow("2026") << quint32(1796083200) << "2026-12-01 02:00:00 Tue";
    QTest::newRow("largest") << quint32(0xFFFFFFFF) << "2106-02-07 08:28:15 Sun";
}

void TestCodecEventLog::timeStamps()
{
    QFETCH(quint32, timeStamp);
    QFETCH(QString, shown);
    const QByteArray bytes = file({ record("T", 0, 0, 0, timeStamp, 0) });
    const QVector<EventLogEntry> entries = codec::parseEventLogFile(bytes);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().timeStamp, timeStamp);
    QCOMPARE(codec::localTimeText(timeStamp), shown);
    EventLogModel model;
    model.setList(entries);
    QCOMPARE(model.index(0, 5).data().toString(), shown);
}

void TestCodecEventLog::exportLines_data()
{
    QTest::addColumn<QByteArray>("rec");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("success") << record("Rule1", 10000, 1, 100, 0, 1)
                             << QByteArray("Rule1,10000,V-A,100,1970-01-01 02:00:00,Success\r\n");
    QTest::newRow("fail") << record("Pump", 65535, 3, 0, 1796083200, 0)
                          << QByteArray("Pump,65535,A-A,0,2026-12-01 02:00:00,Fail\r\n");
    QTest::newRow("result 2 is a failure") << record("R", 1, 0, 2, 60, 2)
                                           << QByteArray("R,1,V-V,2,1970-01-01 02:01:00,Fail\r\n");
    QTest::newRow("unknown type") << record("X", 7, 9, 8, 0, 1)
                                  << QByteArray("X,7,,8,1970-01-01 02:00:00,Success\r\n");
    QTest::newRow("8-bit tag") << record("T\xe9st", 0, 2, 0, 0, 1)
                               << QByteArray("T\xe9st,0,A-V,0,1970-01-01 02:00:00,Success\r\n");
}

void TestCodecEventLog::exportLines()
{
    QFETCH(QByteArray, rec);
    QFETCH(QByteArray, line);
    const QVector<EventLogEntry> entries = codec::parseEventLogFile(file({ rec }));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(codec::eventLogExportLine(entries.first()), line);
}

void TestCodecEventLog::sorting()
{
    const QVector<EventLogEntry> fileOrder = codec::parseEventLogFile(file({
        record("b", 30, 2, 1, 500, 1),
        record("a", 10, 3, 3, 100, 0),
        record("c", 20, 0, 2, 300, 1),
        record("B", 40, 1, 0, 200, 1),
    }));
    EventLogModel model;
    // Before any download the Result header leaves an empty table.
    model.sort(4);
    QCOMPARE(model.rowCount(), 0);

    model.setList(fileOrder);
    model.setFileOrder(fileOrder);
    QCOMPARE(tags(model), (QStringList{ "b", "a", "c", "B" }));
    model.sort(0, Qt::DescendingOrder);  // always ascending
    QCOMPARE(tags(model), (QStringList{ "B", "a", "b", "c" }));
    model.sort(2);
    QCOMPARE(tags(model), (QStringList{ "c", "B", "b", "a" }));
    model.sort(1);  // value columns keep the order
    QCOMPARE(tags(model), (QStringList{ "c", "B", "b", "a" }));
    model.sort(3);
    QCOMPARE(tags(model), (QStringList{ "c", "B", "b", "a" }));
    model.sort(5);
    QCOMPARE(tags(model), (QStringList{ "a", "B", "c", "b" }));
    model.sort(4);  // back to the file order
    QCOMPARE(tags(model), (QStringList{ "b", "a", "c", "B" }));

    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Result"));
    QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QString("TimeStamp"));
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
}

int main(int argc, char *argv[])
{
    // Local time is fixed at UTC+2 (no daylight saving) and names in English.
    qputenv("TZ", "XST-2");
    tzset();
    qputenv("LC_ALL", "C");
    QCoreApplication app(argc, argv);
    TestCodecEventLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_codec_eventlog.moc"

// Key lists: the spreadsheets of LoRaWAN identities and keys that come with
// a batch of bridges, one row per unit. A list is a CSV file with a header
// row; ',' or ';' separates the fields (whichever the header row uses), the
// columns are found by their header names without regard to case, and the
// hex values may carry blanks, colons or dashes between their bytes. Every
// row is checked when the list is read; a row with a fault is listed with
// its line and reason and is never used.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// One usable row. The hex values are kept as upper-case digits without
// separators ("70B3D57ED0051A2B").
struct KeyRow {
    int line = 0;  // the line of the file the row starts on (the header is line 1)
    QString devEui;
    QString joinEui;
    QString appKey;
    QString name;
};

struct KeyRowFault {
    int line = 0;
    QString reason;
};

struct KeyList {
    QVector<KeyRow> rows;          // the usable rows, in file order
    QVector<KeyRowFault> faults;   // the rows that can never be used
    QChar separator;
    // The index of the row with this DevEUI (any hex form), -1 when none.
    int indexOf(const QString &devEui) const;
};

namespace keylist {

constexpr int EuiBytes = 8;
constexpr int KeyBytes = 16;

// Reads a key list. False when the list cannot be used at all (no header
// with the three key columns, no usable row); `error` then says why.
bool parse(const QByteArray &data, KeyList *list, QString *error);
bool readFile(const QString &path, KeyList *list, QString *error);

// Hex of `bytes` bytes in any of the accepted forms to upper-case digits
// without separators. False with a reason ("has 7 bytes, needs 8") otherwise;
// the reason never repeats the value (it may be a key).
bool normalizeHex(const QString &text, int bytes, QString *hex, QString *reason);

// The registers of a normalized hex value, high byte first.
QVector<quint16> registers(const QString &hex);
// Registers as normalized hex.
QString hexOf(const QVector<quint16> &registers);
// "70 B3 D5 7E D0 05 1A 2B": a normalized value as people read it.
QString spaced(const QString &hex);

// What may be shown of a key: the first 8 hex digits (lower case) of the
// SHA-256 of its 16 bytes.
QString fingerprint(const QString &appKeyHex);

// CSV records of a text: fields split at `separator` outside double quotes,
// "" inside quotes as one quote, each record with the line it starts on.
// Records without any text are dropped.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
QVector<CsvRecord> splitCsv(const QString &text, QChar separator);
// One field for a CSV line: quoted when it holds the separator, a quote or
// a line break.
QString csvField(const QString &value, QChar separator = QLatin1Char(','));
QString csvLine(const QStringList &fields, QChar separator = QLatin1Char(','));

} // namespace keylist

#include "link/keylist.h"

#include "link/codec.h"
#include "link/qtcompat.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QMap>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("KeyList", text);
}

enum Column { DevEui, JoinEui, AppKey, Name, ColumnCount };

// The names a header cell may have, compared without case and without
// blanks, '_' and '-' ("Dev EUI", "dev_eui" and "DevEUI" are one name).
const QStringList &synonyms(int column)
{
    static const QStringList names[ColumnCount] = {
        { "deveui" }, { "joineui", "appeui" }, { "appkey" }, { "name", "devicename" } };
    return names[column];
}

const char *const ColumnTitles[ColumnCount] = { "DevEUI", "JoinEUI", "AppKey", "name" };
const char *const ColumnForms[ColumnCount] = { QT_TRANSLATE_NOOP("KeyList", "DevEUI or dev_eui"),
    QT_TRANSLATE_NOOP("KeyList", "JoinEUI, join_eui, AppEUI or app_eui"),
    QT_TRANSLATE_NOOP("KeyList", "AppKey or app_key"), "name" };

QString headerName(const QString &cell)
{
    QString name = cell.trimmed().toLower();
    name.remove(QLatin1Char(' ')).remove(QLatin1Char('_')).remove(QLatin1Char('-'));
    return name;
}

// The separator the header row uses: the one of ',' and ';' it has more of
// outside quotes.
QChar detectSeparator(const QString &text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') && !quoted)
            break;
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

// The column of each key field in the header; false with the reason when
// a key column is missing or named twice.
bool mapColumns(const QStringList &header, int (&columns)[ColumnCount], QString *error)
{
    std::fill(std::begin(columns), std::end(columns), -1);
    for (int i = 0; i < header.size(); ++i) {
        const QString name = headerName(header.at(i));
        for (int c = 0; c < ColumnCount; ++c) {
            if (!synonyms(c).contains(name))
                continue;
            if (columns[c] >= 0) {
                *error = tr("The header row names %1 twice (columns %2 and %3).")
                             .arg(QLatin1String(ColumnTitles[c])).arg(columns[c] + 1).arg(i + 1);
                return false;
            }
            columns[c] = i;
        }
    }
    QStringList missing;
    for (int c = DevEui; c <= AppKey; ++c)
        if (columns[c] < 0)
            missing << tr("%1 (%2)").arg(QLatin1String(ColumnTitles[c]), tr(ColumnForms[c]));
    if (missing.isEmpty())
        return true;
    *error = tr("The header row has no column for %1.").arg(missing.join(tr(", no column for ")));
    return false;
}

// Checks one record; the faults of its fields joined, or the row.
QString readRow(const keylist::CsvRecord &record, const int (&columns)[ColumnCount], KeyRow *row)
{
    const int bytes[] = { keylist::EuiBytes, keylist::EuiBytes, keylist::KeyBytes };
    QString *values[] = { &row->devEui, &row->joinEui, &row->appKey };
    QStringList faults;
    for (int c = DevEui; c <= AppKey; ++c) {
        QString reason;
        if (!keylist::normalizeHex(record.fields.value(columns[c]), bytes[c], values[c], &reason))
            faults << QStringLiteral("%1 %2").arg(QLatin1String(ColumnTitles[c]), reason);
    }
    row->line = record.line;
    if (columns[Name] >= 0)
        row->name = record.fields.value(columns[Name]).trimmed();
    return faults.join(QLatin1String("; "));
}

// Rows whose DevEUI another row has too: none of them can be trusted.
void dropDuplicates(KeyList *list)
{
    QMap<QString, QVector<int>> lines;
    for (const KeyRow &row : list->rows)
        lines[row.devEui] << row.line;
    QVector<KeyRow> kept;
    for (const KeyRow &row : list->rows) {
        const QVector<int> &same = lines.value(row.devEui);
        if (same.size() == 1) {
            kept << row;
            continue;
        }
        QStringList others;
        for (int line : same)
            if (line != row.line)
                others << QString::number(line);
        list->faults << KeyRowFault{ row.line, (others.size() == 1 ? tr("DevEUI also on line %1")
                                                                    : tr("DevEUI also on lines %1"))
                                                   .arg(others.join(QLatin1String(", "))) };
    }
    list->rows = kept;
    std::sort(list->faults.begin(), list->faults.end(),
              [](const KeyRowFault &a, const KeyRowFault &b) { return a.line < b.line; });
}

} // namespace

int KeyList::indexOf(const QString &devEui) const
{
    QString hex, reason;
    if (!keylist::normalizeHex(devEui, keylist::EuiBytes, &hex, &reason))
        return -1;
    for (int i = 0; i < rows.size(); ++i)
        if (rows.at(i).devEui == hex)
            return i;
    return -1;
}

namespace keylist {

bool parse(const QByteArray &data, KeyList *list, QString *error)
{
    *list = KeyList();
    // A byte order mark says UTF-16 or UTF-8; without one, UTF-8.
    const QString text = qtcompat::decodeUtfText(data);
    list->separator = detectSeparator(text);
    const QVector<CsvRecord> records = splitCsv(text, list->separator);
    if (records.isEmpty()) {
        *error = tr("The key list is empty.");
        return false;
    }
    int columns[ColumnCount];
    if (!mapColumns(records.first().fields, columns, error))
        return false;
    for (int i = 1; i < records.size(); ++i) {
        KeyRow row;
        const QString fault = readRow(records.at(i), columns, &row);
        if (fault.isEmpty())
            list->rows << row;
        else
            list->faults << KeyRowFault{ row.line, fault };
    }
    dropDuplicates(list);
    if (!list->rows.isEmpty())
        return true;
    *error = records.size() == 1 ? tr("The key list has no rows below its header.")
                                 : tr("The key list has no usable row: each of its %1 rows has "
                                      "a fault.").arg(records.size() - 1);
    return false;
}

bool readFile(const QString &path, KeyList *list, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return parse(file.readAll(), list, error);
}

bool normalizeHex(const QString &text, int bytes, QString *hex, QString *reason)
{
    QString digits = text.trimmed();
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    const bool isHex = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
    });
    if (digits.isEmpty())
        *reason = tr("is empty");
    else if (!isHex)
        *reason = tr("is not hexadecimal");
    else if (digits.size() % 2)
        *reason = tr("has %1 hex digits, needs %2").arg(digits.size()).arg(2 * bytes);
    else if (digits.size() != 2 * bytes)
        *reason = tr("has %1 bytes, needs %2").arg(digits.size() / 2).arg(bytes);
    else {
        *hex = digits.toUpper();
        return true;
    }
    return false;
}

QVector<quint16> registers(const QString &hex)
{
    QVector<quint16> regs;
    codec::parseHexBlock(hex, hex.size() / 2, &regs);
    return regs;
}

QString hexOf(const QVector<quint16> &registers)
{
    return codec::registersToHexText(registers).remove(QLatin1Char(' '));
}

QString spaced(const QString &hex)
{
    return codec::registersToHexText(registers(hex));
}

QString fingerprint(const QString &appKeyHex)
{
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromHex(appKeyHex.toLatin1()),
                                                       QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(8));
}

QVector<CsvRecord> splitCsv(const QString &text, QChar separator)
{
    QVector<CsvRecord> records;
    CsvRecord record{ 1, {} };
    QString field;
    bool quoted = false, fieldQuoted = false;
    int line = 1;
    const auto endRecord = [&] {
        record.fields << field.trimmed();
        bool blank = true;
        for (const QString &f : record.fields)
            blank = blank && f.trimmed().isEmpty();
        if (!blank)
            records << record;
        record = CsvRecord{ line, {} };
        field.clear();
        fieldQuoted = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n'))
            ++line;
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty() && !fieldQuoted) {
            quoted = fieldQuoted = true;
            field.clear();
        } else if (c == separator) {
            record.fields << field.trimmed();
            field.clear();
            fieldQuoted = false;
        } else if (c == QLatin1Char('\n')) {
            endRecord();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    endRecord();
    return records;
}

QString csvField(const QString &value, QChar separator)
{
    if (!value.contains(separator) && !value.contains(QLatin1Char('"'))
        && !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList &fields, QChar separator)
{
    QStringList cells;
    for (const QString &f : fields)
        cells << csvField(f, separator);
    return cells.join(separator) + QLatin1Char('\n');
}

} // namespace keylist

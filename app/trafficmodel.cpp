#include "app/trafficmodel.h"

#include "link/codec.h"
#include "link/pacing.h"
#include "link/registermap.h"

#include <QColor>
#include <QElapsedTimer>
#include <algorithm>
#include <iterator>

TrafficModel::TrafficModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &TrafficModel::flush);
    m_textTimer.setSingleShot(true);
    connect(&m_textTimer, &QTimer::timeout, this, &TrafficModel::makeTexts);
}

void TrafficModel::add(const TrafficRecord &record)
{
    m_pending.push_back(Entry{ record, nullptr, QString() });
    // The page that asked paints its answer first; the row follows.
    if (!m_flushTimer.isActive())
        m_flushTimer.start(pacing::ms(GatherMs));
}

void TrafficModel::flush()
{
    if (m_pending.empty())
        return;
    if (m_pending.size() > size_t(MaxRows))
        m_pending.erase(m_pending.begin(), m_pending.end() - MaxRows);
    // With a filter on, each row is formatted as it is added: take what
    // fits in a slice of time and leave the rest for the next turn.
    QElapsedTimer clock;
    clock.start();
    int ready = 0;
    for (Entry &e : m_pending) {
        const TrafficRecord &r = e.record;
        // The identified model decides how some fields read.
        if (r.kind == TrafficRecord::Read && r.start == regmap::ModelStart
            && r.error == QModbusDevice::NoError && r.values.size() == regmap::ModelCount)
            m_context.model = codec::zeroEndedText(r.values);
        ++ready;
        if (m_textsNeeded) {
            rowText(e);
            if (clock.elapsed() >= 15)
                break;
        }
    }
    const int overflow = int(m_rows.size()) + ready - MaxRows;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, overflow - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + overflow);
        m_texted -= std::min(m_texted, size_t(overflow));
        endRemoveRows();
    }
    const int first = int(m_rows.size());
    if (m_textsNeeded && m_texted == m_rows.size())
        m_texted += size_t(ready);
    beginInsertRows(QModelIndex(), first, first + ready - 1);
    std::move(m_pending.begin(), m_pending.begin() + ready, std::back_inserter(m_rows));
    m_pending.erase(m_pending.begin(), m_pending.begin() + ready);
    endInsertRows();
    if (!m_pending.empty())
        m_flushTimer.start(0);
}

void TrafficModel::clear()
{
    m_pending.clear();
    beginResetModel();
    m_rows.clear();
    m_texted = 0;
    endResetModel();
}

void TrafficModel::setShowKeys(bool show)
{
    if (m_context.showKeys == show)
        return;
    m_context.showKeys = show;
    for (const auto *entries : { &m_rows, &m_pending }) {
        for (const Entry &e : *entries) {
            e.row.reset();
            e.text.clear();
        }
    }
    m_texted = 0;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TrafficModel::setTextsNeeded(bool needed)
{
    m_textsNeeded = needed;
    if (!needed) {
        m_textTimer.stop();
        return;
    }
    // A few rows are quicker made now than waited for.
    if (m_rows.size() - m_texted <= size_t(InstantTexts)) {
        while (!hasAllTexts())
            rowText(m_rows[m_texted++]);
    }
    if (!hasAllTexts() && !m_textTimer.isActive())
        m_textTimer.start(0);
}

// A slice of the rows still without texts; the window stays responsive.
void TrafficModel::makeTexts()
{
    QElapsedTimer clock;
    clock.start();
    while (!hasAllTexts() && clock.elapsed() < 10)
        rowText(m_rows[m_texted++]);
    if (hasAllTexts())
        emit textsReady();
    else
        m_textTimer.start(0);
}

const traffic::Row &TrafficModel::row(int i) const
{
    return row(m_rows.at(size_t(i)));
}

const QString &TrafficModel::rowText(int i) const
{
    return rowText(m_rows.at(size_t(i)));
}

const traffic::Row &TrafficModel::row(const Entry &e) const
{
    if (!e.row)
        e.row.reset(new traffic::Row(traffic::format(e.record, m_context)));
    return *e.row;
}

const QString &TrafficModel::rowText(const Entry &e) const
{
    if (e.text.isEmpty()) {
        const traffic::Row &r = row(e);
        e.text = r.columns().join(QLatin1Char('\n')) + QLatin1Char('\n') + r.request
                 + QLatin1Char('\n') + r.reply;
    }
    return e.text;
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return row(index.row()).columns().value(column);
    case Qt::ToolTipRole:
        if (column == Registers || column == Values || column == Result)
            return row(index.row()).columns().value(column);
        break;
    case Qt::ForegroundRole:
        if (column == Result && row(index.row()).result != tr("OK"))
            return QColor(0xE0, 0x50, 0x50);  // reads on the light and the dark theme
        break;
    case Qt::TextAlignmentRole:
        if (column == Ms || column == Server)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return QVariant();
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList titles{ tr("Time"),   tr("R/W"),    tr("Server"), tr("Function"),
                              tr("Registers"), tr("Values"), tr("Result"), tr("ms") };
    return titles.value(section);
}

QString TrafficModel::tabText(const QVector<const traffic::Row *> &rows)
{
    QString text;
    for (const traffic::Row *r : rows)
        text += r->columns().join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

namespace {
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
}

QString TrafficModel::csvText(const QVector<const traffic::Row *> &rows)
{
    QString text = QStringLiteral("time,R/W,server,function,registers,values,result,ms,request,reply\n");
    for (const traffic::Row *r : rows) {
        const QStringList texts = r->columns() << r->request << r->reply;
        QStringList fields;
        for (const QString &f : texts)
            fields << csvField(f);
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

QString TrafficModel::plainText(const QVector<const traffic::Row *> &rows)
{
    QString text;
    for (const traffic::Row *r : rows) {
        QStringList columns = r->columns();
        columns.last() += QStringLiteral(" ms");
        columns.removeAll(QString());
        text += columns.join(QLatin1String("  ")) + QLatin1Char('\n');
        if (!r->request.isEmpty())
            text += QStringLiteral("    request %1\n").arg(r->request);
        if (!r->reply.isEmpty())
            text += QStringLiteral("    reply   %1\n").arg(r->reply);
    }
    return text;
}

TrafficFilter::TrafficFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    // A row is judged when it arrives and when the filter changes; rows whose
    // texts are remade ("Show keys") wait for the filter to be set again, so
    // that all of them are not remade in one go.
    setDynamicSortFilter(false);
}

void TrafficFilter::setText(const QString &text)
{
    m_text = text.trimmed();
    invalidate();  // one relayout, not a removal per hidden run of rows
}

bool TrafficFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_text.isEmpty())
        return true;
    const auto *model = static_cast<const TrafficModel *>(sourceModel());
    return model->rowText(sourceRow).contains(m_text, Qt::CaseInsensitive);
}

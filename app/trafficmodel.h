// The rows of the traffic view: the last records of the link, each turned
// into texts only when first shown, filtered or saved. Records that arrive
// together (a burst of requests, a profile's blocks) are added in one go
// from the event loop, and the oldest rows beyond the limit leave in one go.
// While a filter needs every row's texts, they are made before the rows are
// added, a few milliseconds' worth per turn of the event loop.
#pragma once

#include "link/traffic.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <deque>
#include <memory>

class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 10000;
    static constexpr int GatherMs = 100;
    enum Column { Time, Direction, Server, Function, Registers, Values, Result, Ms, ColumnCount };

    explicit TrafficModel(QObject *parent = nullptr);

    // Shown a moment later, with whatever else arrives in that time.
    void add(const TrafficRecord &record);
    // Shows what has arrived now (with a filter on, a slice of it).
    void flush();
    void clear();
    void setShowKeys(bool show);
    // Whether every row's texts are needed as it arrives (a filter is on).
    void setTextsNeeded(bool needed);

    const traffic::Row &row(int index) const;
    // Every text of a row, for the filter.
    const QString &rowText(int index) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows as text: tab-separated columns; CSV with a header and the
    // frames; or text lines with the frames below each row.
    static QString tabText(const QVector<const traffic::Row *> &rows);
    static QString csvText(const QVector<const traffic::Row *> &rows);
    static QString plainText(const QVector<const traffic::Row *> &rows);

private:
    struct Entry {
        TrafficRecord record;
        mutable std::unique_ptr<traffic::Row> row;  // made when first needed
        mutable QString text;
    };
    const traffic::Row &row(const Entry &e) const;
    const QString &rowText(const Entry &e) const;

    std::deque<Entry> m_rows;
    std::deque<Entry> m_pending;
    traffic::Context m_context;
    QTimer m_flushTimer;
    bool m_textsNeeded = false;
};

// Rows whose texts contain the filter text (any case).
class TrafficFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
};

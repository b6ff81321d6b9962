// The rows of the traffic view: the last records of the link, each turned
// into texts only when first shown, filtered or saved. Records that arrive
// together (a burst of requests, a profile's blocks) are added in one go
// from the event loop, and the oldest rows beyond the limit leave in one go.
// While a filter needs every row's texts, they are made a few milliseconds'
// worth per turn of the event loop: for arriving rows before they are added,
// for rows already shown until all have them (then textsReady()).
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
    static constexpr int InstantTexts = 200;  // made in one go; more take turns
    enum Column { Time, Direction, Server, Function, Registers, Values, Result, Ms, ColumnCount };

    explicit TrafficModel(QObject *parent = nullptr);

    // Shown a moment later, with whatever else arrives in that time.
    void add(const TrafficRecord &record);
    // Shows what has arrived now (with a filter on, a slice of it).
    void flush();
    void clear();
    void setShowKeys(bool show);
    // Whether every row's texts are needed (a filter is on); those missing
    // are made in slices, and textsReady() follows when all rows have them.
    void setTextsNeeded(bool needed);
    bool hasAllTexts() const { return m_texted == m_rows.size(); }

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

signals:
    void textsReady();

private:
    struct Entry {
        TrafficRecord record;
        mutable std::unique_ptr<traffic::Row> row;  // made when first needed
        mutable QString text;
    };
    const traffic::Row &row(const Entry &e) const;
    const QString &rowText(const Entry &e) const;
    void makeTexts();

    std::deque<Entry> m_rows;
    std::deque<Entry> m_pending;
    traffic::Context m_context;
    QTimer m_flushTimer;
    QTimer m_textTimer;
    size_t m_texted = 0;  // the rows before it have their texts
    bool m_textsNeeded = false;
};

// Rows whose texts contain the filter text (any case).
class TrafficFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit TrafficFilter(QObject *parent = nullptr);
    void setText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
};

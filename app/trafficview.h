// View > Traffic: every request of the link as a row (time, read or write,
// server, function, registers with their block and field names, the values
// decoded, the result, the round trip) with the request and reply frames of
// the selected row beside them. Filter, Pause, Clear, Copy and Save act on
// the rows; "Show keys" unmasks keys in this view only. Nothing is kept
// between runs.
#pragma once

#include "link/traffic.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace Ui { class TrafficView; }

class Link;
class QAction;
class QMainWindow;
class TrafficFilter;
class TrafficModel;

class TrafficView : public QWidget
{
    Q_OBJECT
public:
    // The file to save to, given a suggested name; empty cancels. A name
    // ending in ".csv" is written as CSV, any other as text.
    using FileChooser = std::function<QString(QWidget *parent, const QString &suggested)>;

    explicit TrafficView(Link *link, QWidget *parent = nullptr);
    ~TrafficView() override;

    // Puts a view of `link` into a dock at the bottom of `window`, hidden;
    // the checkable `action` shows and hides it. While docked the window is
    // taller by the dock, so no page loses room.
    static TrafficView *install(QMainWindow *window, Link *link, QAction *action);

    // Records are taken while the view is open and not paused; otherwise
    // nothing listens to the link.
    void setOpen(bool open);
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    TrafficModel *model() const { return m_model; }

private slots:
    void on_trafficFilter_textChanged(const QString &text);
    void on_trafficPause_toggled(bool paused);
    void on_trafficClear_clicked();
    void on_trafficCopy_clicked();
    void on_trafficSave_clicked();
    void on_trafficShowKeys_toggled(bool show);

private:
    void listen();
    // Filters by the box's text once every row has its texts; until then
    // the rows stay as they are and the count says "Filtering…".
    void applyFilter();
    void showDetail();
    void updateCount();
    void setColumnWidths();
    QVector<const traffic::Row *> rows(bool selectedOnly) const;

    Ui::TrafficView *ui;
    QPointer<Link> m_link;  // the window deletes it before its docks
    TrafficModel *m_model;
    TrafficFilter *m_filter;
    FileChooser m_chooser;
    bool m_open = false;
    bool m_follow = true;  // keep the newest row in sight
    bool m_filtering = false;  // waiting for the rows' texts
    QMetaObject::Connection m_listening;
};

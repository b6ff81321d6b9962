// The event log, downloaded from the bridge.
#pragma once

#include <QWidget>

namespace Ui { class EventLogPage; }

class Link;

class EventLogPage : public QWidget
{
    Q_OBJECT
public:
    explicit EventLogPage(Link *link, QWidget *parent = nullptr);
    ~EventLogPage() override;

private:
    Ui::EventLogPage *ui;
    Link *m_link;
};

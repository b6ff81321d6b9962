// The chain monitor: results of rule execution.
#pragma once

#include <QWidget>

namespace Ui { class MonitorPage; }

class Link;

class MonitorPage : public QWidget
{
    Q_OBJECT
public:
    explicit MonitorPage(Link *link, QWidget *parent = nullptr);
    ~MonitorPage() override;

private:
    Ui::MonitorPage *ui;
    Link *m_link;
};

// Sensor timing, clock, time zone and hourly schedule.
#pragma once

#include <QWidget>

namespace Ui { class TimeSettingPage; }

class Link;

class TimeSettingPage : public QWidget
{
    Q_OBJECT
public:
    explicit TimeSettingPage(Link *link, QWidget *parent = nullptr);
    ~TimeSettingPage() override;

private:
    Ui::TimeSettingPage *ui;
    Link *m_link;
};

// The "TimeSetting" page: the bridge's clock and time zone, and whether it
// uploads after a countdown of minutes or at the hours of a daily schedule.
#pragma once

#include <QVector>
#include <QWidget>

namespace Ui { class TimeSettingPage; }

class Link;
class QAbstractButton;
class QCheckBox;

class TimeSettingPage : public QWidget
{
    Q_OBJECT
public:
    explicit TimeSettingPage(Link *link, QWidget *parent = nullptr);
    ~TimeSettingPage() override;

    // The window carries a second pair of schedule buttons of its own; they
    // run the same Check and Set as the schedule group's buttons.
    void attachScheduleButtons(QAbstractButton *check, QAbstractButton *set);

public slots:
    // The schedule's Check (read the hours and the mode) and Set (write the hours).
    void sensorTimeCheck();
    void sensorTimeSet();

private slots:
    void on_sensorTSChkButton_clicked();
    void on_sensorTSSetBtn_clicked();
    void on_sensorTZChkButton_clicked();
    void on_sensorTZSetBtn_clicked();
    void on_sensorCountdownCheckButton_clicked();
    void on_sensorIntervalSetPushButton_2_clicked();
    void on_sensorCTRadioButton_clicked();
    void on_sensorSTradioButton_clicked();
    void on_sensorTimeCheckPushButton_2_clicked();
    void on_sensorTimeSetPushButton_2_clicked();

private:
    void readMode();
    void sensorFormatReadReady(const QVector<quint16> &values);
    void sensorTimeReadReady(const QVector<quint16> &values);
    QCheckBox *hourBox(int hour) const;

    Ui::TimeSettingPage *ui;
    Link *m_link;
};

// The "TMO I/O" page: what the current and voltage outputs hold after a
// communication time-out. Each setting is one holding register: an enable
// flag, a polling interval in seconds and the value to hold.
#pragma once

#include <QWidget>

namespace Ui { class TmoPage; }

class Link;

class TmoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TmoPage(Link *link, QWidget *parent = nullptr);
    ~TmoPage() override;

    // Run when the tab becomes current: reads the two enable flags.
    void readEnables();

private slots:
    void on_currentEnableCheckBox_clicked();
    void on_voltageEnableCheckBox_clicked();
    void on_currentPollReadPushButton_clicked();
    void on_currentPollWritePushButton_clicked();
    void on_voltagePollReadPushButton_clicked();
    void on_voltagePollWritePushButton_clicked();
    void on_voltageOutReadPushButton_clicked();
    void on_voltageOutWritePushButton_clicked();
    void on_currentOutReadPushButton_clicked();
    void on_currentOutWritePushButton_clicked();

private:
    void writeEnable(quint16 address, bool enabled);

    Ui::TmoPage *ui;
    Link *m_link;
};

// "PC Serial Settings": the PC side's serial parameters, kept in memory.
// The link itself always uses the bridge's fixed 9600 8N1 parameters.
#pragma once

#include <QDialog>

namespace Ui { class SettingsDialog; }

class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    struct Settings {
        int parity = 0;          // a QSerialPort::Parity value
        int baud = 115200;
        int dataBits = 8;
        int stopBits = 1;        // a QSerialPort::StopBits value
        int responseTime = 1000; // ms
        int numberOfRetries = 1;
    };

    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    Settings settings() const { return m_settings; }

private:
    void apply();

    Settings m_settings;
    Ui::SettingsDialog *ui;
};

#include "app/settingsdialog.h"
#include "ui_settingsdialog.h"

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::SettingsDialog)
{
    ui->setupUi(this);
    ui->parityCombo->setCurrentIndex(0);
    ui->baudCombo->setCurrentText(QString::number(m_settings.baud));
    ui->dataBitsCombo->setCurrentText(QString::number(m_settings.dataBits));
    ui->stopBitsCombo->setCurrentText(QString::number(m_settings.stopBits));
    ui->timeoutSpinner->setValue(m_settings.responseTime);
    ui->retriesSpinner->setValue(m_settings.numberOfRetries);
    connect(ui->applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
}

SettingsDialog::~SettingsDialog()
{
    delete ui;
}

void SettingsDialog::apply()
{
    // The combo lists No, Even, Odd, Space, Mark; QSerialPort numbers them
    // 0, 2, 3, 4, 5.
    const int parityIndex = ui->parityCombo->currentIndex();
    m_settings.parity = parityIndex > 0 ? parityIndex + 1 : 0;
    m_settings.baud = ui->baudCombo->currentText().toInt();
    m_settings.dataBits = ui->dataBitsCombo->currentText().toInt();
    m_settings.stopBits = ui->stopBitsCombo->currentText().toInt();
    m_settings.responseTime = ui->timeoutSpinner->value();
    m_settings.numberOfRetries = ui->retriesSpinner->value();
    hide();
}

#include "pages/io/tmopage.h"
#include "ui_tmopage.h"

#include "link/codec.h"
#include "link/link.h"
#include "pages/pagerequests.h"

#include <QMessageBox>
#include <cmath>

namespace {
constexpr quint16 VoltageHoldEnable = 900;
constexpr quint16 VoltagePollInterval = 901;
constexpr quint16 VoltageHoldValue = 902;   // mV
constexpr quint16 CurrentHoldEnable = 903;
constexpr quint16 CurrentPollInterval = 904;
constexpr quint16 CurrentHoldValue = 905;   // thousandths of a mA

constexpr double MinCurrentMilliamps = 4;
constexpr double MaxCurrentMilliamps = 20;
constexpr qlonglong MaxVoltageMillivolts = 10000;
constexpr int MilliampDigits = 6;
}

TmoPage::TmoPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::TmoPage), m_link(link)
{
    ui->setupUi(this);
}

TmoPage::~TmoPage()
{
    delete ui;
}

void TmoPage::readEnables()
{
    readIntoCheckBox(m_link, CurrentHoldEnable, ui->currentEnableCheckBox);
    readIntoCheckBox(m_link, VoltageHoldEnable, ui->voltageEnableCheckBox);
}

void TmoPage::writeEnable(quint16 address, bool enabled)
{
    // The box keeps its new state even when the write fails; the error
    // stays on the status bar and the next showing of the tab reads it back.
    m_link->write(address, { quint16(enabled ? 1 : 0) }, this);
}

void TmoPage::on_currentEnableCheckBox_clicked()
{
    writeEnable(CurrentHoldEnable, ui->currentEnableCheckBox->isChecked());
}

void TmoPage::on_voltageEnableCheckBox_clicked()
{
    writeEnable(VoltageHoldEnable, ui->voltageEnableCheckBox->isChecked());
}

void TmoPage::on_currentPollReadPushButton_clicked()
{
    readIntoLineEdit(m_link, CurrentPollInterval, ui->currentInterlLineEdit);
}

void TmoPage::on_currentPollWritePushButton_clicked()
{
    writeLineEditRegister(m_link, ui->currentInterlLineEdit, CurrentPollInterval);
}

void TmoPage::on_voltagePollReadPushButton_clicked()
{
    readIntoLineEdit(m_link, VoltagePollInterval, ui->voltageInterlLineEdit);
}

void TmoPage::on_voltagePollWritePushButton_clicked()
{
    writeLineEditRegister(m_link, ui->voltageInterlLineEdit, VoltagePollInterval);
}

void TmoPage::on_voltageOutReadPushButton_clicked()
{
    readIntoLineEdit(m_link, VoltageHoldValue, ui->voltageOutValLineEdit);
}

void TmoPage::on_voltageOutWritePushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    qint64 millivolts = 0;
    // An empty field or a text that is not a whole number is refused rather
    // than sent as 0 mV.
    if (!codec::numberInRange(ui->voltageOutValLineEdit->text(), 0, MaxVoltageMillivolts,
                              &millivolts)) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Please set Current value less than 10000mV."));
        return;
    }
    m_link->write(VoltageHoldValue, { quint16(millivolts) }, this);
}

void TmoPage::on_currentOutReadPushButton_clicked()
{
    m_link->readSingleRegister(CurrentHoldValue, this, [this](const QVector<quint16> &v) {
        ui->currentOutValLineEdit->setText(codec::microampsText(codec::valueAt(v, 0),
                                                                MilliampDigits));
    });
}

void TmoPage::on_currentOutWritePushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    bool ok = false;
    double milliamps = ui->currentOutValLineEdit->text().toDouble(&ok);
    if (!ok || !std::isfinite(milliamps))
        milliamps = 0;  // not a number: refused as too small
    if (milliamps > MaxCurrentMilliamps) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Please set Current value less than 20mA."));
        return;
    }
    if (milliamps < MinCurrentMilliamps) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Please set Current value greater than 4mA."));
        return;
    }
    m_link->write(CurrentHoldValue, { codec::microampsFromMilliamps(milliamps) }, this);
}

#include "pages/io/iopage.h"
#include "ui_iopage.h"

#include "link/codec.h"
#include "link/link.h"

#include <QModbusClient>
#include <cmath>

namespace {
// Base registers of the rows; channel c of a row is at base + c (+ 2c for PWM).
constexpr quint16 CurrentInputBase = 1000;
constexpr quint16 VoltageInputBase = 1016;
constexpr quint16 PwmInputBase = 1032;
constexpr quint16 CurrentOutputBase = 1064;
constexpr quint16 VoltageOutputBase = 1080;
constexpr quint16 PwmOutputBase = 1096;

// Output limits.
constexpr double MinCurrentMicroamps = 4000;
constexpr double MaxCurrentMicroamps = 20000;
constexpr double MaxVoltageMillivolts = 10000;
// The PWM output takes up to 100000 Hz, but its frequency register is 16 bits
// wide: a frequency above 65535 would be cut.
constexpr qulonglong MaxPwmFrequency = 100000;
constexpr qulonglong MaxPwmRegister = 65535;
constexpr int MaxPwmDuty = 100;

constexpr int MilliampDigits = 5;
}

IoPage::IoPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::IoPage), m_link(link)
{
    ui->setupUi(this);
}

IoPage::~IoPage()
{
    delete ui;
}

void IoPage::setChannels(const ModelGating::Channels &channels)
{
    const std::pair<QComboBox *, const QStringList *> boxes[] = {
        { ui->currentInputComboBox, &channels.currentInputs },
        { ui->currentOutputComboBox, &channels.currentOutputs },
        { ui->voltageInputComboBox, &channels.voltageInputs },
        { ui->voltageOutputcomboBox, &channels.voltageOutputs },
        { ui->PWMInputComboBox, &channels.pwmInputs },
        { ui->PWMOutputComboBox, &channels.pwmOutputs },
    };
    for (const auto &box : boxes) {
        box.first->clear();
        box.first->addItems(*box.second);
    }
}

quint16 IoPage::channelRegister(quint16 base, int stride, const QComboBox *box) const
{
    return codec::channelRegister(base, codec::channelNumber(box->currentText()), stride);
}

void IoPage::readChannel(quint16 base, int stride, quint16 count, QComboBox *box,
                         QLineEdit *field, QLineEdit *second, Shown shown)
{
    if (!m_link->device())
        return;
    // Cleared first, so a failed read leaves no stale value behind.
    field->clear();
    RequestOptions options;
    options.showOk = false;
    m_link->read(channelRegister(base, stride, box), count, this,
                 [field, second, shown](const QVector<quint16> &v) {
                     switch (shown) {
                     case Shown::Milliamps:
                         field->setText(codec::microampsText(codec::valueAt(v, 0), MilliampDigits));
                         break;
                     case Shown::Plain:
                         field->setText(QString::number(codec::valueAt(v, 0)));
                         break;
                     case Shown::Pair:
                         field->setText(QString::number(codec::valueAt(v, 0)));
                         second->setText(QString::number(codec::valueAt(v, 1)));
                         break;
                     }
                 },
                 options);
}

void IoPage::on_currentInputPushButton_clicked()
{
    readChannel(CurrentInputBase, 1, 1, ui->currentInputComboBox, ui->currentInputLineEdit,
                nullptr, Shown::Milliamps);
}

void IoPage::on_voltageInputPushButton_clicked()
{
    readChannel(VoltageInputBase, 1, 1, ui->voltageInputComboBox, ui->voltageInputLineEdit,
                nullptr, Shown::Plain);
}

void IoPage::on_PWMInputPushButton_clicked()
{
    readChannel(PwmInputBase, 2, 2, ui->PWMInputComboBox, ui->PWMInputlineEdit,
                ui->PWMInputlineEdit2, Shown::Pair);
}

void IoPage::on_currentOutputReadPushButton_clicked()
{
    readChannel(CurrentOutputBase, 1, 1, ui->currentOutputComboBox, ui->currentOutputLineEdit,
                nullptr, Shown::Milliamps);
}

void IoPage::on_rvPshBtn_clicked()
{
    readChannel(VoltageOutputBase, 1, 1, ui->voltageOutputcomboBox, ui->voltageOutputLineEdit,
                nullptr, Shown::Plain);
}

void IoPage::on_PwmOutputReadPushButton_clicked()
{
    readChannel(PwmOutputBase, 2, 2, ui->PWMOutputComboBox, ui->PWMOutputlineEdit,
                ui->PWMOutputLineEdit2, Shown::Pair);
}

void IoPage::on_currentOutputPushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    const quint16 address = channelRegister(CurrentOutputBase, 1, ui->currentOutputComboBox);
    bool ok = false;
    double milliamps = ui->currentOutputLineEdit->text().toDouble(&ok);
    if (!ok || !std::isfinite(milliamps))
        milliamps = 0;  // not a number: refused as too small
    const double microamps = milliamps * 1000;
    if (microamps < MinCurrentMicroamps) {
        m_link->showMessage(tr("Set Current Error: current output must bigger than 4mA"), 0);
        return;
    }
    if (microamps > MaxCurrentMicroamps) {
        m_link->showMessage(tr("Set Current Error: current output must less than 20mA"), 0);
        return;
    }
    m_link->write(address, { codec::microampsFromMilliamps(milliamps) }, this);
}

void IoPage::on_voltageOutputPushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    const quint16 address = channelRegister(VoltageOutputBase, 1, ui->voltageOutputcomboBox);
    bool ok = false;
    // Whole millivolts: a fraction is cut off (2500.9 gives 2500).
    const double millivolts = std::trunc(ui->voltageOutputLineEdit->text().toDouble(&ok));
    // An empty field or a text that is not a number is refused rather than
    // sent as 0 mV.
    if (!ok || !(millivolts >= 0 && millivolts <= MaxVoltageMillivolts)) {
        m_link->showMessage(tr("Set Voltage Error: voltage output must less than 10000mv"), 0);
        return;
    }
    m_link->write(address, { quint16(millivolts) }, this);
}

void IoPage::on_PWMOutputPushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    const quint16 address = channelRegister(PwmOutputBase, 2, ui->PWMOutputComboBox);
    // Both fields must be whole numbers in range; an empty or garbled field is
    // refused rather than sent as 0 (which would stop the output).
    bool ok = false;
    const qulonglong frequency = ui->PWMOutputlineEdit->text().toULongLong(&ok);
    if (!ok || frequency > MaxPwmFrequency) {
        m_link->showMessage(tr("Set Frequency Error: frequency output must less than 100000Hz"), 0);
        return;
    }
    if (frequency > MaxPwmRegister) {
        m_link->showMessage(tr("Set Frequency Error: frequency output must be at most 65535Hz"), 0);
        return;
    }
    qint64 duty = 0;
    if (!codec::numberInRange(ui->PWMOutputLineEdit2->text(), 0, MaxPwmDuty, &duty)) {
        m_link->showMessage(tr("Set Occupu Error: occupy output must less than 100%"), 0);
        return;
    }
    // A successful PWM write shows nothing; only failures are reported.
    RequestOptions options;
    options.showOk = false;
    m_link->write(address, { quint16(frequency), quint16(duty) }, this, Link::WriteDone(), options);
}

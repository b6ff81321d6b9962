#include "pages/radio/lorawanpage.h"
#include "ui_lorawanpage.h"

#include "link/codec.h"
#include "link/link.h"

namespace {
constexpr quint16 ActivationRegister = 256;
constexpr quint16 ConfirmedUplinkRegister = 257;
}

LoraWanPage::LoraWanPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::LoraWanPage), m_link(link)
{
    ui->setupUi(this);
}

LoraWanPage::~LoraWanPage()
{
    delete ui;
}

void LoraWanPage::readActivation(bool report)
{
    Link::Options options;
    options.showOk = report;
    options.clearStatus = report;
    m_link->read(ActivationRegister, 1, this,
                 [this](const QVector<quint16> &v) { joinNetTypeReadReady(v); }, options);
    m_link->read(ConfirmedUplinkRegister, 1, this,
                 [this](const QVector<quint16> &v) { upLinkAckReadReady(v); }, options);
}

void LoraWanPage::joinNetTypeReadReady(const QVector<quint16> &v)
{
    const int method = codec::signedValue(codec::valueAt(v, 0));
    if (method == 1) {
        ui->otaaEnable->setChecked(true);
        ui->abpEnable->setChecked(false);
    } else if (method == 0) {
        ui->otaaEnable->setChecked(false);
        ui->abpEnable->setChecked(true);
    }
}

void LoraWanPage::upLinkAckReadReady(const QVector<quint16> &v)
{
    const int confirmed = codec::signedValue(codec::valueAt(v, 0));
    if (confirmed == 1)
        ui->txConfirmCheckBox->setChecked(true);
    else if (confirmed == 0)
        ui->txConfirmCheckBox->setChecked(false);
}

void LoraWanPage::on_otaaEnable_clicked()
{
    ui->abpEnable->setChecked(false);
    m_link->write(ActivationRegister, { 1 }, this);
}

void LoraWanPage::on_abpEnable_clicked()
{
    ui->otaaEnable->setChecked(false);
    m_link->write(ActivationRegister, { 0 }, this);
}

void LoraWanPage::on_txConfirmCheckBox_clicked()
{
    m_link->write(ConfirmedUplinkRegister, { quint16(ui->txConfirmCheckBox->isChecked() ? 1 : 0) },
                  this);
}

#include "pages/radio/lorawanpage.h"
#include "ui_lorawanpage.h"

#include "link/codec.h"
#include "link/link.h"

#include <QMessageBox>

namespace {
constexpr quint16 ActivationRegister = 256;
constexpr quint16 ConfirmedUplinkRegister = 257;

enum Field { DevEui, AppEui, AppKey, DevAddr, AppsKey, NwksKey };
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

void LoraWanPage::showActivationMethod(int method)
{
    if (method == 1) {
        ui->otaaEnable->setChecked(true);
        ui->abpEnable->setChecked(false);
    } else if (method == 0) {
        ui->otaaEnable->setChecked(false);
        ui->abpEnable->setChecked(true);
    }
}

void LoraWanPage::showConfirmedUplinks(int confirmed)
{
    if (confirmed == 1)
        ui->txConfirmCheckBox->setChecked(true);
    else if (confirmed == 0)
        ui->txConfirmCheckBox->setChecked(false);
}

// The two buttons sit in different boxes, so the page keeps them exclusive.
// A click on the chosen method keeps it chosen and writes it again.
void LoraWanPage::on_otaaEnable_clicked()
{
    ui->otaaEnable->setChecked(true);
    ui->abpEnable->setChecked(false);
    m_link->write(ActivationRegister, { 1 }, this);
}

void LoraWanPage::on_abpEnable_clicked()
{
    ui->abpEnable->setChecked(true);
    ui->otaaEnable->setChecked(false);
    m_link->write(ActivationRegister, { 0 }, this);
}

void LoraWanPage::on_txConfirmCheckBox_clicked()
{
    m_link->write(ConfirmedUplinkRegister, { quint16(ui->txConfirmCheckBox->isChecked() ? 1 : 0) },
                  this);
}

LoraWanPage::HexField LoraWanPage::field(int which) const
{
    switch (which) {
    case DevEui: return { "Dev_eui", 240, 8, ui->otaaDevEuiLine };
    case AppEui: return { "App_eui", 244, 8, ui->otaaAppEuiLine };
    case AppKey: return { "App_key", 248, 16, ui->otaaAppKeyLine };
    case DevAddr: return { "Dev_addr", 200, 4, ui->abpDevAddrLine };
    case AppsKey: return { "Apps_key", 202, 16, ui->abpAppsKeyLine };
    default: return { "Nwks_key", 210, 16, ui->abpNswksKeyLine };
    }
}

void LoraWanPage::readHexField(int which)
{
    const HexField f = field(which);
    QLineEdit *edit = f.edit;
    m_link->read(f.start, quint16(f.byteCount / 2), edit, [edit](const QVector<quint16> &v) {
        edit->setText(codec::registersToHexText(v));
    });
}

void LoraWanPage::writeHexField(int which)
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    const HexField f = field(which);
    // Exactly the block's bytes, or nothing: a text with too many groups
    // would run into the next block, and a mistyped digit must not end up
    // as a zero inside a key.
    QVector<quint16> values;
    if (!codec::parseHexBlock(f.edit->text(), f.byteCount, &values)) {
        QMessageBox::information(
            nullptr, tr("Error"),
            tr("%1 needs %2 bytes: two hex digits per byte, separated by blanks "
               "(as in 00 11 22), or %3 hex digits in one run.")
                .arg(QLatin1String(f.label)).arg(f.byteCount).arg(2 * f.byteCount));
        return;
    }
    m_link->write(f.start, values, this);
}

void LoraWanPage::on_otaaDevEuiRead_clicked() { readHexField(DevEui); }
void LoraWanPage::on_otaaDevEuiWrite_clicked() { writeHexField(DevEui); }

void LoraWanPage::on_otaaAppEuiRead_clicked() { readHexField(AppEui); }
void LoraWanPage::on_otaaAppEuiWrite_clicked() { writeHexField(AppEui); }

void LoraWanPage::on_otaaAppKeyRead_clicked() { readHexField(AppKey); }
void LoraWanPage::on_otaaAppKeyWrite_clicked() { writeHexField(AppKey); }

void LoraWanPage::on_abpDevAddrRead_clicked() { readHexField(DevAddr); }
void LoraWanPage::on_abpDevAddrWrite_clicked() { writeHexField(DevAddr); }

void LoraWanPage::on_abpAppsKeyRead_clicked() { readHexField(AppsKey); }
void LoraWanPage::on_abpAppsKeyWrite_clicked() { writeHexField(AppsKey); }

void LoraWanPage::on_abpNwksKeyRead_clicked() { readHexField(NwksKey); }
void LoraWanPage::on_abpNwksKeyWrite_clicked() { writeHexField(NwksKey); }

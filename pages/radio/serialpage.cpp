#include "pages/radio/serialpage.h"
#include "ui_serialpage.h"

#include "link/codec.h"
#include "link/link.h"
#include "pages/pagerequests.h"

#include <QMessageBox>

namespace {
constexpr quint16 BlockStart = 0;
constexpr quint16 BlockCount = 5;
}

SerialPage::SerialPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::SerialPage), m_link(link)
{
    ui->setupUi(this);
}

SerialPage::~SerialPage()
{
    delete ui;
}

void SerialPage::setAddressRowVisible(bool visible)
{
    ui->label_8->setVisible(visible);
    ui->portEdit_2->setVisible(visible);
    ui->label_71->setVisible(visible);
}

void SerialPage::on_serialBtnRead_clicked()
{
    m_link->read(BlockStart, BlockCount, this,
                 [this](const QVector<quint16> &v) { serialReadReady(v); });
}

void SerialPage::serialReadReady(const QVector<quint16> &v)
{
    // An index the combo does not have leaves it without a current item; a
    // data or stop bit count it does not list leaves its selection alone.
    selectIndexOrNone(ui->s_baudCombo, codec::valueAt(v, 0));
    ui->s_dataBitsCombo->setCurrentText(QString::number(codec::valueAt(v, 1)));
    ui->s_stopBitsCombo->setCurrentText(QString::number(codec::valueAt(v, 2)));
    selectIndexOrNone(ui->s_parityCombo, codec::valueAt(v, 3));
    // Not shown, but a Write sends it back: the bridge keeps its address.
    ui->portEdit_2->setText(QString::number(codec::valueAt(v, 4)));
    m_readSinceConnect = true;
}

void SerialPage::linkClosed()
{
    m_readSinceConnect = false;
}

void SerialPage::on_serialBtn_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    // The address field is hidden: until a Read has filled it from this
    // bridge, a Write would move the bridge to whatever address it holds.
    // Without a link, the write's own error says why nothing was sent.
    if (!m_readSinceConnect && m_link->isConnected()) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Please Read the settings first, so the device keeps its "
                                    "Modbus address."));
        return;
    }
    qint64 address = 0;
    if (!codec::numberInRange(ui->portEdit_2->text(), 1, 250, &address)) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Device Modbus Address Should between 1 and 250!"));
        return;
    }
    // A read of an index the device does not define leaves a combo without
    // a current item; writing that back would send 0xFFFF.
    if (ui->s_baudCombo->currentIndex() < 0 || ui->s_parityCombo->currentIndex() < 0) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Please choose a baud rate and a parity before writing."));
        return;
    }
    const QVector<quint16> values{
        quint16(ui->s_baudCombo->currentIndex()),
        quint16(ui->s_dataBitsCombo->currentText().toInt()),
        quint16(ui->s_stopBitsCombo->currentText().toInt()),
        quint16(ui->s_parityCombo->currentIndex()),
        quint16(address),
    };
    m_link->write(BlockStart, values, this);
}

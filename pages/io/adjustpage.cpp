#include "pages/io/adjustpage.h"
#include "ui_adjustpage.h"

#include "link/link.h"
#include "pages/pagerequests.h"

namespace {
// One calibration factor register per channel.
constexpr quint16 VoltageInput0 = 400;
constexpr quint16 VoltageOutput5 = 401;
constexpr quint16 CurrentInput1 = 402;
constexpr quint16 CurrentOutput4 = 403;
constexpr quint16 VoltageInput2 = 410;
constexpr quint16 CurrentInput3 = 411;
}

AdjustPage::AdjustPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::AdjustPage), m_link(link)
{
    ui->setupUi(this);
}

AdjustPage::~AdjustPage()
{
    delete ui;
}

void AdjustPage::on_vinRead_clicked()
{
    readIntoLineEdit(m_link, VoltageInput0, ui->vinLineEdit);
}

void AdjustPage::on_vinWrite_clicked()
{
    writeLineEditRegister(m_link, ui->vinLineEdit, VoltageInput0);
}

void AdjustPage::on_vinRead_2_clicked()
{
    readIntoLineEdit(m_link, VoltageInput2, ui->vinLineEdit_2);
}

void AdjustPage::on_vinWrite_2_clicked()
{
    writeLineEditRegister(m_link, ui->vinLineEdit_2, VoltageInput2);
}

void AdjustPage::on_voutRead_clicked()
{
    readIntoLineEdit(m_link, VoltageOutput5, ui->voutLineEdit);
}

void AdjustPage::on_voutWrite_clicked()
{
    writeLineEditRegister(m_link, ui->voutLineEdit, VoltageOutput5);
}

void AdjustPage::on_iinRead_clicked()
{
    readIntoLineEdit(m_link, CurrentInput1, ui->iinLineEdit);
}

void AdjustPage::on_iinWrite_clicked()
{
    writeLineEditRegister(m_link, ui->iinLineEdit, CurrentInput1);
}

void AdjustPage::on_iinRead_2_clicked()
{
    readIntoLineEdit(m_link, CurrentInput3, ui->iinLineEdit_2);
}

void AdjustPage::on_iinWrite_2_clicked()
{
    writeLineEditRegister(m_link, ui->iinLineEdit_2, CurrentInput3);
}

void AdjustPage::on_ioutRead_clicked()
{
    readIntoLineEdit(m_link, CurrentOutput4, ui->ioutLineEdit);
}

void AdjustPage::on_ioutWrite_clicked()
{
    writeLineEditRegister(m_link, ui->ioutLineEdit, CurrentOutput4);
}

#include "pages/io/adjustpage.h"
#include "ui_adjustpage.h"

#include "link/link.h"

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

void AdjustPage::on_vinRead_clicked() { m_link->readIntoLineEdit(VoltageInput0, ui->vinLineEdit); }
void AdjustPage::on_vinWrite_clicked() { m_link->writeLineEditRegister(ui->vinLineEdit, VoltageInput0); }

void AdjustPage::on_vinRead_2_clicked() { m_link->readIntoLineEdit(VoltageInput2, ui->vinLineEdit_2); }
void AdjustPage::on_vinWrite_2_clicked() { m_link->writeLineEditRegister(ui->vinLineEdit_2, VoltageInput2); }

void AdjustPage::on_voutRead_clicked() { m_link->readIntoLineEdit(VoltageOutput5, ui->voutLineEdit); }
void AdjustPage::on_voutWrite_clicked() { m_link->writeLineEditRegister(ui->voutLineEdit, VoltageOutput5); }

void AdjustPage::on_iinRead_clicked() { m_link->readIntoLineEdit(CurrentInput1, ui->iinLineEdit); }
void AdjustPage::on_iinWrite_clicked() { m_link->writeLineEditRegister(ui->iinLineEdit, CurrentInput1); }

void AdjustPage::on_iinRead_2_clicked() { m_link->readIntoLineEdit(CurrentInput3, ui->iinLineEdit_2); }
void AdjustPage::on_iinWrite_2_clicked() { m_link->writeLineEditRegister(ui->iinLineEdit_2, CurrentInput3); }

void AdjustPage::on_ioutRead_clicked() { m_link->readIntoLineEdit(CurrentOutput4, ui->ioutLineEdit); }
void AdjustPage::on_ioutWrite_clicked() { m_link->writeLineEditRegister(ui->ioutLineEdit, CurrentOutput4); }

#include "pages/radio/rfpage.h"
#include "ui_rfpage.h"

#include "link/link.h"
#include "pages/pagerequests.h"

RfPage::RfPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RfPage), m_link(link)
{
    ui->setupUi(this);
    // Neither is offered to the engineer.
    ui->groupBox_6->hide();
    ui->BitMapTextEdit->hide();
}

RfPage::~RfPage()
{
    delete ui;
}

// Both values are signed: a weak signal reads as a negative number.
void RfPage::on_RSSIRead_clicked()
{
    readIntoLineEdit(m_link, 160, ui->rssiLineEdit);
}

void RfPage::on_SNNRRead_clicked()
{
    readIntoLineEdit(m_link, 161, ui->snnrLineEdit);
}

void RfPage::clearBitMapText()
{
    ui->BitMapTextEdit->clear();
}

#include "pages/io/tmopage.h"
#include "ui_tmopage.h"

#include "link/link.h"

namespace {
constexpr quint16 VoltageHoldEnable = 900;
constexpr quint16 CurrentHoldEnable = 903;
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
    m_link->readIntoCheckBox(CurrentHoldEnable, ui->currentEnableCheckBox);
    m_link->readIntoCheckBox(VoltageHoldEnable, ui->voltageEnableCheckBox);
}

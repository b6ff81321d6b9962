#include "pages/io/adjustpage.h"
#include "ui_adjustpage.h"

#include "link/link.h"

AdjustPage::AdjustPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::AdjustPage), m_link(link)
{
    ui->setupUi(this);
}

AdjustPage::~AdjustPage()
{
    delete ui;
}

#include "pages/rtu/rtupage.h"
#include "ui_rtupage.h"

#include "link/link.h"

RtuPage::RtuPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RtuPage), m_link(link)
{
    ui->setupUi(this);
}

RtuPage::~RtuPage()
{
    delete ui;
}

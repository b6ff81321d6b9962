#include "pages/radio/groupnetpage.h"
#include "ui_groupnetpage.h"

#include "link/link.h"

GroupNetPage::GroupNetPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::GroupNetPage), m_link(link)
{
    ui->setupUi(this);
}

GroupNetPage::~GroupNetPage()
{
    delete ui;
}

#include "pages/radio/rfpage.h"
#include "ui_rfpage.h"

#include "link/link.h"

RfPage::RfPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RfPage), m_link(link)
{
    ui->setupUi(this);
}

RfPage::~RfPage()
{
    delete ui;
}

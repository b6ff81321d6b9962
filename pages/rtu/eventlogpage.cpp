#include "pages/rtu/eventlogpage.h"
#include "ui_eventlogpage.h"

#include "link/link.h"

EventLogPage::EventLogPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::EventLogPage), m_link(link)
{
    ui->setupUi(this);
}

EventLogPage::~EventLogPage()
{
    delete ui;
}

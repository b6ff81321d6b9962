#include "pages/rtu/monitorpage.h"
#include "ui_monitorpage.h"

#include "link/link.h"

MonitorPage::MonitorPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::MonitorPage), m_link(link)
{
    ui->setupUi(this);
}

MonitorPage::~MonitorPage()
{
    delete ui;
}

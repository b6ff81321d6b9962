#include "pages/rtu/timesettingpage.h"
#include "ui_timesettingpage.h"

#include "link/link.h"

TimeSettingPage::TimeSettingPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::TimeSettingPage), m_link(link)
{
    ui->setupUi(this);
}

TimeSettingPage::~TimeSettingPage()
{
    delete ui;
}

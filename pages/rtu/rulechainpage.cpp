#include "pages/rtu/rulechainpage.h"
#include "ui_rulechainpage.h"

#include "link/link.h"

RuleChainPage::RuleChainPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RuleChainPage), m_link(link)
{
    ui->setupUi(this);
}

RuleChainPage::~RuleChainPage()
{
    delete ui;
}

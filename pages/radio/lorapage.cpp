#include "pages/radio/lorapage.h"
#include "ui_lorapage.h"

#include "link/link.h"

LoraPage::LoraPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::LoraPage), m_link(link)
{
    ui->setupUi(this);
    ui->FrequencyComboBox->setCurrentText(QString());
    // The sync word and low-data-rate optimisation are fixed by the bridge.
    ui->syncWordLineEdit->hide();
    ui->OptimizeLowRateComboBox->hide();
}

LoraPage::~LoraPage()
{
    delete ui;
}

void LoraPage::setFrequencyItems(const QStringList &items)
{
    ui->FrequencyComboBox->addItems(items);
}

void LoraPage::clearFrequencyItems()
{
    ui->FrequencyComboBox->clear();
}

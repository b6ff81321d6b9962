#include "pages/io/iopage.h"
#include "ui_iopage.h"

#include "link/link.h"

IoPage::IoPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::IoPage), m_link(link)
{
    ui->setupUi(this);
}

IoPage::~IoPage()
{
    delete ui;
}

void IoPage::setChannels(const Channels &channels)
{
    const std::pair<QComboBox *, const QStringList *> boxes[] = {
        { ui->currentInputComboBox, &channels.currentInputs },
        { ui->currentOutputComboBox, &channels.currentOutputs },
        { ui->voltageInputComboBox, &channels.voltageInputs },
        { ui->voltageOutputcomboBox, &channels.voltageOutputs },
        { ui->PWMInputComboBox, &channels.pwmInputs },
        { ui->PWMOutputComboBox, &channels.pwmOutputs },
    };
    for (const auto &box : boxes) {
        box.first->clear();
        box.first->addItems(*box.second);
    }
}

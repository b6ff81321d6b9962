#include "pages/rtu/rulechainedit.h"
#include "ui_rulechainedit.h"

#include "pages/pagerequests.h"
#include "pages/rtu/rulechainpage.h"

#include <QMessageBox>
#include <QPointer>

ruleChainEdit::ruleChainEdit(RuleChainPage *parent, int index)
    : QDialog(parent), ui(new Ui::ruleChainEdit), m_page(parent), m_index(index)
{
    ui->setupUi(this);
    for (int id = 1; id <= 250; ++id) {
        ui->ruleChainInIDComboBox->addItem(QString::number(id));
        ui->ruleChainOutIDComBox->addItem(QString::number(id));
    }
    for (int ch = 0; ch <= 7; ++ch) {
        ui->ruleChainInChComboBox->addItem(QString::number(ch));
        ui->ruleChainOutChComboBox->addItem(QString::number(ch));
    }

    // A number outside a combo's items leaves it without a current item.
    const codec::RuleChainEntry &e = m_page->ruleChainList().value(index);
    ui->ruleChainRuleNameEdit->setText(e.name);
    selectIndexOrNone(ui->ruleChainInChComboBox, e.inChannel);
    selectIndexOrNone(ui->ruleChainInIDComboBox, int(e.inDeviceId) - 1);
    selectIndexOrNone(ui->ruleChainOutChComboBox, e.outChannel);
    selectIndexOrNone(ui->ruleChainOutIDComBox, int(e.outDeviceId) - 1);
    selectIndexOrNone(ui->ruleChainRuleTypeComBox, e.type);
    ui->ruleChainTMOValueLineEdit->setText(QString::number(e.tmoValue));
}

ruleChainEdit::~ruleChainEdit()
{
    delete ui;
}

// The first problem of a typed output value in the order the dialog reports them.
static QString valueProblemText(codec::RuleValueProblems problems)
{
    return codec::firstProblemText(problems, {
        { codec::RuleValueMissing, ruleChainEdit::tr("Please set valid Current/Voltage value.") },
        { codec::RuleValueNegative,
          ruleChainEdit::tr("Please set Current/Voltage value greater than 0.") },
        { codec::RuleCurrentTooHigh,
          ruleChainEdit::tr("Please set Current value less than 20000uA.") },
        { codec::RuleCurrentTooLow,
          ruleChainEdit::tr("Please set Current value greater than 4000uA.") },
        { codec::RuleVoltageTooHigh,
          ruleChainEdit::tr("Please set Voltage value less than 10000.") },
    });
}

void ruleChainEdit::on_ruleChainEditPushButton_clicked()
{
    const QString name = ui->ruleChainRuleNameEdit->text();
    const QString valueText = ui->ruleChainTMOValueLineEdit->text();
    const int outChannel = ui->ruleChainOutChComboBox->currentText().toInt();

    QString error = RuleChainPage::nameError(name);
    if (error.isEmpty())
        error = valueProblemText(codec::ruleValueProblem(outChannel, valueText));
    if (error.isEmpty()
        && (ui->ruleChainInIDComboBox->currentIndex() < 0
            || ui->ruleChainInChComboBox->currentIndex() < 0
            || ui->ruleChainOutIDComBox->currentIndex() < 0
            || ui->ruleChainOutChComboBox->currentIndex() < 0
            || ui->ruleChainRuleTypeComBox->currentIndex() < 0))
        error = tr("Please choose the device IDs, channels and type.");
    if (!error.isEmpty()) {
        QMessageBox::information(nullptr, tr("Error"), error);
        return;
    }

    codec::RuleChainEntry entry;
    entry.name = name;
    entry.tmoValue = codec::ruleChannelHasValue(outChannel) ? quint16(valueText.toInt()) : 0;
    entry.inChannel = quint16(ui->ruleChainInChComboBox->currentText().toInt());
    entry.inDeviceId = quint16(ui->ruleChainInIDComboBox->currentText().toInt());
    entry.outChannel = quint16(outChannel);
    entry.outDeviceId = quint16(ui->ruleChainOutIDComBox->currentText().toInt());
    entry.type = quint16(ui->ruleChainRuleTypeComBox->currentIndex());
    m_page->storeEntry(m_index, entry);
    emit ruleChainSignal(m_index);
    close();
}

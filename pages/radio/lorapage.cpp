#include "pages/radio/lorapage.h"
#include "ui_lorapage.h"

#include "link/codec.h"
#include "link/link.h"
#include "pages/pagerequests.h"

#include <QMessageBox>
#include <cmath>

namespace {
constexpr quint16 BlockStart = 21;
constexpr quint16 BlockCount = 7;
constexpr quint16 LowRateOptimisation = 0;
constexpr quint16 SyncWord = 0x3434;
}

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

void LoraPage::on_loraGetButton_clicked()
{
    m_link->read(BlockStart, BlockCount, this,
                 [this](const QVector<quint16> &v) { loraReadReady(v); });
}

void LoraPage::loraReadReady(const QVector<quint16> &v)
{
    ui->FrequencyComboBox->setCurrentText(codec::loraFrequencyText(codec::valueAt(v, 0)));
    // Not editable: a power the box does not list leaves the selection alone.
    ui->RFPowerComboBox->setCurrentText(QString::number(codec::valueAt(v, 1)));
    // An index the box does not have clears it.
    selectIndexOrNone(ui->SFComboBox, codec::valueAt(v, 2));
    selectIndexOrNone(ui->BandwidthComboBox, codec::valueAt(v, 3));
    selectIndexOrNone(ui->CodeRateComboBox, int(codec::valueAt(v, 4)) - 1);
}

void LoraPage::refuse(const QString &text)
{
    QMessageBox::information(nullptr, tr("LoRa"), text);
}

void LoraPage::on_loraSetButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();

    double f10 = 10 * ui->FrequencyComboBox->currentText().toDouble();
    if (!std::isfinite(f10))  // "nan" and "inf" are no frequency
        f10 = 0;
    const int power = int(ui->RFPowerComboBox->currentText().toDouble());
    const codec::LoraProblems problems = codec::loraProblem(f10, power, m_band);
    if (problems) {
        int low = 0, high = 0;
        codec::loraBandRange(problems & codec::LoraFrequencyOutOfRange ? -1 : m_band, &low, &high);
        if (problems & (codec::LoraFrequencyOutOfRange | codec::LoraFrequencyOutOfBand))
            refuse(tr("Please Set LoRa Frequency range: %1MHz ~ %2MHz.").arg(low / 10).arg(high / 10));
        else
            refuse(tr("Please Set LoRa Tx(RF) Power range: 14dBm ~ 17dBm."));
        return;
    }
    // A read of a value the page does not know leaves a box without a
    // selection; writing that would send a setting nobody chose.
    if (ui->SFComboBox->currentIndex() < 0 || ui->BandwidthComboBox->currentIndex() < 0
        || ui->CodeRateComboBox->currentIndex() < 0) {
        refuse(tr("Please choose a spreading factor, a bandwidth and a code rate before writing."));
        return;
    }

    const QVector<quint16> values{
        quint16(f10),
        quint16(power),
        quint16(ui->SFComboBox->currentIndex()),
        quint16(ui->BandwidthComboBox->currentIndex()),
        quint16(ui->CodeRateComboBox->currentIndex() + 1),
        LowRateOptimisation,
        SyncWord,
    };
    m_link->write(BlockStart, values, this);
}

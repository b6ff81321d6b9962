// The "LoRa" page: the bridge's LoRa radio parameters. The frequency list
// and the allowed frequency and power ranges depend on the band of the
// identified model.
#pragma once

#include <QWidget>

namespace Ui { class LoraPage; }

class Link;

class LoraPage : public QWidget
{
    Q_OBJECT
public:
    explicit LoraPage(Link *link, QWidget *parent = nullptr);
    ~LoraPage() override;

    void setFrequencyItems(const QStringList &items);  // appends the band's items
    void clearFrequencyItems();
    // 0: 410 to 493 MHz, 1: 850 to 930 MHz, 2: 920 to 925 MHz and at most 17 dBm.
    void setFrequencyBand(int band) { m_band = band; }
    int frequencyBand() const { return m_band; }

private slots:
    void on_loraGetButton_clicked();
    void on_loraSetButton_clicked();

private:
    void loraReadReady(const QVector<quint16> &values);
    void refuse(const QString &text);

    Ui::LoraPage *ui;
    Link *m_link;
    int m_band = 0;
};

// The "LoRa" page: the bridge's LoRa radio parameters. The frequency list
// depends on the band of the identified model.
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

private:
    Ui::LoraPage *ui;
    Link *m_link;
};

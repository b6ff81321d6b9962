// Signal quality: RSSI and SNR.
#pragma once

#include <QWidget>

namespace Ui { class RfPage; }

class Link;

class RfPage : public QWidget
{
    Q_OBJECT
public:
    explicit RfPage(Link *link, QWidget *parent = nullptr);
    ~RfPage() override;

public slots:
    // Empties the (hidden) bitmap text when a destination bitmap was read.
    void clearBitMapText();

private slots:
    void on_RSSIRead_clicked();
    void on_SNNRRead_clicked();

private:
    Ui::RfPage *ui;
    Link *m_link;
};

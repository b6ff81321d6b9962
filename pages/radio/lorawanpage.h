// The "LoRa Wan" page: OTAA and ABP identities and keys, the activation
// method and confirmed uplinks.
#pragma once

#include <QWidget>

namespace Ui { class LoraWanPage; }

class Link;

class LoraWanPage : public QWidget
{
    Q_OBJECT
public:
    explicit LoraWanPage(Link *link, QWidget *parent = nullptr);
    ~LoraWanPage() override;

    // Reads the activation method (256) and confirmed uplinks (257), as the
    // window does right after each login.
    void readActivation(bool report = true);

private slots:
    void on_otaaEnable_clicked();
    void on_abpEnable_clicked();
    void on_txConfirmCheckBox_clicked();

private:
    void joinNetTypeReadReady(const QVector<quint16> &values);
    void upLinkAckReadReady(const QVector<quint16> &values);

    Ui::LoraWanPage *ui;
    Link *m_link;
};

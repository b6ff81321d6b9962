// The "LoRa Wan" page: OTAA and ABP identities and keys, the activation
// method and confirmed uplinks.
#pragma once

#include <QWidget>

namespace Ui { class LoraWanPage; }

class Link;
class QLineEdit;

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
    void on_otaaDevEuiRead_clicked();
    void on_otaaDevEuiWrite_clicked();
    void on_otaaAppEuiRead_clicked();
    void on_otaaAppEuiWrite_clicked();
    void on_otaaAppKeyRead_clicked();
    void on_otaaAppKeyWrite_clicked();
    void on_abpDevAddrRead_clicked();
    void on_abpDevAddrWrite_clicked();
    void on_abpAppsKeyRead_clicked();
    void on_abpAppsKeyWrite_clicked();
    void on_abpNwksKeyRead_clicked();
    void on_abpNwksKeyWrite_clicked();

private:
    // One identity or key: its register block and the widgets that show it.
    struct HexField {
        const char *label;   // the field's name as its label shows it
        quint16 start;
        int byteCount;
        QLineEdit *edit;
    };
    HexField field(int which) const;
    void readHexField(int which);
    void writeHexField(int which);

    void joinNetTypeReadReady(const QVector<quint16> &values);
    void upLinkAckReadReady(const QVector<quint16> &values);

    Ui::LoraWanPage *ui;
    Link *m_link;
};

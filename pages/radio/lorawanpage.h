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

public slots:
    // The activation method (256: 0 ABP, 1 OTAA) and confirmed uplinks
    // (257: 1 on, 0 off) as read after each login; other values change nothing.
    void showActivationMethod(int method);
    void showConfirmedUplinks(int confirmed);

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

    Ui::LoraWanPage *ui;
    Link *m_link;
};

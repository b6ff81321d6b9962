// "System Settings": the bridge's administrative settings. Firmware version
// and serial number (read only), the device clock, the four output holds, a
// factory reset and, behind an expander, the user name and password that the
// bridge checks at login. Every request goes to server 1; its messages appear
// on the main window's status bar.
#pragma once

#include <QDialog>
#include <QVector>

namespace Ui { class systemDialog; }

class Link;
class QComboBox;

class systemDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int CollapsedHeight = 315;
    static constexpr int ExpandedHeight = 481;
    static constexpr int DialogWidth = 510;

    systemDialog(Link *link, QWidget *parent);
    ~systemDialog() override;

private slots:
    void on_systemCheck_clicked();
    void on_systemSet_clicked();
    void on_systemApply_clicked();
    void on_systemReload_clicked();
    void versionReadReady(const QVector<quint16> &values);
    void passwordReadReady(const QVector<quint16> &values);
    void usernameReadReady(const QVector<quint16> &values);
    void on_SNRead_clicked();
    void SNReadReady(const QVector<quint16> &values);
    void on_pushButton_clicked();
    void on_globalTSCheckPushButton_clicked();
    void on_globalTSSetPushButton_clicked();
    void globalTSChkReadReady(const QVector<quint16> &values);
    void PWM5ReadReady(const QVector<quint16> &values);
    void PWMOCReadReady(const QVector<quint16> &values);
    void currentHoldReadReady(const QVector<quint16> &values);
    void voltageHoldReadReady(const QVector<quint16> &values);
    void on_currentHoldCheck_clicked();
    void on_currentHoldSet_clicked();
    void on_voltageHoldChk_clicked();
    void on_voltageHoldSet_clicked();
    void on_PWMChk_clicked();
    void on_PWMSet_clicked();
    void on_PWMOCChk_clicked();
    void on_PWMOCSet_clicked();

private:
    using ReadSlot = void (systemDialog::*)(const QVector<quint16> &);

    // A silent read: nothing is reported when the link refuses it or when the
    // reply fails, and the status bar is left alone; `slot` gets the values
    // of a good reply.
    void readRegisters(quint16 address, int count, ReadSlot slot);
    void showHold(QComboBox *box, const QVector<quint16> &values);
    void writeHoldSetting(quint16 address, QComboBox *box);
    void credentialsWritten(bool ok);

    Ui::systemDialog *ui;
    Link *m_link;
    QString usernameText;
    QString passwordText;
};

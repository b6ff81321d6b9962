// The "Serial" page: the bridge's own RS-485 port (baud rate, parity, data
// and stop bits) and its Modbus address on that port, registers 0 to 4.
#pragma once

#include <QWidget>

namespace Ui { class SerialPage; }

class Link;

class SerialPage : public QWidget
{
    Q_OBJECT
public:
    explicit SerialPage(Link *link, QWidget *parent = nullptr);
    ~SerialPage() override;

    // The device-address row is hidden for identified bridges.
    void setAddressRowVisible(bool visible);

public slots:
    // The link was closed: the next bridge's address is not known until a Read.
    void linkClosed();

private slots:
    void on_serialBtnRead_clicked();
    void on_serialBtn_clicked();

private:
    void serialReadReady(const QVector<quint16> &values);

    Ui::SerialPage *ui;
    Link *m_link;
    bool m_readSinceConnect = false;
};

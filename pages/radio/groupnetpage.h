// Group network: source ID, destination bitmap, AES, time-outs. The
// destination table's context menu opens the auto scan settings.
#pragma once

#include <QWidget>

namespace Ui { class GroupNetPage; }

class Link;
class NetModel;
class QAction;
class QLineEdit;
class QMenu;

class GroupNetPage : public QWidget
{
    Q_OBJECT
public:
    explicit GroupNetPage(Link *link, QWidget *parent = nullptr);
    ~GroupNetPage() override;

    NetModel *netModel() const { return m_netModel; }

signals:
    // A destination bitmap was read from the bridge.
    void bitMapRead();

public slots:
    void asMenuPaint(const QPoint &pos);
    void asSettingAction();

private slots:
    void on_netSIDRead_clicked();
    void on_netSIDWrite_clicked();
    void on_netBitMapRead_clicked();
    void on_netBitMapWrite_clicked();
    void on_netBitMapClear_clicked();
    void on_netAesEnableRead_clicked();
    void on_netAesEnableWrite_clicked();
    void on_netAesKeyRead_clicked();
    void on_netAesKeyWrite_clicked();
    void on_netTimeoutRead_clicked();
    void on_netTimeoutWrite_clicked();
    void on_LCTimeoutRead_clicked();
    void on_LCTimeoutWrite_clicked();
    void on_aesComboBox_currentIndexChanged(int index);
    void on_SNPushButton_clicked();
    void on_SNPushButtonWrite_clicked();

private:
    void writeInRange(QLineEdit *edit, quint16 address, int low, int high, const QString &message);
    void bitMapReadReady(const QVector<quint16> &values);
    void aesEnableReadReady(const QVector<quint16> &values);

    Ui::GroupNetPage *ui;
    Link *m_link;
    NetModel *m_netModel;
    QMenu *m_tableMenu;
};

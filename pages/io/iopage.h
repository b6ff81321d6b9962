// The "I/O" page: reads the analog and PWM inputs and sets the outputs of
// the bridge's numbered I/O channels. Each row serves one kind of channel;
// its register is the row's base address plus the channel number chosen in
// the row's "Channel:" box (twice the number for the PWM register pairs).
#pragma once

#include "link/modelgating.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

namespace Ui { class IoPage; }

class QComboBox;
class QLineEdit;
class Link;

class IoPage : public QWidget
{
    Q_OBJECT
public:
    explicit IoPage(Link *link, QWidget *parent = nullptr);
    ~IoPage() override;

    // Clears the six "Channel:" boxes and fills them with `channels`.
    void setChannels(const ModelGating::Channels &channels);

private slots:
    void on_currentInputPushButton_clicked();
    void on_voltageInputPushButton_clicked();
    void on_PWMInputPushButton_clicked();
    void on_currentOutputReadPushButton_clicked();
    void on_rvPshBtn_clicked();
    void on_PwmOutputReadPushButton_clicked();
    void on_currentOutputPushButton_clicked();
    void on_voltageOutputPushButton_clicked();
    void on_PWMOutputPushButton_clicked();

private:
    enum class Shown { Milliamps, Plain, Pair };
    // Clears `field`, then reads `count` registers of the channel in `box`
    // and shows them; a successful read shows no "OK!".
    void readChannel(quint16 base, int stride, quint16 count, QComboBox *box, QLineEdit *field,
                     QLineEdit *second, Shown shown);
    quint16 channelRegister(quint16 base, int stride, const QComboBox *box) const;

    Ui::IoPage *ui;
    Link *m_link;
};

// The "I/O" page: reads the analog and PWM inputs and sets the outputs of
// the bridge's numbered I/O channels.
#pragma once

#include <QStringList>
#include <QWidget>

namespace Ui { class IoPage; }

class Link;

class IoPage : public QWidget
{
    Q_OBJECT
public:
    // The channel numbers a model offers, per kind of channel.
    struct Channels {
        QStringList currentInputs, currentOutputs, voltageInputs, voltageOutputs,
            pwmInputs, pwmOutputs;
    };

    explicit IoPage(Link *link, QWidget *parent = nullptr);
    ~IoPage() override;

    // Clears the six "Channel:" boxes and fills them with `channels`.
    void setChannels(const Channels &channels);

private:
    Ui::IoPage *ui;
    Link *m_link;
};

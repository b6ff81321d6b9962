// Group network: source ID, destination bitmap, AES, time-outs.
#pragma once

#include <QWidget>

namespace Ui { class GroupNetPage; }

class Link;

class GroupNetPage : public QWidget
{
    Q_OBJECT
public:
    explicit GroupNetPage(Link *link, QWidget *parent = nullptr);
    ~GroupNetPage() override;

private:
    Ui::GroupNetPage *ui;
    Link *m_link;
};

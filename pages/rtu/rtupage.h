// The table of Modbus RTU sensors the bridge polls.
#pragma once

#include <QWidget>

namespace Ui { class RtuPage; }

class Link;

class RtuPage : public QWidget
{
    Q_OBJECT
public:
    explicit RtuPage(Link *link, QWidget *parent = nullptr);
    ~RtuPage() override;

private:
    Ui::RtuPage *ui;
    Link *m_link;
};

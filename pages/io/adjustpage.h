// Calibration factors of the analog channels.
#pragma once

#include <QWidget>

namespace Ui { class AdjustPage; }

class Link;

class AdjustPage : public QWidget
{
    Q_OBJECT
public:
    explicit AdjustPage(Link *link, QWidget *parent = nullptr);
    ~AdjustPage() override;

private:
    Ui::AdjustPage *ui;
    Link *m_link;
};

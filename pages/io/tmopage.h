// The "TMO I/O" page: what the outputs hold after a communication time-out.
#pragma once

#include <QWidget>

namespace Ui { class TmoPage; }

class Link;

class TmoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TmoPage(Link *link, QWidget *parent = nullptr);
    ~TmoPage() override;

    // Run when the tab becomes current: reads the two enable flags.
    void readEnables();

private:
    Ui::TmoPage *ui;
    Link *m_link;
};

// The "Adjust" page: the calibration factors of the analog channels, one
// holding register each, shown as signed numbers and written as typed.
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

private slots:
    void on_vinRead_clicked();
    void on_vinWrite_clicked();
    void on_vinRead_2_clicked();
    void on_vinWrite_2_clicked();
    void on_voutRead_clicked();
    void on_voutWrite_clicked();
    void on_iinRead_clicked();
    void on_iinWrite_clicked();
    void on_iinRead_2_clicked();
    void on_iinWrite_2_clicked();
    void on_ioutRead_clicked();
    void on_ioutWrite_clicked();

private:
    Ui::AdjustPage *ui;
    Link *m_link;
};

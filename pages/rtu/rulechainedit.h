// The dialog that edits one rule of the chain. It reads its entry once when
// opened, writes the window's copy when "Edit" succeeds and tells the page,
// which sends the entry to the device.
#pragma once

#include <QDialog>

namespace Ui { class ruleChainEdit; }

class RuleChainPage;

class ruleChainEdit : public QDialog
{
    Q_OBJECT
public:
    ruleChainEdit(RuleChainPage *parent, int index);
    ~ruleChainEdit() override;

    int entryIndex() const { return m_index; }

signals:
    void ruleChainSignal(int index);

private slots:
    void on_ruleChainEditPushButton_clicked();

private:
    Ui::ruleChainEdit *ui;
    RuleChainPage *m_page;
    int m_index;
};

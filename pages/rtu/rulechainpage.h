// The rule chain coupling inputs to outputs.
#pragma once

#include <QWidget>

namespace Ui { class RuleChainPage; }

class Link;

class RuleChainPage : public QWidget
{
    Q_OBJECT
public:
    explicit RuleChainPage(Link *link, QWidget *parent = nullptr);
    ~RuleChainPage() override;

private:
    Ui::RuleChainPage *ui;
    Link *m_link;
};

// The rule chain: 40 rules on the bridge, each coupling an input (device ID
// and channel) to an output with a conversion type and, for the current and
// voltage outputs, an output value. The page keeps its own copy of the table,
// adds, edits and deletes entries on the device one by one, reads the whole
// table back and reads and writes the chain's loop time.
#pragma once

#include "link/codec.h"

#include <QList>
#include <QPointer>
#include <QWidget>

namespace Ui { class RuleChainPage; }

class BlockReader;
class Link;
class QMenu;
class QMessageBox;
class QModelIndex;
class QTimer;
class RuleChain;

class RuleChainPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int EntryCount = 40;
    static constexpr quint16 LoopTimeRegister = 2400;
    static constexpr quint16 TableStart = 2402;
    static constexpr int BlockCount = 8;        // read blocks of five entries
    static constexpr int BlockEntries = 5;
    static constexpr quint16 BlockRegisters = BlockEntries * codec::RuleEntryRegisters;

    explicit RuleChainPage(Link *link, QWidget *parent = nullptr);
    ~RuleChainPage() override;

    const QList<codec::RuleChainEntry> &ruleChainList() const { return m_ruleChainList; }
    // Stores an edited entry in the window's copy; its index stays.
    void storeEntry(int index, const codec::RuleChainEntry &entry);

    // Checks shared by Add and the edit dialog; an empty text means valid.
    static QString nameError(const QString &name);

public slots:
    // The link was closed: the table read from the bridge no longer tells
    // which of its entries are free.
    void linkClosed();

private slots:
    void on_ruleChainAddPushButton_clicked();
    void on_ruleOutChnComboBox_currentIndexChanged(int index);
    void ruleChainMenuPaint(const QPoint &pos);
    void ruleChainEditAction();
    void on_RuleVIew_doubleClicked(const QModelIndex &index);
    void ruleChainEditSlot(int index);
    void ruleChainDelete();
    void on_ruleChkPushButton_clicked();
    void ruleChainTableReadReady(int block, const QVector<quint16> &values, bool late);
    void on_ruleClrPushButton_clicked();
    void on_ruleIntervalChkPushButton_clicked();
    void on_ruleIntervalSetPushButton_clicked();

private:
    void writeRuleChainEntry(const codec::RuleChainEntry &entry, int index);
    void clearList();
    void showDoneBox();
    void finishTableRead();
    int entryAtRow(int row) const;
    void openEditDialog(int entry);
    void refuse(const QString &text);
    static QString addValueText(codec::RuleValueProblems problems);

    Ui::RuleChainPage *ui;
    Link *m_link;
    QList<codec::RuleChainEntry> m_ruleChainList;
    RuleChain *m_model = nullptr;
    QMenu *m_menu = nullptr;
    int m_menuRow = -1;          // the row the context menu was opened on
    QTimer *m_addTimer = nullptr;     // keeps Add disabled while the device stores the rule
    BlockReader *m_reader = nullptr;  // the paced read of the whole table
    QPointer<QMessageBox> m_doneBox;
    int m_blocksLoaded = 0;  // bit k: block k read since Connect and not cleared since
};

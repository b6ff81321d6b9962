// A report of a profile action: a heading, a table of rows (the fields that
// differ, the result of each group) and a closing note (the backup file).
// The wide columns share the width and wrap their text; rows can be marked.
#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

namespace Ui { class ProfileReportDialog; }

class ProfileReportDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Mark { None, Identity, Problem };  // shown in italics, in bold

    // `wideColumns` share the width left by the others, which fit their text.
    ProfileReportDialog(const QString &title, const QString &heading, const QStringList &columns,
                        const QList<int> &wideColumns, QWidget *parent = nullptr);
    ~ProfileReportDialog() override;

    void addRow(const QStringList &cells, Mark mark = Mark::None);
    void setFooter(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::ProfileReportDialog *ui;
};

#include "app/profilereportdialog.h"
#include "ui_profilereportdialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidgetItem>
#include <QTimer>

ProfileReportDialog::ProfileReportDialog(const QString &title, const QString &heading,
                                         const QStringList &columns, const QList<int> &wideColumns,
                                         QWidget *parent)
    : QDialog(parent), ui(new Ui::ProfileReportDialog)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("profileReportDialog"));
    setWindowTitle(title);
    ui->headingLabel->setText(heading);
    ui->footerLabel->hide();
    QTableWidget *t = ui->table;
    t->setColumnCount(columns.size());
    t->setHorizontalHeaderLabels(columns);
    QHeaderView *header = t->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < columns.size(); ++c)
        header->setSectionResizeMode(c, wideColumns.contains(c) ? QHeaderView::Stretch
                                                                : QHeaderView::ResizeToContents);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->setStyleSheet(QStringLiteral("QTableView::item { padding: 3px 6px; }"));
    for (QAbstractButton *b : ui->buttonBox->buttons())
        b->setIcon(QIcon());  // plain buttons, as everywhere in the program
    // The table is read, not edited: the keyboard starts on Close.
    ui->buttonBox->button(QDialogButtonBox::Close)->setFocus();
}

ProfileReportDialog::~ProfileReportDialog()
{
    delete ui;
}

void ProfileReportDialog::addRow(const QStringList &cells, Mark mark)
{
    QTableWidget *t = ui->table;
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size() && c < t->columnCount(); ++c) {
        auto *item = new QTableWidgetItem(cells.at(c));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (mark != Mark::None) {
            QFont font = item->font();
            font.setItalic(mark == Mark::Identity);
            font.setBold(mark == Mark::Problem);
            item->setFont(font);
        }
        t->setItem(row, c, item);
    }
}

void ProfileReportDialog::setFooter(const QString &text)
{
    ui->footerLabel->setText(text);
    ui->footerLabel->setVisible(!text.isEmpty());
}

// A short table does not leave a tall empty box: once laid out, the dialog
// gives up the height its rows do not need.
void ProfileReportDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, [this] {
        QTableWidget *t = ui->table;
        const int minimum = t->horizontalHeader()->height() * 4;
        const int spare = t->viewport()->height() - t->verticalHeader()->length();
        const int keep = qMax(0, minimum - (t->height() - spare));
        if (spare - keep > 0 && !t->horizontalScrollBar()->isVisible())
            resize(width(), height() - (spare - keep));
    });
}

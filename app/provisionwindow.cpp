#include "app/provisionwindow.h"

#include "link/connectprocedure.h"
#include "link/link.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column {
    ColLine, ColName, ColDevEui, ColJoinEui, ColKey, ColState, ColSerial, ColTime, ColumnCount
};

QString defaultChooser(QWidget *parent, ProvisionWindow::FileRole role, const QString &suggestion)
{
    using W = ProvisionWindow;
    switch (role) {
    case W::FileRole::KeyList:
        return QFileDialog::getOpenFileName(parent, W::tr("Key list"), suggestion,
                                            W::tr("Key lists (*.csv *.txt);;All files (*)"));
    case W::FileRole::Profile:
        return QFileDialog::getOpenFileName(parent, W::tr("Profile"), suggestion,
                                            W::tr("Profiles (*.json);;All files (*)"));
    case W::FileRole::Export:
        return QFileDialog::getSaveFileName(parent, W::tr("Export for the network server"),
                                            suggestion, W::tr("CSV files (*.csv)"));
    }
    return QString();
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

ProvisionWindow::ProvisionWindow(Link *link, ConnectProcedure *connect, QWidget *parent)
    : QWidget(parent, Qt::Window), m_link(link), m_connect(connect),
      m_provisioner(new Provisioner(link, this))
{
    setObjectName(QStringLiteral("provisionWindow"));
    setWindowTitle(tr("Provision bridges from a key list"));
    m_chooseFile = [this](FileRole role, const QString &suggestion) {
        return defaultChooser(this, role, suggestion);
    };
    buildWidgets();
    QObject::connect(m_link, &Link::stateChanged, this, &ProvisionWindow::updateReady);
    QObject::connect(m_connect, &ConnectProcedure::finished, this, &ProvisionWindow::updateReady);
    QObject::connect(m_provisioner, &Provisioner::inspected, this, &ProvisionWindow::onInspected);
    QObject::connect(m_provisioner, &Provisioner::inspectFailed, this, [this](const QString &why) {
        m_busy = false;
        showResult(why, true);
        updateReady();
    });
    QObject::connect(m_provisioner, &Provisioner::stepChanged, this, &ProvisionWindow::onStep);
    QObject::connect(m_provisioner, &Provisioner::finished, this, &ProvisionWindow::onFinished);
    updateReady();
    resize(960, 690);
}

void ProvisionWindow::buildWidgets()
{
    auto *keyBox = new QGroupBox(tr("Key list"), this);
    m_keyListLabel = new QLabel(tr("No key list loaded."), keyBox);
    m_keyListLabel->setObjectName(QStringLiteral("provisionKeyListLabel"));
    m_keyListLabel->setWordWrap(true);
    QPushButton *load = button(tr("Load key list\u2026"), "provisionLoadButton", keyBox);
    m_faults = new QListWidget(keyBox);
    m_faults->setObjectName(QStringLiteral("provisionFaults"));
    m_faults->setMaximumHeight(64);
    m_faults->setToolTip(tr("Rows with faults: they are never used"));
    m_faults->hide();
    auto *keyTop = new QHBoxLayout;
    keyTop->addWidget(m_keyListLabel, 1);
    keyTop->addWidget(load);
    auto *keyLayout = new QVBoxLayout(keyBox);
    keyLayout->addLayout(keyTop);
    keyLayout->addWidget(m_faults);

    auto *profileBox = new QGroupBox(tr("Profile written as well (optional)"), this);
    m_profileLabel = new QLabel(tr("None: only the keys are written."), profileBox);
    m_profileLabel->setObjectName(QStringLiteral("provisionProfileLabel"));
    m_profileLabel->setWordWrap(true);
    QPushButton *chooseProfile =
        button(tr("Choose profile\u2026"), "provisionProfileButton", profileBox);
    m_clearProfile = button(tr("No profile"), "provisionNoProfileButton", profileBox);
    m_clearProfile->setEnabled(false);
    auto *profileLayout = new QHBoxLayout(profileBox);
    profileLayout->addWidget(m_profileLabel, 1);
    profileLayout->addWidget(chooseProfile);
    profileLayout->addWidget(m_clearProfile);

    m_rows = new QTableWidget(0, ColumnCount, this);
    m_rows->setObjectName(QStringLiteral("provisionRows"));
    m_rows->setHorizontalHeaderLabels({ tr("Line"), tr("Name"), tr("DevEUI"), tr("JoinEUI"),
                                        tr("Key"), tr("State"), tr("Serial"), tr("Time (UTC)") });
    m_rows->horizontalHeaderItem(ColKey)->setToolTip(tr("Fingerprint of the AppKey"));
    m_rows->verticalHeader()->hide();
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->horizontalHeader()->setStretchLastSection(true);
    m_rows->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    m_export = button(tr("Export for the network server\u2026"), "provisionExportButton", this);
    QPushButton *close = button(tr("Close"), "provisionCloseButton", this);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_export);
    bottom->addStretch(1);
    bottom->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(keyBox);
    layout->addWidget(profileBox);
    layout->addWidget(m_rows, 1);
    layout->addWidget(buildBridgeBox());
    layout->addLayout(bottom);

    QObject::connect(load, &QPushButton::clicked, this, &ProvisionWindow::loadKeyList);
    QObject::connect(chooseProfile, &QPushButton::clicked, this, &ProvisionWindow::chooseProfile);
    QObject::connect(m_clearProfile, &QPushButton::clicked, this, &ProvisionWindow::clearProfile);
    QObject::connect(m_export, &QPushButton::clicked, this, &ProvisionWindow::exportRows);
    QObject::connect(close, &QPushButton::clicked, this, &QWidget::close);
}

QWidget *ProvisionWindow::buildBridgeBox()
{
    auto *box = new QGroupBox(tr("Bridge"), this);
    m_bridgeLabel = new QLabel(box);
    m_bridgeLabel->setObjectName(QStringLiteral("provisionBridgeLabel"));
    m_bridgeLabel->setWordWrap(true);
    m_provision = button(tr("Provision this bridge"), "provisionButton", box);
    m_progress = new QProgressBar(box);
    m_progress->setObjectName(QStringLiteral("provisionProgress"));
    m_progress->setFormat(tr("%v of %m steps"));
    m_progress->setValue(0);
    m_stepList = new QListWidget(box);
    m_stepList->setObjectName(QStringLiteral("provisionSteps"));
    m_stepList->setIconSize(QSize(16, 16));
    m_stepList->setWordWrap(true);
    m_stepList->setMaximumHeight(7 * (fontMetrics().height() + 4));
    m_result = new QLabel(box);
    m_result->setObjectName(QStringLiteral("provisionResult"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *left = new QVBoxLayout;
    left->addWidget(m_bridgeLabel);
    left->addWidget(m_provision);
    left->addWidget(m_progress);
    left->addWidget(m_result);
    left->addStretch(1);
    auto *layout = new QHBoxLayout(box);
    layout->addLayout(left, 2);
    layout->addWidget(m_stepList, 3);
    QObject::connect(m_provision, &QPushButton::clicked, this, &ProvisionWindow::startProvisioning);
    return box;
}

void ProvisionWindow::loadKeyList()
{
    const QString path = m_chooseFile(FileRole::KeyList, m_batch.keyListPath());
    if (path.isEmpty())
        return;
    ProvisionBatch batch;
    QString error;
    if (!batch.open(path, &error)) {
        QMessageBox::warning(this, tr("Key list"), tr("%1 cannot be used.\n\n%2")
                                                       .arg(QFileInfo(path).fileName(), error));
        return;
    }
    m_batch = batch;
    m_faults->clear();
    for (const KeyRowFault &f : m_batch.keys().faults)
        m_faults->addItem(tr("Line %1: %2").arg(f.line).arg(f.reason));
    m_faults->setVisible(!m_batch.keys().faults.isEmpty());
    showRows();
    showResult(QString(), false);
    updateReady();
}

void ProvisionWindow::chooseProfile()
{
    const QString path = m_chooseFile(FileRole::Profile, m_profilePath);
    if (path.isEmpty())
        return;
    Profile profile;
    QString error;
    if (!profile::readFile(path, &profile, &error)) {
        QMessageBox::warning(this, tr("Profile"), error);
        return;
    }
    m_profile = profile;
    m_profilePath = path;
    m_profileLabel->setText(tr("%1 (%2), without the fields that identify one device; its LoRaWAN "
                               "settings take the row's JoinEUI and OTAA.")
                                .arg(QFileInfo(path).fileName(), profile.model));
    m_clearProfile->setEnabled(true);
}

void ProvisionWindow::clearProfile()
{
    m_profilePath.clear();
    m_profile = Profile();
    m_profileLabel->setText(tr("None: only the keys are written."));
    m_clearProfile->setEnabled(false);
}

void ProvisionWindow::updateReady()
{
    const bool ready = m_link->isConnected() && m_connect->isLoginAccepted()
                       && !m_connect->isConnecting();
    m_provision->setEnabled(ready && m_batch.isOpen() && !m_busy);
    if (!m_busy && m_progress->maximum() == 0) {  // no run came of the last press
        m_progress->setRange(0, 1);
        m_progress->setTextVisible(false);
    }
    m_export->setEnabled(m_batch.count(ProvisionBatch::RowState::Used) > 0);
    // Once read, the bridge stays shown until the link closes.
    if (!ready)
        m_bridgeLabel->setText(tr("Connect and log in to a bridge to provision it."));
    else if (!m_busy && !m_bridgeLabel->property("identity").toBool())
        m_bridgeLabel->setText(tr("A bridge is connected on %1.").arg(m_link->portName()));
    m_bridgeLabel->setProperty("identity", ready && m_bridgeLabel->property("identity").toBool());
}

void ProvisionWindow::showRows()
{
    const KeyList &keys = m_batch.keys();
    m_rows->setRowCount(keys.rows.size());
    static const char *const states[] = { QT_TR_NOOP("unused"), QT_TR_NOOP("used"),
                                          QT_TR_NOOP("held by a failed run") };
    for (int i = 0; i < keys.rows.size(); ++i) {
        const KeyRow &r = keys.rows.at(i);
        const ProvisionBatch::RowStatus s = m_batch.status(i);
        const QString time =
            s.time.isValid() ? s.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
        const QStringList cells{ QString::number(r.line), r.name, keylist::spaced(r.devEui),
                                 keylist::spaced(r.joinEui), keylist::fingerprint(r.appKey),
                                 tr(states[int(s.state)]), s.serial, time };
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (c == ColSerial)
                item->setToolTip(s.model);
            if (c == ColState && s.state != ProvisionBatch::RowState::Unused) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_rows->setItem(i, c, item);
        }
    }
    m_rows->resizeColumnsToContents();
    m_keyListLabel->setText(tr("%1: %2 rows, %3 used, %4 unused; %5 with faults. Audit log: %6")
                                .arg(QFileInfo(m_batch.keyListPath()).fileName())
                                .arg(keys.rows.size())
                                .arg(m_batch.count(ProvisionBatch::RowState::Used))
                                .arg(m_batch.count(ProvisionBatch::RowState::Unused))
                                .arg(keys.faults.size())
                                .arg(QFileInfo(m_batch.auditPath()).fileName()));
}

void ProvisionWindow::startProvisioning()
{
    if (m_busy || !m_provisioner->inspect())
        return;
    m_busy = true;
    m_stepList->clear();
    m_progress->setRange(0, 0);  // busy until the steps are known
    showResult(tr("Reading the bridge\u2026"), false);
    updateReady();
}

void ProvisionWindow::showBridge(const BridgeIdentity &bridge)
{
    m_bridgeLabel->setProperty("identity", true);
    m_bridgeLabel->setText(tr("Serial %1 \u00b7 %2 \u00b7 firmware %3 \u00b7 holds DevEUI %4")
                               .arg(bridge.serial.isEmpty() ? tr("(none)") : bridge.serial,
                                    bridge.model, bridge.firmware, keylist::spaced(bridge.devEui)));
}

void ProvisionWindow::onInspected(const BridgeIdentity &bridge)
{
    showBridge(bridge);
    const ProvisionBatch::Choice choice = m_batch.choose(bridge.serial, bridge.devEui);
    if (choice.row < 0) {
        m_busy = false;
        showResult(choice.refusal, true);
        updateReady();
        return;
    }
    m_rows->selectRow(choice.row);
    ProvisionRequest request;
    request.bridge = bridge;
    request.row = m_batch.keys().rows.at(choice.row);
    request.withProfile = !m_profilePath.isEmpty();
    request.profile = m_profile;
    request.profilePath = m_profilePath;
    request.confirmOtherModel =
        request.withProfile
        && profile::matchModels(m_profile.model, bridge.model) == profile::ModelMatch::OtherModel;
    ask(choice, request);
}

void ProvisionWindow::ask(const ProvisionBatch::Choice &choice, const ProvisionRequest &request)
{
    const KeyRow &row = request.row;
    const QString name = row.name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(row.name);
    QStringList details{ tr("DevEUI %1").arg(keylist::spaced(row.devEui)),
                         tr("JoinEUI %1").arg(keylist::spaced(row.joinEui)),
                         tr("AppKey with the fingerprint %1").arg(keylist::fingerprint(row.appKey)),
                         tr("Activation: OTAA") };
    if (request.withProfile)
        details << tr("Profile %1 (%2), without the fields that identify one device")
                       .arg(QFileInfo(request.profilePath).fileName(), request.profile.model);
    if (request.confirmOtherModel)
        details << tr("The profile is of a %1; this bridge is a %2.")
                       .arg(request.profile.model, request.bridge.model);
    if (choice.heldByBridge)
        details << tr("The bridge already holds this row's DevEUI, so it keeps this row.");
    else if (choice.again)
        details << tr("This row went to this bridge before.");
    auto *box = new QMessageBox(QMessageBox::Question, tr("Provision this bridge"),
                                tr("Line %1%2 goes to the bridge with serial %3 (%4).")
                                    .arg(row.line)
                                    .arg(name, request.bridge.serial, request.bridge.model),
                                QMessageBox::Yes | QMessageBox::Cancel, this);
    box->setInformativeText(details.join(QLatin1Char('\n')) + tr("\n\nWrite it now?"));
    box->setDefaultButton(QMessageBox::Yes);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, this, [this, request](int answer) {
        QString error;
        if (answer != QMessageBox::Yes) {
            m_busy = false;
            showResult(tr("Nothing was written."), false);
        } else if (m_provisioner->start(request, &error)) {
            m_steps = Provisioner::steps(request.withProfile);
            QPixmap blank(m_stepList->iconSize());
            blank.fill(Qt::transparent);
            for (Provisioner::Step s : m_steps)
                m_stepList->addItem(new QListWidgetItem(QIcon(blank), Provisioner::stepName(s)));
            m_progress->setRange(0, m_steps.size());
            m_progress->setValue(0);
            m_progress->setTextVisible(true);
            showResult(tr("Writing line %1 to %2\u2026")
                           .arg(request.row.line).arg(request.bridge.serial), false);
        } else {
            m_busy = false;
            showResult(error, true);
        }
        updateReady();
    });
    box->show();
}

void ProvisionWindow::onStep(int step, int state, const QString &detail)
{
    const int index = m_steps.indexOf(Provisioner::Step(step));
    QListWidgetItem *item = m_stepList->item(index);
    if (!item)
        return;
    static const char *const words[] = { QT_TR_NOOP("under way"), QT_TR_NOOP("done"),
                                         QT_TR_NOOP("failed") };
    static const QStyle::StandardPixmap icons[] = {
        QStyle::SP_ArrowRight, QStyle::SP_DialogApplyButton, QStyle::SP_DialogCancelButton };
    const QString name = Provisioner::stepName(Provisioner::Step(step));
    // A step under way shows what it is doing, a failed one why.
    const QString word = tr(words[state]);
    item->setText(detail.isEmpty() ? tr("%1: %2").arg(name, word)
                  : state == Provisioner::Running ? tr("%1: %2").arg(name, detail)
                                                  : tr("%1: %2 \u2014 %3").arg(name, word, detail));
    item->setIcon(style()->standardIcon(icons[state]));
    if (state == Provisioner::Done)
        m_progress->setValue(index + 1);
}

void ProvisionWindow::onFinished(const ProvisionResult &result)
{
    m_busy = false;
    QString error;
    const bool logged = m_batch.record(result.auditEntry(), &error);
    showRows();
    const KeyRow &row = result.request.row;
    if (result.ok) {
        BridgeIdentity now = result.request.bridge;
        now.devEui = row.devEui;
        showBridge(now);
    }
    QString text = result.ok
        ? tr("Line %1 is on the bridge with serial %2, read back and checked.")
              .arg(row.line).arg(result.request.bridge.serial)
        : tr("Failed: %1\nWritten: %2. The row is not used; %3")
              .arg(result.reason, result.writtenText(),
                   result.written.isEmpty() ? tr("it can go to any bridge.")
                                            : tr("it stays with this bridge for another try."));
    if (!logged)
        text += tr("\nThe audit log could not be written: %1").arg(error);
    showResult(text, !result.ok || !logged);
    updateReady();
}

void ProvisionWindow::exportRows()
{
    const int used = m_batch.count(ProvisionBatch::RowState::Used);
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("Export for the network server"),
        tr("The export holds the AppKey of each of the %1 provisioned rows in plain text. Keep it "
           "where only those who register the bridges can read it, and delete it after the "
           "import.").arg(used),
        QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save);
    if (answer != QMessageBox::Save)
        return;
    const QFileInfo list(m_batch.keyListPath());
    const QString suggestion = list.absoluteDir().filePath(list.completeBaseName()
                                                           + QStringLiteral("-network-server.csv"));
    const QString path = m_chooseFile(FileRole::Export, suggestion);
    if (path.isEmpty())
        return;
    QString error;
    if (!m_batch.exportTo(path, &error))
        QMessageBox::warning(this, tr("Export for the network server"), error);
    else
        showResult(tr("%1 rows exported to %2.").arg(used).arg(QDir::toNativeSeparators(path)),
                   false);
}

void ProvisionWindow::showResult(const QString &text, bool failed)
{
    m_result->setText(text);
    m_result->setStyleSheet(failed ? QStringLiteral("color: #b00020;") : QString());
}

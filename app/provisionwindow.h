// Tools > Provision…: puts the rows of a key list into one bridge after
// another. The engineer loads the list (rows with faults are listed and
// never used), chooses a profile to write as well if wanted, and with each
// bridge connected and logged in presses "Provision this bridge": the
// window says which row goes to which bridge and asks, then shows each step
// and the result. The rows table shows which row went to which serial
// number; the audit log beside the key list keeps the same. The provisioned
// rows can be exported for a network server's import.
#pragma once

#include "link/profile.h"
#include "link/provisionbatch.h"
#include "link/provisioner.h"

#include <QWidget>
#include <functional>

class ConnectProcedure;
class Link;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

class ProvisionWindow : public QWidget
{
    Q_OBJECT
public:
    enum class FileRole { KeyList, Profile, Export };
    // Asks for a file to open (key list, profile) or to write (export);
    // `suggestion` is where to start. An empty answer means cancelled.
    using FileChooser = std::function<QString(FileRole role, const QString &suggestion)>;

    ProvisionWindow(Link *link, ConnectProcedure *connect, QWidget *parent = nullptr);

    // Replaces the file dialogs (the tests answer with their own files).
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    const ProvisionBatch &batch() const { return m_batch; }

private:
    void buildWidgets();
    QWidget *buildBridgeBox();
    void loadKeyList();
    void chooseProfile();
    void clearProfile();
    void updateReady();
    void showRows();
    void startProvisioning();
    void showBridge(const BridgeIdentity &bridge);
    void onInspected(const BridgeIdentity &bridge);
    void ask(const ProvisionBatch::Choice &choice, const ProvisionRequest &request);
    void onStep(int step, int state, const QString &detail);
    void onFinished(const ProvisionResult &result);
    void exportRows();
    void showResult(const QString &text, bool failed);

    Link *m_link;
    ConnectProcedure *m_connect;
    Provisioner *m_provisioner;
    ProvisionBatch m_batch;
    Profile m_profile;
    QString m_profilePath;
    FileChooser m_chooseFile;
    QVector<Provisioner::Step> m_steps;
    bool m_busy = false;  // from the press of the button to the result

    QLabel *m_keyListLabel;
    QListWidget *m_faults;
    QLabel *m_profileLabel;
    QPushButton *m_clearProfile;
    QTableWidget *m_rows;
    QLabel *m_bridgeLabel;
    QPushButton *m_provision;
    QListWidget *m_stepList;
    QProgressBar *m_progress;
    QLabel *m_result;
    QPushButton *m_export;
};

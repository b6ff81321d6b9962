// The window's device profile actions (menu "Device"): save the bridge to a
// profile file, compare the bridge with one, write one to the bridge. Each
// runs without holding up the event loop: the bridge is read or written
// block by block behind a progress dialog that can cancel, and the outcome
// ends in the status bar, a message box or a report dialog.
#pragma once

#include "link/profilewriter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class Link;
class ProfileWriteDialog;
class QMessageBox;
class QProgressDialog;
class QWidget;

class ProfileActions : public QObject
{
    Q_OBJECT
public:
    // A file the user is asked for: where a profile goes, or which to read.
    struct FileChoice {
        enum Mode { Save, Open };
        Mode mode = Open;
        QString title;
        QString suggested;  // a folder, or a full path for Save
    };
    // Returns the chosen path, or an empty string when the user gave up.
    using FileChooser = std::function<QString(const FileChoice &choice)>;

    // `bridgeModel` tells the model name of the connected bridge.
    ProfileActions(Link *link, QWidget *window, std::function<QString()> bridgeModel);

    // Every file choice goes through here; a file dialog unless replaced.
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    bool isBusy() const { return m_job != Job::None; }

public slots:
    void save();
    void compare();
    void write();
    // The link was closed: the job under way stops, an open dialog goes.
    void linkClosed();

private:
    enum class Job { None, SaveHeader, Save, Compare, Write };

    QString chooseFile(FileChoice::Mode mode, const QString &title, const QString &suggested);
    bool readProfileFile(const QString &title, const QString &path, Profile *file);
    QString bridgeModel() const;
    void startProgress(const QString &title);
    void showProgress(int done, int total, const QString &step);
    void endProgress();
    void cancel();
    QMessageBox *showBox(int icon, const QString &title, const QString &text);
    void ask(const QString &title, const QString &text, const std::function<void()> &onYes);

    void readFinished(const ProfileReadResult &read);
    void headerRead(const ProfileReadResult &read);
    void saved(const ProfileReadResult &read);
    void compared(const ProfileReadResult &read);

    // Writing (profilewrite.cpp).
    void chooseGroups(const Profile &file, const QString &path, bool confirmedModel);
    void startWrite(const ProfileWriteRequest &request);
    void writeFinished(const ProfileWriteResult &result);
    void showWriteReport(const ProfileWriteResult &result);

    Link *m_link;
    QWidget *m_window;
    std::function<QString()> m_bridgeModel;
    FileChooser m_chooser;
    ProfileReader *m_reader;
    ProfileWriter *m_writer;
    QPointer<QProgressDialog> m_progress;
    QPointer<ProfileWriteDialog> m_writeDialog;
    Job m_job = Job::None;
    QString m_folder;  // where the last profile was chosen
    QString m_path;    // the profile file of the job under way
    Profile m_file;    // the profile compared with
    ProfileWriteRequest m_request;  // the write under way
};

// The link to one bridge: the Modbus client object and the one path that
// every request of the program takes (pages, dialogs, the Connect procedure):
// read and write actions, the standard reporting of their outcome, waiting
// with events. The outcome texts go out through signals; the window shows
// them on its status bar.
#pragma once

#include "link/traffic.h"

#include <QModbusDataUnit>
#include <QModbusDevice>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

class QModbusClient;
class QModbusReply;

// How one request deviates from the standard read and write actions. Set the
// fields by name: `Link::Options o; o.silent = true;`.
struct RequestOptions {
    int server = -1;          // -1: the window's server address
    bool showOk = true;       // "OK!" on success
    bool clearStatus = true;  // clear the status bar before sending
    // Nothing is reported either way: the bar is left alone, a refused request
    // and a failed reply show nothing, success shows no "OK!".
    bool silent = false;
    // With `silent`: a read reply of another register count than asked for is
    // reported all the same, with the standard text.
    bool reportWrongCount = false;
    // Shown before the link's error text when the link refuses the request,
    // instead of "Read error: " or "Write error: ".
    QString refusedText;
    // Reply errors in the timing settings' wording:
    // "Write response error:%1(Modbus exception:0x%2" and "...(Modbus code:0x%2".
    bool compactErrors = false;
    // A read that fails for another reason than an exception reply from the
    // device (no answer in time, a lost link, a reply of another register
    // count) shows this instead of the standard text, until the next message.
    QString failedText;
    // Told how the request ended, after any reporting (also when `silent`):
    // NoError, or the reply's error (ReadError for a read reply of another
    // register count) with the device's exception code (-1 when the reply
    // is no exception) and the failure's standard text. For callers that
    // report outcomes in their own place.
    std::function<void(QModbusDevice::Error error, int exceptionCode, const QString &text)> outcome;
};

class Link : public QObject
{
    Q_OBJECT
public:
    enum ClientType { Serial = 0, Tcp = 1 };
    // The response time-out of every request, set on each new client.
    static constexpr int ResponseTimeout = 3000;

    // Decodes the values of a successful read reply into a page.
    using Decoder = std::function<void(const QVector<quint16> &values)>;
    // Told whether a write reply came back without error.
    using WriteDone = std::function<void(bool ok)>;
    // Told how a read ended: NoError after the decoder ran, else the reply's
    // error, ReadError for a reply of another register count than asked for.
    using ReadDone = std::function<void(QModbusDevice::Error error)>;

    using Options = RequestOptions;

    explicit Link(QObject *parent = nullptr);
    ~Link() override;

    // Where requests go unless a dialog names its server directly.
    void setServerAddressSource(std::function<int()> source);
    int serverAddress() const;

    // The port chosen for the link (the window's "COM:" choice); each login
    // opens the link there.
    void setPortSource(std::function<QString()> source);
    QString chosenPort() const;
    // The port the link was last opened on; before any, the chosen one.
    QString portName() const;

    // Replaces the client object (serial or TCP); returns false when it could
    // not be created, after reporting that.
    bool createClient(ClientType type);
    QModbusClient *device() const { return m_device; }
    QModbusDevice::State state() const;
    bool isConnected() const { return state() == QModbusDevice::ConnectedState; }

    // Opens the serial link with the bridge's fixed line settings (lineparams.h).
    bool openSerial(const QString &portName);
    void close();

    // Status-bar text: `timeout` in ms, 0 keeps it until the next message.
    void showMessage(const QString &text, int timeout = 0);
    void clearMessage();

    // Read action: sends a read of [start, start + count) and hands the reply's
    // values to `decode`. Errors, and a reply with another register count than
    // asked for (fewer: "Short reply"; more: a late answer to another request),
    // get the standard read texts and decode nothing: every read of the program
    // is checked here. Returns false when nothing was sent. `context` ends the
    // request's handling when it is destroyed first.
    bool read(quint16 start, quint16 count, QObject *context, Decoder decode,
              Options options = Options());
    // As above; `done` is told how the read ended, after the reporting.
    bool read(quint16 start, quint16 count, QObject *context, Decoder decode, ReadDone done,
              Options options = Options());

    // Write action: sends one block. `done` (optional) runs after the standard
    // write reporting. Returns false when nothing was sent.
    bool write(quint16 start, const QVector<quint16> &values, QObject *context = nullptr,
               WriteDone done = WriteDone(), Options options = Options());

    bool readSingleRegister(quint16 address, QObject *context, Decoder decode);

    // Runs the event loop for `ms` milliseconds (in slices of at most 100 ms).
    // Returns false as soon as `guard` (when given) has been destroyed, so the
    // caller can stop without touching an object that went away.
    static bool waitWithEvents(int ms, const QObject *guard = nullptr);

    // Whether requests are recorded: only while something listens to
    // requestFinished, so nobody pays for records nobody reads.
    bool isRecording() const;
    // Records what went over the port past the link (the event log download).
    void noteTransfer(const TrafficRecord &record);

signals:
    // One request has ended (answered, refused, timed out): what was sent and
    // what came back. Emitted before the request's own handling.
    void requestFinished(const TrafficRecord &record);
    void stateChanged(int state);
    // The port went away under an open link (adapter pulled): the window runs
    // its Disconnect procedure once.
    void linkLost(const QString &errorText);
    // Text for the status bar, shown for `timeoutMs` (0: until replaced).
    void statusMessage(const QString &text, int timeoutMs);
    void statusCleared();

private:
    QModbusReply *send(const QModbusDataUnit &unit, bool isRead, const Options &options);
    void onErrorOccurred(QModbusDevice::Error error);
    void record(QModbusReply *reply, const QModbusDataUnit &unit, int server, bool isRead);
    // `expected` is the register count of a read, -1 for a write.
    void onReply(QModbusReply *reply, int expected, const Options &options, const Decoder &decode,
                 const ReadDone &done);

    QModbusClient *m_device = nullptr;
    std::function<int()> m_serverAddress;
    std::function<QString()> m_chosenPort;
    bool m_lostReported = false;
};

// A simulated NB500/NB520 bridge: a Modbus RTU server on a pseudo-terminal.
//
// It is built on libmodbus, independently of Qt's Modbus classes, so tests
// that drive the application against it do not check Qt against itself.
// The server runs on its own thread; every public member is thread-safe.
#pragma once

#include "eventlogsender.h"

#include <QString>
#include <QVector>
#include <QList>
#include <memory>

namespace sim {

// One write request as the bridge received it (function 6 or 16).
struct WriteRecord {
    int start = 0;
    QVector<quint16> values;
};

// One read request (function 3) as the bridge received it.
struct ReadRecord {
    int start = 0;
    int count = 0;
};

enum class Fault {
    NoAnswer,    // the request is swallowed: the client runs into its time-out
    Exception,   // answered with a Modbus exception (code in FaultRule::code)
    BadCrc,      // the normal reply, with a damaged CRC
    ShortReply,  // a read reply that carries fewer registers than asked (a valid frame)
    ExtraBytes,  // the normal reply followed by a few stray bytes
};

// A fault applies to requests whose register block overlaps [first, last].
struct FaultRule {
    Fault kind = Fault::NoAnswer;
    int first = 0;
    int last = 0xFFFF;
    int code = 2;        // exception code for Fault::Exception
    int function = 0;    // 0: any function code; else only 3, 6 or 16
    int count = -1;      // -1: every matching request; n > 0: the next n ones
};

// Line timing of the bridge's configuration port at 9600 baud, 8N1: ten bit
// times per byte. A paced bridge (Options::paced, SimBridge::setPaced) keeps
// to it: a request counts as received only when its last byte would have
// arrived, the answer leaves after the turnaround, and every byte of the
// answer (Modbus replies and YMODEM packets alike) leaves at this rate.
namespace line {
constexpr double kByteMicros = 10.0 * 1e6 / 9600.0;           // 1041.67 us
constexpr double kSilenceMicros = 3.5 * kByteMicros;          // 3.5 characters, 3645.8 us
// Request received to the first byte of the answer: the 3.5-character
// silence that ends an RTU frame plus about 1.35 ms of device processing.
// The YMODEM sender reacts to the receiver's answers after the same time.
constexpr double kTurnaroundMicros = 5000.0;
constexpr double wireMicros(int bytes) { return bytes * kByteMicros; }
} // namespace line

struct Options {
    QString model = QStringLiteral("NB500-400");
    QString serial = QStringLiteral("NW24110001");  // kept through a factory reset
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("admin");
    int serverAddress = 1;
    // When set, a symbolic link at this path points at the pseudo-terminal,
    // so the port keeps its name when the device is unplugged and plugged again.
    QString linkPath;
    // Real line timing (see namespace line); off: answers leave at once.
    bool paced = false;
};

class SimBridge {
public:
    explicit SimBridge(const Options &options = Options());
    ~SimBridge();  // stops the server, closes the pseudo-terminal, removes the link

    bool start();              // opens the pseudo-terminal and starts serving
    void stop();               // like unplug(): stops serving, closes the pseudo-terminal, removes the link
    QString portPath() const;  // the link path when set, else the slave device path
    QString errorString() const;

    // The register map (65536 holding registers). Writing 1 to register 178
    // restores the factory settings, as the bridge's reset does.
    quint16 reg(int address) const;
    QVector<quint16> regs(int address, int count) const;
    void setReg(int address, quint16 value);
    void setRegs(int address, const QVector<quint16> &values);
    void setText(int address, int count, const QString &text); // register text, zero padded
    QString text(int address, int count) const;                // register text, cut at the first zero

    // Every write the bridge accepted or refused, in arrival order: each well-formed
    // write request (function 6, or 16 with a consistent quantity and byte count)
    // addressed to this bridge that reached the handler, whether it was stored,
    // refused with an exception (fault rule, bad address, refused login) or a login
    // attempt (start 199, count 16, which is never stored into the map). Not
    // recorded: requests swallowed by a Fault::NoAnswer rule, broadcasts, requests
    // to other addresses and frames with a bad CRC. A refused write leaves the
    // register map unchanged.
    QList<WriteRecord> writes() const;
    // Writes whose block overlaps [first, last].
    QList<WriteRecord> writesIn(int first, int last) const;
    void clearWrites();
    // Every read request addressed to us (answered or not), in arrival order.
    QList<ReadRecord> reads() const;
    void clearReads();
    // Requests received (any function), for tests that assert "nothing sent": every
    // frame with a good CRC addressed to this bridge or broadcast, including those
    // swallowed by a Fault::NoAnswer rule.
    int requestCount() const;

    // Fault injection.
    void addFault(const FaultRule &rule);
    void clearFaults();
    void setDelay(int ms);     // every answer leaves this long after the request
    // Real 9600-baud line timing for requests, answers and YMODEM packets.
    void setPaced(bool on);
    bool paced() const;

    // The event log. While register 3000 is 1, a "C" on the line (sent when
    // the Modbus link has given the port to a YMODEM receiver) makes the
    // bridge send its log file with YMODEM; Modbus requests are served as usual.
    void setEventLog(const LogOptions &options);
    int logStartRequests() const;  // "C" bytes taken as start requests
    int logNaks() const;           // packets the receiver answered with NAK
    int logTransfers() const;      // transfers that ran to the end

    // The device disappears: the pseudo-terminal is closed (and the link removed).
    void unplug();
    // The device comes back on a new pseudo-terminal (the link path, if any, is kept).
    bool replug();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace sim

// The simulated NB500/NB520 bridge. See simbridge.h.
//
// The server side of a pseudo-terminal pair is served by libmodbus: it frames
// and checks incoming requests (modbus_receive on the master descriptor). The
// replies are built here as raw RTU frames so that faults (damaged CRC, short
// replies, stray bytes) can be injected.
#include "simbridge.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>

#include <modbus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int kRegisterCount = 0x10000;
constexpr int kLoginStart = 199;
constexpr int kLoginCount = 16;
constexpr int kUserReg = 180;
constexpr int kPasswordReg = 188;
constexpr int kCredRegs = 8;
constexpr int kFactoryResetReg = 178;  // writing 1 restores the factory settings

bool debugEnabled()
{
    static const bool on = qEnvironmentVariableIsSet("NODEWEAVE_SIM_DEBUG");
    return on;
}

#define SIM_DEBUG if (!debugEnabled()) {} else qDebug().noquote() << "[sim]"

quint16 crc16(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (char ch : data) {
        crc ^= static_cast<quint8>(ch);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

void put16(QByteArray &a, int v)
{
    a.append(char((v >> 8) & 0xFF));
    a.append(char(v & 0xFF));
}

int get16(const uint8_t *p) { return (p[0] << 8) | p[1]; }

QByteArray exceptionPdu(int function, int code)
{
    QByteArray pdu;
    pdu.append(char((function | 0x80) & 0xFF));
    pdu.append(char(code & 0xFF));
    return pdu;
}

QString hexBytes(const uint8_t *p, int n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p), n).toHex(' '));
}

// The register block a request addresses; valid == false when the function has none.
struct Block {
    bool valid = false;
    int first = 0;
    int last = 0;
};

Block blockOf(const uint8_t *req, int length)
{
    Block b;
    if (length < 8)  // address, function, 4 bytes, CRC
        return b;
    const int fc = req[1];
    const int start = get16(req + 2);
    int count = 0;
    switch (fc) {
    case 1: case 2: case 3: case 4: case 15: case 16:
        count = get16(req + 4);
        break;
    case 5: case 6:
        count = 1;
        break;
    default:
        return b;
    }
    b.valid = true;
    b.first = start;
    b.last = start + std::max(count, 1) - 1;
    return b;
}

bool ruleMatches(const FaultRule &r, int fc, const Block &b)
{
    if (r.function != 0 && r.function != fc)
        return false;
    if (!b.valid)  // no register block: only rules that cover the whole map
        return r.first <= 0 && r.last >= 0xFFFF;
    return b.first <= r.last && b.last >= r.first;
}

} // namespace

using Clock = std::chrono::steady_clock;

Clock::duration microsToDuration(double micros)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::micro>(micros));
}

struct SimBridge::Private {
    Options options;
    std::atomic<bool> paced{false};
    // Paced line, server thread only: when the last byte read from the PC
    // would have been complete on a real line.
    Clock::time_point rxWireEnd;

    // Guarded by mutex: the device state shared with the server thread.
    mutable std::mutex mutex;
    std::vector<quint16> regs = std::vector<quint16>(kRegisterCount, 0);
    QList<WriteRecord> writes;
    QList<ReadRecord> reads;
    QList<FaultRule> faults;
    int requests = 0;
    int delayMs = 0;
    LogOptions log;
    int logStarts = 0;
    int logNaks = 0;
    int logTransfers = 0;
    QString slavePath;
    QString error;

    // Life cycle: only touched by the public API (serialised by lifeMutex).
    std::mutex lifeMutex;
    bool running = false;
    int masterFd = -1;
    int slaveFd = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::mutex sleepMutex;
    std::condition_variable sleepCv;

    void factoryReset();
    void setTextLocked(int address, int count, const QString &text);
    bool open();
    void close();
    bool makeLink();
    void removeLink();
    void setError(const QString &e)
    {
        std::lock_guard<std::mutex> lock(mutex);
        error = e;
        SIM_DEBUG << e;
    }

    // Server thread.
    void serve(int fd);
    void handle(int fd, const uint8_t *req, int length, Clock::time_point arrival);
    bool logArmed() const;
    int readByte(int fd, int timeoutMs);
    void serveLogMode(int fd);
    void sendLog(int fd);
    QByteArray process(const uint8_t *req, int length);
    bool pause(int ms);  // false when stopping
    bool pauseUntil(Clock::time_point t);  // false when stopping
    // Writes at the line's byte rate, first byte starting at `start`.
    void writePaced(int fd, const QByteArray &bytes, Clock::time_point start);
    void drain(int fd);
    void writeAll(int fd, const QByteArray &frame);
    modbus_t *newContext(int fd) const;
};

void SimBridge::Private::setTextLocked(int address, int count, const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    for (int i = 0; i < count; ++i) {
        const int a = address + i;
        if (a < 0 || a >= kRegisterCount)
            continue;
        const int hi = 2 * i < bytes.size() ? quint8(bytes.at(2 * i)) : 0;
        const int lo = 2 * i + 1 < bytes.size() ? quint8(bytes.at(2 * i + 1)) : 0;
        regs[a] = quint16((hi << 8) | lo);
    }
}

void SimBridge::Private::factoryReset()
{
    std::fill(regs.begin(), regs.end(), 0);
    auto set = [this](int address, std::initializer_list<int> values) {
        for (int v : values)
            regs[address++] = quint16(v);
    };
    // RS-485 port: 9600 baud (index 0), 8 data bits, 1 stop bit, no parity, address 1.
    set(0, {0, 8, 1, 0, 1});
    // LoRa radio: 470 MHz, 20 dBm, SF7, BW index 0, CR 1, 0, sync word 0x12.
    set(21, {470, 20, 7, 0, 1, 0, 0x12});
    set(100, {1});                        // group net
    setTextLocked(133, 8, options.model);
    setTextLocked(141, 8, QStringLiteral("NW24110001"));
    set(149, {3000, 60});
    set(160, {quint16(-87), 7});          // RSSI, SNR
    setTextLocked(170, 8, QStringLiteral("V2.1.3"));
    setTextLocked(kUserReg, kCredRegs, options.user);
    setTextLocked(kPasswordReg, kCredRegs, options.password);
    // LoRaWAN: device address, network and application session keys (ABP).
    set(200, {0x2601, 0x1A2B});
    set(202, {0x2B7E, 0x1516, 0x28AE, 0xD2A6, 0xABF7, 0x1588, 0x09CF, 0x4F3C});
    set(210, {0x3C4F, 0xCF09, 0x8815, 0xF7AB, 0xA6D2, 0xAE28, 0x1615, 0x7E2B});
    set(240, {0x70B3, 0xD57E, 0xD005, 0x1A2B});  // dev EUI
    set(244, {0x0000, 0x0000, 0x0000, 0x0001});  // app EUI
    set(248, {0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0x0F10});
    set(256, {1, 0});                     // OTAA, 0
    set(801, {60});                       // upload interval
    set(808, {1000});                     // polling time-out
    // Sensor timing: upload every 180 s, a 30 min countdown in countdown
    // mode, clock at 2024-01-01 00:00 UTC, time zone UTC+8.
    set(802, {180, 30, 0, 0x6592, 0x0080, quint16(-480)});
    // Two RTU sensors in the table (7 registers per entry from 500).
    setTextLocked(500, 4, QStringLiteral("TANK1"));
    set(504, {0x0305, 40001, 2});
    setTextLocked(507, 4, QStringLiteral("FLOW-02"));
    set(511, {0x0411, 30001, 4});
    // I/O channel values: small plausible readings.
    for (int a = 1000; a <= 1111; ++a)
        regs[a] = quint16(((a - 1000) * 37) % 400 + 5);
}

SimBridge::SimBridge(const Options &options) : d(new Private)
{
    d->options = options;
    d->paced = options.paced;
    d->factoryReset();
}

SimBridge::~SimBridge()
{
    stop();
}

// ---------------------------------------------------------------- life cycle

bool SimBridge::Private::makeLink()
{
    if (options.linkPath.isEmpty())
        return true;
    const QByteArray link = QFile::encodeName(options.linkPath);
    const QByteArray target = QFile::encodeName(slavePath);
    const QByteArray tmp = link + ".tmp" + QByteArray::number(getpid()) + "-"
                           + QByteArray::number(quintptr(this), 16);
    ::unlink(tmp.constData());
    if (::symlink(target.constData(), tmp.constData()) != 0) {
        setError(QStringLiteral("cannot create link %1: %2")
                     .arg(QFile::decodeName(tmp), QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    // rename() replaces a stale link or file atomically.
    if (::rename(tmp.constData(), link.constData()) != 0) {
        const int e = errno;
        ::unlink(tmp.constData());
        setError(QStringLiteral("cannot create link %1: %2")
                     .arg(options.linkPath, QString::fromLocal8Bit(strerror(e))));
        return false;
    }
    return true;
}

void SimBridge::Private::removeLink()
{
    if (options.linkPath.isEmpty())
        return;
    const QByteArray link = QFile::encodeName(options.linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link.constData());
}

bool SimBridge::Private::open()
{
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        setError(QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    struct termios tio;
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    char name[256] = {};
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        setError(QStringLiteral("ttyname failed"));
        ::close(master);
        ::close(slave);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        slavePath = QFile::decodeName(name);
        error.clear();
    }
    if (!makeLink()) {
        ::close(master);
        ::close(slave);
        return false;
    }
    masterFd = master;
    slaveFd = slave;
    stopping = false;
    running = true;
    thread = std::thread([this, master] { serve(master); });
    SIM_DEBUG << "serving on" << slavePath << options.linkPath;
    return true;
}

void SimBridge::Private::close()
{
    if (!running)
        return;
    {
        std::lock_guard<std::mutex> lock(sleepMutex);
        stopping = true;
    }
    sleepCv.notify_all();
    if (thread.joinable())
        thread.join();
    ::close(masterFd);
    ::close(slaveFd);
    masterFd = slaveFd = -1;
    removeLink();
    running = false;
    SIM_DEBUG << "unplugged";
}

bool SimBridge::start()
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    if (d->running)
        return true;
    return d->open();
}

void SimBridge::stop()
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    d->close();
}

void SimBridge::unplug()
{
    stop();
}

bool SimBridge::replug()
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    d->close();
    return d->open();
}

QString SimBridge::portPath() const
{
    if (!d->options.linkPath.isEmpty())
        return d->options.linkPath;
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->slavePath;
}

QString SimBridge::errorString() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->error;
}

// ---------------------------------------------------------------- register map

quint16 SimBridge::reg(int address) const
{
    if (address < 0 || address >= kRegisterCount)
        return 0;
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->regs[address];
}

QVector<quint16> SimBridge::regs(int address, int count) const
{
    QVector<quint16> out;
    std::lock_guard<std::mutex> lock(d->mutex);
    for (int i = 0; i < count; ++i) {
        const int a = address + i;
        out.append(a >= 0 && a < kRegisterCount ? d->regs[a] : quint16(0));
    }
    return out;
}

void SimBridge::setReg(int address, quint16 value)
{
    if (address < 0 || address >= kRegisterCount)
        return;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->regs[address] = value;
}

void SimBridge::setRegs(int address, const QVector<quint16> &values)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    for (int i = 0; i < values.size(); ++i) {
        const int a = address + i;
        if (a >= 0 && a < kRegisterCount)
            d->regs[a] = values.at(i);
    }
}

void SimBridge::setText(int address, int count, const QString &text)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->setTextLocked(address, count, text);
}

QString SimBridge::text(int address, int count) const
{
    QByteArray bytes;
    std::lock_guard<std::mutex> lock(d->mutex);
    for (int i = 0; i < count; ++i) {
        const int a = address + i;
        const quint16 v = a >= 0 && a < kRegisterCount ? d->regs[a] : 0;
        const char hi = char(v >> 8), lo = char(v & 0xFF);
        if (!hi)
            break;
        bytes.append(hi);
        if (!lo)
            break;
        bytes.append(lo);
    }
    return QString::fromLatin1(bytes);
}

// ---------------------------------------------------------------- writes, faults

// Deep copies: the server thread keeps appending to its own list, and the
// caller's copy shares nothing with it (keeps thread sanitizers quiet too).
static WriteRecord copyOf(const WriteRecord &w)
{
    return WriteRecord{w.start, QVector<quint16>(w.values.constBegin(), w.values.constEnd())};
}

QList<WriteRecord> SimBridge::writes() const
{
    QList<WriteRecord> out;
    std::lock_guard<std::mutex> lock(d->mutex);
    out.reserve(d->writes.size());
    for (const WriteRecord &w : d->writes)
        out.append(copyOf(w));
    return out;
}

QList<WriteRecord> SimBridge::writesIn(int first, int last) const
{
    QList<WriteRecord> out;
    std::lock_guard<std::mutex> lock(d->mutex);
    for (const WriteRecord &w : d->writes) {
        const int wLast = w.start + std::max(w.values.size(), 1) - 1;
        if (w.start <= last && wLast >= first)
            out.append(copyOf(w));
    }
    return out;
}

void SimBridge::clearWrites()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->writes.clear();
}

QList<ReadRecord> SimBridge::reads() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return QList<ReadRecord>(d->reads.begin(), d->reads.end());
}

void SimBridge::clearReads()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->reads.clear();
}

int SimBridge::requestCount() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}

void SimBridge::addFault(const FaultRule &rule)
{
    if (rule.count == 0)
        return;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.append(rule);
}

void SimBridge::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.clear();
}

void SimBridge::setDelay(int ms)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->delayMs = std::max(ms, 0);
}

void SimBridge::setPaced(bool on)
{
    d->paced = on;
}

bool SimBridge::paced() const
{
    return d->paced;
}

// ---------------------------------------------------------------- server thread

modbus_t *SimBridge::Private::newContext(int fd) const
{
    modbus_t *ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (!ctx)
        return nullptr;
    modbus_set_slave(ctx, options.serverAddress);
    modbus_set_error_recovery(ctx, MODBUS_ERROR_RECOVERY_NONE);
    modbus_set_indication_timeout(ctx, 0, 100000);
    modbus_set_byte_timeout(ctx, 0, 200000);
    modbus_set_socket(ctx, fd);
    return ctx;
}

bool SimBridge::Private::pause(int ms)
{
    std::unique_lock<std::mutex> lock(sleepMutex);
    sleepCv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
    return !stopping;
}

bool SimBridge::Private::pauseUntil(Clock::time_point t)
{
    std::unique_lock<std::mutex> lock(sleepMutex);
    sleepCv.wait_until(lock, t, [this] { return stopping.load(); });
    return !stopping;
}

void SimBridge::Private::writePaced(int fd, const QByteArray &bytes, Clock::time_point start)
{
    // Bytes go out in small groups, each written when its last byte would be
    // complete on the line, so the reader sees them arrive at the line's rate
    // (a sleep per byte would wake the reader a thousand times per packet).
    constexpr int kGroup = 4;
    for (int i = 0; i < bytes.size();) {
        const int j = std::min(int(bytes.size()), i + kGroup);
        if (!pauseUntil(start + microsToDuration(line::wireMicros(j))))
            return;
        writeAll(fd, bytes.mid(i, j - i));
        i = j;
    }
}

void SimBridge::Private::drain(int fd)
{
    uint8_t buf[256];
    for (int i = 0; i < 64; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
            return;
        if (::read(fd, buf, sizeof buf) <= 0)
            return;
    }
}

void SimBridge::Private::writeAll(int fd, const QByteArray &frame)
{
    int done = 0;
    while (done < frame.size() && !stopping) {
        const ssize_t n = ::write(fd, frame.constData() + done, size_t(frame.size() - done));
        if (n > 0) {
            done += int(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            SIM_DEBUG << "write failed:" << strerror(errno);
            return;
        }
    }
}

void SimBridge::Private::serve(int fd)
{
    modbus_t *ctx = newContext(fd);
    if (!ctx) {
        setError(QStringLiteral("modbus_new_rtu failed"));
        return;
    }
    uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stopping) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        if (r == 0)
            continue;
        if (r < 0) {
            if (errno != EINTR && !pause(100))
                break;
            continue;
        }
        if (!(p.revents & POLLIN)) {  // hang-up or error without data: do not spin
            if (!pause(100))
                break;
            continue;
        }
        if (logArmed()) {
            serveLogMode(fd);
            continue;
        }
        const Clock::time_point arrival = Clock::now();
        const int n = modbus_receive(ctx, req);
        if (n == 0) {
            // A request for another address. libmodbus then expects that device's
            // reply and would swallow the next frame: start from a fresh context.
            SIM_DEBUG << "request for another address ignored";
            modbus_free(ctx);
            ctx = newContext(fd);
            if (!ctx)
                break;
            continue;
        }
        if (n < 0) {
            const int e = errno;
            SIM_DEBUG << "receive error:" << modbus_strerror(e);
            if (e == ETIMEDOUT || e == EMBBADCRC || e == EMBBADDATA || e == EMBBADSLAVE
                || e == EMBXILFUN || e == EMBXILVAL) {
                drain(fd);  // drop the rest of the bad frame, keep serving
            } else if (!pause(100)) {  // EIO, EBADF...: back off instead of spinning
                break;
            }
            continue;
        }
        handle(fd, req, n, arrival);
    }
    if (ctx)
        modbus_free(ctx);
}

void SimBridge::Private::handle(int fd, const uint8_t *req, int length, Clock::time_point arrival)
{
    if (length < 4)
        return;
    const int address = req[0];
    const int fc = req[1];
    if (address != options.serverAddress && address != 0)
        return;
    SIM_DEBUG << "request" << hexBytes(req, length);

    QByteArray pdu;
    Fault kind = Fault::Exception;
    bool faulted = false;
    int delay = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++requests;
        if (address == 0)  // broadcast: counted, not acted upon
            return;

        const Block block = blockOf(req, length);
        if (fc == 3 && length >= 8)
            reads.append(ReadRecord{get16(req + 2), get16(req + 4)});
        for (int i = 0; i < faults.size(); ++i) {
            FaultRule &rule = faults[i];
            if (!ruleMatches(rule, fc, block))
                continue;
            faulted = true;
            kind = rule.kind;
            const int code = rule.code;
            if (rule.count > 0 && --rule.count == 0)
                faults.removeAt(i);
            if (kind == Fault::NoAnswer) {
                SIM_DEBUG << "fault: no answer";
                return;
            }
            if (kind == Fault::Exception)
                pdu = exceptionPdu(fc, code);
            break;
        }

        // Record well-formed writes (also refused ones).
        if (fc == 6 && length >= 8) {
            writes.append(WriteRecord{get16(req + 2), {quint16(get16(req + 4))}});
        } else if (fc == 16 && length >= 9) {
            const int count = get16(req + 4);
            const int bytes = req[6];
            if (count >= 1 && count <= 123 && bytes == 2 * count && length >= 9 + bytes) {
                WriteRecord w;
                w.start = get16(req + 2);
                for (int i = 0; i < count; ++i)
                    w.values.append(quint16(get16(req + 7 + 2 * i)));
                writes.append(w);
            }
        }

        if (pdu.isEmpty())
            pdu = process(req, length);  // applies writes

        if (faulted && kind == Fault::ShortReply && fc == 3 && pdu.size() >= 2
            && quint8(pdu.at(0)) == 3) {
            const int regsAsked = quint8(pdu.at(1)) / 2;
            const int keep = regsAsked / 2;  // at least one fewer
            pdu.truncate(2 + 2 * keep);
            pdu[1] = char(2 * keep);
        }
        delay = delayMs;
    }

    QByteArray frame;
    frame.append(char(address));
    frame.append(pdu);
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    if (faulted && kind == Fault::BadCrc) {
        frame[frame.size() - 2] = char(frame.at(frame.size() - 2) ^ 0xFF);
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
    }
    if (faulted && kind == Fault::ExtraBytes)
        frame.append(QByteArray::fromHex("ff00a5"));

    // On a real line the request's last byte arrives length byte times after
    // its first one (a pseudo-terminal delivers it all at once); the answer
    // starts one turnaround after that.
    // The answer's bytes are timed from when it is due, not from when this
    // thread woke up, so wake-up latencies do not add up.
    const bool pacedLine = paced;
    Clock::time_point due = arrival + microsToDuration(line::wireMicros(length) + line::kTurnaroundMicros);
    if (pacedLine && !pauseUntil(due))
        return;
    if (delay > 0) {
        if (!pause(delay))
            return;
        due = Clock::now();
    }
    SIM_DEBUG << "reply" << frame.toHex(' ');
    if (pacedLine)
        writePaced(fd, frame, due);
    else
        writeAll(fd, frame);
}

// ---------------------------------------------------------------- event log

bool SimBridge::Private::logArmed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return regs[3000] == 1 && options.serverAddress != 'C';
}

int SimBridge::Private::readByte(int fd, int timeoutMs)
{
    for (int waited = 0; !stopping;) {
        pollfd p{fd, POLLIN, 0};
        const int slice = std::min(100, timeoutMs - waited);
        const int r = ::poll(&p, 1, std::max(slice, 0));
        if (r > 0 && (p.revents & POLLIN)) {
            uint8_t b = 0;
            const ssize_t n = ::read(fd, &b, 1);
            if (n == 1) {
                if (paced)  // the byte is complete one byte time after it began
                    rxWireEnd = std::max(rxWireEnd, Clock::now()) + microsToDuration(line::kByteMicros);
                return b;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR && !pause(50))
                return -1;
        } else if (r > 0 && !pause(50)) {  // hang-up without data
            return -1;
        }
        waited += std::max(slice, 1);
        if (waited >= timeoutMs)
            return -1;
    }
    return -1;
}

// With the log transfer enabled every byte is looked at here first: a "C"
// asks for the log file (no request for this bridge starts with that byte),
// anything else is the start of a Modbus request, framed here because
// libmodbus has not seen its first byte.
void SimBridge::Private::serveLogMode(int fd)
{
    const Clock::time_point arrival = Clock::now();
    const int first = readByte(fd, 100);
    if (first < 0)
        return;
    if (first == 'C') {
        sendLog(fd);
        return;
    }
    QByteArray frame(1, char(first));
    auto needed = [&frame]() -> int {
        if (frame.size() < 2)
            return 2;
        const int fc = quint8(frame.at(1));
        if (fc >= 1 && fc <= 6)
            return 8;
        if (fc == 15 || fc == 16)
            return frame.size() < 7 ? 7 : 9 + quint8(frame.at(6));
        return -1;
    };
    for (int n = needed(); n > 0 && frame.size() < n; n = needed()) {
        const int b = readByte(fd, 200);
        if (b < 0)
            return;
        frame.append(char(b));
    }
    const int n = needed();
    if (n < 0) {
        drain(fd);
        return;
    }
    const quint16 crc = crc16(frame.left(n - 2));
    if (quint8(frame.at(n - 2)) != (crc & 0xFF) || quint8(frame.at(n - 1)) != (crc >> 8)) {
        drain(fd);
        return;
    }
    handle(fd, reinterpret_cast<const uint8_t *>(frame.constData()), n, arrival);
}

void SimBridge::Private::sendLog(int fd)
{
    LogOptions opts;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++logStarts;
        opts = log;
    }
    if (opts.fault == LogFault::NoStart)
        return;
    SIM_DEBUG << "sending the event log";
    SenderLine line;
    line.readByte = [this, fd](int timeoutMs) { return readByte(fd, timeoutMs); };
    line.write = [this, fd](const QByteArray &bytes) {
        if (!paced) {
            writeAll(fd, bytes);
            return;
        }
        // A packet starts one turnaround after the receiver's answer ended.
        const Clock::time_point start = rxWireEnd + microsToDuration(sim::line::kTurnaroundMicros);
        writePaced(fd, bytes, std::max(start, Clock::now()));
    };
    const SendResult result = sim::sendLog(line, opts);
    SIM_DEBUG << "event log sent:" << result.completed << "packets" << result.packets
              << "NAKs" << result.naks;
    std::lock_guard<std::mutex> lock(mutex);
    logNaks += result.naks;
    if (result.completed)
        ++logTransfers;
}

void SimBridge::setEventLog(const LogOptions &options)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->log = options;
}

int SimBridge::logStartRequests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->logStarts;
}

int SimBridge::logNaks() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->logNaks;
}

int SimBridge::logTransfers() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->logTransfers;
}

// Builds the normal reply PDU and applies writes. Called with the mutex held.
QByteArray SimBridge::Private::process(const uint8_t *req, int length)
{
    const int fc = req[1];
    QByteArray pdu;
    switch (fc) {
    case 3: {
        if (length < 8)
            return exceptionPdu(fc, 3);
        const int start = get16(req + 2);
        const int count = get16(req + 4);
        if (count < 1 || count > 125)
            return exceptionPdu(fc, 3);
        if (start + count > kRegisterCount)
            return exceptionPdu(fc, 2);
        pdu.append(char(fc));
        pdu.append(char(2 * count));
        for (int i = 0; i < count; ++i)
            put16(pdu, regs[start + i]);
        return pdu;
    }
    case 6: {
        if (length < 8)
            return exceptionPdu(fc, 3);
        const int start = get16(req + 2);
        regs[start] = quint16(get16(req + 4));
        if (start == kFactoryResetReg && regs[start] == 1)
            factoryReset();
        return QByteArray(reinterpret_cast<const char *>(req + 1), 5);  // echo
    }
    case 16: {
        if (length < 9)
            return exceptionPdu(fc, 3);
        const int start = get16(req + 2);
        const int count = get16(req + 4);
        const int bytes = req[6];
        if (count < 1 || count > 123 || bytes != 2 * count || length < 9 + bytes)
            return exceptionPdu(fc, 3);
        if (start + count > kRegisterCount)
            return exceptionPdu(fc, 2);
        const uint8_t *values = req + 7;
        if (start == kLoginStart && count == kLoginCount) {
            // A login attempt: compared with the stored credentials, never stored.
            bool ok = true;
            for (int i = 0; i < kCredRegs; ++i) {
                ok = ok && quint16(get16(values + 2 * i)) == regs[kUserReg + i];
                ok = ok && quint16(get16(values + 2 * (kCredRegs + i))) == regs[kPasswordReg + i];
            }
            SIM_DEBUG << "login" << (ok ? "accepted" : "refused");
            if (!ok)
                return exceptionPdu(fc, 3);
        } else {
            for (int i = 0; i < count; ++i)
                regs[start + i] = quint16(get16(values + 2 * i));
            if (start <= kFactoryResetReg && start + count > kFactoryResetReg
                && regs[kFactoryResetReg] == 1)
                factoryReset();
        }
        pdu.append(char(fc));
        put16(pdu, start);
        put16(pdu, count);
        return pdu;
    }
    default:
        return exceptionPdu(fc, 1);
    }
}

} // namespace sim

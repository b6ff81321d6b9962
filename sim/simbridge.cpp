// The simulated NB500/NB520 bridge. See simbridge.h; the server thread is in
// simserver.cpp, the pseudo-terminal and its line timing in simline.cpp.
#include "simbridge_p.h"

#include <algorithm>

namespace sim {

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
    // LoRa radio: 470 MHz (x 10), 20 dBm, SF7 (index 2), BW index 0, CR 1, 0, sync word 0x12.
    set(21, {4700, 20, 2, 0, 1, 0, 0x12});
    set(100, {1});                        // group net
    setTextLocked(133, 8, options.model);
    setTextLocked(141, 8, options.serial);
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
        const int wLast = w.start + std::max(int(w.values.size()), 1) - 1;
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

// ---------------------------------------------------------------- event log

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

} // namespace sim

// The simulated bridge's server thread. The server side of a pseudo-terminal
// pair is served by libmodbus: it frames and checks incoming requests
// (modbus_receive on the master descriptor). The replies are built here as
// raw RTU frames so that faults (damaged CRC, short replies, stray bytes) can
// be injected.
#include "simbridge_p.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace sim {

namespace {

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

// ---------------------------------------------------------------- requests

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
    if (address != options.serverAddress && address != 0)
        return;
    SIM_DEBUG << "request" << hexBytes(req, length);
    Answer answer;
    if (!admit(req, length, &answer))
        return;

    QByteArray frame;
    frame.append(char(address));
    frame.append(answer.pdu);
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    if (answer.faulted && answer.kind == Fault::BadCrc) {
        frame[frame.size() - 2] = char(frame.at(frame.size() - 2) ^ 0xFF);
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
    }
    if (answer.faulted && answer.kind == Fault::ExtraBytes)
        frame.append(QByteArray::fromHex("ff00a5"));
    sendAnswer(fd, frame, length, arrival, answer.delayMs);
}

bool SimBridge::Private::admit(const uint8_t *req, int length, Answer *answer)
{
    const int fc = req[1];
    std::lock_guard<std::mutex> lock(mutex);
    ++requests;
    if (req[0] == 0)  // broadcast: counted, not acted upon
        return false;
    if (fc == 3 && length >= 8)
        reads.append(ReadRecord{get16(req + 2), get16(req + 4)});
    if (!applyFault(fc, req, length, answer))
        return false;
    recordWrite(req, length);
    if (answer->pdu.isEmpty())
        answer->pdu = process(req, length);  // applies writes

    QByteArray &pdu = answer->pdu;
    if (answer->faulted && answer->kind == Fault::ShortReply && fc == 3 && pdu.size() >= 2
        && quint8(pdu.at(0)) == 3) {
        const int regsAsked = quint8(pdu.at(1)) / 2;
        const int keep = regsAsked / 2;  // at least one fewer
        pdu.truncate(2 + 2 * keep);
        pdu[1] = char(2 * keep);
    }
    answer->delayMs = delayMs;
    return true;
}

// The first fault rule that matches the request, used up by one when it
// counts. False when the request is to be swallowed.
bool SimBridge::Private::applyFault(int fc, const uint8_t *req, int length, Answer *answer)
{
    const Block block = blockOf(req, length);
    for (int i = 0; i < faults.size(); ++i) {
        FaultRule &rule = faults[i];
        if (!ruleMatches(rule, fc, block))
            continue;
        answer->faulted = true;
        answer->kind = rule.kind;
        const int code = rule.code;
        if (rule.count > 0 && --rule.count == 0)
            faults.removeAt(i);
        if (answer->kind == Fault::NoAnswer) {
            SIM_DEBUG << "fault: no answer";
            return false;
        }
        if (answer->kind == Fault::Exception)
            answer->pdu = exceptionPdu(fc, code);
        break;
    }
    return true;
}

// Records a well-formed write, also one that is refused.
void SimBridge::Private::recordWrite(const uint8_t *req, int length)
{
    const int fc = req[1];
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
}

void SimBridge::Private::sendAnswer(int fd, const QByteArray &frame, int length,
                                    Clock::time_point arrival, int delay)
{
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

// Builds the normal reply PDU and applies writes. Called with the mutex held.
QByteArray SimBridge::Private::process(const uint8_t *req, int length)
{
    const int fc = req[1];
    switch (fc) {
    case 3:
        return readHolding(req, length);
    case 6: {
        if (length < 8)
            return exceptionPdu(fc, 3);
        const int start = get16(req + 2);
        regs[start] = quint16(get16(req + 4));
        if (start == kFactoryResetReg && regs[start] == 1)
            factoryReset();
        return QByteArray(reinterpret_cast<const char *>(req + 1), 5);  // echo
    }
    case 16:
        return writeMultiple(req, length);
    default:
        return exceptionPdu(fc, 1);
    }
}

QByteArray SimBridge::Private::readHolding(const uint8_t *req, int length) const
{
    const int fc = req[1];
    if (length < 8)
        return exceptionPdu(fc, 3);
    const int start = get16(req + 2);
    const int count = get16(req + 4);
    if (count < 1 || count > 125)
        return exceptionPdu(fc, 3);
    if (start + count > kRegisterCount)
        return exceptionPdu(fc, 2);
    QByteArray pdu;
    pdu.append(char(fc));
    pdu.append(char(2 * count));
    for (int i = 0; i < count; ++i)
        put16(pdu, regs[start + i]);
    return pdu;
}

QByteArray SimBridge::Private::writeMultiple(const uint8_t *req, int length)
{
    const int fc = req[1];
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
    QByteArray pdu;
    pdu.append(char(fc));
    put16(pdu, start);
    put16(pdu, count);
    return pdu;
}

// ---------------------------------------------------------------- event log

bool SimBridge::Private::logArmed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return regs[3000] == 1 && options.serverAddress != 'C';
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

} // namespace sim

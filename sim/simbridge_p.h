// The inside of the simulated bridge, shared by its three source files:
// simbridge.cpp (the register map and the public API), simline.cpp (the
// pseudo-terminal and the timing of the bytes on it) and simserver.cpp (the
// server thread: requests, faults, answers and the event log transfer).
#pragma once

#include "simbridge.h"

#include <QByteArray>
#include <QDebug>

#include <modbus.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

constexpr int kRegisterCount = 0x10000;
constexpr int kLoginStart = 199;
constexpr int kLoginCount = 16;
constexpr int kUserReg = 180;
constexpr int kPasswordReg = 188;
constexpr int kCredRegs = 8;
constexpr int kFactoryResetReg = 178;  // writing 1 restores the factory settings

inline bool debugEnabled()
{
    static const bool on = qEnvironmentVariableIsSet("NODEWEAVE_SIM_DEBUG");
    return on;
}

#define SIM_DEBUG if (!sim::debugEnabled()) {} else qDebug().noquote() << "[sim]"

using Clock = std::chrono::steady_clock;

inline Clock::duration microsToDuration(double micros)
{
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(micros));
}

inline int get16(const uint8_t *p) { return (p[0] << 8) | p[1]; }

// What the server thread makes of one request for this bridge.
struct Answer {
    QByteArray pdu;               // the reply PDU, before any fault changes its frame
    bool faulted = false;
    Fault kind = Fault::Exception;
    int delayMs = 0;
};

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
    // Under the mutex: counts and records the request, applies its fault and
    // its writes. False when nothing is to be answered.
    bool admit(const uint8_t *req, int length, Answer *answer);
    bool applyFault(int fc, const uint8_t *req, int length, Answer *answer);
    void recordWrite(const uint8_t *req, int length);
    void sendAnswer(int fd, const QByteArray &frame, int length, Clock::time_point arrival,
                    int delayMs);
    bool logArmed() const;
    int readByte(int fd, int timeoutMs);
    void serveLogMode(int fd);
    void sendLog(int fd);
    // The normal reply PDU of a request; applies writes. Mutex held.
    QByteArray process(const uint8_t *req, int length);
    QByteArray readHolding(const uint8_t *req, int length) const;
    QByteArray writeMultiple(const uint8_t *req, int length);
    bool pause(int ms);  // false when stopping
    bool pauseUntil(Clock::time_point t);  // false when stopping
    // Writes at the line's byte rate, first byte starting at `start`.
    void writePaced(int fd, const QByteArray &bytes, Clock::time_point start);
    void drain(int fd);
    void writeAll(int fd, const QByteArray &frame);
    modbus_t *newContext(int fd) const;
};

} // namespace sim

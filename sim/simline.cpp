// The simulated bridge's side of the line: the pseudo-terminal it serves on
// (with an optional symbolic link to it) and the timing of the bytes it sends.
#include "simbridge_p.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

// ---------------------------------------------------------------- pseudo-terminal

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

// ---------------------------------------------------------------- bytes on the line

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

} // namespace sim

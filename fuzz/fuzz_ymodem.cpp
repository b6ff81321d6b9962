// The YMODEM receiver fed with whatever a device might put on the line, in
// chunks of varying size. Input layout: byte 0 gives the number k (0 to 7) of
// chunk-size bytes that follow; the rest is the line data, handed over in
// chunks of those sizes (plus one) in turn, or all at once when k is 0.
// The receiver writes into a scratch folder that is emptied after each input.
#include "sim/memoryport.h"
#include "tools/ymodem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>

#define NW_CHECK(cond) do { if (!(cond)) abort(); } while (0)

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
QTemporaryDir *scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    scratch = new QTemporaryDir;
    if (!scratch->isValid())
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int k = size ? data[0] & 7 : 0;
    if (size < size_t(1 + k) || size > 256 * 1024)
        return 0;
    const QByteArray line(reinterpret_cast<const char *>(data + 1 + k), int(size - 1 - k));
    // The receiver stores into the current folder; libFuzzer's own paths are
    // relative to the one it was started in.
    const QString home = QDir::currentPath();
    const QDir dir(scratch->path());
    if (!QDir::setCurrent(dir.path()))
        abort();
    {
        sim::MemoryPort port;
        ymodem rx;
        rx.setDevice(&port);
        rx.setSettleDelay(0);
        rx.setFirstDataQuietTime(0);
        int finished = 0, failed = 0;
        QString received;
        QObject::connect(&rx, &ymodem::finRcv, [&](const QString &name) { ++finished; received = name; });
        QObject::connect(&rx, &ymodem::transferFailed, [&](const QString &) { ++failed; });
        rx.sendStartRequest();
        for (int at = 0, chunk = 0; at < line.size() && port.isOpen(); ++chunk) {
            const int n = k == 0 ? line.size() : data[1 + chunk % k] + 1;
            port.feed(line.mid(at, n));
            at += n;
            // Progress updates and the end-of-transfer notice are queued.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();

        // A transfer ends once at most, and a failed one leaves the receiver
        // ready for the next. Every answer is one of the protocol's control bytes.
        NW_CHECK(finished + failed <= 1 && (!failed || !rx.isReceiving()));
        for (char c : port.written)
            NW_CHECK(c == 'C' || c == 0x06 || c == 0x15 || c == 0x18);
        rx.cancelTransfer();
        NW_CHECK(!rx.isReceiving());

        // Whatever name the device sent, the file lands in the receiving
        // folder; a transfer that did not complete leaves no file there.
        const QStringList files = dir.entryList(QDir::Files | QDir::Hidden);
        NW_CHECK(files.size() == finished);
        NW_CHECK(!finished || QFileInfo(received).absoluteFilePath() == dir.absoluteFilePath(files.first()));
    }
    for (const QString &f : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(f));
    QDir::setCurrent(home);
    return 0;
}

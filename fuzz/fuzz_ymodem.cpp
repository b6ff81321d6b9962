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
#include <QIODevice>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

#define NW_CHECK(cond) do { if (!(cond)) abort(); } while (0)

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

QTemporaryDir *scratch = nullptr;

void emptyScratch()
{
    QDir dir(scratch->path());
    for (const QString &f : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        dir.remove(f);
}

} // namespace

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
    if (size < 1 || size > 256 * 1024)
        return 0;
    const int k = data[0] & 7;
    if (size < size_t(1 + k))
        return 0;
    const uint8_t *sizes = data + 1;
    const QByteArray line(reinterpret_cast<const char *>(data + 1 + k), int(size - 1 - k));
    // The receiver stores into the current folder; libFuzzer's own paths are
    // relative to the one it was started in.
    const QString home = QDir::currentPath();
    if (!QDir::setCurrent(scratch->path()))
        abort();

    {
        sim::MemoryPort port;
        ymodem rx;
        rx.setDevice(&port);
        rx.setSettleDelay(0);
        rx.setFirstDataQuietTime(0);
        int finished = 0, failed = 0;
        QString received;
        QObject::connect(&rx, &ymodem::finRcv, [&](const QString &name) {
            ++finished;
            received = name;
        });
        QObject::connect(&rx, &ymodem::transferFailed, [&](const QString &) { ++failed; });
        rx.sendStartRequest();

        int at = 0, chunk = 0;
        while (at < line.size() && port.isOpen()) {
            const int n = k == 0 ? line.size() : sizes[chunk++ % k] + 1;
            port.feed(line.mid(at, n));
            at += n;
            // Progress updates and the end-of-transfer notice are queued.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();

        // A closed port means the transfer ended one way or the other, and
        // the receiver is ready for the next one.
        NW_CHECK(finished + failed <= 1);
        if (failed)
            NW_CHECK(!rx.isReceiving());
        // Every answer is one of the protocol's control bytes.
        for (char c : port.written)
            NW_CHECK(c == 'C' || c == 0x06 || c == 0x15 || c == 0x18);
        rx.cancelTransfer();
        NW_CHECK(!rx.isReceiving());

        // Whatever name the device sent, the file lands in the receiving
        // folder; a transfer that did not complete leaves no file there.
        const QStringList files = QDir(scratch->path()).entryList(QDir::Files | QDir::Hidden);
        if (finished) {
            NW_CHECK(files.size() == 1);
            NW_CHECK(QFileInfo(received).absoluteFilePath()
                     == QDir(scratch->path()).absoluteFilePath(files.first()));
        } else {
            NW_CHECK(files.isEmpty());
        }
    }
    // An abandoned transfer leaves nothing behind.
    emptyScratch();
    QDir::setCurrent(home);
    return 0;
}

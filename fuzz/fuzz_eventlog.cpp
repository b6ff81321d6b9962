// The event-log file parser fed with arbitrary files: it must not read past
// the data, and what it returns must keep to the record layout.
#include "link/codec.h"

#include <QByteArray>
#include <cstdlib>

using codec::EventLogEntry;

#define NW_CHECK(cond) do { if (!(cond)) abort(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QVector<EventLogEntry> entries = codec::parseEventLogFile(bytes);
    NW_CHECK(entries.size() <= codec::EventLogRecords);
    int last = -1;
    for (const EventLogEntry &e : entries) {
        // Records come in file order, each one inside the file and used.
        NW_CHECK(int(e.index) > last);
        last = e.index;
        const int start = codec::EventLogHeaderSize + codec::EventLogRecordSize * e.index;
        NW_CHECK(start < bytes.size());
        NW_CHECK(bytes.at(start) != 0);
        NW_CHECK(!e.tag.isEmpty() && e.tag.size() <= 7);
        // The export line is what the user saves: one line, CR LF at the end.
        const QByteArray line = codec::eventLogExportLine(e);
        NW_CHECK(line.endsWith("\r\n"));
        NW_CHECK(line.count(',') >= 5);
        (void)codec::localTimeText(e.timeStamp);
        (void)codec::eventLogResultText(e.result);
    }
    return 0;
}

// The bridge's register map: every configuration block the pages and dialogs
// read and write, grouped as a person thinks of them ("RS-485 port",
// "LoRaWAN", ...), with the pacing the pages use and the fields a person
// edits. A pure description: device profiles read, compare and write the
// bridge with it, and a traffic view names the blocks of requests with it.
// The encodings of the fields are the codec's (see profilefields.h).
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

struct ModelGating;

namespace regmap {

// How a field's registers read as what a person edits.
enum class Kind {
    Number,          // unsigned whole number from min to max
    Signed,          // one register read as signed 16-bit, min to max
    Choice,          // one of `choices`, stored as its index + min
    Flag,            // true or false, stored as 1 or 0
    Hex,             // hex byte text, two digits per byte (keys, EUIs)
    Frequency,       // LoRa frequency in MHz, stored x 10, within the model's band
    Power,           // LoRa transmit power in dBm, one of `choices`, within the band
    Milliamps,       // a current in mA from min to max, stored in thousandths
    PollingTimeout,  // seconds from min to max; the NB500 keeps milliseconds
    Destinations,    // the group net bitmap as the list of IDs 1 to 255
    Hours,           // the schedule mask as the list of hours 0 to 23
    Sensors,         // the RTU sensor table, 7 registers per entry
    Rules,           // the rule chain table, 10 registers per entry
    ScanMap,         // the auto scan map, 2 registers per row
    Raw,             // reserved registers, kept as hex byte text
};

struct Field {
    QString name;
    quint16 address = 0;
    quint16 count = 1;
    Kind kind = Kind::Number;
    int min = 0;
    int max = 0xFFFF;
    QStringList choices;
    bool identity = false;  // identifies one device: not carried over to another
};

// One request's worth of registers, as the pages ask for it.
struct Block {
    quint16 start = 0;
    quint16 count = 0;
    int readPause = 0;   // ms the pages wait after reading it, before the next request
    int writePause = 0;  // ms they wait after writing into it (the device stores it)
    quint16 end() const { return quint16(start + count); }
};

// The page a group belongs to, which decides the models that offer it.
enum class Page { Always, GroupNet, Lora, TimeoutHolding, RuleChain, TimeSetting };

struct Group {
    QString name;
    Page page = Page::Always;
    bool saved = true;         // part of a device profile (false: live state, credentials...)
    QVector<Block> blocks;
    QVector<Field> fields;     // every register of every block is in exactly one field
    bool hasIdentity() const;
    const Field *field(const QString &name) const;
};

// The most registers one write request may carry.
constexpr int MaxWriteRegisters = 123;

// Where the header of a profile comes from.
constexpr quint16 ModelStart = 133;
constexpr quint16 ModelCount = 8;
constexpr quint16 SerialStart = 141;
constexpr quint16 SerialCount = 8;
constexpr quint16 FirmwareStart = 170;
constexpr quint16 FirmwareCount = 8;

// Every group, in the order of the pages; the groups a profile holds first.
const QVector<Group> &groups();
// The groups a profile holds.
QVector<const Group *> profileGroups();
const Group *group(const QString &name);

// Whether a model answers a group: the pages its identification disables
// (the window's tab gating) are not read, written or saved.
bool offeredBy(const Group &group, const ModelGating &gating);

// The block, and the field, that hold a register; null when none does.
const Block *blockAt(quint16 address, const Group **group = nullptr);
const Field *fieldAt(quint16 address, const Group **group = nullptr);
// A request's registers for a person: "LoRaWAN · App key 248-255", or
// "registers 600-609" where no group holds them.
QString describe(quint16 start, quint16 count);

} // namespace regmap

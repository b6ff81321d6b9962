#include "link/registermap.h"

#include "link/modelgating.h"

namespace regmap {

namespace {

Field number(const char *name, quint16 address, int min, int max)
{
    Field f;
    f.name = QString::fromLatin1(name);
    f.address = address;
    f.min = min;
    f.max = max;
    return f;
}

Field of(Kind kind, const char *name, quint16 address, quint16 count = 1, bool identity = false)
{
    Field f;
    f.name = QString::fromLatin1(name);
    f.address = address;
    f.count = count;
    f.kind = kind;
    f.identity = identity;
    return f;
}

Field choice(const char *name, quint16 address, const QStringList &choices, int base = 0)
{
    Field f = of(Kind::Choice, name, address);
    f.choices = choices;
    f.min = base;
    return f;
}

Field ranged(Kind kind, const char *name, quint16 address, int min, int max)
{
    Field f = of(kind, name, address);
    f.min = min;
    f.max = max;
    return f;
}

Field hex(const char *name, quint16 address, quint16 count, bool identity)
{
    return of(Kind::Hex, name, address, count, identity);
}

Block block(quint16 start, quint16 count, int readPause = 0, int writePause = 0)
{
    Block b;
    b.start = start;
    b.count = count;
    b.readPause = readPause;
    b.writePause = writePause;
    return b;
}

Group group(const char *name, Page page, const QVector<Block> &blocks, const QVector<Field> &fields,
            bool saved = true)
{
    Group g;
    g.name = QString::fromLatin1(name);
    g.page = page;
    g.blocks = blocks;
    g.fields = fields;
    g.saved = saved;
    return g;
}

QStringList numbers(int first, int last)
{
    QStringList list;
    for (int n = first; n <= last; ++n)
        list << QString::number(n);
    return list;
}

Field identity(Field f)
{
    f.identity = true;
    return f;
}

// The configuration a profile holds, page by page: the link and radio pages.
QVector<Group> radioGroups()
{
    Field power = of(Kind::Power, "power dBm", 22);
    power.choices = numbers(14, 22);
    return {
        group("RS-485 port", Page::Always, { block(0, 5) },
              { choice("baud rate", 0, { "9600", "4800", "2400", "1200", "19200" }),
                choice("data bits", 1, { "8" }, 8),
                choice("stop bits", 2, { "1", "2" }, 1),
                choice("parity", 3, { "No", "Even", "Odd" }),
                number("Modbus address", 4, 1, 250) }),
        group("LoRaWAN", Page::Always, { block(200, 18), block(240, 18) },
              { hex("device address", 200, 2, true),
                hex("app session key", 202, 8, true),
                hex("network session key", 210, 8, true),
                hex("device EUI", 240, 4, true),
                hex("app EUI", 244, 4, false),
                hex("app key", 248, 8, true),
                choice("activation", 256, { "ABP", "OTAA" }),
                of(Kind::Flag, "confirmed uplinks", 257) }),
        group("LoRa radio", Page::Lora, { block(21, 7) },
              { of(Kind::Frequency, "frequency MHz", 21),
                power,
                choice("spreading factor", 23, { "SF5", "SF6", "SF7", "SF8", "SF9", "SF10", "SF11",
                                                 "SF12" }),
                choice("bandwidth kHz", 24, { "125", "250", "500" }),
                choice("coding rate", 25, { "4/5", "4/6", "4/7", "4/8" }, 1),
                number("low data rate optimisation", 26, 0, 1),
                hex("sync word", 27, 1, false) }),
        group("Group network", Page::GroupNet, { block(100, 26), block(149, 2) },
              { number("source ID", 100, 1, 250),
                of(Kind::Destinations, "destination IDs", 101, 16),
                choice("AES", 117, { "Off", "On" }),
                hex("AES key", 118, 8, false),
                number("response time-out s", 149, 1, 300),
                number("LC time-out ms", 150, 0, 65535) }),
    };
}

// The I/O pages and the system settings' output holds.
QVector<Group> ioGroups()
{
    const QStringList offOn{ "OFF", "ON" };
    const int low = -32768, high = 32767;
    return {
        group("Calibration", Page::Always, { block(400, 4), block(410, 2) },
              { identity(ranged(Kind::Signed, "voltage input 0", 400, low, high)),
                identity(ranged(Kind::Signed, "voltage output 5", 401, low, high)),
                identity(ranged(Kind::Signed, "current input 1", 402, low, high)),
                identity(ranged(Kind::Signed, "current output 4", 403, low, high)),
                identity(ranged(Kind::Signed, "voltage input 2", 410, low, high)),
                identity(ranged(Kind::Signed, "current input 3", 411, low, high)) }),
        group("Output holds", Page::Always, { block(306, 4) },
              { choice("voltage hold", 306, offOn),
                choice("current hold", 307, offOn),
                choice("PWM 5V hold", 308, offOn),
                choice("PWM OC hold", 309, offOn) }),
        group("Time-out output holding", Page::TimeoutHolding, { block(900, 6) },
              { of(Kind::Flag, "voltage holding", 900),
                number("voltage polling interval s", 901, 0, 65535),
                number("voltage output mV", 902, 0, 10000),
                of(Kind::Flag, "current holding", 903),
                number("current polling interval s", 904, 0, 65535),
                ranged(Kind::Milliamps, "current output mA", 905, 4, 20) }),
    };
}

// The RTU polling and rule engine pages, and the auto scan settings.
QVector<Group> rtuGroups()
{
    // The sensor table is read in two halves a second apart; the rule chain
    // in blocks of five entries two seconds apart, and the device takes
    // four seconds to store rules. The auto scan map's first half is stored
    // before the second is sent.
    const int sensorPause = 1000, ruleReadPause = 2000, ruleWritePause = 4000, scanPause = 1800;
    QVector<Block> ruleBlocks{ block(2400, 2) };
    for (int k = 0; k < 8; ++k)
        ruleBlocks << block(quint16(2402 + 50 * k), 50, ruleReadPause, ruleWritePause);
    return {
        group("RTU sensor table", Page::Always,
              { block(500, 70, sensorPause, sensorPause),
                block(570, 70, sensorPause, sensorPause) },
              { of(Kind::Sensors, "sensors", 500, 140) }),
        // The device clock (805, 806) is live state, not configuration.
        group("Timing and schedule", Page::TimeSetting, { block(800, 5), block(807, 2) },
              { of(Kind::Hours, "schedule hours", 800, 2),
                number("upload interval s", 802, 0, 65535),
                number("countdown min", 803, 0, 65535),
                choice("timing mode", 804, { "countdown", "schedule" }),
                ranged(Kind::Signed, "time zone min", 807, -32768, 32767),
                ranged(Kind::PollingTimeout, "polling time-out s", 808, 1, 20) }),
        group("Auto scan", Page::GroupNet,
              { block(810, 3), block(813, 20, 0, scanPause), block(833, 20) },
              { of(Kind::Flag, "scan", 810),
                number("loop time s", 811, 0, 65535),
                number("interval time s", 812, 0, 65535),
                of(Kind::ScanMap, "map", 813, 40) }),
        group("Rule chain", Page::RuleChain, ruleBlocks,
              { ranged(Kind::Signed, "loop time s", 2400, -32768, 32767),
                of(Kind::Raw, "register 2401", 2401),
                of(Kind::Rules, "rules", 2402, 400) }),
    };
}

// What the bridge holds besides its configuration, named for a traffic view.
QVector<Group> otherGroups()
{
    const Page any = Page::Always;
    const auto one = [](const char *name, const char *field, quint16 start, quint16 count) {
        return group(name, Page::Always, { block(start, count) },
                     { of(Kind::Raw, field, start, count) }, false);
    };
    return {
        group("Identification", any, { block(133, 16), block(170, 9) },
              { of(Kind::Raw, "model", 133, 8), of(Kind::Raw, "serial number", 141, 8),
                of(Kind::Raw, "firmware", 170, 8), of(Kind::Raw, "factory reset", 178) }, false),
        group("Signal quality", any, { block(160, 2) },
              { of(Kind::Raw, "RSSI", 160), of(Kind::Raw, "SNR", 161) }, false),
        group("Credentials", any, { block(180, 16) },
              { of(Kind::Raw, "user name", 180, 8), of(Kind::Raw, "password", 188, 8) }, false),
        one("Login", "credentials", 199, 16),
        one("Clock", "device clock", 805, 2),
        one("RTU sensor values", "last values", 700, 50),
        one("I/O values", "channel values", 1000, 112),
        group("Chain monitor", any,
              { block(2000, 90), block(2090, 90), block(2180, 90), block(2270, 90) },
              { of(Kind::Raw, "rows", 2000, 360) }, false),
        one("Event log", "enable", 3000, 1),
    };
}

} // namespace

bool Group::hasIdentity() const
{
    for (const Field &f : fields)
        if (f.identity)
            return true;
    return false;
}

const Field *Group::field(const QString &fieldName) const
{
    for (const Field &f : fields)
        if (f.name == fieldName)
            return &f;
    return nullptr;
}

const QVector<Group> &groups()
{
    static const QVector<Group> all = radioGroups() + ioGroups() + rtuGroups() + otherGroups();
    return all;
}

QVector<const Group *> profileGroups()
{
    QVector<const Group *> list;
    for (const Group &g : groups())
        if (g.saved)
            list << &g;
    return list;
}

const Group *group(const QString &name)
{
    for (const Group &g : groups())
        if (g.name == name)
            return &g;
    return nullptr;
}

bool offeredBy(const Group &g, const ModelGating &gating)
{
    switch (g.page) {
    case Page::GroupNet:
    case Page::Lora:
    case Page::TimeoutHolding:
    case Page::RuleChain:
        return !gating.bridge;
    case Page::TimeSetting:
        return !gating.disableTimeSetting;
    case Page::Always:
        break;
    }
    return true;
}

const Block *blockAt(quint16 address, const Group **found)
{
    for (const Group &g : groups()) {
        for (const Block &b : g.blocks) {
            if (address >= b.start && address < b.end()) {
                if (found)
                    *found = &g;
                return &b;
            }
        }
    }
    return nullptr;
}

const Field *fieldAt(quint16 address, const Group **found)
{
    for (const Group &g : groups()) {
        for (const Field &f : g.fields) {
            if (address >= f.address && address < f.address + f.count) {
                if (found)
                    *found = &g;
                return &f;
            }
        }
    }
    return nullptr;
}

QString describe(quint16 start, quint16 count)
{
    const int last = start + qMax(1, int(count)) - 1;
    const QString range = last == start ? QString::number(start)
                                        : QStringLiteral("%1-%2").arg(start).arg(last);
    // A field that is the whole request (the login block overlaps LoRaWAN).
    for (const Group &candidate : groups()) {
        for (const Field &f : candidate.fields) {
            if (f.address == start && f.address + f.count - 1 == last)
                return QStringLiteral("%1 \u00b7 %2 %3").arg(candidate.name, f.name, range);
        }
    }
    const Group *g = nullptr;
    const Field *first = fieldAt(start, &g);
    if (!first)
        return QStringLiteral("registers %1").arg(range);
    const Field *end = fieldAt(quint16(last));
    // One field names the request; several fields of one block name the group.
    if (end == first)
        return QStringLiteral("%1 \u00b7 %2 %3").arg(g->name, first->name, range);
    return QStringLiteral("%1 %2").arg(g->name, range);
}

} // namespace regmap

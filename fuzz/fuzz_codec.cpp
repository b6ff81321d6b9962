// The register encodings fed with arbitrary register blocks, texts and
// numbers. Byte 0 picks a case; the rest supplies its arguments. Besides
// crashes and undefined behaviour, each case checks what the pages rely on:
// sizes, ranges and exact round trips.
#include "link/codec.h"

#include <QString>
#include <QVector>
#include <cstdlib>
#include <cstring>

using namespace codec;
using Regs = QVector<quint16>;

#define NW_CHECK(cond) do { if (!(cond)) abort(); } while (0)

namespace {

// Takes arguments off the front of the input; missing bytes read as 0.
struct Input {
    const uint8_t *p;
    size_t n;
    quint8 u8() { if (!n) return 0; --n; return *p++; }
    quint16 u16() { const quint16 h = u8(); return quint16(h << 8 | u8()); }
    qint32 i32() { quint32 v = 0; for (int i = 0; i < 4; ++i) v = v << 8 | u8(); return qint32(v); }
    int count() { return int(u16() % 512) - 2; }  // -2 to 509
    Regs regs() { Regs r; while (n >= 2) r.append(u16()); return r; }
    // Any UTF-16 text, surrogates and U+0000 included.
    QString text() { QString s; while (n >= 2) s.append(QChar(u16())); return s; }
    QString latin1()
    {
        const QString s = QString::fromLatin1(reinterpret_cast<const char *>(p), int(n));
        n = 0;
        return s;
    }
};

// The register at `offset` + i, 0 where the block has none.
quint16 at(const Regs &regs, int offset, int i)
{
    const qint64 k = qint64(offset) + i;
    return k >= 0 && k < regs.size() ? regs.at(int(k)) : 0;
}

using Case = void (*)(Input &);
const Case cases[] = {
    [](Input &in) {  // register text, the texts read from it, hex text and back
        const Regs regs = in.regs();
        const QString text = registersToText(regs), zero = zeroEndedText(regs), version = versionText(regs);
        NW_CHECK(text.size() == 2 * regs.size() && textToRegisters(text, regs.size()) == regs);
        NW_CHECK(text.startsWith(zero) && isRegisterText(zero) && text.startsWith(version)
                 && version.size() % 2 == 0 && entryName(regs, 0) == zeroEndedText(regs.mid(0, 4)));
        const QString hex = registersToHexText(regs);
        Regs groups, run;
        NW_CHECK(hexTextToRegisters(hex) == regs);
        NW_CHECK(parseHexBlock(hex, 2 * regs.size(), &groups) == !regs.isEmpty());
        NW_CHECK(parseHexBlock(hex.toLower().remove(QLatin1Char(' ')), 2 * regs.size(), &run)
                 == !regs.isEmpty());
        NW_CHECK(regs.isEmpty() || (groups == regs && run == regs));
    },
    [](Input &in) {  // typed text into a block of registers
        const int count = in.count();
        const QString text = in.text();
        const Regs regs = textToRegisters(text, count);
        NW_CHECK(regs.size() == qMax((text.size() + 1) / 2, count));
        if (isLatin1Text(text))
            NW_CHECK(registersToText(regs).left(text.size()) == text);
        if (isRegisterText(text))
            NW_CHECK(zeroEndedText(regs) == text);
    },
    [](Input &in) {  // hex text typed by the user, loose and strict
        const int byteCount = in.count();
        const QString text = in.latin1();
        NW_CHECK(hexTextToRegisters(text).size() == text.split(QLatin1Char(' ')).size() / 2);
        Regs regs{ 0xDEAD };
        if (!parseHexBlock(text, byteCount, &regs)) {
            NW_CHECK(regs == Regs{ 0xDEAD });
            return;
        }
        // Between the first and the last digit only blanks; the digits are the bytes.
        for (QChar c : text.trimmed())
            NW_CHECK(QStringLiteral("0123456789abcdefABCDEF ").contains(c));
        NW_CHECK(byteCount > 0 && byteCount % 2 == 0 && regs.size() == byteCount / 2);
        NW_CHECK(registersToHexText(regs).remove(QLatin1Char(' '))
                 == text.trimmed().remove(QLatin1Char(' ')).toUpper());
    },
    [](Input &in) {  // sensor, rule and monitor entries at any offset of a reply, written back
        const int offset = in.i32();
        const Regs regs = in.regs();
        const QString name = entryName(regs, offset);
        const SensorFields s = sensorEntryFromRegisters(regs, offset);
        const RuleChainEntry r = decodeRuleEntry(regs, offset);
        const ChainMonitorEntry m = decodeMonitorEntry(regs, offset);
        NW_CHECK(name.size() <= 8 && s.name == name && r.name == name && m.tag == name);
        NW_CHECK(!m.timeStamp.isEmpty());
        const Regs sensor = sensorEntryToRegisters(s), rule = ruleEntryRegisters(r);
        NW_CHECK(sensor.size() == SensorEntryRegisters && rule.size() == RuleEntryRegisters);
        NW_CHECK(entryName(sensor, 0) == name && entryName(rule, 0) == name);
        for (int i = 4; i < RuleEntryRegisters; ++i)
            NW_CHECK(rule.at(i) == at(regs, offset, i)
                     && (i >= SensorEntryRegisters || sensor.at(i) == at(regs, offset, i)));
    },
    [](Input &in) {  // entries as typed: names cut to their block, accepted ones read back exactly
        SensorFields s{ QString(), in.u8(), in.u8(), quint32(in.i32()), qint16(in.u16()) };
        RuleChainEntry r;
        s.name = r.name = in.text();
        const Regs sensor = sensorEntryToRegisters(s), rule = ruleEntryRegisters(r);
        NW_CHECK(sensor.size() == SensorEntryRegisters && rule.size() == RuleEntryRegisters);
        const SensorFields b = sensorEntryFromRegisters(sensor);
        if (isRegisterText(s.name))
            NW_CHECK(b.name == s.name.left(8) && entryName(rule, 0) == b.name);
        if (!sensorEntryProblem(s.name, s.slaveId, s.functionCode, s.plcAddress, s.registerQuantity))
            NW_CHECK(b.name == s.name && b.slaveId == s.slaveId && b.functionCode == s.functionCode
                     && b.plcAddress == s.plcAddress && b.registerQuantity == s.registerQuantity);
    },
    [](Input &in) {  // destination bitmap both ways, auto scan map and its halves
        const int count = in.count(), registerCount = in.count();
        const Regs regs = in.regs();
        const QVector<bool> flags = bitmapToFlags(regs, count);
        const Regs back = flagsToBitmap(flags, registerCount);
        NW_CHECK(flags.size() == qMax(0, count) && back.size() == qMax(0, registerCount));
        // A bit survives when its ID is in both the flags and the block.
        for (int b = 0; b < 16 * back.size(); ++b)
            NW_CHECK(bool(back.at(b / 16) >> (b % 16) & 1)
                     == (b < count && bool(at(regs, b / 16, 0) >> (b % 16) & 1)));
        const QList<ScanMapEntry> rows = scanMapFromRegisters(regs, count);
        NW_CHECK(rows.size() == qMax((regs.size() + 1) / 2, count));
        for (auto qualifies : { scanRowForFirstHalf, scanRowForSecondHalf }) {
            const Regs half = scanMapHalf(rows, count, qualifies);
            NW_CHECK(half.size() == 2 * qMax(0, count));
            for (const ScanMapEntry &e : scanMapFromRegisters(half, 0))
                NW_CHECK(qualifies(e) || e == ScanMapEntry());
        }
    },
    [](Input &in) {  // clock, schedule, time zone, polling time-out, frequency
        const int number = in.i32(), seconds = in.u8() % 66;
        const QString model = in.u8() & 1 ? QStringLiteral("NB500-400") : QStringLiteral("NB520-900");
        const Regs regs = in.regs();
        NW_CHECK(valueAt(regs, number) == at(regs, number, 0));
        const quint32 stamp = timestampFromRegisters(regs), mask = scheduleMaskFromRegisters(regs);
        NW_CHECK(timestampFromRegisters(timestampToRegisters(stamp)) == stamp);
        NW_CHECK(mask <= 0xFFFFFF && scheduleMaskFromRegisters(scheduleMaskToRegisters(mask)) == mask);
        NW_CHECK(!localTimeText(stamp).isEmpty() && !localTimeText(qint32(stamp)).isEmpty());
        NW_CHECK(timeZoneText(number).startsWith(QLatin1String("UTC")));
        const quint16 value = valueAt(regs, 0);
        NW_CHECK(pollingTimeoutSeconds(value, model) <= value && !loraFrequencyText(value).isEmpty());
        NW_CHECK(pollingTimeoutSeconds(pollingTimeoutRegister(seconds, model), model) == quint32(seconds));
    },
    [](Input &in) {  // I/O channel registers and currents
        const quint16 base = in.u16();
        const int channel = in.i32();
        (void)channelRegister(base, channel, in.u8() % 4);
        const quint16 micro = in.u16();
        const int digits = in.u8() % 10 + 1;
        const QString mA = microampsText(micro, digits);
        NW_CHECK(!mA.isEmpty() && (digits < 5 || microampsFromMilliamps(mA.toDouble()) == micro));
        const quint64 high = quint32(in.i32()), bits = high << 32 | quint32(in.i32());
        double d;
        memcpy(&d, &bits, sizeof d);
        (void)microampsFromMilliamps(d);
    },
    [](Input &in) {  // numbers typed into fields
        const int channel = 4 + (in.u8() & 1);
        const QString text = in.latin1();
        (void)lineEditValue(text);
        (void)channelNumber(text);
        qint64 number = -1;
        quint32 value = 0;
        NW_CHECK(!numberInRange(text, 1, 250, &number) || (number >= 1 && number <= 250));
        NW_CHECK(!unsignedFieldValue(text, 999, &value) || value <= 999);
        // A rule output value accepted is within its channel's range as typed.
        if (!ruleValueProblem(channel, text))
            NW_CHECK(numberInRange(text, channel == 4 ? 4000 : 0, channel == 4 ? 20000 : 10000));
    },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 16 * 1024)
        return 0;
    Input in{ data + 1, size - 1 };
    cases[data[0] % (sizeof cases / sizeof *cases)](in);
    return 0;
}

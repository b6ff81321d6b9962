// The register encodings fed with arbitrary register blocks, texts and
// numbers. Byte 0 picks the encoding; the rest supplies its arguments.
// Besides crashes and undefined behaviour, each case checks what the pages
// rely on: sizes, ranges and exact round trips.
#include "link/codec.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>
#include <QVector>
#include <cstdlib>
#include <cstring>

using codec::ChainMonitorEntry;
using codec::RuleChainEntry;
using codec::ScanMapEntry;

#define NW_CHECK(cond) do { if (!(cond)) abort(); } while (0)

namespace {

// Takes arguments off the front of the input; missing bytes read as 0.
struct Input {
    const uint8_t *p;
    size_t n;
    quint8 u8() { if (!n) return 0; --n; return *p++; }
    quint16 u16() { const quint16 h = u8(); return quint16(h << 8 | u8()); }
    qint32 i32() { quint32 v = 0; for (int i = 0; i < 4; ++i) v = v << 8 | u8(); return qint32(v); }
    // A small count, -2 to 509.
    int count() { return int(u16() % 512) - 2; }
    QVector<quint16> regs()
    {
        QVector<quint16> r;
        while (n >= 2)
            r.append(u16());
        n = 0;
        return r;
    }
    // Any UTF-16 text, surrogates and U+0000 included.
    QString text()
    {
        QString s;
        while (n >= 2)
            s.append(QChar(u16()));
        n = 0;
        return s;
    }
    QString latin1()
    {
        const QString s = QString::fromLatin1(reinterpret_cast<const char *>(p), int(n));
        n = 0;
        return s;
    }
};

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 16 * 1024)
        return 0;
    Input in{data + 1, size - 1};
    switch (data[0] % 20) {
    case 0: {  // register text, registers -> text -> registers
        const QVector<quint16> regs = in.regs();
        const QString text = codec::registersToText(regs);
        NW_CHECK(text.size() == 2 * regs.size());
        NW_CHECK(codec::textToRegisters(text, regs.size()) == regs);
        break;
    }
    case 1: {  // register text, text -> registers
        const int count = in.count();
        const QString text = in.text();
        const QVector<quint16> regs = codec::textToRegisters(text, count);
        NW_CHECK(regs.size() == qMax((text.size() + 1) / 2, count));
        if (codec::isRegisterText(text)) {
            NW_CHECK(codec::zeroEndedText(regs).startsWith(text));
            NW_CHECK(codec::registersToText(regs).left(text.size()) == text);
        }
        break;
    }
    case 2: {  // hex text, registers -> text -> registers
        const QVector<quint16> regs = in.regs();
        const QString hex = codec::registersToHexText(regs);
        NW_CHECK(codec::hexTextToRegisters(hex) == regs);
        QVector<quint16> parsed;
        NW_CHECK(codec::parseHexBlock(hex, 2 * regs.size(), &parsed) == !regs.isEmpty());
        if (!regs.isEmpty()) {
            NW_CHECK(parsed == regs);
            // The same bytes as one run of digits, lower case.
            QVector<quint16> run;
            NW_CHECK(codec::parseHexBlock(hex.toLower().remove(QLatin1Char(' ')),
                                          2 * regs.size(), &run));
            NW_CHECK(run == regs);
        }
        break;
    }
    case 3: {  // hex text typed by the user
        const QString text = in.latin1();
        const QVector<quint16> regs = codec::hexTextToRegisters(text);
        NW_CHECK(regs.size() == text.split(QLatin1Char(' ')).size() / 2);
        break;
    }
    case 4: {  // strict hex block typed by the user
        const int byteCount = in.count();
        const QString text = in.latin1();
        QVector<quint16> regs{0xDEAD};
        const bool ok = codec::parseHexBlock(text, byteCount, &regs);
        if (ok) {
            NW_CHECK(byteCount > 0 && byteCount % 2 == 0);
            NW_CHECK(regs.size() == byteCount / 2);
            int digits = 0;
            for (QChar c : text) {
                NW_CHECK(isHexDigit(c) || c.isSpace());
                digits += isHexDigit(c);
            }
            NW_CHECK(digits == 2 * byteCount);
            // Between the first and the last digit only blanks.
            for (QChar c : text.trimmed())
                NW_CHECK(isHexDigit(c) || c == QLatin1Char(' '));
            NW_CHECK(codec::registersToHexText(regs).compare(
                         QString(text).simplified().remove(QLatin1Char(' '))
                             .replace(QRegularExpression(QStringLiteral("(..)(?!$)")),
                                      QStringLiteral("\\1 ")),
                         Qt::CaseInsensitive) == 0);
        } else {
            NW_CHECK(regs == QVector<quint16>{0xDEAD});
        }
        break;
    }
    case 5: {  // sensor entry, registers -> fields -> registers
        const int offset = in.i32();
        const QVector<quint16> regs = in.regs();
        const codec::SensorFields f = codec::sensorEntryFromRegisters(regs, offset);
        NW_CHECK(f.name.size() <= 8);
        const QVector<quint16> back = codec::sensorEntryToRegisters(f);
        NW_CHECK(back.size() == codec::SensorEntryRegisters);
        for (int i = 4; i < codec::SensorEntryRegisters; ++i) {
            const qint64 at = qint64(offset) + i;
            NW_CHECK(back.at(i) == (at >= 0 && at < regs.size() ? regs.at(int(at)) : 0));
        }
        break;
    }
    case 6: {  // sensor entry, fields -> registers -> fields
        codec::SensorFields f;
        f.slaveId = in.u8();
        f.functionCode = in.u8();
        f.plcAddress = quint32(in.i32());
        f.registerQuantity = qint16(in.u16());
        f.name = in.text();
        const QVector<quint16> regs = codec::sensorEntryToRegisters(f);
        NW_CHECK(regs.size() == codec::SensorEntryRegisters);
        const codec::SensorFields back = codec::sensorEntryFromRegisters(regs);
        NW_CHECK(back.slaveId == f.slaveId && back.functionCode == f.functionCode);
        NW_CHECK(back.plcAddress == (f.plcAddress & 0xFFFF));
        NW_CHECK(back.registerQuantity == f.registerQuantity);
        if (codec::isRegisterText(f.name))
            NW_CHECK(back.name == f.name.left(8));
        break;
    }
    case 7: {  // rule entry, registers -> entry -> registers
        const int offset = in.i32();
        const QVector<quint16> regs = in.regs();
        const RuleChainEntry e = codec::decodeRuleEntry(regs, offset);
        NW_CHECK(e.name.size() <= 8);
        NW_CHECK(e.name == codec::entryName(regs, offset));
        const QVector<quint16> back = codec::ruleEntryRegisters(e);
        NW_CHECK(back.size() == codec::RuleEntryRegisters);
        NW_CHECK(codec::entryName(back, 0) == e.name);
        break;
    }
    case 8: {  // rule entry, entry -> registers -> entry
        RuleChainEntry e;
        e.inDeviceId = in.u16();
        e.inChannel = in.u16();
        e.outDeviceId = in.u16();
        e.outChannel = in.u16();
        e.type = in.u16();
        e.tmoValue = in.u16();
        e.name = in.text();
        const QVector<quint16> regs = codec::ruleEntryRegisters(e);
        NW_CHECK(regs.size() == codec::RuleEntryRegisters);
        const RuleChainEntry back = codec::decodeRuleEntry(regs, 0);
        NW_CHECK(back.inDeviceId == e.inDeviceId && back.inChannel == e.inChannel);
        NW_CHECK(back.outDeviceId == e.outDeviceId && back.outChannel == e.outChannel);
        NW_CHECK(back.type == e.type && back.tmoValue == e.tmoValue);
        if (codec::isRegisterText(e.name))
            NW_CHECK(back.name == e.name.left(8));
        (void)codec::ruleTypeText(e.type);
        break;
    }
    case 9: {  // chain monitor row
        const int offset = in.i32();
        const QVector<quint16> regs = in.regs();
        const ChainMonitorEntry e = codec::decodeMonitorEntry(regs, offset);
        NW_CHECK(e.tag.size() <= 8);
        NW_CHECK(!e.timeStamp.isEmpty());
        break;
    }
    case 10: {  // destination bitmap, registers -> flags -> registers
        const int idCount = in.count();
        const QVector<quint16> regs = in.regs();
        const QVector<bool> flags = codec::bitmapToFlags(regs, idCount);
        NW_CHECK(flags.size() == qMax(0, idCount));
        const QVector<quint16> back = codec::flagsToBitmap(flags, regs.size());
        NW_CHECK(back.size() == regs.size());
        for (int r = 0; r < regs.size(); ++r) {
            const int bits = qBound(0, idCount - 16 * r, 16);
            const quint16 mask = bits == 16 ? 0xFFFF : quint16((1u << bits) - 1);
            NW_CHECK(back.at(r) == (regs.at(r) & mask));
        }
        break;
    }
    case 11: {  // destination bitmap, flags -> registers
        const int registerCount = in.count();
        QVector<bool> flags;
        while (in.n)
            flags.append(in.u8() & 1);
        const QVector<quint16> regs = codec::flagsToBitmap(flags, registerCount);
        NW_CHECK(regs.size() == qMax(0, registerCount));
        NW_CHECK(codec::bitmapToFlags(regs, flags.size()).mid(0, 16 * regs.size())
                 == flags.mid(0, 16 * regs.size()));
        break;
    }
    case 12: {  // auto scan map
        const int entryCount = in.count();
        const QVector<quint16> regs = in.regs();
        const QList<ScanMapEntry> rows = codec::scanMapFromRegisters(regs, entryCount);
        NW_CHECK(rows.size() == qMax((regs.size() + 1) / 2, entryCount));
        for (auto qualifies : {codec::scanRowForFirstHalf, codec::scanRowForSecondHalf}) {
            const QVector<quint16> half = codec::scanMapHalf(rows, entryCount, qualifies);
            NW_CHECK(half.size() == 2 * qMax(0, entryCount));
            const QList<ScanMapEntry> back = codec::scanMapFromRegisters(half, 0);
            for (const ScanMapEntry &e : back)
                NW_CHECK(qualifies(e) || e == ScanMapEntry());
        }
        break;
    }
    case 13: {  // time zone
        const int minutes = in.i32();
        const QString text = codec::timeZoneText(minutes);
        NW_CHECK(text.startsWith(QLatin1String("UTC")));
        const int shown = codec::signedValue(quint16(minutes));
        NW_CHECK(codec::timeZoneText(shown).startsWith(QLatin1String("UTC")));
        break;
    }
    case 14: {  // firmware version, zero-ended text, serial number
        const QVector<quint16> regs = in.regs();
        const QString version = codec::versionText(regs);
        NW_CHECK(version.size() <= 2 * regs.size() && version.size() % 2 == 0);
        const QString text = codec::zeroEndedText(regs);
        NW_CHECK(text.size() <= 2 * regs.size() && !text.contains(QChar(0)));
        NW_CHECK(codec::isRegisterText(text));
        (void)codec::serialNumberUnset(regs);
        break;
    }
    case 15: {  // clock, schedule, time stamps
        const QVector<quint16> regs = in.regs();
        const quint32 seconds = codec::timestampFromRegisters(regs);
        NW_CHECK(codec::timestampFromRegisters(codec::timestampToRegisters(seconds)) == seconds);
        const quint32 mask = codec::scheduleMaskFromRegisters(regs);
        NW_CHECK(mask <= 0xFFFFFF);
        NW_CHECK(codec::scheduleMaskFromRegisters(codec::scheduleMaskToRegisters(mask)) == mask);
        (void)codec::localTimeText(seconds);
        (void)codec::localTimeText(qint64(qint32(seconds)));
        break;
    }
    case 16: {  // numbers typed into line edits and combo boxes
        const QString text = in.latin1();
        (void)codec::lineEditValue(text);
        (void)codec::channelNumber(text);
        (void)codec::pollingTimeoutInMilliseconds(text);
        qint64 number = -1;
        if (codec::numberInRange(text, 1, 250, &number))
            NW_CHECK(number >= 1 && number <= 250);
        break;
    }
    case 17: {  // I/O channels and currents
        const quint16 base = in.u16();
        const int channel = in.i32();
        const int stride = in.u8() % 4;
        (void)codec::channelRegister(base, channel, stride);
        const quint16 micro = in.u16();
        const int digits = in.u8() % 10 + 1;
        const QString mA = codec::microampsText(micro, digits);
        NW_CHECK(!mA.isEmpty());
        if (digits >= 5)
            NW_CHECK(codec::microampsFromMilliamps(mA.toDouble()) == micro);
        double d;
        static_assert(sizeof d == 8, "");
        quint64 bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | in.u8();
        memcpy(&d, &bits, sizeof d);
        (void)codec::microampsFromMilliamps(d);
        break;
    }
    case 18: {  // polling time-out, frequency
        const quint16 value = in.u16();
        const int seconds = in.i32();
        const QString model = in.latin1();
        const quint32 shown = codec::pollingTimeoutSeconds(value, model);
        NW_CHECK(shown <= value);
        if (seconds >= 0 && seconds <= 65)
            NW_CHECK(codec::pollingTimeoutSeconds(codec::pollingTimeoutRegister(seconds, model), model)
                     == quint32(seconds));
        NW_CHECK(!codec::loraFrequencyText(value).isEmpty());
        break;
    }
    case 19: {  // registers at any index
        const int index = in.i32();
        const QVector<quint16> regs = in.regs();
        NW_CHECK(codec::valueAt(regs, index)
                 == (index >= 0 && index < regs.size() ? regs.at(index) : 0));
        break;
    }
    }
    return 0;
}

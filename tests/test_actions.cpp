// Every single-block action of the pages and dialogs as one table: the button,
// the register block, what a good reply shows or a good write leaves, what a
// refused input says (and that nothing is sent), and the line faults whose
// handling differs between the request paths. One connected window per model
// serves all its rows; each row sets its block on the bridge itself. The flows
// of more than one block follow the table.
#include "testsupport.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "tools/asdialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QModbusClient>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>
#include <ctime>

using Regs = QVector<quint16>;

namespace {

constexpr int Wait = 10000;
// Short enough that the time-out rows do not dominate the run, long enough
// for a busy machine to answer the clean requests.
constexpr int ResponseTimeout = 1000;
constexpr int ResetRegister = 178;            // the bridge clears it as it resets
const QString Nothing = QStringLiteral("-");  // refused without a word

struct Field { QString widget, text; };
using Fields = QList<Field>;

Fields fields(const QString &pairs)  // "widget=text; widget=text"
{
    Fields list;
    for (const QString &f : pairs.split("; "))
        list << Field{ f.section('=', 0, 0), f.section('=', 1) };
    return list;
}

// The request path of an action, which decides how it reports.
enum Path {
    Read, OwnRefusalRead,  // "OK!", the standard texts; the second's refused request says "Read Error: "
    ClearingRead,          // empties its first field before sending, shows no "OK!"
    SilentRead,            // reports nothing, good or bad
    CountedRead,           // reports only a reply of another length
    Write, QuietWrite,     // the second shows nothing on success
    CompactWrite,          // the timing settings' error wording
    BoxWrite,              // the outcome comes in a box
};

// Exceptions 1, 3 and 4 and a damaged CRC take the path of exception 2 or of
// no answer on every action: the Serial read alone (Every) runs them.
enum Fault { NoAnswer = 1, Exception2 = 4, ShortReply = 64, StrayBytes = 128, NotConnected = 256, Every = 511 };
struct FaultCase { int fault; const char *name; sim::Fault kind; int code; QString suffix; };
const QList<FaultCase> Faults{
    { NoAnswer, "no answer", sim::Fault::NoAnswer, 2, "(code: 0x5)" },
    { 2, "exception 1", sim::Fault::Exception, 1, "(Mobus exception: 0x1)" },
    { Exception2, "exception 2", sim::Fault::Exception, 2, "(Mobus exception: 0x2)" },
    { 8, "exception 3", sim::Fault::Exception, 3, "(Mobus exception: 0x3)" },
    { 16, "exception 4", sim::Fault::Exception, 4, "(Mobus exception: 0x4)" },
    { 32, "damaged CRC", sim::Fault::BadCrc, 2, "(code: 0x5)" },
    { ShortReply, "short reply", sim::Fault::ShortReply, 2, "registers. (code: 0x1)" },
    { StrayBytes, "stray bytes", sim::Fault::ExtraBytes, 2, QString() },    // after a good reply
    { NotConnected, "not connected", sim::Fault::NoAnswer, 2, QString() },  // the last
};

struct Action {
    QString name, button;
    int first = 0;
    Regs device;           // the block on the bridge before; a write spans it
    Fields before, after;  // typed or chosen first; shown afterwards
    Regs sent;             // a write's block afterwards; none: the PC's clock
    QString refusal;       // "title|text" of a box, a status text, or Nothing
    Path path = Read;
    QString readFirst, scope, model = QStringLiteral("NB500-400");
    int faults = 0;
    bool yes = false;      // confirmations answered Yes

    Action &set(const Fields &f) { before = f; return *this; }
    Action &set(const QString &pairs) { return set(fields(pairs)); }
    Action &shows(const Fields &f) { after = f; return *this; }
    Action &shows(const QString &pairs) { return shows(fields(pairs)); }
    Action &leaves(const Regs &r) { sent = r; return via(reads() ? Write : path); }
    Action &refused(const QString &r) { refusal = r; return *this; }
    Action &via(Path p) { path = p; return *this; }
    Action &reading(const char *button) { readFirst = button; return *this; }
    Action &holding(const Regs &r) { device = r; return *this; }
    Action &under(int f) { faults = f; return *this; }
    Action &on(const char *m) { model = m; return *this; }
    Action &in(const char *dialog) { scope = dialog; return *this; }
    Action &answeredYes() { yes = true; return *this; }
    bool reads() const { return path <= CountedRead; }
};

Action act(const QString &name, const char *button, int first, const Regs &device)
{
    return Action{ name, button, first, device };
}
QString box(const QString &title, const QString &text) { return title + '|' + text; }
QString error(const QString &text) { return box("Error", text); }
Regs text(const QString &s, int count) { return codec::textToRegisters(s, count); }

// One field read and shown; one field typed and written (or refused).
Action get(const char *button, int first, const Regs &device, const char *field, const QString &shown)
{
    return act(QString("%1 shows %2").arg(button, shown), button, first, device).shows({ { field, shown } });
}

Action put(const char *button, int first, const char *field, const QString &typed, const Regs &sent)
{
    return act(QString("%1 \"%2\"").arg(button, typed), button, first, Regs(sent.size(), 7))
        .set({ { field, typed } }).leaves(sent);
}

// A read that shows `shown`, and a write of that text that leaves the block read.
QList<Action> both(const char *read, const char *write, int first, const char *field, const Regs &regs,
                   const QString &shown)
{
    return { get(read, first, regs, field, shown), put(write, first, field, shown, regs) };
}

// Values typed into the field of one register: "250" written as 250,
// "4.001=4001" as 4001, "251!" refused.
QList<Action> typed(const char *button, int first, const char *field, const QString &values, const QString &refusal)
{
    QList<Action> rows;
    for (const QString &v : values.split(' ')) {
        const QString text = v.section('=', 0, 0).remove('!'), sent = v.contains('=') ? v.section('=', 1) : text;
        rows << put(button, first, field, text, { quint16(sent.toInt()) }).refused(v.endsWith('!') ? refusal : "");
    }
    return rows;
}

Fields hours(const QList<int> &checked, const char *mode)
{
    Fields f{ { mode, "1" } };
    for (int hr = 0; hr < 24; ++hr)
        f << Field{ QString("checkBox_%1").arg(hr == 0 ? 24 : hr), checked.contains(hr) ? "1" : "0" };
    return f;
}

Action lora(const char *model, const QString &mhz, const QString &dbm, int f10, const QString &refusal = {})
{
    Action a = act(QString("LoRa %1 MHz %2 dBm").arg(mhz, dbm), "loraSetButton", 21, Regs(7, 0xEEEE)).on(model)
        .set(QString("FrequencyComboBox=%1; RFPowerComboBox=%2; SFComboBox=SF9; BandwidthComboBox=250; "
                     "CodeRateComboBox=4/6; OptimizeLowRateComboBox=1; syncWordLineEdit=1212").arg(mhz, dbm));
    return refusal.isEmpty() ? a.leaves({ quint16(f10), quint16(dbm.toInt()), 4, 1, 2, 0, 0x3434 })  // fixed
                             : a.refused(box("LoRa", "Please Set LoRa " + refusal));
}

Action serial(const char *name, const Regs &device, const QString &typed)
{
    return act(name, "serialBtn", 0, device).reading("serialBtnRead").set(typed);
}

Action system(const char *name, const char *button, int first, const Regs &device)
{
    return act(name, button, first, device).in("systemDialog");
}

QList<Action> radioRows()
{
    const Regs key{ 0x2B7E, 0x1516, 0x28AE, 0xD2A6, 0xABF7, 0x1588, 0x09CF, 0x4F3C };
    const QString keyText = "2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C";
    const QString baudFirst = error("Please choose a baud rate and a parity before writing.");
    const QString address = error("Device Modbus Address Should between 1 and 250!");
    const QString range = "Frequency range: 410MHz ~ %1MHz.", anyBand = range.arg(930);
    const QString th = "Frequency range: 920MHz ~ 925MHz.";
    const auto hex = [](const char *label, int bytes) {
        return error(QString("%1 needs %2 bytes: two hex digits per byte, separated by blanks (as in 00 11 22), "
                             "or %3 hex digits in one run.").arg(label).arg(bytes).arg(2 * bytes));
    };
    QList<Action> rows;
    // "Serial": the first row of the table, so nothing has been read since
    // Connect; the good write comes last, so the page keeps a writable address
    // and settings for the rows without a link.
    rows << act("Serial write before a Read", "serialBtn", 0, { 0, 8, 1, 0, 7 })
                .refused(error("Please Read the settings first, so the device keeps its Modbus address."))
         << act("Serial read", "serialBtnRead", 0, { 4, 8, 2, 1, 7 }).under(Every)
                .set("s_baudCombo=2400; s_stopBitsCombo=1; s_parityCombo=Odd")
                .shows("s_baudCombo=19200; s_stopBitsCombo=2; s_parityCombo=Even; portEdit_2=7")
         << serial("Serial write after an unknown baud rate", { 5, 8, 1, 0, 1 }, "").refused(baudFirst)
         << serial("Serial write after an unknown parity", { 0, 8, 1, 3, 1 }, "").refused(baudFirst)
         << serial("Serial address 0", { 0, 8, 1, 0, 1 }, "portEdit_2=0").refused(address)
         << serial("Serial address 251", { 0, 8, 1, 0, 1 }, "portEdit_2=251").refused(address)
         << serial("Serial address 250", { 0, 8, 1, 0, 7 }, "portEdit_2=250").leaves({ 0, 8, 1, 0, 250 })
         << serial("Serial address 1", { 0, 8, 1, 0, 7 }, "portEdit_2=1").leaves({ 0, 8, 1, 0, 1 })
         << serial("Serial write keeps the address read", { 0, 8, 1, 0, 7 },
                   "s_baudCombo=4800; s_stopBitsCombo=2; s_parityCombo=Even")
                .leaves({ 1, 8, 2, 1, 7 }).under(NotConnected);

    // "LoRa Wan": each identity and key its own block, as hex text.
    rows << both("abpDevAddrRead", "abpDevAddrWrite", 200, "abpDevAddrLine", { 0x0A0B, 0xC0D0 }, "0A 0B C0 D0")
         << both("otaaDevEuiRead", "otaaDevEuiWrite", 240, "otaaDevEuiLine", { 0x11, 0x2233, 0x4455, 0x6677 },
                 "00 11 22 33 44 55 66 77")
         << both("otaaAppEuiRead", "otaaAppEuiWrite", 244, "otaaAppEuiLine", { 0x70B3, 0xD57E, 0xD000, 0x1234 },
                 "70 B3 D5 7E D0 00 12 34")
         << both("otaaAppKeyRead", "otaaAppKeyWrite", 248, "otaaAppKeyLine", key, keyText)
         << both("abpAppsKeyRead", "abpAppsKeyWrite", 202, "abpAppsKeyLine", key, keyText)
         << both("abpNwksKeyRead", "abpNwksKeyWrite", 210, "abpNswksKeyLine", key, keyText)
         << put("abpDevAddrWrite", 200, "abpDevAddrLine", "ab cd ef 01", { 0xABCD, 0xEF01 })
                .under(NoAnswer | Exception2 | StrayBytes)
         << put("otaaDevEuiWrite", 240, "otaaDevEuiLine", "00 11 22 33 44 55 66 77 88", Regs(4))
                .refused(hex("Dev_eui", 8))
         << put("abpNwksKeyWrite", 210, "abpNswksKeyLine", "hello", Regs(8)).refused(hex("Nwks_key", 16))
         << act("OTAA chosen again stays chosen", "otaaEnable", 256, { 1 }).leaves({ 1 })
                .set("otaaEnable=1; abpEnable=0").shows("otaaEnable=1; abpEnable=0")
         << act("ABP chosen", "abpEnable", 256, { 1 }).leaves({ 0 })
                .set("otaaEnable=1; abpEnable=0").shows("otaaEnable=0; abpEnable=1")
         << put("txConfirmCheckBox", 257, "txConfirmCheckBox", "0", { 1 });

    // "RF" and "LoRa".
    rows << get("RSSIRead", 160, { 0xFF9C }, "rssiLineEdit", "-100")
         << get("SNNRRead", 161, { 0xFFF6 }, "snnrLineEdit", "-10")
         << act("LoRa read", "loraGetButton", 21, { 9150, 17, 0, 0, 4, 0, 0x3434 })
                .shows("FrequencyComboBox=915; RFPowerComboBox=17; SFComboBox=SF5; BandwidthComboBox=125; "
                       "CodeRateComboBox=4/8")
         << act("LoRa write after an unknown code rate", "loraSetButton", 21, { 4330, 17, 0, 0, 0, 0, 0x3434 })
                .reading("loraGetButton")
                .refused(box("LoRa", "Please choose a spreading factor, a bandwidth and a code rate before writing."))
         << lora("NB500-400", "433.15", "22", 4331) << lora("NB500-400", "410", "14", 4100)
         << lora("NB500-400", "493.1", "20", 0, range.arg(493)) << lora("NB500-400", "409.9", "20", 0, anyBand)
         << lora("NB500-400", "nan", "20", 0, anyBand)
         << lora("NB520-900", "850", "20", 8500) << lora("NB520-900", "930", "22", 9300)
         << lora("NB520-900", "849.9", "20", 0, "Frequency range: 850MHz ~ 930MHz.")
         << lora("NB520-900", "930.1", "20", 0, anyBand)
         << lora("NB520-TH", "920", "17", 9200) << lora("NB520-TH", "925", "14", 9250)
         << lora("NB520-TH", "925.1", "14", 0, th) << lora("NB520-TH", "919", "14", 0, th)
         << lora("NB520-TH", "920", "18", 0, "Tx(RF) Power range: 14dBm ~ 17dBm.");

    // "Group Net": read unsigned; the whole typed number is checked, not its low 16 bits.
    rows << get("netSIDRead", 100, { 0xBEEF }, "srcIDLineEdit", "48879")
         << typed("netSIDWrite", 100, "srcIDLineEdit", "250 1 251! 0!", error("Source ID Should between 1 and 250!"))
         << get("netTimeoutRead", 149, { 300 }, "ResTOutlineEdit", "300")
         << typed("netTimeoutWrite", 149, "ResTOutlineEdit", "300 65537! 0!",
                  error("Response Timeout Should between 1 and 300!"))
         << get("LCTimeoutRead", 150, { 1500 }, "LCTimeOutlineEdit", "1500")
         << typed("LCTimeoutWrite", 150, "LCTimeOutlineEdit", "65535 65536!",
                  error("LC Timeout Should between 0 and 65535!"))
         << act("AES switch read keeps the key", "netAesEnableRead", 117, { 1 })
                .set("aesComboBox=Off; aesLineEdit=KeyFromTheBridge")
                .shows("aesComboBox=On; aesLineEdit=KeyFromTheBridge")
         << put("netAesEnableWrite", 117, "aesComboBox", "On", { 1 })
         << act("AES switch unknown", "netAesEnableWrite", 117, { 2 }).reading("netAesEnableRead")
                .refused(error("Please choose Off or On before writing."))
         << get("netAesKeyRead", 118, text("AB", 8), "aesLineEdit", QString("AB").leftJustified(16, '\0'))
         << put("netAesKeyWrite", 118, "aesLineEdit", "0123456789abcdef", text("0123456789abcdef", 8))
         << put("netAesKeyWrite", 118, "aesLineEdit", "0123456789abcde", Regs(8))
                .refused(error("Length of AES Key Should be 16!"))
         << put("netAesKeyWrite", 118, "aesLineEdit", QString("0123456789abcde") + QChar(0x20AC), Regs(8))
                .refused(error("The AES Key may only hold Latin-1 characters!"))
         << get("SNPushButton", 141, text("ABC", 7) + Regs{ 0x2020 }, "SNLineEdit",  // the hidden row
                QString("ABC").leftJustified(14, '\0') + "  ")
         << act("hidden serial number write", "SNPushButtonWrite", 141, Regs(8, 0x4142)).refused(Nothing);
    return rows;
}

QList<Action> ioRows()
{
    const QString frequency = "Set Frequency Error: frequency output must ";
    const QString duty = "Set Occupu Error: occupy output must less than 100%";
    const auto pwm = [](const char *channel, const char *hz, const char *percent) {
        return act(QString("PWM %1 at %2 Hz, %3 %").arg(channel, hz, percent), "PWMOutputPushButton",
                   channel[0] == '6' ? 1108 : 1110, Regs(2, 7)).via(QuietWrite)
            .set(QString("PWMOutputComboBox=%1; PWMOutputlineEdit=%2; PWMOutputLineEdit2=%3")
                     .arg(channel, hz, percent));
    };
    QList<Action> rows;
    // "I/O": reads empty their value first and show no "OK!"; the channel picks the register.
    rows << get("currentInputPushButton", 1003, { 12345 }, "currentInputLineEdit", "12.345").via(ClearingRead)
                .set("currentInputComboBox=3")
         << get("currentOutputReadPushButton", 1068, { 20000 }, "currentOutputLineEdit", "20").via(ClearingRead)
         << get("voltageInputPushButton", 1018, { 3300 }, "voltageInputLineEdit", "3300").via(ClearingRead)
                .set("voltageInputComboBox=2")
         << get("rvPshBtn", 1085, { 10000 }, "voltageOutputLineEdit", "10000").via(ClearingRead)
         << act("PWM input, no channels", "PWMInputPushButton", 1032, { 50000, 75 }).via(ClearingRead)
                .shows("PWMInputlineEdit=50000; PWMInputlineEdit2=75")
         << act("PWM output read", "PwmOutputReadPushButton", 1110, { 1000, 50 }).via(ClearingRead)
                .set("PWMOutputComboBox=7; PWMOutputlineEdit=7; PWMOutputLineEdit2=8")
                .shows("PWMOutputlineEdit=1000; PWMOutputLineEdit2=50")
                .under(NoAnswer | Exception2 | ShortReply | StrayBytes | NotConnected)
         << typed("currentOutputPushButton", 1068, "currentOutputLineEdit", "4.001=4001 20=20000 3.999!",
                  "Set Current Error: current output must bigger than 4mA")
         << typed("currentOutputPushButton", 1068, "currentOutputLineEdit", "20.0001!",
                  "Set Current Error: current output must less than 20mA")
         << typed("voltageOutputPushButton", 1085, "voltageOutputLineEdit", "2500.9=2500 10000 10001!",
                  "Set Voltage Error: voltage output must less than 10000mv")
         // Only 65536 to 100000 Hz gets the 16-bit text.
         << pwm("6", "65535", "100").leaves({ 65535, 100 }) << pwm("7", "0", "0").leaves({ 0, 0 })
         << pwm("7", "65536", "0").refused(frequency + "be at most 65535Hz")
         << pwm("7", "100000", "0").refused(frequency + "be at most 65535Hz")
         << pwm("7", "100001", "0").refused(frequency + "less than 100000Hz")
         << pwm("7", "", "0").refused(frequency + "less than 100000Hz")
         << pwm("7", "1000", "101").refused(duty) << pwm("7", "1000", "-1").refused(duty);

    // "Adjust": calibration factors, signed.
    rows << both("vinRead", "vinWrite", 400, "vinLineEdit", { 0xFFFE }, "-2")
         << both("vinRead_2", "vinWrite_2", 410, "vinLineEdit_2", { 3 }, "3")
         << both("voutRead", "voutWrite", 401, "voutLineEdit", { 4 }, "4")
         << both("iinRead", "iinWrite", 402, "iinLineEdit", { 5 }, "5")
         << both("iinRead_2", "iinWrite_2", 411, "iinLineEdit_2", { 6 }, "6")
         << both("ioutRead", "ioutWrite", 403, "ioutLineEdit", { 0x8000 }, "-32768");

    // "TMO I/O": the hold switches and values; any non-zero value is on.
    rows << put("voltageEnableCheckBox", 900, "voltageEnableCheckBox", "0", { 1 })
         << put("currentEnableCheckBox", 903, "currentEnableCheckBox", "1", { 0 })
         << both("voltagePollReadPushButton", "voltagePollWritePushButton", 901, "voltageInterlLineEdit",
                 { 0xFFFF }, "-1")
         << both("currentPollReadPushButton", "currentPollWritePushButton", 904, "currentInterlLineEdit", { 45 }, "45")
         << get("voltageOutReadPushButton", 902, { 5000 }, "voltageOutValLineEdit", "5000")
         << get("currentOutReadPushButton", 905, { 12345 }, "currentOutValLineEdit", "12.345")
         << typed("currentOutWritePushButton", 905, "currentOutValLineEdit", "4.001=4001 20=20000 3.9!",
                  error("Please set Current value greater than 4mA."))
         << typed("currentOutWritePushButton", 905, "currentOutValLineEdit", "20.5!",
                  error("Please set Current value less than 20mA."))
         << typed("voltageOutWritePushButton", 902, "voltageOutValLineEdit", "10000 0 10001! -5! 2500.5!",
                  error("Please set Current value less than 10000mV."));
    return rows;
}

QList<Action> tableRows()
{
    const QString negative = "Please set Current/Voltage value greater than 0.";
    const QString maxCurrent = "Please set Current value less than 20000uA.";
    const auto timeout = [](const char *typed, int sent, const QString &refusal = {}) {
        return put("sensorTimeOutWritePushButton", 808, "sensorTimeOutLineEdit", typed, { quint16(sent) })
            .via(CompactWrite).refused(refusal);
    };
    // The entry dialogs and Add check the typed entry: one row per refusal
    // text, in the order each reports them.
    const auto sensorAdd = [](const QString &name, const char *id, const char *code, const char *address,
                              const char *quantity, const QString &refusal) {
        return act(QStringList{ "sensor Add", name, id, code, address, quantity }.join(' '), "sensorAddPushButton",
                   500, Regs(7, 0)).refused(error(refusal))
            .set(QString("sensorTypeLineEdit=%1; sensorSlaveId=%2; sensorFunCodeCombox=%3; sensorPLCAddress=%4; "
                         "sensorLength=%5").arg(name, id, code, address, quantity));
    };
    const auto sensorEdit = [](const QString &name, const char *id, const char *quantity, const QString &refusal) {
        return act("sensor Edit " + refusal, "sensorAddPushButton", 500, text("PUMP", 4) + Regs{ 0x0305, 100, 2 })
            .reading("sensorUpdatePushButton").in("sensor_edit").refused(error(refusal))
            .set(QString("sensorTypeLE=%1; sensorSlaveId=%2; sensorFunctionCodeComboBox=3; sensorPLCAddress=1; "
                         "sensorLLE=%3").arg(name, id, quantity));
    };
    const auto ruleRegs = [](const QString &name, int outChannel, int value) {
        return text(name, 4) + Regs{ 3, 1, 7, quint16(outChannel), 2, quint16(value) };
    };
    const auto ruleAdd = [](const QString &name, const char *outChannel, const char *value, const QString &refusal) {
        return act(QString("rule Add %1 %2 %3").arg(name, outChannel, value), "ruleChainAddPushButton", 2402,
                   Regs(10, 0)).refused(refusal.isEmpty() ? refusal : error(refusal))
            .set(QString("ruleNameLineEdit=%1; ruleInDeviceIDComboBox=3; ruleInChComboBox=1; ruleTypeComboBox=A-V; "
                         "ruleOutIDComboBox=7; ruleOutChnComboBox=%2; TMOValueLineEdit=%3")
                     .arg(name, outChannel, value));
    };
    const auto ruleEdit = [&](const char *name, const char *outChannel, const char *value, const QString &refusal) {
        return act(QString("rule Edit %1 %2").arg(value, refusal), "ruleChainEditPushButton", 2402,
                   ruleRegs("pump", 4, 5000)).reading("ruleChkPushButton").in("ruleChainEdit").refused(error(refusal))
            .set(QString("ruleChainRuleNameEdit=%1; ruleChainOutChComboBox=%2; ruleChainTMOValueLineEdit=%3")
                     .arg(name, outChannel, value));
    };
    QList<Action> rows;
    // "RTU": upload interval and the polling time-out, in ms on an NB500.
    rows << get("sensorIntervalCheckPushButton", 802, { 300 }, "sensorIntervalLineEdit", "300").via(ClearingRead)
                .set("sensorIntervalLineEdit=9")
         << typed("sensorIntervalSetPushButton", 802, "sensorIntervalLineEdit", "65535 65536!",
                  "Upload interval must be a whole number from 0 to 65535!")
         << get("sensorTimeOutReadPushButton", 808, { 5000 }, "sensorTimeOutLineEdit", "5").via(OwnRefusalRead)
                .under(NotConnected)
         << get("sensorTimeOutReadPushButton", 808, { 9 }, "sensorTimeOutLineEdit", "9").on("NB520-900")
         << timeout("20", 20000) << timeout("1", 1).on("NB520-900")
         << timeout("0", 0, "TimeOut time can't be less than or equal to 0!")
         << timeout("21", 0, "TimeOut time can't be more than 20!");

    // The sensor table's Add and Edit (their writes and slots: test_tables).
    rows << sensorAdd("ABCDEFGHI", "0", "3", "0", "0", "Please set RTU number with maximum 8 word.")
         << sensorAdd("", "0", "3", "0", "0", "Please set RTU number.")
         << sensorAdd(QString("T") + QChar(0x20AC), "1", "3", "1", "1",
                      "Please set RTU number with Latin-1 characters only.")
         << sensorAdd("T", "248", "3", "1", "1", "Please set ID number between 1 and 247.")
         << sensorAdd("T", "1", "3", "0", "0", "Please set Register Quantity number between 1 and 10.")
         << sensorAdd("T", "1", "2", "1", "81", "Please set Register Quantity number between 1 and 80.")
         << sensorAdd("T", "1", "3", "0", "10", "Please set PLC Address between 1 and 65535.")
         << sensorEdit("", "0", "0", "Please set Slave ID number between 1 and 247.")
         << sensorEdit("P", "1", "11", "Please set Register Quantity  between 1 and 10.")
         << sensorEdit(QString("P") + QChar(0x20AC), "1", "1", "Please set RTU number with Latin-1 characters only.");

    // "Rule Chain": loop time, and Add and Edit of entries; 70000 and 65536
    // would pass if cut to 16 bits.
    rows << both("ruleIntervalChkPushButton", "ruleIntervalSetPushButton", 2400, "ruleIntervalLineEdit", { 30 }, "30")
         << ruleAdd("abc", "5", "10000", "").reading("ruleChkPushButton").leaves(ruleRegs("abc", 5, 10000))
         << ruleAdd("abcdefghi", "0", "", "Please set Rule-Name with maximum 8 words.")
         << ruleAdd("", "4", "", "Please set Rule Name.")
         << ruleAdd(QString::fromUtf8("温度"), "0", "", "Please set Rule Name with Latin-1 characters only.")
         << ruleAdd("r", "4", "", "Please set valid Current/Voltage value.") << ruleAdd("r", "4", "70000", maxCurrent)
         << ruleAdd("r", "4", "-1", "Please set Current value greater than 4000uA.")  // Edit says `negative`
         << ruleAdd("r", "5", "65536", "Please set Voltage value less than 10000.") << ruleAdd("r", "5", "-5", negative)
         << ruleEdit("", "4", "5000", "Please set Rule Name.") << ruleEdit("pump", "4", "-1", negative)
         << ruleEdit("pump", "4", "70000", maxCurrent)
         << ruleEdit("pump", "", "5000", "Please choose the device IDs, channels and type.")
         << put("eventLogEnableRadioButton", 3000, "eventLogEnableRadioButton", "0", { 1 });
    return rows;
}

QList<Action> timeAndSystemRows()
{
    const Regs login = text("admin", 8) + text("admin", 8);  // kept for the rows that connect again
    const auto credentials = [&](const char *name, const QString &user, const QString &password) {
        return system(name, "systemApply", 180, login)
            .set({ { "usernameLineEdit", user }, { "passwordLineEdit", password } });
    };
    const auto scan = [](const char *name, const char *button, const char *loop, const char *interval) {
        return act(name, button, 810, { 1, 0, 0 }).in("asDialog")
            .set(QString("mapEnableRadioButton=0; mapLoopLineEdit=%1; mapIntervalLineEdit=%2").arg(loop, interval));
    };
    QList<Action> rows;
    // "TimeSetting": Check reads the hours and then the timing mode.
    rows << act("schedule check", "sensorTimeCheckPushButton_2", 800, { 0x0080, 0x8001, 0, 0, 1 })
                .set(hours({ 1, 3 }, "sensorCTRadioButton")).shows(hours({ 0, 15, 23 }, "sensorSTradioButton"))
         << act("schedule set", "sensorTimeSetPushButton_2", 800, { 1, 2 })
                .set(hours({ 0, 16 }, "sensorSTradioButton")).leaves({ 0x0001, 0x0001 })
         << act("countdown check", "sensorCountdownCheckButton", 803, { 45, 2 })
                .set("sensorCTRadioButton=1").shows("sensorCountDownLineEdit=45; sensorSTradioButton=1")
         << typed("sensorIntervalSetPushButton_2", 803, "sensorCountDownLineEdit", "120 70000!",
                  "Countdown time must be a whole number from 0 to 65535!")
         << put("sensorCTRadioButton", 804, "sensorSTradioButton", "1", { 0 })
         << put("sensorSTradioButton", 804, "sensorCTRadioButton", "1", { 1 })
         << get("sensorTSChkButton", 805, { 0x5F5E, 0x1000 }, "sensorTSLineEdit", codec::localTimeText(1600000000))
         << act("device clock set", "sensorTSSetBtn", 805, { 0, 0 }).shows("sensorTSLineEdit=").via(Write)
         << get("sensorTZChkButton", 807, { 0xFEB6 }, "sensorTZLineEdit", "UTC+ 5 : 30")
         << act("time zone set", "sensorTZSetBtn", 807, { 123 }).set("TZ=Asia/Kolkata")
                .shows("sensorTZLineEdit=UTC+ 5 : 30").leaves({ 0xFEB6 }).via(CompactWrite).under(NoAnswer | Exception2)
         << act("time zone set, standard time", "sensorTZSetBtn", 807, { 123 }).set("TZ=America/New_York")
                .shows("sensorTZLineEdit=UTC -5 : 00").leaves({ 300 }).via(CompactWrite);

    // The system settings dialog: most of its reads report nothing.
    rows << system("version read", "systemCheck", 170, text("V1.2.3", 8)).via(SilentRead)
                .set("systemVersionLineEdit=old").shows("systemVersionLineEdit=V1.2.3")
                .under(NoAnswer | Exception2 | ShortReply | StrayBytes | NotConnected)
         << system("serial number", "SNRead", 141, text("ABC", 8)).shows("SNShow=ABC").via(SilentRead)
         << system("serial number unset", "SNRead", 141, Regs(8, 0xFFFF)).via(SilentRead)
                .set("SNShow=before").shows("SNShow=before");
    const char *holds[][3] = { { "voltageHoldChk", "voltageHoldSet", "voltageHoldComboBox" },
                               { "currentHoldCheck", "currentHoldSet", "currentHoldComboBox" },
                               { "PWMChk", "PWMSet", "PWMComboBox" }, { "PWMOCChk", "PWMOCSet", "PWMOCComboBox" } };
    for (int i = 0; i < 4; ++i) {  // the four output holds, 306 to 309
        const char *on = i % 2 ? "ON" : "OFF", *off = i % 2 ? "OFF" : "ON";
        rows << get(holds[i][0], 306 + i, { quint16(i % 2) }, holds[i][2], on).via(SilentRead)
                    .set(Fields{ { holds[i][2], off } }).in("systemDialog")
             << put(holds[i][1], 306 + i, holds[i][2], off, { quint16(1 - i % 2) }).in("systemDialog");
    }
    rows << get("PWMOCChk", 309, { 2 }, "PWMOCComboBox", "").via(SilentRead).in("systemDialog").set("PWMOCComboBox=ON")
         << system("hold of 2 set", "voltageHoldSet", 306, { 2 }).reading("voltageHoldChk")
                .refused(error("Please choose OFF or ON before Set."))
         << get("globalTSCheckPushButton", 805, { 0x6553, 0xF100 }, "globalTSLineEdit",
                codec::localTimeText(1700000000)).in("systemDialog")
         << system("clock set", "globalTSSetPushButton", 805, { 0, 0 }).shows("globalTSLineEdit=").via(Write)
         << system("factory reset", "systemSet", ResetRegister, { 0 }).answeredYes().leaves({ 1 })
         << system("factory reset, No", "systemSet", ResetRegister, { 0 })
                .refused(box("Reset", "WARN: It will reset the system to default setting value."))
         << credentials("credentials", "admin", "admin").via(BoxWrite).answeredYes().leaves(login)
                .under(NoAnswer | Exception2 | NotConnected)
         << credentials("credentials, No", "ab", "c")
                .refused(box("", "WARN: It will change the username and password for login."))
         << credentials("credentials of 17", QString(17, 'u'), "c")
                .refused(error("Username and password can have at most 16 characters each."))
         << credentials("credentials not Latin-1", "ab", QString("c") + QChar(0x20AC))
                .refused(error("Username and password can only use Latin-1 characters."));

    // The auto scan dialog's settings: silent reads, except a short reply.
    rows << scan("scan settings read", "checkMapPushButton", "65535", "2").holding({ 1, 60, 5 }).via(CountedRead)
                .shows("mapEnableRadioButton=1; mapLoopLineEdit=60; mapIntervalLineEdit=5")
                .under(NoAnswer | Exception2 | ShortReply)
         << scan("scan settings write", "applyMapPushButton", "65535", "7").leaves({ 0, 65535, 7 }).under(Exception2)
         << scan("scan loop time 65536", "applyMapPushButton", "65536", "7")
                .refused(box("tip", "please input Loop Time 0 to 65535"))
         << scan("scan interval 65536", "applyMapPushButton", "65535", "65536")
                .refused(box("tip", "please input Interval Time 0 to 65535"));
    return rows;
}

const QList<Action> &table()
{
    static const QList<Action> rows = radioRows() + ioRows() + tableRows() + timeAndSystemRows();
    return rows;
}

void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

Harness *h = nullptr;  // the window of the current model
QString hModel;

QObject *scope(const Action &a) { return a.scope.isEmpty() ? h->window() : h->find<QObject>(a.scope); }

bool reconnect()
{
    if (h->window()->link()->isConnected())
        h->find<QPushButton>("connectButton")->click();  // Disconnect
    if (!h->connectAs() || !h->waitForReplies())
        return false;
    auto *tabs = h->find<QTabWidget>("tabWidget");  // identification keeps some disabled
    for (int tab = 0; tab < tabs->count(); ++tab)
        tabs->setTabEnabled(tab, true);
    return true;
}

// One window per model: a new model closes the window of the last one.
bool window(const QString &model)
{
    if (h && hModel == model)
        return true;
    delete h;
    sim::Options options;
    options.model = hModel = model;
    h = new Harness(options);
    return h->startWindow() && reconnect();
}

// What the widget of `f` shows (a check box "1" or "0"), after setting it to
// `f`'s text if `set`; the time zone is no widget.
QString field(const Action &a, const Field &f, bool set = false)
{
    if (f.widget == QLatin1String("TZ")) {
        if (set)
            setZone(f.text.toLatin1());
        return f.text;
    }
    if (auto *combo = scope(a)->findChild<QComboBox *>(f.widget)) {
        if (set)
            combo->isEditable() ? combo->setCurrentText(f.text) : combo->setCurrentIndex(combo->findText(f.text));
        return combo->currentText();
    }
    if (auto *edit = scope(a)->findChild<QLineEdit *>(f.widget)) {
        if (set)
            edit->setText(f.text);
        return edit->text();
    }
    auto *button = scope(a)->findChild<QAbstractButton *>(f.widget);
    if (set && button)
        button->setChecked(f.text == QLatin1String("1"));
    return !button ? "no widget" : button->isChecked() ? "1" : "0";
}

// The fields as shown, or as `fields` say.
QStringList texts(const Action &a, const Fields &fields, bool shown = true)
{
    QStringList texts;
    for (const Field &f : fields)
        texts << f.widget + '=' + (shown ? field(a, f) : f.text);
    return texts;
}

// Dialogs are opened as the user does; an edit dialog anew, on the first entry.
void openScope(const Action &a)
{
    const bool menu = a.scope == "systemDialog" || a.scope == "asDialog";
    auto *dialog = h->find<QDialog>(a.scope);
    if (dialog && !menu)
        dialog->testAttribute(Qt::WA_DeleteOnClose) ? delete dialog : dialog->hide();
    else if (dialog && dialog->isVisible())
        return;
    if (menu) {
        h->find<QAction>(a.scope == "asDialog" ? "asSettingsAction" : "action_Settings")->trigger();
    } else {
        auto *view = h->find<QAbstractItemView>(a.scope == "sensor_edit" ? "sensorTableView" : "RuleVIew");
        QMetaObject::invokeMethod(view, "doubleClicked", Q_ARG(QModelIndex, view->model()->index(0, 0)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(h->find<QDialog>(a.scope) && h->find<QDialog>(a.scope)->isVisible(), Wait);
}

void clickAndWait(const QString &name, QObject *scope)
{
    auto *button = scope->findChild<QAbstractButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);  // some pause after they ran
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), Wait);  // table reads end later
}

// The window of the row's model in the link state the row needs, the page's
// read run first, its dialog open, its block on the bridge, its fields
// filled and its fault set.
void prepare(const Action &a, const FaultCase *fault)
{
    setZone("UTC");
    QVERIFY(window(a.model));
    sim::SimBridge &bridge = h->bridge();
    bridge.clearFaults();
    Link *link = h->window()->link();
    const bool unlinked = fault && fault->fault == NotConnected;
    if (unlinked && link->isConnected())
        h->find<QPushButton>("connectButton")->click();  // Disconnect
    else if (!unlinked && !link->isConnected())
        QVERIFY(reconnect());
    link->device()->setNumberOfRetries(0);
    link->device()->setTimeout(ResponseTimeout);
    bridge.setRegs(a.first, a.device);
    if (!a.readFirst.isEmpty() && !unlinked) {
        clickAndWait(a.readFirst, h->window());
        QVERIFY(h->waitForReplies());
    }
    if (!a.scope.isEmpty())
        openScope(a);
    bridge.clearWrites();
    h->boxes.clear();
    link->clearMessage();
    for (const Field &f : a.before)
        QCOMPARE(field(a, f, true), f.text);
    if (fault && !unlinked)
        bridge.addFault({ fault->kind, a.first, a.first + int(a.device.size()) - 1, fault->code });
}

// How long the status bar keeps its message: 0 until the next one.
int barTimeout()
{
    for (const QTimer *timer : h->window()->statusBar()->findChildren<QTimer *>()) {
        if (timer->isActive())
            return timer->interval();
    }
    return 0;
}

// A good reply (or one followed by stray bytes): what the row shows and leaves.
void checkDone(const Action &a, qint64 clickedAt)
{
    sim::SimBridge &bridge = h->bridge();
    const bool clock = !a.reads() && a.sent.isEmpty();  // writes the PC's time of the click
    const QString ok = a.path == Read || a.path == OwnRefusalRead || a.path == Write || a.path == CompactWrite
                           ? "OK!" : "";
    const auto written = [&] { return qint64(bridge.reg(a.first)) << 16 | bridge.reg(a.first + 1); };
    const auto expected = [&] {  // a clock shows the time it wrote
        return clock ? Fields{ { a.after.first().widget, codec::localTimeText(written()) } } : a.after;
    };
    if (a.path == BoxWrite)
        QTRY_VERIFY_WITH_TIMEOUT(h->boxes.texts().contains("Successed to Reset Username and Password."), Wait);
    QTRY_VERIFY2_WITH_TIMEOUT(
        h->status() == ok && texts(a, a.after) == texts(a, expected(), false)
            && (a.reads() || (!bridge.writes().isEmpty() && (clock || bridge.writes().first().values == a.sent))),
        qPrintable(h->status() + ": " + texts(a, a.after).join(", ")), Wait);
    bridge.clearFaults();
    QVERIFY(h->waitForReplies());
    QCOMPARE(h->status(), ok);
    QCOMPARE(barTimeout(), 0);  // "OK!" stays
    QStatusTipEvent hover{ QString() };  // also while a menu entry is pointed at
    QApplication::sendEvent(h->window(), &hover);
    QCOMPARE(h->status(), ok);
    QCOMPARE(bridge.writes().size(), a.reads() ? 0 : 1);
    QVERIFY(a.reads() || (bridge.writes().first().start == a.first
                          && bridge.writes().first().values.size() == a.device.size()));
    if (!a.reads() && !clock && a.first != ResetRegister)
        QCOMPARE(bridge.regs(a.first, a.device.size()), a.sent);
    QVERIFY(!clock || (written() >= clickedAt && written() <= QDateTime::currentSecsSinceEpoch()));
    QVERIFY2(a.yes || h->boxes.boxes.isEmpty(), qPrintable(h->boxes.texts().join('|')));
}

// Refused input: the box, or the status text that stays, and nothing sent.
void checkRefused(const Action &a, int requests)
{
    const bool inBox = a.refusal.contains('|');
    if (inBox)
        QTRY_COMPARE_WITH_TIMEOUT(h->boxes.texts(), QStringList{ a.refusal.section('|', 1) }, Wait);
    QVERIFY(h->waitForReplies());
    QCOMPARE(h->bridge().requestCount(), requests + 1);  // only the harness's own read
    QCOMPARE(h->bridge().regs(a.first, a.device.size()), a.device);
    QCOMPARE(inBox ? h->boxes.lastTitle() : h->status(), a.refusal == Nothing ? "" : a.refusal.section('|', 0, 0));
    QCOMPARE(barTimeout(), 0);  // a status text stays
    QCOMPARE(h->boxes.boxes.size(), inBox ? 1 : 0);
}

// A failed reply, or no link: the path's error text for 5 s (or its box, or
// nothing), the page as it was (a clearing read's field empty), the block as
// it was.
void checkFailed(const Action &a, const FaultCase &fault, int requests)
{
    const bool unlinked = fault.fault == NotConnected, compact = a.path == CompactWrite;
    const bool silent = a.path == SilentRead || (a.path == CountedRead && fault.fault != ShortReply);
    QString prefix = QString(a.reads() ? "Read" : "Write") + " response error:" + (compact ? "" : " ");
    QString suffix = !compact ? fault.suffix
                     : fault.kind == sim::Fault::Exception ? QString("(Modbus exception:0x%1").arg(fault.code)
                                                           : QString("(Modbus code:0x5");
    if (unlinked) {  // the link's own refusal, after the path's prefix
        prefix = silent ? "" : a.path == OwnRefusalRead ? "Read Error: " : a.reads() ? "Read error: " : "Write error: ";
        suffix = h->window()->link()->device()->errorString();
    }
    if (a.path == BoxWrite) {
        QTRY_VERIFY_WITH_TIMEOUT(h->boxes.texts().contains("Failed to Reset Username and Password."), Wait);
    } else if (silent && !unlinked) {
        QVERIFY(h->waitForReplies());  // answered in order: the action's reply came first
        QCOMPARE(h->status(), QString());
    } else {
        QTRY_VERIFY2_WITH_TIMEOUT(h->status().startsWith(prefix) && h->status().endsWith(suffix)
                                      && (!unlinked || h->status() == prefix + suffix),
                                  qPrintable(h->status()), Wait);
        QCOMPARE(barTimeout(), 5000);  // the error goes after 5 s
    }
    h->bridge().clearFaults();
    QVERIFY(unlinked ? h->bridge().requestCount() == requests : h->waitForReplies());
    Fields kept;  // the page as it was, a clearing read's field empty
    for (const Field &f : a.before)
        kept << Field{ f.widget, a.path == ClearingRead && f.widget == a.after.first().widget ? QString() : f.text };
    if (a.reads())
        QCOMPARE(texts(a, kept), texts(a, kept, false));
    QVERIFY(!a.reads() || h->bridge().writes().isEmpty());
    QCOMPARE(h->bridge().regs(a.first, a.device.size()), a.device);  // never stored
    QVERIFY2(a.path == BoxWrite || h->boxes.boxes.isEmpty(), qPrintable(h->boxes.texts().join('|')));
}

} // namespace

class TestActions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { pacing::setScale(0.01); }  // table reads, the pause after a rule Add
    void cleanupTestCase() { delete h; }
    void actions_data();
    void actions();
    void scanMap();
    void destinationBitmap();
    void credentials();
};

// Per model: the rows on a connected window, then those without a link.
void TestActions::actions_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("fault");  // into Faults, -1: a clean line
    const QList<Action> &rows = table();
    for (const char *model : { "NB500-400", "NB520-900", "NB520-TH" }) {
        for (int f : { -1, 0, 1, 2, 3, 4, 5, 6, 7, 8 }) {  // not connected last
            for (int r = 0; r < rows.size(); ++r) {
                const Action &a = rows.at(r);
                const QString name = a.model + ": " + a.name + (f < 0 ? "" : ", ") + (f < 0 ? "" : Faults.at(f).name);
                if (a.model == model && (f < 0 || a.faults & Faults.at(f).fault))
                    QTest::newRow(qPrintable(name)) << r << f;
            }
        }
    }
}

void TestActions::actions()
{
    QFETCH(int, row);
    QFETCH(int, fault);
    const Action &a = table().at(row);
    const FaultCase *fc = fault < 0 ? nullptr : &Faults.at(fault);
    prepare(a, fc);
    if (QTest::currentTestFailed())
        return;
    h->boxes.answerYes = a.yes;
    const int requests = h->bridge().requestCount();
    const qint64 clickedAt = QDateTime::currentSecsSinceEpoch();
    clickAndWait(a.button, scope(a));
    if (!a.refusal.isEmpty())
        checkRefused(a, requests);
    else if (fc && fc->fault != StrayBytes)
        checkFailed(a, *fc, requests);
    else
        checkDone(a, clickedAt);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), Wait);  // every box answered
    h->boxes.answerYes = false;
}
// Function codes 1 to 4 only, IDs and REGs their fields can hold; Apply
// writes the qualifying rows compacted, then empty entries, so nothing stale
// stays on the device.
void TestActions::scanMap()
{
    QVERIFY(window("NB500-400"));
    h->find<QAction>("asSettingsAction")->trigger();
    QPointer<QDialog> dialog = h->find<QDialog>("asDialog");
    QVERIFY(dialog && dialog->isVisible());
    auto *model = dialog->findChild<QTableView *>("mapTableView")->model();
    const auto firstRows = [model] {
        QStringList texts;
        for (int cell = 0; cell < 6; ++cell)
            texts << model->index(cell / 3, cell % 3).data().toString();
        return texts;
    };
    const auto press = [&](const char *button, int writes) {
        h->bridge().clearWrites();
        dialog->findChild<QPushButton *>(button)->click();
        QTRY_COMPARE_WITH_TIMEOUT(h->bridge().writes().size(), writes, Wait);
        QVERIFY(h->waitForReplies());
    };
    h->bridge().setRegs(813, Regs{ 0x0301, 100, 0x0207 } + Regs(37, 0));  // code 3, ID 1; no REG in the second
    press("asCheckPushButton", 0);
    QCOMPARE(firstRows(), (QStringList{ "1", "3", "100", "7", "2", "" }));
    const struct { int row, column, value; const char *refusal; } refused[] = {
        { 1, 1, 5, "please input function code 1 or 2 or 3 or 4" },
        { 0, 0, 300, "please input ID 0 to 255" },
        { 0, 2, 65536, "please input REG 0 to 65535" },
    };
    for (const auto &e : refused) {
        model->setData(model->index(e.row, e.column), e.value, Qt::EditRole);
        QCOMPARE(h->boxes.lastTitle() + ": " + h->boxes.lastText(), QString("tip: ") + e.refusal);
    }
    QCOMPARE(firstRows(), (QStringList{ "1", "3", "100", "7", "", "" }));

    const QList<QVector<int>> edited = { { 1, 0, 0 }, { 2, 0, 44 }, { 2, 1, 4 }, { 2, 2, 7 },
                                         { 5, 0, 9 },    // no function code: skipped
                                         { 12, 2, 55 },  // only a register: kept in the second half
                                         { 15, 0, 9 }, { 15, 1, 1 }, { 15, 2, 2 } };
    for (const auto &e : edited)
        QVERIFY(model->setData(model->index(e[0], e[1]), e[2], Qt::EditRole));
    h->bridge().setRegs(810, Regs{ 1, 60, 5 } + Regs(40, 0xEEEE));
    press("appPushButton", 2);  // two halves of 20 registers
    QCOMPARE(h->bridge().writes().at(1).start, 833);
    QCOMPARE(h->bridge().regs(810, 43), (Regs{ 1, 60, 5, 0x0301, 100, 0x042C, 7 } + Regs(16, 0)
                                         + Regs{ 0, 55, 0x0109, 2 } + Regs(16, 0)));
    qobject_cast<mapModel *>(model)->setList({ codec::ScanMapEntry() });  // no qualifying row: the map cleared
    press("appPushButton", 2);
    QCOMPARE(h->bridge().regs(813, 40), Regs(40, 0));
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), Wait);  // gone once closed
}

// The destination bitmap read, written back, cleared and set by hand; the
// encryption switch proposes a key.
void TestActions::destinationBitmap()
{
    QVERIFY(window("NB500-400"));
    auto *model = h->find<QTableView>("netBitMapTableView")->model();
    const auto checkedIds = [model] {
        QList<int> ids;
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                ids << model->index(r, 1).data().toInt();
        }
        return ids;
    };
    const auto press = [](const char *name) { h->find<QPushButton>(name)->click(); };
    Regs regs = Regs{ 0x0001, 0x8000 } + Regs(13, 0) + Regs{ 0xFFFF };  // IDs 1, 32, 241 to 256
    h->bridge().setRegs(101, regs);
    h->find<QTextEdit>("BitMapTextEdit")->setPlainText("stale");
    press("netBitMapRead");
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 255, Wait);  // 256 is no ID
    QCOMPARE(checkedIds().mid(0, 3), (QList<int>{ 1, 32, 241 }));
    QCOMPARE(checkedIds().size(), 2 + 15);
    QVERIFY(h->find<QTextEdit>("BitMapTextEdit")->toPlainText().isEmpty());
    h->bridge().setRegs(101, Regs(16, 0));
    press("netBitMapWrite");  // written back unchanged, but for ID 256
    regs[15] = 0x7FFF;
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(101, 16), regs, Wait);
    press("netBitMapClear");
    QVERIFY(checkedIds().isEmpty());
    QVERIFY(model->setData(model->index(8, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(15, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!model->setData(model->index(15, 1), 99, Qt::EditRole));  // IDs are fixed
    press("netBitMapWrite");
    QTRY_COMPARE_WITH_TIMEOUT(h->bridge().regs(101, 16), Regs{ 0x8100 } + Regs(15, 0), Wait);

    auto *aes = h->find<QComboBox>("aesComboBox");
    auto *key = h->find<QLineEdit>("aesLineEdit");
    aes->setCurrentIndex(0);
    aes->setCurrentIndex(1);  // On: a fresh key of the alphabet, which Off keeps
    const QString proposed = key->text();
    aes->setCurrentIndex(0);
    QVERIFY2(QRegularExpression("^[0-9a-z]{16}$").match(proposed).hasMatch() && key->text() == proposed,
             qPrintable(proposed));
    aes->setCurrentIndex(1);
    QVERIFY(key->text() != proposed);
}

// Reload shows only what it read, Apply stores the credentials the next
// login needs; the dialog grows to show them and shrinks back.
void TestActions::credentials()
{
    QVERIFY(window("NB500-400"));
    h->find<QAction>("action_Settings")->trigger();
    auto *dialog = h->find<QDialog>("systemDialog");
    const auto edit = [dialog](const char *name) { return dialog->findChild<QLineEdit *>(name); };
    const auto button = [dialog](const char *name) { return dialog->findChild<QPushButton *>(name); };
    const auto typed = [&](const QString &user, const QString &password) {
        edit("usernameLineEdit")->setText(user);
        edit("passwordLineEdit")->setText(password);
    };
    const auto shown = [&] {
        return edit("usernameLineEdit")->text() + '/' + edit("passwordLineEdit")->text()
               + (button("systemReload")->isEnabled() || button("systemApply")->isEnabled() ? "" : " locked");
    };
    const QSize collapsed = dialog->size();
    button("pushButton")->click();  // ">>>"
    QVERIFY(dialog->height() > collapsed.height() && dialog->width() == collapsed.width());
    typed("old", "old");
    h->bridge().setText(188, 8, QString(16, 'p'));
    h->bridge().addFault({ sim::Fault::Exception, 180, 187, 2, 0, 1 });  // the user name read fails
    h->bridge().clearWrites();
    h->boxes.clear();
    h->window()->link()->clearMessage();
    QString during;  // Reload waits with the event loop running
    QTimer::singleShot(0, this, [&] { during = shown(); });
    pacing::setScale(0.3);  // a wait long enough for both replies on a busy machine
    button("systemReload")->click();
    pacing::setScale(0.01);
    QCOMPARE(during, QString("/ locked"));
    QCOMPARE(shown(), "/" + QString(16, 'p'));
    QVERIFY(h->bridge().writes().isEmpty() && h->boxes.boxes.isEmpty() && h->status().isEmpty());

    typed("ab", "c");
    h->boxes.answerYes = true;
    button("systemApply")->click();
    QTRY_VERIFY_WITH_TIMEOUT(h->boxes.texts().contains("Successed to Reset Username and Password."), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), Wait);
    h->boxes.answerYes = false;
    button("pushButton")->click();  // "<<<"
    QCOMPARE(dialog->size(), collapsed);
    h->find<QPushButton>("connectButton")->click();  // Disconnect
    h->boxes.clear();
    QVERIFY(h->startConnect() && h->submitLogin("admin", "admin"));
    QTRY_COMPARE_WITH_TIMEOUT(h->boxes.texts(), QStringList{ "Please Check Username and Password." }, Wait);
    QVERIFY(h->submitLogin("ab", "c"));
    QTRY_VERIFY_WITH_TIMEOUT(!h->window()->isConnecting() && h->window()->link()->isConnected(), Wait);
}

QTEST_MAIN(TestActions)
#include "test_actions.moc"

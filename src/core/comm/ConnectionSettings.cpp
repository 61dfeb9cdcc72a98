#include "ConnectionSettings.h"

#include "CanBitRates.h"
#include "TransportApi.h"
#include "base/IniFile.h"
#include "base/TextNumbers.h"

#include <type_traits>

namespace {

const QString kSys = QStringLiteral("sys");
const QString kCom = QStringLiteral("com");
const QString kCan = QStringLiteral("can");

// Longer texts than a file's values ever need are cut there, as the profile functions do.
constexpr int kValueChars = 256;

// A whole number that a setting takes: its option, what it is, its range.
struct NumberRule
{
    const char* option;
    const char* what;
    const char* unit;
    int64_t min;
    int64_t max;
};

constexpr NumberRule kBaudRule{"baud", "baud rate", "", 1, 4000000};
constexpr NumberRule kBitrateRule{"bitrate", "PCAN bit-rate code", "", 1, 0xFFFF};
constexpr NumberRule kDriverIdRule{"node", "driver id", "", kMinDriverId, kMaxDriverId};
constexpr NumberRule kTimeoutRule{"timeout", "reply timeout", " ms", kMinReplyTimeoutMs,
                                  kMaxReplyTimeoutMs};

bool ParseNumber(const QString& text, const NumberRule& rule, uint32_t& out)
{
    int64_t value = 0;
    if (!ParseTypedInteger(text, value) || value < rule.min || value > rule.max)
        return false;
    out = uint32_t(value);
    return true;
}

// A chosen value outside its range (set by a caller, not read): empty when it is good or not
// chosen.
QString RangeProblem(uint32_t value, const NumberRule& rule)
{
    if (value == 0 || (int64_t(value) >= rule.min && int64_t(value) <= rule.max))
        return {};
    return QStringLiteral("the %1 must be %2 to %3%4, not %5")
        .arg(QLatin1String(rule.what))
        .arg(rule.min)
        .arg(rule.max)
        .arg(QLatin1String(rule.unit))
        .arg(value);
}

// Ports are named as under /dev ("ttyS9", "serial/by-id/..."); a full device path names the same
// port, other absolute paths (a link elsewhere) stay as they are.
QString PortName(const QString& text)
{
    return text.startsWith(QLatin1String("/dev/")) ? text.mid(5) : text;
}

CommMode ModeFromText(const QString& text)
{
    return CommModeFromNumber(TextToLong(text) & 0xFF);
}

} // namespace

CommMode CConnectionSettings::LoadMode(const QString& sysIniPath)
{
    // Read into four characters, as the program always has: at most three digits count.
    return ModeFromText(Ini::GetProfileString(sysIniPath, kSys, QStringLiteral("comm"), {}, 4));
}

CConnectionSettings CConnectionSettings::Load(const QString& sysIniPath)
{
    CConnectionSettings settings;
    const CIniDocument ini(sysIniPath);
    settings.mode = ModeFromText(ini.Get(kSys, QStringLiteral("comm"), {}, 4));
    auto text = [&ini](const QString& section, const char* key) {
        return ini.Get(section, QLatin1String(key), {}, kValueChars);
    };
    auto number = [&](const QString& section, const char* key, const NumberRule& rule,
                      uint32_t& out) {
        const QString value = text(section, key);
        if (value.isEmpty() || ParseNumber(value, rule, out))
            return;
        settings.m_problems.append(
            {section + QLatin1Char('/') + QLatin1String(key),
             QStringLiteral("%1: %2=%3 in section [%4] is not a %5 of %6 to %7%8")
                 .arg(sysIniPath, QLatin1String(key), value, section, QLatin1String(rule.what))
                 .arg(rule.min)
                 .arg(rule.max)
                 .arg(QLatin1String(rule.unit))});
    };

    settings.serial.port = PortName(text(kCom, "comid"));
    number(kCom, "buadrate", kBaudRule, settings.serial.baud);
    number(kCom, "driverid", kDriverIdRule, settings.serial.driverId);
    number(kCom, "timeout", kTimeoutRule, settings.serial.timeoutMs);

    // A CAN line named nowhere is the PCAN-USB adapter as Linux offers it.
    settings.can.backend = text(kCan, "backend");
    settings.can.interfaceName = text(kCan, "interface");
    if (settings.can.backend.isEmpty())
        settings.can.backend = QStringLiteral("socketcan");
    if (settings.can.interfaceName.isEmpty())
        settings.can.interfaceName = QStringLiteral("can0");
    number(kCan, "buadrate", kBitrateRule, settings.can.bitrateCode);
    number(kCan, "driverid", kDriverIdRule, settings.can.driverId);
    number(kCan, "timeout", kTimeoutRule, settings.can.timeoutMs);
    LinkProfile profile = LinkProfile::Drive;
    const QString profileText = text(kCan, "profile");
    if (!profileText.isEmpty() && LinkProfileFromName(profileText, profile))
        settings.can.profile = LinkProfileName(profile);
    return settings;
}

bool CConnectionSettings::Save(const QString& sysIniPath, int parts) const
{
    CIniDocument ini;
    ini.Load(sysIniPath); // a missing file is made
    const QString before = ini.Text();
    auto text = [&ini](const QString& section, const char* key, const QString& value) {
        if (!value.isEmpty())
            ini.Set(section, QLatin1String(key), value);
    };
    auto number = [&text](const QString& section, const char* key, uint32_t value) {
        text(section, key, value != 0 ? QString::number(value) : QString());
    };
    if (parts & ModePart)
        number(kSys, "comm", uint32_t(CommModeNumber(mode)));
    if (parts & SerialPart) {
        text(kCom, "comid", serial.port);
        number(kCom, "buadrate", serial.baud);
        number(kCom, "driverid", serial.driverId);
        number(kCom, "timeout", serial.timeoutMs);
    }
    if (parts & CanPart) {
        number(kCan, "buadrate", can.bitrateCode);
        number(kCan, "driverid", can.driverId);
        text(kCan, "backend", can.backend);
        text(kCan, "interface", can.interfaceName);
        number(kCan, "timeout", can.timeoutMs);
        text(kCan, "profile", can.profile);
    }
    // Settings the file holds already leave it untouched.
    return ini.Text() == before || ini.Save(sysIniPath);
}

QString CConnectionSettings::LoadProblem(const char* section, const char* key) const
{
    const QString name = QLatin1String(section) + QLatin1Char('/') + QLatin1String(key);
    for (const auto& [where, message] : m_problems) {
        if (where == name)
            return message;
    }
    return {};
}

QString CConnectionSettings::Validate() const
{
    // A value not chosen is first explained by what the file held instead, if anything.
    auto required = [this](bool chosen, const char* section, const char* key,
                           const char* missing) -> QString {
        if (chosen)
            return {};
        const QString problem = LoadProblem(section, key);
        return problem.isEmpty() ? QLatin1String(missing) : problem;
    };
    QStringList problems;
    if (mode == CommMode::Rs232) {
        problems << required(!serial.port.isEmpty(), "com", "comid", "no serial port chosen")
                 << required(serial.baud != 0, "com", "buadrate", "no baud rate chosen")
                 << RangeProblem(serial.baud, kBaudRule)
                 << required(serial.driverId != 0, "com", "driverid", "no driver id chosen")
                 << RangeProblem(serial.driverId, kDriverIdRule)
                 << (serial.timeoutMs == 0 ? LoadProblem("com", "timeout") : QString())
                 << RangeProblem(serial.timeoutMs, kTimeoutRule);
    } else if (mode == CommMode::Can) {
        problems << required(!can.backend.isEmpty() && !can.interfaceName.isEmpty(), "can",
                             "backend", "no CAN plugin and interface chosen")
                 << required(can.bitrateCode != 0, "can", "buadrate", "no CAN bit rate chosen")
                 << RangeProblem(can.bitrateCode, kBitrateRule)
                 << required(can.driverId != 0, "can", "driverid", "no driver id chosen")
                 << RangeProblem(can.driverId, kDriverIdRule)
                 << (can.timeoutMs == 0 ? LoadProblem("can", "timeout") : QString())
                 << RangeProblem(can.timeoutMs, kTimeoutRule);
    } else {
        return CommText::OfflineMode();
    }
    for (const QString& problem : problems) {
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

void CConnectionSettings::Override(const CConnectionSettings& given)
{
    mode = given.mode;
    auto take = [](auto& value, const auto& chosen) {
        if (chosen != std::decay_t<decltype(chosen)>{})
            value = chosen;
    };
    take(serial.port, given.serial.port);
    take(serial.baud, given.serial.baud);
    take(serial.driverId, given.serial.driverId);
    take(serial.timeoutMs, given.serial.timeoutMs);
    take(can.backend, given.can.backend);
    take(can.interfaceName, given.can.interfaceName);
    take(can.bitrateCode, given.can.bitrateCode);
    take(can.driverId, given.can.driverId);
    take(can.timeoutMs, given.can.timeoutMs);
    take(can.profile, given.can.profile);
}

const QStringList& CConnectionSettings::OptionNames()
{
    static const QStringList names = {QStringLiteral("serial"), QStringLiteral("baud"),
                                      QStringLiteral("can"),    QStringLiteral("bitrate"),
                                      QStringLiteral("node"),   QStringLiteral("timeout"),
                                      QStringLiteral("profile")};
    return names;
}

bool CConnectionSettings::ApplyOption(const QString& name, const QString& text, QString& error)
{
    auto number = [&](const NumberRule& rule, uint32_t& out) {
        if (ParseNumber(text, rule, out))
            return true;
        error = QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                    .arg(QLatin1String(rule.option))
                    .arg(rule.min)
                    .arg(rule.max)
                    .arg(text);
        return false;
    };
    if (name == QLatin1String("serial")) {
        const QString port = PortName(text);
        if (port.isEmpty()) {
            error = QStringLiteral("--serial takes a port name, e.g. ttyUSB0");
            return false;
        }
        mode = CommMode::Rs232;
        serial.port = port;
        return true;
    }
    if (name == QLatin1String("can")) {
        const int colon = text.indexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == text.size() - 1) {
            error = QStringLiteral("--can takes BACKEND:INTERFACE, e.g. socketcan:can0");
            return false;
        }
        mode = CommMode::Can;
        can.backend = text.left(colon);
        can.interfaceName = text.mid(colon + 1);
        return true;
    }
    if (name == QLatin1String("profile")) {
        LinkProfile profile = LinkProfile::Drive;
        if (!LinkProfileFromName(text, profile)) {
            error = QStringLiteral("--profile takes drive or canopen, not \"%1\"").arg(text);
            return false;
        }
        can.profile = LinkProfileName(profile);
        return true;
    }
    if (name == QLatin1String("baud"))
        return number(kBaudRule, serial.baud);
    if (name == QLatin1String("bitrate"))
        return number(kBitrateRule, can.bitrateCode);
    if (name == QLatin1String("node")) {
        const bool ok = number(kDriverIdRule, serial.driverId);
        can.driverId = serial.driverId;
        return ok;
    }
    if (name == QLatin1String("timeout")) {
        const bool ok = number(kTimeoutRule, serial.timeoutMs);
        can.timeoutMs = serial.timeoutMs;
        return ok;
    }
    error = QStringLiteral("--%1 is no connection option").arg(name);
    return false;
}

uint32_t CConnectionSettings::driverId() const
{
    return mode == CommMode::Can ? can.driverId : serial.driverId;
}

uint32_t CConnectionSettings::timeoutMs() const
{
    return EffectiveReplyTimeout(mode == CommMode::Can ? can.timeoutMs : serial.timeoutMs);
}

LinkProfile CConnectionSettings::profile() const
{
    LinkProfile chosen = LinkProfile::Drive;
    if (mode == CommMode::Can)
        LinkProfileFromName(can.profile, chosen);
    return chosen;
}

QString CConnectionSettings::OpenStatusText() const
{
    return mode == CommMode::Can ? CommText::CanOpen(can.bitrateCode)
                                 : CommText::SerialOpen(serial.port, serial.baud);
}

namespace CommText {

QString Closed()
{
    return QStringLiteral("Comm Status: Closed");
}

QString OfflineMode()
{
    return QStringLiteral("The connecting mode is Offline!!");
}

QString SerialOpen(const QString& port, uint32_t baud)
{
    return QStringLiteral("Comm Status: Open  %1  %2").arg(port).arg(baud);
}

QString CanOpen(uint32_t bitrateCode)
{
    if (const CanBitRates::Rate* rate = CanBitRates::Find(bitrateCode))
        return CanOpen(QLatin1String(rate->text));
    return Closed();
}

QString CanOpen(const QString& rateText)
{
    return QStringLiteral("Comm Status: Open %1").arg(rateText);
}

} // namespace CommText

#include "ObjectMeanings.h"

namespace {

enum class Unit
{
    None,
    Hex,
    Position,     // position units (encoder increments unless the factor group says otherwise)
    Velocity,     // position units per second
    Acceleration, // position units per second squared
    Rpm,
    PerMille, // of the rated torque or current; also shown in percent
    PerMilleSecond,
    MilliAmpere,
    MilliNewtonMetre,
    MilliVolt,
    Millisecond,
    Microsecond,
};

constexpr int kAnySub = -1;
constexpr int kEntries = -2; // sub-index 1 and up

struct Meaning
{
    uint16_t first, last;
    int sub;
    bool driveProfile; // a CiA 402 meaning
    Unit unit;
    const char* help;
};

const char kStatusword[] =
    "Bits: 0 ready to switch on, 1 switched on, 2 operation enabled, 3 fault, 4 voltage "
    "enabled, 5 quick stop (0 = active), 6 switch on disabled, 7 warning, 8 manufacturer "
    "specific, 9 remote, 10 target reached, 11 internal limit active, 12-13 operation mode "
    "specific (set-point acknowledge, following error; homing attained, homing error), 14-15 "
    "manufacturer specific.";
const char kControlword[] =
    "Bits: 0 switch on, 1 enable voltage, 2 quick stop (0 = active), 3 enable operation, 4-6 "
    "operation mode specific (new set-point, change set immediately, relative; homing start), "
    "7 fault reset (rising edge), 8 halt, 9 change on set-point, 10 reserved, 11-15 "
    "manufacturer specific.\nShutdown 0x06, switch on 0x07, enable operation 0x0F, disable "
    "voltage 0x00, quick stop 0x02, fault reset 0x80.";
const char kModes[] = "Modes: 1 profile position, 2 velocity, 3 profile velocity, 4 profile "
                      "torque, 6 homing, 7 interpolated position, 8 cyclic synchronous position, "
                      "9 cyclic synchronous velocity, 10 cyclic synchronous torque; negative "
                      "values are manufacturer specific.";

const Meaning kMeanings[] = {
    {0x1000, 0x1000, 0, false, Unit::Hex,
     "Device type: the profile in the low word (402 a drive)."},
    {0x1001, 0x1001, 0, false, Unit::Hex,
     "Error register. Bits: 0 generic, 1 current, 2 voltage, 3 temperature, 4 communication, 5 "
     "device profile specific, 7 manufacturer specific."},
    {0x1005, 0x1005, 0, false, Unit::Hex, "COB-ID of the SYNC message."},
    {0x1006, 0x1006, 0, false, Unit::Microsecond, "Communication cycle period."},
    {0x100C, 0x100C, 0, false, Unit::Millisecond, "Guard time."},
    {0x1014, 0x1014, 0, false, Unit::Hex, "COB-ID of the emergency message."},
    {0x1017, 0x1017, 0, false, Unit::Millisecond, "Producer heartbeat time; 0 off."},
    {0x1018, 0x1018, kEntries, false, Unit::Hex,
     "Identity: vendor-ID, product code, revision "
     "number, serial number."},
    {0x1400, 0x15FF, 1, false, Unit::Hex, "COB-ID of the receive PDO; bit 31 set: not valid."},
    {0x1600, 0x17FF, kEntries, false, Unit::Hex,
     "Mapped object: index (bits 31-16), sub-index (15-8), length in bits (7-0)."},
    {0x1800, 0x19FF, 1, false, Unit::Hex, "COB-ID of the transmit PDO; bit 31 set: not valid."},
    {0x1A00, 0x1BFF, kEntries, false, Unit::Hex,
     "Mapped object: index (bits 31-16), sub-index (15-8), length in bits (7-0)."},

    {0x603F, 0x603F, 0, true, Unit::Hex, "Error code of the last fault (CiA 402 error codes)."},
    {0x6040, 0x6040, 0, true, Unit::Hex, kControlword},
    {0x6041, 0x6041, 0, true, Unit::Hex, kStatusword},
    {0x605A, 0x605A, 0, true, Unit::None, "Quick stop option code."},
    {0x605B, 0x605E, 0, true, Unit::None,
     "Shutdown, disable operation, halt or fault reaction "
     "option code."},
    {0x6060, 0x6060, 0, true, Unit::None, kModes},
    {0x6061, 0x6061, 0, true, Unit::None, kModes},
    {0x6062, 0x6064, 0, true, Unit::Position, "Position demand, internal or actual value."},
    {0x6065, 0x6065, 0, true, Unit::Position,
     "Following error window: a larger distance between "
     "demand and actual position is a following error."},
    {0x6066, 0x6066, 0, true, Unit::Millisecond, "Following error time out."},
    {0x6067, 0x6067, 0, true, Unit::Position, "Position window for target reached."},
    {0x6068, 0x6068, 0, true, Unit::Millisecond, "Position window time."},
    {0x6069, 0x606C, 0, true, Unit::Velocity, "Velocity sensor, demand or actual value."},
    {0x606D, 0x606D, 0, true, Unit::Velocity, "Velocity window for target reached."},
    {0x606E, 0x606E, 0, true, Unit::Millisecond, "Velocity window time."},
    {0x606F, 0x606F, 0, true, Unit::Velocity, "Velocity threshold for zero speed."},
    {0x6070, 0x6070, 0, true, Unit::Millisecond, "Velocity threshold time."},
    {0x6071, 0x6071, 0, true, Unit::PerMille, "Target torque, per mille of the rated torque."},
    {0x6072, 0x6072, 0, true, Unit::PerMille, "Maximum torque, per mille of the rated torque."},
    {0x6073, 0x6073, 0, true, Unit::PerMille, "Maximum current, per mille of the rated current."},
    {0x6074, 0x6074, 0, true, Unit::PerMille, "Torque demand, per mille of the rated torque."},
    {0x6075, 0x6075, 0, true, Unit::MilliAmpere, "Motor rated current."},
    {0x6076, 0x6076, 0, true, Unit::MilliNewtonMetre, "Motor rated torque."},
    {0x6077, 0x6077, 0, true, Unit::PerMille,
     "Torque actual value, per mille of the rated torque."},
    {0x6078, 0x6078, 0, true, Unit::PerMille,
     "Current actual value, per mille of the rated "
     "current."},
    {0x6079, 0x6079, 0, true, Unit::MilliVolt, "DC link circuit voltage."},
    {0x607A, 0x607A, 0, true, Unit::Position, "Target position."},
    {0x607B, 0x607B, kEntries, true, Unit::Position, "Position range limit."},
    {0x607C, 0x607C, 0, true, Unit::Position, "Home offset."},
    {0x607D, 0x607D, kEntries, true, Unit::Position,
     "Software position limit (1 minimum, 2 "
     "maximum)."},
    {0x607E, 0x607E, 0, true, Unit::Hex, "Polarity: bit 7 position, bit 6 velocity."},
    {0x607F, 0x607F, 0, true, Unit::Velocity, "Maximum profile velocity."},
    {0x6080, 0x6080, 0, true, Unit::Rpm, "Maximum motor speed."},
    {0x6081, 0x6082, 0, true, Unit::Velocity, "Profile velocity or end velocity."},
    {0x6083, 0x6085, 0, true, Unit::Acceleration,
     "Profile acceleration, profile deceleration "
     "or quick stop deceleration."},
    {0x6086, 0x6086, 0, true, Unit::None, "Motion profile type: 0 linear ramp."},
    {0x6087, 0x6087, 0, true, Unit::PerMilleSecond, "Torque slope."},
    {0x6098, 0x6098, 0, true, Unit::None, "Homing method (CiA 402 methods 1 to 35)."},
    {0x6099, 0x6099, kEntries, true, Unit::Velocity,
     "Homing speeds: 1 during search for switch, "
     "2 during search for zero."},
    {0x609A, 0x609A, 0, true, Unit::Acceleration, "Homing acceleration."},
    {0x60C5, 0x60C6, 0, true, Unit::Acceleration, "Maximum acceleration or deceleration."},
    {0x60F4, 0x60F4, 0, true, Unit::Position, "Following error actual value."},
    {0x60FC, 0x60FC, 0, true, Unit::Position, "Position demand value."},
    {0x60FD, 0x60FD, 0, true, Unit::Hex,
     "Digital inputs. Bits: 0 negative limit switch, 1 "
     "positive limit switch, 2 home switch, 3 interlock."},
    {0x60FE, 0x60FE, kEntries, true, Unit::Hex,
     "Digital outputs (1 physical outputs, 2 bit mask)."},
    {0x60FF, 0x60FF, 0, true, Unit::Velocity, "Target velocity."},
    {0x6502, 0x6502, 0, true, Unit::Hex, "Supported drive modes: bit n-1 for mode n."},
};

const Meaning* Find(const CEdsObject& object, bool driveProfile)
{
    for (const Meaning& m : kMeanings) {
        if (object.index < m.first || object.index > m.last || (m.driveProfile && !driveProfile))
            continue;
        if (m.sub == kAnySub || (m.sub == kEntries && object.subindex >= 1) ||
            m.sub == object.subindex)
            return &m;
    }
    return nullptr;
}

// A unit in its own steps, shown and written unchanged.
QString Plain(const char* name)
{
    return QStringLiteral("[%1 %1]N*1").arg(QLatin1String(name));
}

// A unit with a second view scaled by a factor: a writable object gets the inverse record that
// turns a typed value of the second unit back into raw steps.
QString Scaled(const char* name, const char* other, int factor, bool writable)
{
    const QString base = Plain(name);
    if (!writable)
        return base + QStringLiteral(",[%1 %1]N/%2").arg(QLatin1String(other)).arg(factor);
    return base + QStringLiteral(",[t %1]N/%2,[%1 DEC]N*%2").arg(QLatin1String(other)).arg(factor);
}

} // namespace

namespace ObjectMeanings {

bool IsDriveProfile(const CEdsDevice& device)
{
    const CEdsObject* type = device.Find(0x100000);
    return type && type->numeric() && (type->value & 0xFFFF) == 402;
}

QString UnitText(const CEdsObject& object, bool driveProfile)
{
    const Meaning* meaning = Find(object, driveProfile);
    if (!meaning || !object.numeric())
        return {};
    const bool writable = object.writable();
    switch (meaning->unit) {
    case Unit::None:
        return {};
    case Unit::Hex:
        return QStringLiteral("[HEX HEX]N*1,[DEC DEC]N*1");
    case Unit::Position:
        return Plain("inc");
    case Unit::Velocity:
        return Plain("inc/s");
    case Unit::Acceleration:
        return Plain("inc/s2");
    case Unit::Rpm:
        return Plain("rpm");
    case Unit::PerMille:
        return Scaled("permil", "%", 10, writable);
    case Unit::PerMilleSecond:
        return Plain("permil/s");
    case Unit::MilliAmpere:
        return Scaled("mA", "A", 1000, writable);
    case Unit::MilliNewtonMetre:
        return Scaled("mNm", "Nm", 1000, writable);
    case Unit::MilliVolt:
        return Scaled("mV", "V", 1000, writable);
    case Unit::Millisecond:
        return Plain("ms");
    case Unit::Microsecond:
        return Plain("us");
    }
    return {};
}

QString Help(const CEdsObject& object, bool driveProfile)
{
    const Meaning* meaning = Find(object, driveProfile);
    QString help = meaning ? QString::fromLatin1(meaning->help) + QLatin1Char('\n') : QString();
    help +=
        QStringLiteral("Access: %1%2.")
            .arg(object.access, object.pdoMapping ? QStringLiteral(", PDO mappable") : QString());
    if (object.hasLow && object.hasHigh)
        help += QStringLiteral("\nRange: %1 to %2.").arg(object.low).arg(object.high);
    else if (object.hasLow || object.hasHigh)
        help += QStringLiteral("\nRange: at %1 %2.")
                    .arg(object.hasLow ? QStringLiteral("least") : QStringLiteral("most"))
                    .arg(object.hasLow ? object.low : object.high);
    return help;
}

} // namespace ObjectMeanings

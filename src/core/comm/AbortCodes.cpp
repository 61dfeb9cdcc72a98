#include "AbortCodes.h"

namespace {
struct AbortText
{
    uint32_t code;
    const char* text;
};

constexpr AbortText kAbortTexts[] = {
    {AbortCode::kToggle, "Toggle bit not alternated"},
    {0x05040000, "SDO protocol timed out"},
    {AbortCode::kCommand, "Client/server command specifier not valid or unknown"},
    {0x05040005, "Out of memory"},
    {0x06010000, "Unsupported access to an object"},
    {AbortCode::kWriteOnly, "Attempt to read a write only object"},
    {AbortCode::kReadOnly, "Attempt to write a read only object"},
    {AbortCode::kNoObject, "Object does not exist in the object dictionary"},
    {0x06040041, "Object cannot be mapped to the PDO"},
    {0x06040042, "The number and length of the objects to be mapped would exceed PDO length"},
    {0x06040043, "General parameter incompatibility reason"},
    {0x06040047, "General internal incompatibility in the device"},
    {0x06060000, "Access failed due to a hardware error"},
    {AbortCode::kLength, "Data type does not match, length of service parameter does not match"},
    {0x06070012, "Data type does not match, length of service parameter too high"},
    {0x06070013, "Data type does not match, length of service parameter too low"},
    {0x06090011, "Sub-index does not exist"},
    {AbortCode::kValue, "Invalid value for parameter"},
    {0x06090031, "Value of parameter written too high"},
    {0x06090032, "Value of parameter written too low"},
    {0x06090036, "Maximum value is less than minimum value"},
    {0x08000000, "General error"},
    {0x08000020, "Data cannot be transferred or stored to the application"},
    {0x08000021, "Data cannot be transferred or stored because of local control"},
    {0x08000022, "Data cannot be transferred or stored because of the present device state"},
    {0x08000024, "No data available"},
};
} // namespace

QString AbortCodeText(uint32_t code)
{
    for (const AbortText& entry : kAbortTexts) {
        if (entry.code == code)
            return QString::fromLatin1(entry.text);
    }
    return QStringLiteral("Unknown abort code");
}

QString SdoFailureText(uint32_t reason)
{
    switch (reason) {
    case kSdoNoAnswer:
        return QStringLiteral("The drive did not answer");
    case kSdoNotSent:
        return QStringLiteral("The request could not be sent");
    case kSdoClosed:
        return QStringLiteral("The connection closed before the drive answered");
    case kSdoReplaced:
        return QStringLiteral("The request was withdrawn");
    case kSdoLengthMismatch:
        return QStringLiteral("The upload ended at another length than the drive announced");
    case kSdoUnconfirmed:
        return QStringLiteral("The drive did not confirm the write");
    case kSdoBadReply:
        return QStringLiteral("The drive's reply could not be used");
    default:
        return QStringLiteral("No answer");
    }
}

QString BusEventText(uint32_t wParam, uint32_t lParam)
{
    const uint32_t node = lParam & 0xFF;
    const auto hex = [](uint32_t value, int digits) {
        return QStringLiteral("0x%1")
            .arg(value, digits, 16, QLatin1Char('0'))
            .toUpper()
            .replace(QLatin1Char('X'), QLatin1Char('x'));
    };
    switch (lParam >> 8) {
    case kBusHeartbeat: {
        // NMT states as CiA 301 numbers them.
        const char* state = wParam == 0x00   ? "boot-up"
                            : wParam == 0x04 ? "stopped"
                            : wParam == 0x05 ? "operational"
                            : wParam == 0x7F ? "pre-operational"
                                             : nullptr;
        return QStringLiteral("node %1: heartbeat, %2")
            .arg(node)
            .arg(state ? QString::fromLatin1(state) : QStringLiteral("state ") + hex(wParam, 2));
    }
    case kBusEmergency:
        return QStringLiteral("node %1: emergency %2, error register %3, data %4")
            .arg(node)
            .arg(hex(wParam & 0xFFFF, 4), hex((wParam >> 16) & 0xFF, 2), hex(wParam >> 24, 2));
    case kBusNodeLost:
        return QStringLiteral("node %1: heartbeat lost (silent for %2 ms)").arg(node).arg(wParam);
    default:
        return QStringLiteral("node %1: bus event").arg(node);
    }
}

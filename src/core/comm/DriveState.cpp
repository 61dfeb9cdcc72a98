#include "DriveState.h"

namespace {
struct StatePattern
{
    uint16_t mask;
    uint16_t value;
    const char* text;
};

// Bits 0-3, 5 and 6 of the statusword, as CiA 402 defines the state machine.
constexpr StatePattern kStates[] = {
    {0x4F, 0x00, "Not ready to switch on"}, {0x4F, 0x40, "Switch on disabled"},
    {0x6F, 0x21, "Ready to switch on"},     {0x6F, 0x23, "Switched on"},
    {0x6F, 0x27, "Operation enabled"},      {0x6F, 0x07, "Quick stop active"},
    {0x4F, 0x0F, "Fault reaction active"},  {0x4F, 0x08, "Fault"},
};
} // namespace

QString DriveStateText(uint16_t statusword)
{
    for (const StatePattern& state : kStates) {
        if ((statusword & state.mask) == state.value)
            return QString::fromLatin1(state.text);
    }
    return QStringLiteral("Unknown state");
}

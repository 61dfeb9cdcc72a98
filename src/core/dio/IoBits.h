#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

// The digital I/O object 2010h and the bit arithmetic around it, shared by the I/O page, drivactl
// and the virtual drive, so that the program and the drive it is tested against agree.
namespace Dio {

constexpr int kInputs = 8;
constexpr int kOutputs = 5;

constexpr uint32_t kInputPolarity = 0x201001;
constexpr uint32_t kInputSimulation = 0x201002;
constexpr uint32_t kInputFunction1 = 0x201003; // DIN1; DIN8 at 0x20100A
constexpr uint32_t kInputState = 0x20100B;
constexpr uint32_t kVirtualInputState = 0x20100C;
constexpr uint32_t kOutputPolarity = 0x20100E;
constexpr uint32_t kOutputSimulation = 0x20100F;
constexpr uint32_t kOutputFunction1 = 0x201010; // DOUT1; DOUT5 at 0x201014
constexpr uint32_t kSimulatedInputLevel = 0x201015;
constexpr uint32_t kSimulatedOutputLevel = 0x201016;
constexpr uint32_t kActiveInputFunctions = 0x201017;
constexpr uint32_t kOutputState = 0x201018;

// Function masks split at bit 15: the functions of bits 0-14 may be combined on one input, those
// from bit 15 on stand alone, so a mask never holds both kinds.
constexpr uint32_t kCombinableFunctions = 0x7FFF;
bool IsMixedFunctionMask(uint32_t mask);

// The word with the channel's bit inverted.
constexpr uint32_t ToggleChannel(uint32_t word, int channel)
{
    return word ^ (1u << channel);
}
constexpr bool ChannelBit(uint32_t word, int channel)
{
    return ((word >> channel) & 1u) != 0;
}

// What the operator reads for a function mask: the names of its set bits from bit 0 up joined by
// "+" ("NULL" for none), and the tip lines "1.Name", "2.Name" (none for an empty mask).
using FunctionName = std::function<QString(int bit)>;
QString FunctionText(uint32_t mask, const FunctionName& name);
QStringList FunctionTipLines(uint32_t mask, const FunctionName& name);

// The input and output function names of DataInOut.ini: section "in" or "out", key "enBit" or
// "chBit" (language 1) and a two-digit number; number n names bit n-1.
class CFunctionNames
{
public:
    CFunctionNames(const QString& iniPath, int language);
    QString Name(bool output, int bit) const; // empty when the key is missing
    // The dialog's rows: the numbers 00 to 31 whose key exists, in number order; row r stands for
    // mask bit r whatever its key number.
    struct Row
    {
        QString id;   // "Bit" + two digits
        QString name; // the function's name
    };
    QVector<Row> DialogRows(bool output) const;

private:
    QString Key(int number) const;
    QString m_path;
    int m_language;
};

// How a drive's terminals turn into what its functions see, and its functions into terminal
// levels. Inputs: the actual state is the terminal level; the functions see it through the
// polarity, and a simulated input at the simulated level. Outputs: an output is on when one of
// its functions is, inverted by polarity, and a simulated output shows the simulated level.
uint32_t InputVirtualState(uint32_t terminals, uint32_t polarity, uint32_t simulation,
                           uint32_t simulatedLevel);
// The input functions active now: the masks of the inputs whose virtual state is on.
uint32_t ActiveInputFunctions(uint32_t virtualState, const std::array<uint32_t, kInputs>& masks);
uint32_t OutputState(uint32_t activeOutputFunctions, const std::array<uint32_t, kOutputs>& masks,
                     uint32_t polarity, uint32_t simulation, uint32_t simulatedLevel);

} // namespace Dio

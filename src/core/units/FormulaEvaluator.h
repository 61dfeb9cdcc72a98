#pragma once

#include "base/Handle.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

// Compiles and evaluates unit formulas over the raw value N: numbers, N, sqrt(...), drive
// constants written [IIIISSBB], and * / applied strictly left to right with at most one trailing
// + or -. Constants are read from the drive on demand through the main frame's window; a
// conversion that waits for one is parked and completed when it arrives.
class CFormulaEvaluator
{
public:
    // Sends a request to the drive: (hwnd, command, key, value). Returns the link's result.
    using Requester = std::function<int(HWND, uint8_t, uint32_t, uint32_t)>;
    // The window that receives constant reads (the main frame).
    using WindowSource = std::function<HWND()>;

    CFormulaEvaluator() = default;
    virtual ~CFormulaEvaluator() = default;
    void SetRequester(Requester requester, WindowSource constantWindow);

    bool EvaluateToInteger(HWND window, const QString& formula, double value, int32_t& out);
    bool EvaluateToDouble(HWND window, const QString& formula, double value, double& out);

    void ParkRequest(uint32_t key, uint8_t command, double value, const QString& formula);
    // A parked write of a typed value: when the constants are in, the result is rounded to the
    // nearest raw step and sent only when it lies within [rawMin, rawMax] (the object's type).
    void ParkWrite(uint32_t key, uint8_t command, double value, const QString& formula,
                   int64_t rawMin, int64_t rawMax);
    void CompleteParkedRequest();

    void AddConst(uint32_t key, int32_t value);
    bool ConstExists(uint32_t key) const;
    int32_t GetConst(uint32_t key);
    void SetConst(uint32_t key, int32_t value);
    void ClearConsts();

    // The object keys of the constants a formula reads ("[IIIISSBB]"), in formula order, as the
    // compile finds them; a caller that cannot wait for the parked path reads them first.
    static std::vector<uint32_t> ConstantKeys(const QString& formula);

    // Sends through the requester, so that every request a formula causes takes one path.
    int SendRequest(HWND hwnd, uint8_t command, uint32_t key, uint32_t value);

    // A double truncated toward zero to the 32-bit raw value: NaN gives 0, values below -2^31
    // give -2^31, values above 2^32 - 1 give 0xFFFFFFFF (-1), and 2^31 .. 2^32 - 1 keep their
    // unsigned bit pattern so that unsigned 32-bit objects survive the round trip.
    static int32_t TruncateToInt32(double value);

private:
    struct Node
    {
        bool isOperator = false;
        double operand = 0.0;
        char op = 0;
    };

    // Positions that the square root's searches need, found once per compile.
    struct SearchMarks
    {
        int lastN = -1;
        int lastMul = -1;
        int lastDiv = -1;
        int lastAdd = -1;
        int lastSub = -1;
    };

    bool Evaluate(HWND window, const QString& formula, double value, double& out);
    bool Compile(const QString& formula);
    double EvaluateNodes();
    double SquareRoot(const QString& formula, int p, const SearchMarks& marks, int& next);
    void AppendOperand(double value);
    void AppendOperator(char op);

    Requester m_request;
    WindowSource m_constantWindow;
    HWND m_lastWindow = kNoWindow;
    double m_variable = 0.0;
    std::vector<Node> m_nodes;
    std::unordered_map<uint32_t, int32_t> m_constants;
    bool m_parked = false;
    uint32_t m_parkedKey = 0;
    uint8_t m_parkedCommand = 0;
    double m_parkedValue = 0.0;
    QString m_parkedFormula;
    bool m_parkedIsTypedWrite = false;
    int64_t m_parkedMin = 0;
    int64_t m_parkedMax = 0;
    // The last square root's ")" and argument: a failed square root retries at the next
    // character, so a run of "s" reuses them instead of rescanning the formula each time.
    int m_sqrtStart = -2;
    int m_sqrtClose = 0;
    int32_t m_sqrtArgument = 0;
};

#include "FormulaEvaluator.h"
#include "comm/SdoFrame.h"

#include "FormulaText.h"
#include "base/Report.h"
#include "base/TextNumbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {
// "[" + index (4) + subindex (2) + size (2) + "]": the digits read for the constant's key.
constexpr int kConstantDigits = 9;

const QString kPassThrough = QStringLiteral("N*1");

bool IsDigit(ushort c)
{
    return c >= '0' && c <= '9';
}
} // namespace

void CFormulaEvaluator::SetRequester(Requester requester, WindowSource constantWindow)
{
    m_request = std::move(requester);
    m_constantWindow = std::move(constantWindow);
}

int CFormulaEvaluator::SendRequest(HWND hwnd, uint8_t command, uint32_t key, uint32_t value)
{
    return m_request ? m_request(hwnd, command, key, value) : 0;
}

int32_t CFormulaEvaluator::TruncateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    if (value >= 4294967295.0)
        return -1;
    // In range for int64 now; the cast truncates toward zero and the wrap keeps the bit pattern.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

bool CFormulaEvaluator::EvaluateToInteger(HWND window, const QString& formula, double value,
                                          int32_t& out)
{
    double result = 0.0;
    if (!Evaluate(window, formula, value, result))
        return false;
    out = TruncateToInt32(result);
    return true;
}

bool CFormulaEvaluator::EvaluateToDouble(HWND window, const QString& formula, double value,
                                         double& out)
{
    return Evaluate(window, formula, value, out);
}

bool CFormulaEvaluator::Evaluate(HWND window, const QString& formula, double value, double& out)
{
    m_lastWindow = window;
    m_variable = value;
    if (formula == kPassThrough) {
        out = value;
        return true;
    }
    if (!Compile(formula))
        return false; // a constant is being read; the caller parks the conversion
    out = EvaluateNodes();
    return true;
}

void CFormulaEvaluator::ParkRequest(uint32_t key, uint8_t command, double value,
                                    const QString& formula)
{
    m_parked = true;
    m_parkedKey = key;
    m_parkedCommand = command;
    m_parkedValue = value;
    m_parkedFormula = formula;
    m_parkedIsTypedWrite = false;
}

void CFormulaEvaluator::ParkWrite(uint32_t key, uint8_t command, double value,
                                  const QString& formula, int64_t rawMin, int64_t rawMax)
{
    ParkRequest(key, command, value, formula);
    m_parkedIsTypedWrite = true;
    m_parkedMin = rawMin;
    m_parkedMax = rawMax;
}

void CFormulaEvaluator::CompleteParkedRequest()
{
    // Nothing parked yet: there is no conversion to finish and no request worth sending.
    if (!m_parked)
        return;
    double result = 0.0;
    // On failure the compile has asked for the next missing constant; its arrival retries.
    if (!EvaluateToDouble(m_lastWindow, m_parkedFormula, m_parkedValue, result))
        return;
    if (m_parkedIsTypedWrite) {
        // Sent once at most: a later constant must not repeat a write.
        m_parked = false;
        const double raw = std::round(result);
        if (!std::isfinite(raw) || raw < double(m_parkedMin) || raw > double(m_parkedMax)) {
            ReportMessage(QStringLiteral("%1 does not fit the object (raw %2 to %3); nothing was "
                                         "written.")
                              .arg(m_parkedValue)
                              .arg(m_parkedMin)
                              .arg(m_parkedMax));
            return;
        }
        SendRequest(m_lastWindow, m_parkedCommand, m_parkedKey,
                    static_cast<uint32_t>(static_cast<int64_t>(raw)));
        return;
    }
    SendRequest(m_lastWindow, m_parkedCommand, m_parkedKey,
                static_cast<uint32_t>(TruncateToInt32(result)));
}

void CFormulaEvaluator::AddConst(uint32_t key, int32_t value)
{
    try {
        // emplace keeps an existing entry: the first one wins, as callers test ConstExists first.
        m_constants.emplace(key, value);
    } catch (const std::bad_alloc&) {
        ReportMessage(QStringLiteral("[Add Const Var]No Free Memory!!\n"));
    }
}

bool CFormulaEvaluator::ConstExists(uint32_t key) const
{
    return m_constants.find(key) != m_constants.end();
}

int32_t CFormulaEvaluator::GetConst(uint32_t key)
{
    const auto it = m_constants.find(key);
    if (it == m_constants.end()) {
        ReportMessage(QStringLiteral("Not exist the const value!! \n"));
        return 1;
    }
    return it->second;
}

void CFormulaEvaluator::SetConst(uint32_t key, int32_t value)
{
    const auto it = m_constants.find(key);
    if (it != m_constants.end())
        it->second = value;
}

void CFormulaEvaluator::ClearConsts()
{
    m_constants.clear();
}

void CFormulaEvaluator::AppendOperand(double value)
{
    try {
        m_nodes.push_back(Node{false, value, 0});
    } catch (const std::bad_alloc&) {
        ReportMessage(QStringLiteral("[Add Formula Node]No Free Memory!!\n"));
    }
}

void CFormulaEvaluator::AppendOperator(char op)
{
    try {
        m_nodes.push_back(Node{true, 0.0, op});
    } catch (const std::bad_alloc&) {
        ReportMessage(QStringLiteral("[Add Formula Node]No Free Memory!!\n"));
    }
}

std::vector<uint32_t> CFormulaEvaluator::ConstantKeys(const QString& formula)
{
    std::vector<uint32_t> keys;
    for (int p = formula.indexOf(QLatin1Char('[')); p >= 0;
         p = formula.indexOf(QLatin1Char('['), p + 1)) {
        const int32_t digits = HexTextToInt(formula.mid(p + 1, kConstantDigits));
        const uint32_t key = static_cast<uint32_t>(digits / 256);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }
    return keys;
}

bool CFormulaEvaluator::Compile(const QString& formula)
{
    m_nodes.clear();
    m_sqrtStart = -2;
    const int length = formula.size();

    SearchMarks marks;
    marks.lastN =
        std::max(formula.lastIndexOf(QLatin1Char('N')), formula.lastIndexOf(QLatin1Char('n')));
    marks.lastMul = formula.lastIndexOf(QLatin1Char('*'));
    marks.lastDiv = formula.lastIndexOf(QLatin1Char('/'));
    marks.lastAdd = formula.lastIndexOf(QLatin1Char('+'));
    marks.lastSub = formula.lastIndexOf(QLatin1Char('-'));

    int p = 0;
    while (p < length) {
        const ushort c = formula.at(p).unicode();
        if (c == '*' || c == '+' || c == '-' || c == '/') {
            AppendOperator(static_cast<char>(c));
            ++p;
        } else if (IsDigit(c)) {
            int end = p;
            while (end < length &&
                   (IsDigit(formula.at(end).unicode()) || formula.at(end) == QLatin1Char('.')))
                ++end;
            AppendOperand(StandardTextToDouble(formula.mid(p, end - p)));
            p = end;
        } else if (c == 'N' || c == 'n') {
            AppendOperand(m_variable);
            ++p;
        } else if (c == 'S' || c == 's') {
            int next = p + 1;
            AppendOperand(SquareRoot(formula, p, marks, next));
            p = next;
        } else if (c == '[') {
            // Signed division, as the digits may carry the top bit: the key rounds toward zero.
            const int32_t digits = HexTextToInt(formula.mid(p + 1, kConstantDigits));
            const uint32_t key = static_cast<uint32_t>(digits / 256);
            if (!ConstExists(key)) {
                m_nodes.clear();
                SendRequest(m_constantWindow ? m_constantWindow() : kNoWindow, SdoFrame::kRead, key,
                            0);
                return false;
            }
            AppendOperand(static_cast<double>(GetConst(key)));
            p += 1 + kConstantDigits;
        } else {
            // Anything else ends the formula; what was compiled so far is evaluated.
            ReportMessage(QStringLiteral("Formula =>ASC: %1").arg(static_cast<int>(c)));
            return true;
        }
    }
    return true;
}

double CFormulaEvaluator::SquareRoot(const QString& formula, int p, const SearchMarks& marks,
                                     int& next)
{
    // A failed square root goes on at the next character; if that is another "s", its ")" and
    // its digits are the same as the last one's (the skipped "s" is no digit).
    if (p != m_sqrtStart + 1) {
        m_sqrtClose = formula.indexOf(QLatin1Char(')'), p);
        if (m_sqrtClose < 0)
            m_sqrtClose = formula.size(); // no ")": the argument runs to the end
        m_sqrtArgument = DecTextToInt(formula.mid(p, m_sqrtClose - p));
    }
    m_sqrtStart = p;
    const double k = m_sqrtArgument;
    next = m_sqrtClose + 1;

    // Every search runs from p to the end of the formula, past the ")" as well.
    if (p > marks.lastN)
        return std::sqrt(k);
    if (p <= marks.lastMul)
        return std::sqrt(k * m_variable);
    if (p <= marks.lastDiv)
        return std::sqrt(m_variable / k);
    if (p <= marks.lastAdd)
        return std::sqrt(k + m_variable);
    if (p <= marks.lastSub)
        return std::sqrt(m_variable - k);

    ReportMessage(QStringLiteral("sqrt function express error!! \n"));
    next = p + 1;
    return 0.0;
}

// The formulas in the dictionary alternate operand and operator. For anything else the rules are:
// a leading operator works on 0 ("-N" is -N, "*5" is 0); an operator that is not followed by an
// operand (two operators in a row, or one at the end) ends the evaluation with the value so far
// ("N*/2" and "N+" give N); an operand where an operator belongs ends it as well ("2N" gives 2).
double CFormulaEvaluator::EvaluateNodes()
{
    if (m_nodes.empty()) {
        ReportMessage(QStringLiteral("Formula stack is Err!!!!!\n"));
        return 0.0;
    }
    const std::vector<Node> nodes = std::move(m_nodes);
    m_nodes.clear();

    double accumulator = 0.0;
    size_t i = 0;
    if (!nodes[0].isOperator) {
        accumulator = nodes[0].operand;
        i = 1;
    }
    while (i + 1 < nodes.size() && nodes[i].isOperator && !nodes[i + 1].isOperator) {
        const double operand = nodes[i + 1].operand;
        switch (nodes[i].op) {
        case '*':
            accumulator *= operand;
            break;
        case '/':
            accumulator /= operand; // IEEE: x/0 is +-inf, 0/0 NaN
            break;
        case '+':
            return accumulator + operand; // one trailing + or - ends the formula
        default:
            return accumulator - operand;
        }
        i += 2;
    }
    return accumulator;
}

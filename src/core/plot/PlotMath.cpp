#include "PlotMath.h"

#include <algorithm>
#include <cmath>

namespace Plot {

Geometry MakeGeometry(int left, int top, int right, int bottom)
{
    Geometry g;
    g.left = left;
    g.top = top;
    g.right = right;
    g.bottom = bottom;
    g.x0 = left + 9;
    g.y0 = bottom - 2;
    g.width = right - 10 - left - 9 - 1;
    g.height = bottom - 2 - 2 - top - 1;
    g.divWidth = g.width / kDivisionsX;
    g.divHeight = g.height / kDivisionsY;
    return g;
}

Geometry MakeGeometry(const QRect& area)
{
    return MakeGeometry(area.left(), area.top(), area.right() + 1, area.bottom() + 1);
}

QRect EdgeRect(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

PageRects RectsForScreen(int logPixelsX, int language)
{
    const bool chinese = language == 1;
    if (logPixelsX == 96)
        return chinese ? PageRects{EdgeRect(0, 18, 902, 368), EdgeRect(10, 22, 890, 366)}
                       : PageRects{EdgeRect(0, 18, 1002, 368), EdgeRect(10, 22, 990, 366)};
    return chinese ? PageRects{EdgeRect(0, 24, 1154, 480), EdgeRect(10, 26, 1004, 468)}
                   : PageRects{EdgeRect(0, 20, 1250, 460), EdgeRect(10, 26, 1100, 368)};
}

double PositionStep(int plotWidth, int visibleCount)
{
    return visibleCount < 2 ? 0.0 : double(plotWidth - 4) / double(visibleCount - 1);
}

int PositionOf(int k, double step)
{
    return k == 0 ? 1 : int(k * step);
}

QString FormatC(const char* format, double value)
{
    return QString::asprintf(format, value);
}

double NextScaleStep(double span)
{
    const QString text = FormatC("%f", std::fabs(span));
    const int point = text.indexOf(QLatin1Char('.'));
    int digit = 0;
    int exponent = 0;
    if (text.at(0) != QLatin1Char('0')) {
        digit = text.at(0).digitValue();
        exponent = point - 1;
    } else {
        for (int i = point + 1; i < text.size() && digit == 0; ++i) {
            digit = text.at(i).digitValue();
            exponent = point - i;
        }
    }
    if (digit <= 0)
        return kMinScale;
    double mantissa = digit == 1 ? 2 : digit < 5 ? 5 : 10;
    return mantissa * std::pow(10.0, exponent);
}

double AutoScale(double maximum, double minimum, double coefficient)
{
    if (maximum - minimum < kMinScale)
        return kMinScale;
    return NextScaleStep((maximum - minimum) * coefficient / 6);
}

double AutoOffset(double maximum, double minimum, double coefficient)
{
    return -(maximum + minimum) * coefficient / 2;
}

int RawRow(const Geometry& g, const Mapping& m, double value)
{
    double y = (value * m.coefficient + m.offset) * g.divHeight / m.scale;
    // A scale of 0 (no capture yet) or a huge value must not overflow the row.
    y = std::isnan(y) ? 0.0 : std::clamp(y, -1e7, 1e7);
    return g.y0 - g.height / 2 - int(y) - 1;
}

std::vector<Polyline> CurvePolylines(const Geometry& g, const Mapping& m,
                                     const std::vector<int>& positions,
                                     const std::vector<double>& values)
{
    std::vector<Polyline> lines;
    const int top = g.TopLimit();
    const int bottom = g.BottomLimit();
    enum class Prev
    {
        None,
        Visible,
        Clamped
    };
    Prev prev = Prev::None;
    QPoint prevRaw; // column and unclamped row of the previous point
    bool edgeDrawn = false;
    const size_t n = std::min(positions.size(), values.size());
    for (size_t i = 0; i < n; ++i) {
        const int p = positions[i];
        if (p <= 0)
            continue;
        int x;
        if (p < g.width - 1) {
            x = g.Column(p);
        } else if (!edgeDrawn) {
            x = g.x0 + g.width - 3;
            edgeDrawn = true;
        } else {
            continue;
        }
        const int row = RawRow(g, m, values[i]);
        const bool clamped = row < top || row > bottom;
        if (!clamped) {
            if (prev == Prev::Visible) {
                lines.back().push_back({x, row});
            } else if (prev == Prev::Clamped) {
                // Back from beyond an edge: start where the segment crosses it.
                const int edge = prevRaw.y() < top ? top : bottom;
                const double t = double(edge - prevRaw.y()) / double(row - prevRaw.y());
                const int crossing = prevRaw.x() + int(t * (x - prevRaw.x()));
                lines.push_back({{crossing, edge}, {x, row}});
            } else {
                lines.push_back({{x, row}});
            }
            prev = Prev::Visible;
        } else {
            if (prev == Prev::Visible)
                lines.back().push_back({x, std::clamp(row, top, bottom)});
            prev = Prev::Clamped;
        }
        prevRaw = QPoint(x, row);
    }
    return lines;
}

Lookup ValueAtPosition(const std::vector<int>& positions, const std::vector<double>& values,
                       int position)
{
    int prev = -1;
    const size_t n = std::min(positions.size(), values.size());
    for (size_t i = 0; i < n; ++i) {
        const int p = positions[i];
        if (p <= 0)
            continue;
        if (p >= position) {
            Lookup out{true, values[i], double(i + 1)};
            if (p != position && prev >= 0) {
                const double t = double(position - positions[prev]) / double(p - positions[prev]);
                out.value = values[prev] + t * (values[i] - values[prev]);
                out.sample = double(prev + 1) + t * double(int(i) - prev);
            }
            return out;
        }
        prev = int(i);
    }
    return {};
}

double SampleTimeUs(double sample, uint32_t period)
{
    return sample * period * kPeriodUs;
}

TimeUnit TimeUnitFor(double us)
{
    if (us < 1000)
        return {"us", 1};
    if (us <= 1000000)
        return {"ms", 1000};
    return {"s", 1000000};
}

double UpperLabelValue(const Mapping& m)
{
    return 3 * m.scale - m.offset;
}

double LowerLabelValue(const Mapping& m)
{
    return -3 * m.scale - m.offset;
}

QRect ValueLabelRect(const Geometry& g, int channel, int lineRow)
{
    const bool right = ValueLabelRightAligned(channel);
    const bool below = channel == 1 || channel == 3;
    const int x1 = right ? g.x0 + 8 * g.divWidth : g.x0 + 2;
    const int x2 = right ? g.x0 + 10 * g.divWidth - 2 : g.x0 + 2 * g.divWidth;
    const int y1 = below ? lineRow + 2 : lineRow - 15;
    const int y2 = below ? lineRow + g.divHeight : lineRow;
    return EdgeRect(x1, y1, x2, y2);
}

bool ValueLabelRightAligned(int channel)
{
    return channel >= 2;
}

int TimeLabelPosition(const Geometry& g, int gridLine)
{
    return g.Position(g.x0 + gridLine * g.divWidth);
}

QRect TimeLabelRect(const Geometry& g, int gridLine)
{
    const int centre = g.x0 + gridLine * g.divWidth;
    return EdgeRect(centre - g.divWidth / 2, g.y0 - 18, centre - g.divWidth / 2 + g.divWidth,
                    g.y0 - 5);
}

QRect TimeUnitRect(const Geometry& g)
{
    return EdgeRect(g.x0 + 29 * g.divWidth / 3, g.y0 - 18, g.x0 + 10 * g.divWidth, g.y0 - 5);
}

QString TimeLabelText(double sample, uint32_t period)
{
    return FormatC("%.4f", sample * period * kPeriodUs * 0.001);
}

} // namespace Plot

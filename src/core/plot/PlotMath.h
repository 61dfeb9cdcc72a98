#pragma once

// The arithmetic of the oscilloscope plot as plain functions: where the plot lies inside its
// area, where a sample goes on screen, which scale the 1-2-5 series gives a span, how a value is
// mapped and clamped, what the labels say and in which unit a time is read. The curve widget only
// paints what these return.

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

namespace Plot {

constexpr int kDivisionsX = 10;
constexpr int kDivisionsY = 8;
// The recorder's period counts in steps of 62.5 µs.
constexpr double kPeriodUs = 62.5;
// The smallest scale: a flat curve gets it, and a scale text never goes below it.
constexpr double kMinScale = 0.000001;

// The plot inside its area rectangle: margins left 9, top 2, right 10, bottom 2 pixels.
struct Geometry
{
    int left = 0, top = 0, right = 0, bottom = 0; // the area's edges
    int x0 = 0;                                   // left edge of the plot
    int y0 = 0;                                   // bottom edge of the plot
    int width = 0;                                // plot width
    int height = 0;                               // plot height
    int divWidth = 0;
    int divHeight = 0;

    // Rows beyond these are clamped.
    int TopLimit() const { return top + 3; }
    int BottomLimit() const { return bottom - 3; }
    // The column of a horizontal position (position p is drawn at x0 + p + 1).
    int Column(int position) const { return x0 + position + 1; }
    int Position(int column) const { return column - x0 - 1; }
    // The row of the horizontal centre line.
    int CentreRow() const { return y0 - height / 2 - 1; }
};

// The area's edges are left, top, right, bottom with right and bottom outside it, as rectangles
// of the platform's drawing are given.
Geometry MakeGeometry(int left, int top, int right, int bottom);
Geometry MakeGeometry(const QRect& area);
// A rectangle from such edges, and back.
QRect EdgeRect(int left, int top, int right, int bottom);

// The area and the zoom mouse rectangle of the page for the screen's horizontal logical pixels
// per inch and the program language (1 Chinese, else English).
struct PageRects
{
    QRect area;
    QRect mouse;
};
PageRects RectsForScreen(int logPixelsX, int language);

// Horizontal placement of the visible points: the distance between two of them, and the
// position of the k-th one (k from 0; the first gets position 1, since 0 means "not shown").
double PositionStep(int plotWidth, int visibleCount);
int PositionOf(int k, double step);

// The scale of a channel with automatic scale: the next step of the 1-2-5 series above a sixth
// of the visible span (in engineering units), so that the curve takes about six divisions.
double NextScaleStep(double span);
double AutoScale(double maximum, double minimum, double coefficient);
// The offset that centres the visible data.
double AutoOffset(double maximum, double minimum, double coefficient);

// A channel's mapping from raw samples to the screen.
struct Mapping
{
    double coefficient = 1; // engineering units per raw count
    double offset = 0;      // engineering units added before scaling
    double scale = 1;       // engineering units per division
};

// The row of a raw value before clamping (0 on the centre line, positive values go up).
int RawRow(const Geometry& g, const Mapping& m, double value);

// The polylines of one channel: points with position 0 are not shown; a row beyond the limits
// is clamped, the first clamped point after a visible one is drawn at the edge and further ones
// are skipped until the curve comes back, starting again at the interpolated edge crossing.
using Polyline = std::vector<QPoint>;
std::vector<Polyline> CurvePolylines(const Geometry& g, const Mapping& m,
                                     const std::vector<int>& positions,
                                     const std::vector<double>& values);

// The value and the sample number (from 1) at a horizontal position: the first shown point at or
// right of it, interpolated with the shown point before it. found is false (both 0) when no shown
// point lies at or right of the position.
struct Lookup
{
    bool found = false;
    double value = 0;
    double sample = 0;
};
Lookup ValueAtPosition(const std::vector<int>& positions, const std::vector<double>& values,
                       int position);

// Time of a sample number in microseconds for a period in steps of 62.5 µs.
double SampleTimeUs(double sample, uint32_t period);

// The unit a time is read in, from the time in microseconds: below 1000 "us", up to 1000000
// "ms", above "s".
struct TimeUnit
{
    const char* name;
    double divisor;
};
TimeUnit TimeUnitFor(double us);

// The value labels of a channel: at three divisions above and below the centre line.
double UpperLabelValue(const Mapping& m);
double LowerLabelValue(const Mapping& m);
// Where channel (0 to 3) writes its label for the line at row lineRow: channels 1 and 3 above
// the line, 2 and 4 below it; 1 and 2 at the left, 3 and 4 at the right (right-aligned).
QRect ValueLabelRect(const Geometry& g, int channel, int lineRow);
bool ValueLabelRightAligned(int channel);

// The time labels at the vertical grid lines 1, 3, 5, 7, 9: the positions they read, and the box
// of label number i (0 to 4) and of the unit "(ms)".
int TimeLabelPosition(const Geometry& g, int gridLine);
QRect TimeLabelRect(const Geometry& g, int gridLine);
QRect TimeUnitRect(const Geometry& g);
QString TimeLabelText(double sample, uint32_t period);

// "%f" and the other C formats, independent of the locale.
QString FormatC(const char* format, double value);

} // namespace Plot

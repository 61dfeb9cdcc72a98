// The arithmetic of the oscilloscope plot: positions and extents, the 1-2-5 series, vertical
// mapping with clamping, cursor look-up and time units, as tables.

#include "plot/PlotMath.h"
#include "plot/CurveData.h"

#include <gtest/gtest.h>

using namespace Plot;

namespace {

// The Chinese page at 96 dpi: plot width 882, division height 42.
Geometry Page96()
{
    return MakeGeometry(RectsForScreen(96, 1).area);
}

TEST(PlotGeometry, PageAreasGiveThePlot)
{
    struct Case
    {
        int dpi, language, x0, y0, width, height;
    };
    const Case cases[] = {
        {96, 1, 9, 366, 882, 345},
        {96, 2, 9, 366, 982, 345},
        {144, 1, 9, 478, 1134, 451},
        {120, 2, 9, 458, 1230, 435},
    };
    for (const Case& c : cases) {
        const Geometry g = MakeGeometry(RectsForScreen(c.dpi, c.language).area);
        EXPECT_EQ(g.x0, c.x0) << c.dpi << " " << c.language;
        EXPECT_EQ(g.y0, c.y0) << c.dpi << " " << c.language;
        EXPECT_EQ(g.width, c.width) << c.dpi << " " << c.language;
        EXPECT_EQ(g.height, c.height) << c.dpi << " " << c.language;
        EXPECT_EQ(g.divWidth, c.width / 10);
    }
}

TEST(PlotScale, TheNextStepOfTheSeries)
{
    const std::pair<double, double> cases[] = {
        {1.0, 2},       {2.0, 5},  {7.3, 10},  {0.012, 0.02},          {0.056, 0.1},     {250, 500},
        {50.0 / 6, 10}, {4.99, 5}, {9.99, 10}, {0.0000004, kMinScale}, {123456, 200000},
    };
    for (const auto& [span, step] : cases)
        EXPECT_DOUBLE_EQ(NextScaleStep(span), step) << span;
}

TEST(PlotScale, ExtentsOfTheVisibleRange)
{
    struct Case
    {
        std::vector<double> values;
        double coefficient;
        int first, last; // visible sample numbers
        double scale, offset;
    };
    const Case cases[] = {
        {{40, -10, 0}, 1, 1, 3, 10, -15},
        {{7, 7, 7, 7}, 1, 1, 4, kMinScale, -7},
        // Only the visible samples count: 1000 lies outside.
        {{1000, 3, -3, 0}, 1, 2, 4, 2, 0},
        {{0, 600}, 0.01, 1, 2, 2, -3},
    };
    for (const Case& c : cases) {
        CCurveData data;
        for (double v : c.values)
            data.Append(0, v);
        data.SetCoefficient(0, c.coefficient);
        data.ShowWhole();
        const Geometry g = Page96();
        if (c.first != 1) {
            data.ComputeExtents(g);
            ASSERT_TRUE(
                data.ShowColumns(g, g.Column(data.channel(0).positions[size_t(c.first - 1)]) - 0,
                                 g.Column(data.channel(0).positions[size_t(c.last - 1)])));
        }
        data.ComputeExtents(g);
        EXPECT_EQ(data.firstIndex(), c.first);
        EXPECT_EQ(data.lastIndex(), c.last);
        EXPECT_DOUBLE_EQ(data.channel(0).mapping.scale, c.scale) << c.values[0];
        EXPECT_DOUBLE_EQ(data.channel(0).mapping.offset, c.offset) << c.values[0];
    }
}

TEST(PlotPositions, ThousandSamplesAcrossThePlot)
{
    CCurveData data;
    for (int i = 0; i < 1000; ++i)
        data.Append(1, i);
    data.ShowWhole();
    const Geometry g = Page96();
    data.ComputeExtents(g);
    const double step = 878.0 / 999;
    const std::vector<int>& p = data.channel(1).positions;
    EXPECT_EQ(g.Column(p[0]), g.x0 + 2);
    for (int k : {1, 2, 500, 998, 999})
        EXPECT_EQ(g.Column(p[size_t(k)]), g.x0 + int(k * step) + 1) << k;
    EXPECT_EQ(data.pointCount(), 1000);
}

TEST(PlotMapping, RowsAreClampedAndTheCurveComesBackAtTheEdge)
{
    const Geometry g = Page96(); // centre row 193, limits 21 and 365, 43 rows a division
    const Mapping m{1, 0, 1};
    EXPECT_EQ(RawRow(g, m, 0), g.CentreRow());
    EXPECT_EQ(RawRow(g, m, 1), g.CentreRow() - g.divHeight);
    EXPECT_EQ(RawRow(g, Mapping{1, 0, 0}, 1), g.CentreRow() - 10000000); // no scale yet

    struct Case
    {
        std::vector<double> values; // at positions 10, 20, 30, ...
        std::vector<std::vector<QPoint>> lines;
    };
    const int top = g.TopLimit();
    const int row0 = g.CentreRow();
    auto col = [&](int p) { return g.Column(p); };
    const Case cases[] = {
        // Up beyond the top: drawn to the edge once, skipped, back from the crossing.
        {{0, 10, 20, 0},
         {{{col(10), row0}, {col(20), top}},
          {{col(30) + int((top - (row0 - 860)) * 10.0 / 860), top}, {col(40), row0}}}},
        // Starting beyond the edge: nothing until the curve is inside.
        {{-10, 1},
         {{{col(10) + int(double(g.BottomLimit() - (row0 + 430)) / -473 * 10), g.BottomLimit()},
           {col(20), row0 - 43}}}},
        {{1, 2, 3}, {{{col(10), row0 - 43}, {col(20), row0 - 86}, {col(30), row0 - 129}}}},
    };
    for (const Case& c : cases) {
        std::vector<int> positions;
        for (size_t i = 0; i < c.values.size(); ++i)
            positions.push_back(int(i + 1) * 10);
        const auto lines = CurvePolylines(g, m, positions, c.values);
        EXPECT_EQ(lines, c.lines) << c.values[1];
    }
}

TEST(PlotCursor, LookUpInterpolatesBetweenShownPoints)
{
    const std::vector<int> positions{0, 1, 11, 21, 0};
    const std::vector<double> values{99, 10, 20, 40, 99};
    struct Case
    {
        int position;
        bool found;
        double value, sample;
    };
    const Case cases[] = {
        {11, true, 20, 3}, {6, true, 15, 2.5}, {16, true, 30, 3.5},
        {1, true, 10, 2},  {0, true, 10, 2},   {22, false, 0, 0},
    };
    for (const Case& c : cases) {
        const Lookup l = ValueAtPosition(positions, values, c.position);
        EXPECT_EQ(l.found, c.found) << c.position;
        EXPECT_DOUBLE_EQ(l.value, c.value) << c.position;
        EXPECT_DOUBLE_EQ(l.sample, c.sample) << c.position;
    }
}

TEST(PlotTime, UnitsAndTexts)
{
    const std::tuple<double, const char*, double> units[] = {
        {999.9, "us", 1},
        {1000, "ms", 1000},
        {1000000, "ms", 1000},
        {1000001, "s", 1000000},
    };
    for (const auto& [us, name, divisor] : units) {
        EXPECT_STREQ(TimeUnitFor(us).name, name) << us;
        EXPECT_EQ(TimeUnitFor(us).divisor, divisor) << us;
    }
    EXPECT_EQ(TimeLabelText(100, 16), QStringLiteral("100.0000"));
    EXPECT_DOUBLE_EQ(SampleTimeUs(3, 2), 375);
}

TEST(PlotZoom, ColumnsAndWheelKeepTheRangeInsideTheRecord)
{
    const Geometry g = Page96();
    CCurveData data;
    for (int i = 0; i < 1000; ++i)
        data.Append(0, i);
    data.ShowWhole();
    data.ComputeExtents(g);
    // A span of one column holds fewer than two samples: the range stays.
    EXPECT_FALSE(data.ShowColumns(g, g.x0 + 100, g.x0 + 100) && data.visibleCount() < 2);
    ASSERT_TRUE(data.ShowColumns(g, g.x0 + 1, g.x0 + g.width / 2));
    EXPECT_EQ(data.firstIndex(), 1);
    EXPECT_EQ(data.lastIndex(), 504); // the first sample at or right of the column after it
    data.ShowWhole();
    data.ComputeExtents(g);
    ASSERT_TRUE(data.ZoomAround(g, g.x0 + g.width - 3, 0.5));
    EXPECT_EQ(data.lastIndex(), 1000);
    EXPECT_EQ(data.visibleCount(), 500);
    data.ComputeExtents(g);
    EXPECT_TRUE(data.ZoomAround(g, g.x0 + 2, 100));
    EXPECT_EQ(data.firstIndex(), 1);
    EXPECT_EQ(data.visibleCount(), 1000);
}

} // namespace

#include "CurveData.h"

#include <algorithm>
#include <cmath>

void CCurveData::Clear()
{
    for (Channel& c : m_channels) {
        c.values.clear();
        c.positions.clear();
    }
    m_pointCount = 0;
    m_pointChannel = -1;
}

void CCurveData::Reset()
{
    for (Channel& c : m_channels) {
        c.maximum = c.minimum = 0;
        c.enabled = true;
        c.autoScale = true;
    }
    m_pointCount = 0;
    m_pointChannel = -1;
}

void CCurveData::Append(int n, double value)
{
    Channel& c = channel(n);
    c.values.push_back(value);
    c.positions.push_back(0);
    if (m_pointChannel < 0)
        m_pointChannel = n;
    if (m_pointChannel == n)
        ++m_pointCount;
}

void CCurveData::SetRecord(const std::array<std::vector<double>, kChannels>& record)
{
    Clear();
    for (int n = 0; n < kChannels; ++n) {
        Channel& c = channel(n);
        c.values = record[size_t(n)];
        c.positions.assign(c.values.size(), 0);
        if (m_pointChannel < 0 && !c.values.empty()) {
            m_pointChannel = n;
            m_pointCount = int(c.values.size());
        }
    }
}

void CCurveData::MoveOffset(int n, double amount, int direction)
{
    double& offset = channel(n).mapping.offset;
    offset = direction == 0 ? amount : offset + direction * amount / 2;
}

void CCurveData::ShowWhole()
{
    m_firstIndex = 1;
    m_lastIndex = m_visibleCount = m_pointCount;
}

void CCurveData::ShowRange(int first, int count)
{
    m_firstIndex = std::max(1, first);
    m_visibleCount = std::max(0, count);
    m_lastIndex = m_firstIndex + m_visibleCount - 1;
}

bool CCurveData::ShowColumns(const Plot::Geometry& g, int x1, int x2)
{
    const int n = FirstChannelWithPoints();
    if (n < 0)
        return false;
    const int a = x1 - g.x0 - 1;
    const int b = std::min(x2 - g.x0 + 1, g.width - 4);
    const Channel& c = channel(n);
    int first = 0;
    int last = 0;
    int lastShown = 0;
    for (size_t i = 0; i < c.positions.size(); ++i) {
        const int p = c.positions[i];
        if (p <= 0)
            continue;
        const int index = int(i) + 1;
        if (first == 0 && p >= a)
            first = index;
        if (last == 0 && p >= b)
            last = index;
        lastShown = index;
    }
    if (last == 0)
        last = lastShown;
    if (first == 0 || last - first + 1 < 2)
        return false;
    m_firstIndex = first;
    m_lastIndex = last;
    m_visibleCount = last - first + 1;
    return true;
}

bool CCurveData::ZoomAround(const Plot::Geometry& g, int column, double factor)
{
    const int n = FirstChannelWithPoints();
    if (n < 0 || m_visibleCount < 2)
        return false;
    const Plot::Lookup under = ValueAt(n, g.Position(column));
    const double sample = under.found ? under.sample : m_lastIndex;
    const int count = std::clamp(int(std::lround(m_visibleCount * factor)), 2, m_pointCount);
    const double share = (sample - m_firstIndex) / std::max(1, m_visibleCount - 1);
    int first = int(std::lround(sample - share * (count - 1)));
    first = std::clamp(first, 1, m_pointCount - count + 1);
    if (first == m_firstIndex && count == m_visibleCount)
        return false;
    m_firstIndex = first;
    m_visibleCount = count;
    m_lastIndex = first + count - 1;
    return true;
}

void CCurveData::ComputePositions(const Plot::Geometry& g)
{
    const double step = Plot::PositionStep(g.width, m_visibleCount);
    for (Channel& c : m_channels) {
        bool any = false;
        for (size_t i = 0; i < c.values.size(); ++i) {
            const int index = int(i) + 1;
            if (index < m_firstIndex || index > m_lastIndex) {
                c.positions[i] = 0;
                continue;
            }
            c.positions[i] = Plot::PositionOf(index - m_firstIndex, step);
            const double v = c.values[i];
            if (!any) {
                c.maximum = c.minimum = v;
                any = true;
            } else {
                c.maximum = std::max(c.maximum, v);
                c.minimum = std::min(c.minimum, v);
            }
        }
    }
}

void CCurveData::ComputeExtents(const Plot::Geometry& g)
{
    if (m_visibleCount < 2)
        return;
    ComputePositions(g);
    for (Channel& c : m_channels) {
        if (!c.autoScale)
            continue;
        c.mapping.scale = Plot::AutoScale(c.maximum, c.minimum, c.mapping.coefficient);
        c.mapping.offset = Plot::AutoOffset(c.maximum, c.minimum, c.mapping.coefficient);
    }
}

int CCurveData::FirstChannelWithPoints() const
{
    for (int n = 0; n < kChannels; ++n) {
        if (!channel(n).values.empty())
            return n;
    }
    return -1;
}

Plot::Lookup CCurveData::ValueAt(int n, int position) const
{
    return Plot::ValueAtPosition(channel(n).positions, channel(n).values, position);
}

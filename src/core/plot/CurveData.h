#pragma once

#include "PlotMath.h"

#include <array>
#include <cstdint>
#include <vector>

// The curve store of the oscilloscope: the raw samples of the four channels in capture order,
// each channel's mapping (unit coefficient, offset, scale) and flags, the visible range of sample
// numbers and the horizontal positions and extremes that follow from it. Plain data with the
// operations the window and the capture need; the widget that paints it holds one.
class CCurveData
{
public:
    static constexpr int kChannels = 4;

    struct Channel
    {
        std::vector<double> values; // raw samples; sample number = vector index + 1
        std::vector<int> positions; // horizontal position per sample, 0 = not shown
        bool enabled = false;
        bool autoScale = true;
        Plot::Mapping mapping;
        double maximum = 0;
        double minimum = 0;
    };

    virtual ~CCurveData() = default;

    // Drops every sample (the mappings and flags stay).
    void Clear();
    // Extremes to 0, every channel enabled with automatic scale, no samples counted.
    void Reset();
    void Append(int channel, double value);
    // A whole decoded record at once: one vector of raw samples per channel (empty: none).
    void SetRecord(const std::array<std::vector<double>, kChannels>& record);

    Channel& channel(int n) { return m_channels[size_t(n)]; }
    const Channel& channel(int n) const { return m_channels[size_t(n)]; }
    void SetEnabled(int n, bool on) { channel(n).enabled = on; }
    void SetAutoScale(int n, bool on) { channel(n).autoScale = on; }
    void SetScale(int n, double scale) { channel(n).mapping.scale = scale; }
    void SetCoefficient(int n, double coefficient) { channel(n).mapping.coefficient = coefficient; }
    // direction 0 sets the offset to amount; +1 adds half of it, -1 subtracts half of it (the
    // window passes the scale, so one spin step moves the curve by half a division).
    void MoveOffset(int n, double amount, int direction);

    uint32_t samplePeriod() const { return m_samplePeriod; }
    void SetSamplePeriod(uint32_t period) { m_samplePeriod = period; }
    // Samples appended to the first channel that got one since the last clearing.
    int pointCount() const { return m_pointCount; }
    int firstIndex() const { return m_firstIndex; }
    int lastIndex() const { return m_lastIndex; }
    int visibleCount() const { return m_visibleCount; }

    // The whole record visible.
    void ShowWhole();
    // The samples first to first + count - 1 visible, whether or not the record holds them all
    // (another capture's range, to draw this one over it sample by sample).
    void ShowRange(int first, int count);
    // The samples between two columns of the plot visible (x1 left of x2); fewer than two
    // samples in between keep the range as it was. Returns whether the range changed.
    bool ShowColumns(const Plot::Geometry& g, int x1, int x2);
    // Zooms the time axis by factor (below 1 in) around a column, keeping the sample under it
    // in place. Returns whether the range changed.
    bool ZoomAround(const Plot::Geometry& g, int column, double factor);
    // Positions of the visible samples and the extremes, then the scale and offset of every
    // channel with automatic scale. Fewer than two visible samples keep the previous positions.
    void ComputeExtents(const Plot::Geometry& g);

    // The first channel that has samples, -1 when none has.
    int FirstChannelWithPoints() const;
    Plot::Lookup ValueAt(int n, int position) const;

private:
    void ComputePositions(const Plot::Geometry& g);

    std::array<Channel, kChannels> m_channels;
    uint32_t m_samplePeriod = 0;
    int m_pointCount = 0;
    int m_pointChannel = -1;
    int m_firstIndex = 1;
    int m_lastIndex = 0;
    int m_visibleCount = 0;
};

#pragma once

#include "plot/CurveData.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>
#include <vector>

// The oscilloscope's plot: the curve store and its drawing. Background, grid, curves and labels
// are painted into a cached image whenever the data or a mapping changes; the cursor lines and
// the zoom rectangle are drawn over that image with XOR, so moving them repaints no curve. The
// mouse zooms the time axis: a rectangle drawn with the left button and a right click shows that
// span, a right click otherwise the whole record, the wheel zooms around the pointer. The
// previous capture can be shown faintly behind the curves to compare two captures.
class CCurveGraph : public QWidget
{
    Q_OBJECT

public:
    // area: the plot's area rectangle (the widget's size); mouse: where the zoom works, both in
    // the widget's coordinates.
    CCurveGraph(const QRect& area, const QRect& mouse, QWidget* parent = nullptr);

    CCurveData& data() { return m_data; }
    const CCurveData& data() const { return m_data; }
    const Plot::Geometry& geometry() const { return m_geometry; }

    // A decoded record replaces the samples (one vector of raw samples per channel); the one it
    // replaces becomes the previous capture. Shows the whole record and computes the extents.
    void SetRecord(const std::array<std::vector<double>, CCurveData::kChannels>& record);
    // The samples as they are now become the previous capture (before the store is refilled
    // sample by sample).
    void KeepAsPrevious();
    void SetPreviousShown(bool shown);
    bool previousShown() const { return m_previousShown; }

    // Positions, extents and the cached picture again (after a capture, a zoom, a unit change).
    void ComputeExtents();
    // The cached picture again (after a scale, offset or channel change).
    void Redraw();

    // 0 no cursor, 1 cursor 1, 2 both.
    void SetCursorMode(int mode);
    int cursorMode() const { return m_cursorMode; }
    // cursor 1 or 2; the position is a horizontal position of the plot.
    void SetCursorPosition(int cursor, int position);
    int cursorPosition(int cursor) const { return m_cursor[cursor == 2 ? 1 : 0]; }
    // The kept zoom rectangle; empty when there is none.
    QRect zoomRect() const;

    QSize sizeHint() const override { return m_area.size(); }
    // The cached picture (for the benchmark and the page picture).
    const QImage& image() const { return m_image; }

    static QColor ChannelColour(int channel);

signals:
    // The visible range or the automatic scales changed (zoom): the page shows the scales again.
    void extentsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Render();
    void DrawFrameAndGrid(QPainter& p) const;
    void DrawCurves(QPainter& p, const CCurveData& data, int alpha) const;
    void DrawValueLabels(QPainter& p) const;
    void DrawTimeLabels(QPainter& p) const;
    void ZoomFinished();

    QRect m_area;
    QRect m_mouse;
    Plot::Geometry m_geometry;
    CCurveData m_data;
    CCurveData m_previous;
    bool m_hasPrevious = false;
    bool m_previousShown = false;
    QImage m_image;
    bool m_dirty = true;
    int m_cursorMode = 0;
    std::array<int, 2> m_cursor{{230, 650}};
    QPoint m_zoomStart;
    QPoint m_zoomEnd;
    bool m_zooming = false;
    bool m_zoomKept = false;
};

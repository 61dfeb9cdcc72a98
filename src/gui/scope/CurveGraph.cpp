#include "CurveGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kBackground(255, 255, 255);
const QColor kFrame(54, 54, 54);
const QColor kGrid(150, 140, 140);
const QColor kCentre(118, 118, 118);
const QColor kCursor(255, 170, 255);
// How strongly the previous capture shows behind the curves (of 255).
constexpr int kPreviousAlpha = 80;

QFont LabelFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(9);
    return font;
}

} // namespace

CCurveGraph::CCurveGraph(const QRect& area, const QRect& mouse, QWidget* parent)
    : QWidget(parent), m_area(area), m_mouse(mouse), m_geometry(Plot::MakeGeometry(area))
{
    setObjectName(QStringLiteral("curveGraph"));
    setFixedSize(area.right() + 1, area.bottom() + 1);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

QColor CCurveGraph::ChannelColour(int channel)
{
    static const QColor colours[] = {{190, 255, 128}, {34, 172, 56}, {235, 97, 0}, {0, 133, 209}};
    return colours[std::clamp(channel, 0, 3)];
}

void CCurveGraph::SetRecord(const std::array<std::vector<double>, CCurveData::kChannels>& record)
{
    KeepAsPrevious();
    m_data.SetRecord(record);
    m_data.ShowWhole();
    ComputeExtents();
}

void CCurveGraph::KeepAsPrevious()
{
    if (m_data.FirstChannelWithPoints() < 0)
        return;
    m_previous = m_data;
    m_hasPrevious = true;
    m_dirty = true;
}

void CCurveGraph::SetPreviousShown(bool shown)
{
    m_previousShown = shown;
    Redraw();
}

void CCurveGraph::ComputeExtents()
{
    m_data.ComputeExtents(m_geometry);
    Redraw();
}

void CCurveGraph::Redraw()
{
    m_dirty = true;
    update();
}

void CCurveGraph::SetCursorMode(int mode)
{
    m_cursorMode = std::clamp(mode, 0, 2);
    update();
}

void CCurveGraph::SetCursorPosition(int cursor, int position)
{
    m_cursor[cursor == 2 ? 1 : 0] = position;
    // Only the overlay changes: the cached picture is copied again, never drawn again.
    update();
}

QRect CCurveGraph::zoomRect() const
{
    return m_zooming || m_zoomKept ? QRect(m_zoomStart, m_zoomEnd).normalized() : QRect();
}

void CCurveGraph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_dirty = true;
}

void CCurveGraph::Render()
{
    const qreal ratio = devicePixelRatioF();
    if (m_image.size() != size() * ratio) {
        m_image = QImage(size() * ratio, QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
    }
    QPainter p(&m_image);
    p.fillRect(m_area, kBackground);
    DrawFrameAndGrid(p);
    if (m_previousShown && m_hasPrevious) {
        // The previous capture is drawn with today's mappings and visible range, so that the two
        // compare sample by sample.
        for (int n = 0; n < CCurveData::kChannels; ++n) {
            m_previous.channel(n).mapping = m_data.channel(n).mapping;
            m_previous.channel(n).autoScale = false;
            m_previous.channel(n).enabled = m_data.channel(n).enabled;
        }
        m_previous.ShowRange(m_data.firstIndex(), m_data.visibleCount());
        m_previous.ComputeExtents(m_geometry);
        DrawCurves(p, m_previous, kPreviousAlpha);
    }
    DrawCurves(p, m_data, 255);
    p.setFont(LabelFont());
    DrawValueLabels(p);
    DrawTimeLabels(p);
    m_dirty = false;
}

void CCurveGraph::DrawFrameAndGrid(QPainter& p) const
{
    const Plot::Geometry& g = m_geometry;
    p.setPen(QPen(kFrame, 2));
    p.drawRect(QRect(QPoint(g.x0, g.y0 - g.height), QPoint(g.x0 + g.width, g.y0)));
    p.setPen(QPen(kGrid, 1, Qt::DotLine));
    for (int k = 1; k <= Plot::kDivisionsX; ++k) {
        const int x = g.x0 + k * g.divWidth;
        p.drawLine(x, g.y0 - 2, x, g.y0 - g.height);
        p.drawLine(x, g.y0 + 2, x, g.y0 + 4);
    }
    for (int k = 1; k <= Plot::kDivisionsY; ++k) {
        const int y = g.y0 - k * g.divHeight - 1;
        p.drawLine(g.x0 + 1, y, g.x0 + g.width - 2, y);
    }
    p.setPen(QPen(kCentre, 1));
    p.drawLine(g.x0, g.CentreRow(), g.x0 + g.width, g.CentreRow());
    const int cx = g.x0 + g.width / 2 - 1;
    p.drawLine(cx, g.y0, cx, g.y0 - g.height);
}

void CCurveGraph::DrawCurves(QPainter& p, const CCurveData& data, int alpha) const
{
    for (int n = 0; n < CCurveData::kChannels; ++n) {
        const CCurveData::Channel& c = data.channel(n);
        if (!c.enabled || c.values.empty())
            continue;
        QColor colour = ChannelColour(n);
        colour.setAlpha(alpha);
        p.setPen(QPen(colour, 1));
        for (const Plot::Polyline& line :
             Plot::CurvePolylines(m_geometry, c.mapping, c.positions, c.values)) {
            if (line.size() == 1)
                p.drawPoint(line.front());
            else
                p.drawPolyline(line.data(), int(line.size()));
        }
    }
}

void CCurveGraph::DrawValueLabels(QPainter& p) const
{
    const Plot::Geometry& g = m_geometry;
    const QFontMetrics metrics(p.font());
    // Labelled 2, 1, 4, 3: the upper labels of 1 and 3 stay on top where boxes meet.
    for (int n : {1, 0, 3, 2}) {
        const CCurveData::Channel& c = m_data.channel(n);
        if (!c.enabled || c.values.empty())
            continue;
        p.setPen(ChannelColour(n));
        const double values[] = {Plot::UpperLabelValue(c.mapping),
                                 Plot::LowerLabelValue(c.mapping)};
        const int lines[] = {g.y0 - 7 * g.divHeight, g.y0 - g.divHeight};
        for (int i = 0; i < 2; ++i) {
            const QRect box = Plot::ValueLabelRect(g, n, lines[i]);
            const QString text =
                metrics.elidedText(Plot::FormatC("%f", values[i]), Qt::ElideRight, box.width());
            const int align = (Plot::ValueLabelRightAligned(n) ? Qt::AlignRight : Qt::AlignLeft) |
                              (n % 2 == 0 ? Qt::AlignBottom : Qt::AlignTop);
            p.drawText(box, align, text);
        }
    }
}

void CCurveGraph::DrawTimeLabels(QPainter& p) const
{
    const int n = m_data.FirstChannelWithPoints();
    if (n < 0)
        return;
    const Plot::Geometry& g = m_geometry;
    p.setPen(kFrame);
    for (int line = 1; line <= 9; line += 2) {
        const Plot::Lookup at = m_data.ValueAt(n, Plot::TimeLabelPosition(g, line));
        // The shown samples end before this line: no further labels and no unit.
        if (!at.found)
            return;
        p.drawText(Plot::TimeLabelRect(g, line), Qt::AlignCenter,
                   Plot::TimeLabelText(at.sample, m_data.samplePeriod()));
    }
    p.drawText(Plot::TimeUnitRect(g), Qt::AlignCenter | Qt::TextDontClip, QStringLiteral("(ms)"));
}

void CCurveGraph::paintEvent(QPaintEvent*)
{
    if (m_dirty || m_image.isNull())
        Render();
    QPainter p(this);
    p.drawImage(0, 0, m_image);
    // The overlays are XOR lines, as the operator has always seen them: drawn twice they vanish.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const Plot::Geometry& g = m_geometry;
    p.setPen(QPen(kCursor, 1));
    for (int i = 0; i < m_cursorMode; ++i) {
        const int x = g.Column(m_cursor[size_t(i)]);
        p.drawLine(x, g.y0, x, g.y0 - g.height - 1);
    }
    const QRect zoom = zoomRect();
    if (!zoom.isNull()) {
        p.setPen(QPen(QColor(255, 0, 0), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(zoom);
    }
}

void CCurveGraph::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_mouse.contains(event->position().toPoint())) {
        m_zoomStart = m_zoomEnd = event->position().toPoint();
        m_zooming = true;
        m_zoomKept = false;
        update();
    }
}

void CCurveGraph::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_zooming || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    m_zoomEnd = QPoint(std::clamp(at.x(), m_mouse.left(), m_mouse.right()),
                       std::clamp(at.y(), m_mouse.top(), m_mouse.bottom()));
    update();
}

void CCurveGraph::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_zooming) {
        m_zooming = false;
        m_zoomKept = m_zoomEnd != m_zoomStart;
        update();
        return;
    }
    if (event->button() != Qt::RightButton || !m_mouse.contains(event->position().toPoint()))
        return;
    // A rectangle drawn left to right shows its span; any other right click the whole record.
    if (!(m_zoomKept && m_zoomStart.x() < m_zoomEnd.x() &&
          m_data.ShowColumns(m_geometry, m_zoomStart.x(), m_zoomEnd.x())))
        m_data.ShowWhole();
    m_zoomKept = false;
    ZoomFinished();
}

void CCurveGraph::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0 || !m_mouse.contains(event->position().toPoint()))
        return;
    const double factor = steps > 0 ? 0.8 : 1.25;
    bool changed = false;
    for (int i = 0; i < std::abs(steps); ++i)
        changed |= m_data.ZoomAround(m_geometry, event->position().toPoint().x(), factor);
    if (changed)
        ZoomFinished();
    event->accept();
}

void CCurveGraph::ZoomFinished()
{
    ComputeExtents();
    emit extentsChanged();
}

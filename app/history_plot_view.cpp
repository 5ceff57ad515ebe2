#include "app/history_plot_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// A press that moves less than this is a click.
constexpr double kClickSlop = 4;

} // namespace

HistoryPlotView::HistoryPlotView(const YRange &range, QWidget *parent) : QWidget(parent), m_range(range)
{
    setObjectName(QStringLiteral("historyPlot"));
    setAccessibleName(tr("历史曲线"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(400, 250);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryPlotView::setData(std::shared_ptr<const HistoryRange> data)
{
    m_data = std::move(data);
    m_held = m_data ? heldStretches(m_data->records) : std::vector<std::pair<qint64, qint64>>{};
    m_wholeFrom = m_wholeTo = 0;
    if (m_data) {
        m_wholeFrom = double(m_data->from.toMSecsSinceEpoch());
        m_wholeTo = double(m_data->to.toMSecsSinceEpoch());
        if (!m_data->records.empty()) { // records outside the asked range widen it
            m_wholeFrom = std::min(m_wholeFrom, double(m_data->records.front().msecs));
            m_wholeTo = std::max(m_wholeTo, double(m_data->records.back().msecs));
        }
        if (m_wholeTo - m_wholeFrom < kMinSpanMs)
            m_wholeTo = m_wholeFrom + kMinSpanMs;
    }
    m_marker = {-1, -1};
    m_nextMarker = 0;
    showAll();
    emit markersChanged();
}

void HistoryPlotView::setShown(int quantity, bool shown)
{
    if (quantity < 0 || quantity >= kHistoryCurves)
        return;
    m_shown[quantity] = shown;
    update();
}

void HistoryPlotView::setView(double fromMs, double toMs)
{
    setViewClamped(fromMs, toMs);
}

void HistoryPlotView::showAll()
{
    m_from = m_wholeFrom;
    m_to = m_wholeTo;
    update();
    emit viewChanged();
}

void HistoryPlotView::setViewClamped(double from, double to)
{
    if (!std::isfinite(from) || !std::isfinite(to) || !(m_wholeTo > m_wholeFrom))
        return;
    const double whole = m_wholeTo - m_wholeFrom;
    double span = std::clamp(to - from, std::min(kMinSpanMs, whole), whole);
    const double mid = (from + to) / 2;
    from = mid - span / 2;
    // Keep the view inside the whole range, shifting rather than shrinking.
    if (from < m_wholeFrom)
        from = m_wholeFrom;
    if (from + span > m_wholeTo)
        from = m_wholeTo - span;
    m_from = from;
    m_to = from + span;
    update();
    emit viewChanged();
}

void HistoryPlotView::zoomAt(double x, double factor)
{
    if (!(factor > 0) || !(m_to > m_from))
        return;
    const double whole = m_wholeTo - m_wholeFrom;
    const double t = timeAt(x);
    const double span = std::clamp((m_to - m_from) / factor, std::min(kMinSpanMs, whole), whole);
    const double share = (t - m_from) / (m_to - m_from);
    setViewClamped(t - share * span, t - share * span + span);
}

double HistoryPlotView::timeAt(double x) const
{
    const QRectF a = HistoryPlot::dataArea(QRectF(rect()));
    return a.width() > 0 ? m_from + (x - a.left()) / a.width() * (m_to - m_from) : m_from;
}

double HistoryPlotView::xAt(double msecs) const
{
    const QRectF a = HistoryPlot::dataArea(QRectF(rect()));
    return m_to > m_from ? a.left() + (msecs - m_from) / (m_to - m_from) * a.width() : a.left();
}

void HistoryPlotView::setMarkerAt(int which, qint64 msecs)
{
    if (which < 0 || which > 1 || !m_data)
        return;
    m_marker[which] = nearestRecord(m_data->records, msecs);
    m_nextMarker = 1 - which;
    update();
    emit markersChanged();
}

HistoryPlotInput HistoryPlotView::input() const
{
    HistoryPlotInput in;
    if (m_data) {
        in.records = &m_data->records;
        in.events = &m_data->events;
    }
    in.held = &m_held;
    in.fromMs = m_from;
    in.toMs = m_to;
    in.shown = m_shown;
    in.range = m_range;
    for (int i = 0; i < 2; ++i)
        if (m_data && m_marker[i] >= 0 && size_t(m_marker[i]) < m_data->records.size())
            (i == 0 ? in.markerA : in.markerB) = m_data->records[size_t(m_marker[i])].msecs;
    return in;
}

void HistoryPlotView::render(QPainter &p, const QRectF &rect, double px)
{
    m_plot.paint(p, rect, input(), px);
}

void HistoryPlotView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    m_plot.paint(p, QRectF(rect()), input());
    if (m_drag == Drag::Box) {
        const QRectF a = HistoryPlot::dataArea(QRectF(rect()));
        const double x0 = std::min(m_pressPos.x(), m_dragPos.x()), x1 = std::max(m_pressPos.x(), m_dragPos.x());
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(QColor(0, 0, 0, 30));
        p.drawRect(QRectF(x0, a.top(), x1 - x0, a.height()));
    }
}

void HistoryPlotView::wheelEvent(QWheelEvent *e)
{
    const int steps = e->angleDelta().y();
    if (steps == 0) {
        e->ignore();
        return;
    }
    zoomAt(e->position().x(), std::pow(1.25, steps / 120.0));
    e->accept();
}

void HistoryPlotView::mousePressEvent(QMouseEvent *e)
{
    m_pressPos = m_dragPos = e->position();
    m_pressFrom = m_from;
    m_pressTo = m_to;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (e->button() == Qt::RightButton || (e->button() == Qt::LeftButton && shift))
        m_drag = Drag::BoxPending;
    else if (e->button() == Qt::LeftButton)
        m_drag = Drag::Click;
    else
        m_drag = Drag::None;
    e->accept();
}

void HistoryPlotView::mouseMoveEvent(QMouseEvent *e)
{
    m_dragPos = e->position();
    const double dx = m_dragPos.x() - m_pressPos.x();
    if (m_drag == Drag::Click && std::abs(dx) > kClickSlop)
        m_drag = Drag::Pan;
    else if (m_drag == Drag::BoxPending && std::abs(dx) > kClickSlop)
        m_drag = Drag::Box;
    if (m_drag == Drag::Pan) {
        const double w = HistoryPlot::dataArea(QRectF(rect())).width();
        if (w > 0) {
            const double shift = dx / w * (m_pressTo - m_pressFrom);
            setViewClamped(m_pressFrom - shift, m_pressTo - shift);
        }
    } else if (m_drag == Drag::Box) {
        update();
    }
}

void HistoryPlotView::mouseReleaseEvent(QMouseEvent *e)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::Click) {
        setMarkerAt(m_nextMarker, qint64(std::llround(timeAt(e->position().x()))));
    } else if (drag == Drag::BoxPending && e->button() == Qt::LeftButton) {
        setMarkerAt(1, qint64(std::llround(timeAt(e->position().x()))));
    } else if (drag == Drag::Box) {
        const double a = timeAt(m_pressPos.x()), b = timeAt(e->position().x());
        setViewClamped(std::min(a, b), std::max(a, b));
    }
    update();
}

void HistoryPlotView::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Home) {
        showAll();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

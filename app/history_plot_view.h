// The history window's plot: the records of a range as curves, zoomed and
// panned with the mouse, with two markers that snap to records.
#pragma once

#include "chart/historyplot.h"
#include "core/history_data.h"

#include <QWidget>
#include <array>
#include <memory>
#include <utility>
#include <vector>

// The plot: wheel zooms about the cursor, a left drag pans, a right drag or
// shift drag draws a box that zooms to its time span, Home shows the whole
// range. A click sets marker A, the next click B (then A again); a
// shift-click always sets B. Markers snap to the nearest record.
class HistoryPlotView : public QWidget {
    Q_OBJECT
public:
    explicit HistoryPlotView(const YRange &range, QWidget *parent = nullptr);

    // New data; the view shows the whole range and the markers are cleared.
    void setData(std::shared_ptr<const HistoryRange> data);
    const HistoryRange *data() const { return m_data.get(); }

    void setShown(int quantity, bool shown);
    bool isShown(int quantity) const { return m_shown[quantity]; }

    // The visible span in ms since the epoch; kept within the whole range
    // and no narrower than kMinSpanMs.
    double viewFrom() const { return m_from; }
    double viewTo() const { return m_to; }
    void setView(double fromMs, double toMs);
    void showAll();
    // Zooms by factor (> 1 narrower) keeping the time at widget x in place.
    void zoomAt(double x, double factor);

    // Time at widget x and back, over the data area.
    double timeAt(double x) const;
    double xAt(double msecs) const;

    // Record index of marker 0 (A) or 1 (B); -1 when not set.
    int marker(int which) const { return m_marker[which]; }
    void setMarkerAt(int which, qint64 msecs);

    // Paints the plot as shown into rect of any device (px: device pixels
    // per screen pixel).
    void render(QPainter &p, const QRectF &rect, double px);

    static constexpr double kMinSpanMs = 10 * 1000;

signals:
    void viewChanged();
    void markersChanged();

protected:
    void paintEvent(QPaintEvent *) override;
    void wheelEvent(QWheelEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    enum class Drag { None, Click, Pan, BoxPending, Box };
    void setViewClamped(double from, double to);
    HistoryPlotInput input() const;

    const YRange &m_range;
    std::shared_ptr<const HistoryRange> m_data;
    std::vector<std::pair<qint64, qint64>> m_held;
    std::array<bool, kHistoryCurves> m_shown{true, true, true, true, true, true};
    double m_wholeFrom = 0, m_wholeTo = 0;
    double m_from = 0, m_to = 0;
    std::array<int, 2> m_marker{-1, -1};
    int m_nextMarker = 0;
    HistoryPlot m_plot;

    Drag m_drag = Drag::None;
    QPointF m_pressPos, m_dragPos;
    double m_pressFrom = 0, m_pressTo = 0;
};

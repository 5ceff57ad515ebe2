// The history window: logged records of a chosen time range as curves, with
// held stretches shaded, the journal's events listed beside the plot and
// marked on its time axis, two markers that read the records and their
// differences, and printing, an image and a CSV export of what is shown.
//
// The records come from a loader called on a worker thread; the window stays
// responsive and the main window keeps acquiring and logging meanwhile. A
// newer request supersedes an older one: only the newest answer is shown.
#pragma once

#include "chart/chartprint.h"
#include "chart/historyplot.h"
#include "core/history_data.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class InstrumentSession;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;

// Reads the records and events between two local times into range; the
// ring may be chosen, or left to the loader (the one-second ring where it
// covers the range, the ten-second ring beyond). The records in the order
// they were logged. False with a reason on failure; range.fault Incomplete
// when part of the range could not be read (the window then shows none of it).
using HistoryLoader = std::function<bool(const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                                         HistoryRange &range, QString &error)>;

// The times of the oldest and newest record logged, both invalid when there
// is none yet; false with a reason when they cannot be read.
using HistorySpanReader = std::function<bool(QDateTime &oldest, QDateTime &newest, QString &error)>;

// The range the window opens on: the last `seconds` before now; when the
// records end earlier, the last `seconds` up to the newest record; all
// records when they span less. With no records, the last seconds before now.
std::pair<QDateTime, QDateTime> openingRange(const QDateTime &now, qint64 seconds, const QDateTime &oldest,
                                             const QDateTime &newest);

// One line of the event list: "通道2 报警 出现", "打开通讯", "参数写入 ...".
QString historyEventText(const HistoryEvent &e);

// The marker read-out: time and the six values at A and at B, then Δt and
// the differences B - A. Lines for markers not set are left out.
QString markerReadout(const HistoryRecord *a, const HistoryRecord *b);

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

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // The session (clock, Y range, station) outlives the window; loader is
    // called on a worker thread and must not touch the window.
    HistoryWindow(InstrumentSession &session, HistoryLoader loader, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Asks for the records between from and to, in either order (off the UI
    // thread); the fields show the range asked.
    void load(const QDateTime &from, const QDateTime &to);
    // The last hours before now, as the quick-range buttons do.
    void loadLast(qint64 seconds);
    // The first range: openingRange() of the records span reads (off the UI
    // thread); the line above the plot says when the database holds none.
    void loadOpening(qint64 seconds, HistorySpanReader span);
    bool isLoading() const { return !m_pending.isEmpty(); }

    HistoryPlotView *plot() const { return m_plotView; }

    // The header and the page as "打印" prints them, without asking anyone.
    ChartPrintHeader printHeader() const;
    bool writePdf(const QString &path, QString *error = nullptr);
    bool saveImage(const QString &path);

    // Buttons that ask the user first.
    void printChart();
    void saveImageAsked();

signals:
    // "导出CSV": the range loaded and the ring its records came from.
    void exportRequested(const QDateTime &from, const QDateTime &to, LogRing ring);
    // A load finished (ok or not) and is shown.
    void loaded(bool ok);

private:
    struct LoadResult {
        quint64 id = 0;
        bool ok = false;
        bool opening = false; // the range was chosen by the records: shown in the fields
        bool noRecords = false; // the database holds none at all
        HistoryRange range;
        QString error;
    };
    void start(std::function<void(LoadResult &)> task);
    void loadFinished(QFutureWatcher<LoadResult> *watcher);
    void showEvents();
    void updateReadout();

    InstrumentSession &m_session;
    HistoryLoader m_loader;
    quint64 m_request = 0;
    QList<QFutureWatcher<LoadResult> *> m_pending;

    QDateTimeEdit *m_fromEdit, *m_toEdit;
    QPushButton *m_queryButton;
    std::array<QPushButton *, 4> m_quickButtons{};
    QLabel *m_ringLabel, *m_statusLabel, *m_readout;
    std::array<QCheckBox *, kHistoryCurves> m_channelBoxes{};
    HistoryPlotView *m_plotView;
    QListWidget *m_eventList;
    QPushButton *m_printButton, *m_imageButton, *m_exportButton, *m_closeButton;
};

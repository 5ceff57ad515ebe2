// The history window: logged records of a chosen time range as curves, with
// held stretches shaded, the journal's events listed beside the plot and
// marked on its time axis, two markers that read the records and their
// differences, and printing, an image and a CSV export of what is shown.
//
// The records come from a reader called on a worker thread; the window stays
// responsive and the main window keeps acquiring and logging meanwhile. A
// newer request supersedes an older one: only the newest answer is shown.
#pragma once

#include "app/history_plot_view.h"
#include "chart/chartprint.h"
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
class QListWidgetItem;
class QVBoxLayout;
class QPushButton;

// Reads the records and events between two local times into range; the
// ring may be chosen, or left to the reader (the one-second ring where it
// covers the range, the ten-second ring beyond). The records in the order
// they were logged. False with error set on failure; its kind Incomplete
// when part of the range could not be read (the window then shows none of it).
using HistoryRangeReader = std::function<bool(const QDateTime &from, const QDateTime &to,
                                              std::optional<LogRing> ring, HistoryRange &range, HistoryError &error)>;

// The times of the oldest and newest record logged, both invalid when there
// is none yet; false with error set when they cannot be read.
using HistorySpanReader = std::function<bool(QDateTime &oldest, QDateTime &newest, HistoryError &error)>;

// The range the window opens on: the last `seconds` before now; when the
// records end earlier, the last `seconds` up to the newest record; all
// records when they span less. With no records, the last seconds before now.
std::pair<QDateTime, QDateTime> openingRange(const QDateTime &now, qint64 seconds, const QDateTime &oldest,
                                             const QDateTime &newest);

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // The session (clock, Y range, station) outlives the window; reader is
    // called on a worker thread and must not touch the window.
    HistoryWindow(InstrumentSession &session, HistoryRangeReader reader, QWidget *parent = nullptr);
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
        HistoryError error;
    };
    void start(std::function<void(LoadResult &)> task);
    void loadFinished(QFutureWatcher<LoadResult> *watcher);
    void showEvents();
    void updateReadout();

    void buildRangeRow(QVBoxLayout *root);
    void buildChannelRow(QVBoxLayout *root);
    void buildPlotArea(QVBoxLayout *root);
    void buildButtons(QVBoxLayout *root);
    void exportShown();
    void centreOn(QListWidgetItem *item);

    InstrumentSession &m_session;
    HistoryRangeReader m_reader;
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

// The trend chart without its widgets: the sample buffer and the zoom,
// paging and ruler state, the rules that move them, and the live tick that
// appends the newest logged record. The window lends it the database through
// two callbacks and draws, captions and enables what the signals tell it;
// the instrument session tells it of each logged record and gives its tick
// the values and the time.
#pragma once

#include "core/chart_model.h"

#include <QDateTime>
#include <QObject>
#include <cstdint>
#include <functional>

class ChartController : public QObject {
    Q_OBJECT
public:
    // Reads the newest logged record id into its argument; false when the
    // database could not be read (the argument is then left alone).
    using NewestIdReader = std::function<bool(int32_t &)>;
    // Fills the chart with the Load_Count records that end with Win_Last_Id;
    // false when the database could not be read.
    using HistoryLoader = std::function<bool(Chart &)>;

    ChartController(NewestIdReader newestId, HistoryLoader loadHistory, QObject *parent = nullptr);

    const Chart &chart() const { return Cht; }
    // Appending live samples: not paging, ruler off.
    bool isLive() const { return Cht.Page_Back == 0 && Cht.Ruler_On == 0; }
    // What the function buttons and keys may do now.
    bool canZoomIn() const { return Cht.Chart_Zoom > 1; }
    bool canZoomOut() const { return Cht.Chart_Zoom < 4; }
    bool canPageForward() const { return Cht.Page_Back > 0; }
    bool canPageBack() const { return Cht.Page_Limit == 0; }
    // The slider step of one slot: Chart_Step rounded (halves to even), or 0
    // when it cannot be one.
    int sliderStep() const;
    // The slot under the ruler at slider value v, or -1 when none lies there.
    int rulerSlot(int v) const;

    // The window's load: zoom 1, live, ruler off, the newest live window.
    void start();
    void Apply_Zoom();
    void Load_History(bool idOk = true);
    void Reload_Live();
    // One logged record arrived: values 0..5 at `now` as the next slot;
    // held: the link was down, so the values were kept, not measured.
    void Append_Sample(const float *values, const QDateTime &now, bool held = false);

    // A record was logged since the last live tick.
    void noteSample() { m_samplePending = true; }
    bool samplePending() const { return m_samplePending; }
    // The live refresh's tick: a record logged since the last tick is
    // appended (values, now, held as for Append_Sample) while the chart is
    // live; one logged while paging or under the ruler waits for the live
    // chart, and several become one append. True when it appended.
    bool liveTick(const float *values, const QDateTime &now, bool held);

    void zoomIn();      // F2
    void zoomOut();     // F1
    void pageBack();    // F7, into history
    void pageForward(); // F6, toward live
    // F4: ruler on, or off and back to the live window. True when now on.
    bool toggleRuler();
    // The ruler slider moved to v: pages at its two ends; returns the slot
    // under the cursor (-1: none).
    int hc_Change(int v);
    // Win_Last_Id for the page n records before Cur_Id.
    void setWindowEnd(int32_t n);

signals:
    void redrawNeeded();
    // Zoom level, paging or ruler changed: buttons and keys follow.
    void stateChanged();
    void sliderStepChanged(int step);
    // A load ran; ok: it and the newest-id read before it succeeded.
    void historyLoaded(bool ok);

private:
    void setSliderStep();
    void loadPage();
    void redraw();

    Chart Cht;
    bool m_samplePending = false;
    NewestIdReader m_newestId;
    HistoryLoader m_loadHistory;
};

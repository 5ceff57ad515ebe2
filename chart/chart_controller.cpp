#include "chart/chart_controller.h"

#include "chart/chart_draw.h"
#include "core/dates.h"
#include "core/numbers.h"

#include <utility>

ChartController::ChartController(NewestIdReader newestId, HistoryLoader loadHistory, QObject *parent)
    : QObject(parent), m_newestId(std::move(newestId)), m_loadHistory(std::move(loadHistory))
{
    setObjectName(QStringLiteral("ChartController"));
}

int ChartController::sliderStep() const
{
    int32_t step = 0;
    if (!roundI32(double(Cht.Chart_Step), &step) || step <= 0)
        return 0;
    return step;
}

// The slot whose curve points lie nearest the cursor.
int ChartController::rulerSlot(int v) const
{
    if (Cht.Chart_Step == 0.0f)
        return -1;
    const int s = Cht.Chart_Base + int(roundEven(double(v) / double(Cht.Chart_Step)));
    return s >= 0 && s < kChartSlots ? s : -1;
}

void ChartController::start()
{
    Cht.Page_Limit = 0;
    Cht.Page_Back = 0;
    for (int s = 1; s <= kPageLoad; ++s)
        Cht.Chart_Gap[s] = 0;
    Cht.Chart_Zoom = 1;
    const bool idOk = m_newestId(Cht.Cur_Id);
    Cht.Load_Count = kLiveLoad;
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Chart_End = kLiveLoad;
    Cht.Ruler_On = 0;
    emit stateChanged();
    Load_History(idOk);
    redraw();
}

void ChartController::Apply_Zoom()
{
    ::Apply_Zoom(Cht);
}

// Every redraw applies the zoom table first; a load before it still sees the
// slot base of the last redraw.
void ChartController::redraw()
{
    Apply_Zoom();
    emit redrawNeeded();
}

void ChartController::Load_History(bool idOk)
{
    const bool ok = m_loadHistory(Cht);
    emit historyLoaded(ok && idOk);
}

void ChartController::Reload_Live()
{
    const bool idOk = m_newestId(Cht.Cur_Id);
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Load_Count = kLiveLoad;
    Cht.Chart_End = kLiveLoad;
    Load_History(idOk);
    redraw();
}

void ChartController::Append_Sample(const float *values, const QDateTime &now, bool held)
{
    if (Cht.Chart_End < kChartSlots - 1)
        ++Cht.Chart_End;
    // The curve reached the right edge (or lies past it after a zoom in):
    // back a quarter screen, newest record in slot kLiveLoad.
    if (Cht.Chart_End >= kLiveLoad + kReloadStep * Cht.Chart_Zoom)
        Reload_Live();
    const int s = Cht.Chart_End;
    if (s >= 0 && s < kChartSlots - 1) {
        for (int q = 0; q <= 5; ++q)
            Cht.Chart_Val[s][q] = values[q];
        Cht.Chart_Date[s] = dateSerial(now.date());
        Cht.Chart_Time[s] = timeSerial(now.time());
        Cht.held[s] = held;
    }
    redraw();
}

bool ChartController::liveTick(const float *values, const QDateTime &now, bool held)
{
    if (!m_samplePending || !isLive())
        return false;
    Append_Sample(values, now, held);
    m_samplePending = false;
    return true;
}

// One slider step moves the ruler by one slot.
void ChartController::setSliderStep()
{
    if (const int step = sliderStep(); step > 0)
        emit sliderStepChanged(step);
}

// Zooming leaves the buffer and Chart_End alone: in live mode the next
// appended sample meets the new level's reload point.
void ChartController::zoomIn()
{
    if (Cht.Chart_Zoom > INT16_MIN)
        --Cht.Chart_Zoom;
    Apply_Zoom();
    setSliderStep();
    emit stateChanged();
    redraw();
}

void ChartController::zoomOut()
{
    if (Cht.Chart_Zoom < INT16_MAX)
        ++Cht.Chart_Zoom;
    Apply_Zoom();
    setSliderStep();
    emit stateChanged();
    redraw();
}

// The page n records before Cur_Id ends at Cur_Id - n, counted back
// through the ring's start when needed; n = Cur_Id leaves it alone.
void ChartController::setWindowEnd(int32_t n)
{
    // 64-bit: Cur_Id comes from the file and may be anything.
    const qint64 cur = Cht.Cur_Id;
    qint64 end = Cht.Win_Last_Id;
    if (cur > n)
        end = cur - n;
    else if (cur < n)
        end = kRingSize - (qint64(n) - cur);
    Cht.Win_Last_Id = clampI32(end);
}

void ChartController::loadPage()
{
    setWindowEnd(kPageStep * int32_t(Cht.Page_Back));
    Cht.Chart_End = kPageLoad;
    Load_History();
    redraw();
}

// Pages count back from Cur_Id, the newest record when live mode was left.
void ChartController::pageBack()
{
    if (Cht.Page_Back < INT16_MAX)
        ++Cht.Page_Back;
    Cht.Load_Count = kPageLoad;
    const int32_t n = kPageStep * int32_t(Cht.Page_Back);
    // Limit: the page would reach back past the oldest record. That is the
    // ring's first record while it has not wrapped, and otherwise the record
    // after the newest one (the ring holds 65500). Nothing is loaded.
    if ((Cht.Cur_Id > n && Cht.Cur_Id - n <= kPageLoad) || n > kRingSize - kPageLoad) {
        Cht.Page_Limit = -1;
        emit stateChanged();
        return;
    }
    emit stateChanged();
    loadPage();
}

void ChartController::pageForward()
{
    if (Cht.Page_Back > INT16_MIN)
        --Cht.Page_Back;
    Cht.Load_Count = kPageLoad;
    // Paging back is free again.
    Cht.Page_Limit = 0;
    if (Cht.Page_Back != 0) {
        emit stateChanged();
        loadPage();
        return;
    }
    // Back to live data, from the newest record on. Live appending resumes
    // unless the ruler is still shown.
    emit stateChanged();
    Reload_Live();
}

bool ChartController::toggleRuler()
{
    if (Cht.Ruler_On == 0) {
        // The buffer freezes; live appending stops.
        Cht.Ruler_On = -1;
        emit stateChanged();
        return true;
    }
    // The chart catches up with everything logged while it was frozen.
    Cht.Ruler_On = 0;
    emit stateChanged();
    Reload_Live();
    return false;
}

int ChartController::hc_Change(int v)
{
    if (v == -1 && Cht.Page_Limit == 0)
        pageBack();
    if (v == 12001 && Cht.Page_Back > 0)
        pageForward();
    return rulerSlot(v);
}

#include "app/historywindow.h"

#include "app/printdialog.h"
#include "app/session.h"
#include "core/numbers.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace {

const char *const kShort[kHistoryCurves] = {"CH1", "CH2", "CH3", "CH4", "DA", QT_TRANSLATE_NOOP("HistoryWindow", "输入6")};

// A press that moves less than this is a click.
constexpr double kClickSlop = 4;

QString timeText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString spanText(qint64 ms)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    qint64 s = std::llabs(ms) / 1000;
    const qint64 days = s / 86400;
    s %= 86400;
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(s / 3600, 2, 10, QLatin1Char('0'))
                            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return sign + (days > 0 ? HistoryWindow::tr("%1天 ").arg(days) + hms : hms);
}

QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

} // namespace

QString historyEventText(const HistoryEvent &e)
{
    static const char *const flags[3] = {QT_TRANSLATE_NOOP("HistoryWindow", "报警"), QT_TRANSLATE_NOOP("HistoryWindow", "开路"),
                                         QT_TRANSLATE_NOOP("HistoryWindow", "短路")};
    const QString what = e.caption.isEmpty() ? HistoryWindow::tr("寄存器%1").arg(e.reg) : QCoreApplication::translate("ParamMap", e.caption.toUtf8().constData());
    const QString detail = e.detail.isEmpty() ? QString() : HistoryWindow::tr("（") + e.detail + HistoryWindow::tr("）");
    switch (e.kind) {
    case EventKind::LinkOpened:
        return HistoryWindow::tr("打开通讯");
    case EventKind::LinkClosed:
        return HistoryWindow::tr("关闭通讯");
    case EventKind::LinkInterrupted:
        return HistoryWindow::tr("通讯中断");
    case EventKind::LinkRestored:
        return HistoryWindow::tr("通讯恢复");
    case EventKind::FlagRaised:
    case EventKind::FlagCleared: {
        const QString flag = e.flag >= 0 && e.flag < 3 ? HistoryWindow::tr(flags[e.flag]) : HistoryWindow::tr("状态");
        return HistoryWindow::tr("通道%1 %2 %3")
            .arg(e.channel)
            .arg(flag, e.kind == EventKind::FlagRaised ? HistoryWindow::tr("出现") : HistoryWindow::tr("消除"));
    }
    case EventKind::ParamWritten:
        return HistoryWindow::tr("参数写入 ") + what + QStringLiteral(": ") +
               (e.before.isEmpty() ? e.value : e.before + QStringLiteral(" → ") + e.value);
    case EventKind::ParamRefused:
        return HistoryWindow::tr("写入被拒绝 ") + what + QStringLiteral(": ") + e.value + detail;
    case EventKind::ParamFailed:
        return HistoryWindow::tr("写入失败 ") + what + QStringLiteral(": ") + e.value + detail;
    }
    return QString();
}

QString markerReadout(const HistoryRecord *a, const HistoryRecord *b)
{
    QStringList lines;
    auto values = [](const HistoryRecord &r) {
        QString s = timeText(r.msecs);
        for (int q = 0; q < kHistoryCurves; ++q)
            s += QStringLiteral("  ") + HistoryWindow::tr(kShort[q]) + QLatin1Char(' ') + numText(r.values[q]);
        if (!r.fresh)
            s += HistoryWindow::tr("  (保持值)");
        return s;
    };
    if (a)
        lines << QStringLiteral("A  ") + values(*a);
    if (b)
        lines << QStringLiteral("B  ") + values(*b);
    if (a && b) {
        QString d = QStringLiteral("Δt ") + spanText(b->msecs - a->msecs);
        for (int q = 0; q < kHistoryCurves; ++q) {
            const float v = b->values[q] - a->values[q];
            d += QStringLiteral("  Δ") + HistoryWindow::tr(kShort[q]) + QLatin1Char(' ') +
                 (v > 0 ? QStringLiteral("+") : QString()) + numText(v);
        }
        lines << d;
    }
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------- the plot

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

// ---------------------------------------------------------------- the window

std::pair<QDateTime, QDateTime> openingRange(const QDateTime &now, qint64 seconds, const QDateTime &oldest,
                                             const QDateTime &newest)
{
    const QDateTime lastFrom = now.addSecs(-seconds);
    if (!newest.isValid() || !oldest.isValid())
        return {lastFrom, now};
    if (newest < lastFrom || oldest > lastFrom)
        return {std::max(oldest, newest.addSecs(-seconds)), newest};
    return {lastFrom, now};
}

HistoryWindow::HistoryWindow(InstrumentSession &session, HistoryLoader loader, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session), m_loader(std::move(loader))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(tr("历史曲线"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowModality(Qt::NonModal);
    auto *root = new QVBoxLayout(this);

    // The range: two date-time fields with a calendar, and quick ranges.
    auto *rangeRow = new QHBoxLayout;
    auto dateEdit = [this](const char *name, const QString &caption) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
        auto *e = new QDateTimeEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setAccessibleName(caption);
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        label->setBuddy(e);
        return std::pair{label, e};
    };
    auto [fromLabel, fromEdit] = dateEdit("fromEdit", tr("起始时间"));
    auto [toLabel, toEdit] = dateEdit("toEdit", tr("结束时间"));
    m_fromEdit = fromEdit;
    m_toEdit = toEdit;
    const QDateTime now = m_session.clock.now();
    m_toEdit->setDateTime(now);
    m_fromEdit->setDateTime(now.addSecs(-3600));
    rangeRow->addWidget(fromLabel);
    rangeRow->addWidget(m_fromEdit);
    rangeRow->addWidget(toLabel);
    rangeRow->addWidget(m_toEdit);
    m_queryButton = makeButton("queryButton", tr("查询"), this);
    rangeRow->addWidget(m_queryButton);
    const struct {
        const char *name;
        const char *caption;
        qint64 seconds;
    } quick[4] = {{"last1hButton", QT_TR_NOOP("最近1小时"), 3600},
                  {"last8hButton", QT_TR_NOOP("最近8小时"), 8 * 3600},
                  {"last24hButton", QT_TR_NOOP("最近24小时"), 24 * 3600},
                  {"last7dButton", QT_TR_NOOP("最近7天"), 7 * 24 * 3600}};
    for (int i = 0; i < 4; ++i) {
        m_quickButtons[i] = makeButton(quick[i].name, tr(quick[i].caption), this);
        rangeRow->addWidget(m_quickButtons[i]);
        const qint64 s = quick[i].seconds;
        connect(m_quickButtons[i], &QPushButton::clicked, this, [this, s] { loadLast(s); });
    }
    rangeRow->addStretch(1);
    root->addLayout(rangeRow);

    // Channels shown or hidden, captioned in their curve colours.
    auto *channelRow = new QHBoxLayout;
    for (int q = 0; q < kHistoryCurves; ++q) {
        const QString caption = historyCurveCaption(q);
        auto *box = new QCheckBox(caption, this);
        box->setObjectName(QStringLiteral("channelBox%1").arg(q + 1));
        box->setAccessibleName(caption);
        box->setChecked(true);
        box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; }").arg(historyCurveColour(q).name()));
        connect(box, &QCheckBox::toggled, this, [this, q](bool on) { m_plotView->setShown(q, on); });
        m_channelBoxes[q] = box;
        channelRow->addWidget(box);
    }
    channelRow->addStretch(1);
    m_ringLabel = new QLabel(this);
    m_ringLabel->setObjectName(QStringLiteral("ringLabel"));
    m_ringLabel->setAccessibleName(tr("记录"));
    channelRow->addWidget(m_ringLabel);
    channelRow->addSpacing(16);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setAccessibleName(tr("状态"));
    channelRow->addWidget(m_statusLabel);
    root->addLayout(channelRow);

    // The plot, the events beside it.
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("historySplitter"));
    m_plotView = new HistoryPlotView(m_session.yRange, split);
    m_eventList = new QListWidget(split);
    m_eventList->setObjectName(QStringLiteral("eventList"));
    m_eventList->setAccessibleName(tr("事件"));
    split->addWidget(m_plotView);
    split->addWidget(m_eventList);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setSizes({900, 300});
    root->addWidget(split, 1);

    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("markerReadout"));
    m_readout->setAccessibleName(tr("标记读数"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_readout->setMinimumHeight(m_readout->fontMetrics().height() * 3);
    root->addWidget(m_readout);

    auto *buttons = new QHBoxLayout;
    m_printButton = makeButton("printButton", tr("打印"), this);
    m_imageButton = makeButton("imageButton", tr("保存图片"), this);
    m_exportButton = makeButton("exportButton", tr("导出CSV"), this);
    m_closeButton = makeButton("closeButton", tr("关闭"), this);
    buttons->addStretch(1);
    for (QPushButton *b : {m_printButton, m_imageButton, m_exportButton, m_closeButton})
        buttons->addWidget(b);
    root->addLayout(buttons);

    connect(m_queryButton, &QPushButton::clicked, this,
            [this] { load(m_fromEdit->dateTime(), m_toEdit->dateTime()); });
    connect(m_printButton, &QPushButton::clicked, this, &HistoryWindow::printChart);
    connect(m_imageButton, &QPushButton::clicked, this, &HistoryWindow::saveImageAsked);
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        const HistoryRange *d = m_plotView->data();
        if (d)
            emit exportRequested(d->from, d->to, d->ring);
        else
            emit exportRequested(m_fromEdit->dateTime(), m_toEdit->dateTime(), LogRing::OneSecond);
    });
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_plotView, &HistoryPlotView::markersChanged, this, &HistoryWindow::updateReadout);
    connect(m_eventList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const double t = item->data(Qt::UserRole).toDouble();
        const double half = (m_plotView->viewTo() - m_plotView->viewFrom()) / 2;
        m_plotView->setView(t - half, t + half);
    });
    resize(1200, 700);
}

HistoryWindow::~HistoryWindow()
{
    // A loader still running holds nothing of the window, but its watcher
    // must not outlive the wait.
    for (QFutureWatcher<LoadResult> *w : std::as_const(m_pending)) {
        w->disconnect(this);
        w->waitForFinished();
    }
}

void HistoryWindow::load(const QDateTime &fromAsked, const QDateTime &toAsked)
{
    const QDateTime from = std::min(fromAsked, toAsked), to = std::max(fromAsked, toAsked);
    m_fromEdit->setDateTime(from);
    m_toEdit->setDateTime(to);
    start([loader = m_loader, from, to](LoadResult &r) {
        r.range.from = from;
        r.range.to = to;
        if (loader)
            r.ok = loader(from, to, std::nullopt, r.range, r.error);
        else
            r.error = QStringLiteral("no loader");
    });
}

void HistoryWindow::loadOpening(qint64 seconds, HistorySpanReader span)
{
    start([loader = m_loader, span = std::move(span), now = m_session.clock.now(), seconds](LoadResult &r) {
        QDateTime oldest, newest;
        if (!span || !loader || !span(oldest, newest, r.error))
            return;
        r.opening = true;
        r.noRecords = !newest.isValid();
        const auto [from, to] = openingRange(now, seconds, oldest, newest);
        r.range.from = from;
        r.range.to = to;
        r.ok = loader(from, to, std::nullopt, r.range, r.error);
    });
}

// Runs task on a worker thread; its result is shown unless a newer one was asked for.
void HistoryWindow::start(std::function<void(LoadResult &)> task)
{
    const quint64 id = ++m_request;
    m_statusLabel->setStyleSheet(QString());
    m_statusLabel->setText(tr("正在读取…"));
    auto *watcher = new QFutureWatcher<LoadResult>(this);
    m_pending.append(watcher);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] { loadFinished(watcher); });
    watcher->setFuture(QtConcurrent::run([task = std::move(task), id] {
        LoadResult r;
        r.id = id;
        task(r);
        return r;
    }));
}

void HistoryWindow::loadLast(qint64 seconds)
{
    const QDateTime now = m_session.clock.now();
    load(now.addSecs(-seconds), now);
}

void HistoryWindow::loadFinished(QFutureWatcher<LoadResult> *watcher)
{
    m_pending.removeOne(watcher);
    watcher->deleteLater();
    LoadResult r = watcher->future().takeResult();
    if (r.id != m_request) // superseded by a newer request
        return;
    m_statusLabel->clear();
    if (!r.ok) {
        m_statusLabel->setStyleSheet(QStringLiteral("color: red;"));
        if (r.range.fault == HistoryFault::Incomplete)
            m_statusLabel->setText(tr("此时段未能完整读取：") + r.error);
        else
            m_statusLabel->setText(r.error.isEmpty() ? tr("历史读取失败") : tr("历史读取失败：") + r.error);
        emit loaded(false);
        return;
    }
    m_ringLabel->setText(r.range.ring == LogRing::OneSecond ? tr("1 秒记录") : tr("10 秒记录"));
    if (r.opening) {
        m_fromEdit->setDateTime(r.range.from);
        m_toEdit->setDateTime(r.range.to);
    }
    if (r.range.records.empty())
        m_statusLabel->setText(r.noRecords ? tr("数据库中尚无记录") : tr("此时段无记录"));
    m_plotView->setData(std::make_shared<const HistoryRange>(std::move(r.range)));
    showEvents();
    emit loaded(true);
}

void HistoryWindow::showEvents()
{
    m_eventList->clear();
    const HistoryRange *d = m_plotView->data();
    if (!d)
        return;
    for (const HistoryEvent &e : d->events) {
        auto *item = new QListWidgetItem(
            QDateTime::fromMSecsSinceEpoch(e.msecs).toString(QStringLiteral("MM-dd HH:mm:ss  ")) + historyEventText(e),
            m_eventList);
        item->setData(Qt::UserRole, double(e.msecs));
    }
}

void HistoryWindow::updateReadout()
{
    const HistoryRange *d = m_plotView->data();
    const HistoryRecord *r[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        const int m = m_plotView->marker(i);
        if (d && m >= 0 && size_t(m) < d->records.size())
            r[i] = &d->records[size_t(m)];
    }
    m_readout->setText(markerReadout(r[0], r[1]));
}

ChartPrintHeader HistoryWindow::printHeader() const
{
    return chartPrintHeader(PrintTitle::History, m_session.settings.Link_Par[3],
                            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(m_plotView->viewFrom()))),
                            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(m_plotView->viewTo()))),
                            [this](int q) { return m_plotView->isShown(q); }, m_session.yRange, m_session.clock.now());
}

bool HistoryWindow::writePdf(const QString &path, QString *error)
{
    return writeChartPdf(path, printHeader(), [this](QPainter &p, const QRectF &r, double px) {
        m_plotView->render(p, r, px);
    }, error);
}

bool HistoryWindow::saveImage(const QString &path)
{
    const qreal dpr = std::max<qreal>(1, m_plotView->devicePixelRatioF());
    const QSize size = m_plotView->width() >= 200 ? m_plotView->size() : QSize(1600, 900);
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    QPainter p(&image);
    m_plotView->render(p, QRectF(QPointF(0, 0), QSizeF(size)), 1);
    p.end();
    return image.save(path, "PNG");
}

void HistoryWindow::printChart()
{
    askAndPrintChart(this, printHeader(), [this](QPainter &p, const QRectF &r, double px) {
        m_plotView->render(p, r, px);
    });
}

void HistoryWindow::saveImageAsked()
{
    QString path = QFileDialog::getSaveFileName(this, tr("保存图片"), QString(),
                                                tr("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!saveImage(path)) {
        m_statusLabel->setStyleSheet(QStringLiteral("color: red;"));
        m_statusLabel->setText(tr("图片保存失败：") + path);
    }
}

#include "app/historywindow.h"

#include "app/history_text.h"
#include "app/printdialog.h"
#include "app/session.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace {

QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

} // namespace

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

HistoryWindow::HistoryWindow(InstrumentSession &session, HistoryRangeReader reader, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session), m_reader(std::move(reader))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(tr("历史曲线"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowModality(Qt::NonModal);
    auto *root = new QVBoxLayout(this);
    buildRangeRow(root);
    buildChannelRow(root);
    buildPlotArea(root);
    buildButtons(root);

    connect(m_queryButton, &QPushButton::clicked, this,
            [this] { load(m_fromEdit->dateTime(), m_toEdit->dateTime()); });
    connect(m_printButton, &QPushButton::clicked, this, &HistoryWindow::printChart);
    connect(m_imageButton, &QPushButton::clicked, this, &HistoryWindow::saveImageAsked);
    connect(m_exportButton, &QPushButton::clicked, this, &HistoryWindow::exportShown);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_plotView, &HistoryPlotView::markersChanged, this, &HistoryWindow::updateReadout);
    connect(m_eventList, &QListWidget::itemClicked, this, &HistoryWindow::centreOn);
    resize(1200, 700);
}

// The range: two date-time fields with a calendar, and quick ranges.
void HistoryWindow::buildRangeRow(QVBoxLayout *root)
{
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
}

// Channels shown or hidden, captioned in their curve colours; the ring and
// the status line beside them.
void HistoryWindow::buildChannelRow(QVBoxLayout *root)
{
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
}

// The plot, the events beside it, the marker read-out below.
void HistoryWindow::buildPlotArea(QVBoxLayout *root)
{
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
}

void HistoryWindow::buildButtons(QVBoxLayout *root)
{
    auto *buttons = new QHBoxLayout;
    m_printButton = makeButton("printButton", tr("打印"), this);
    m_imageButton = makeButton("imageButton", tr("保存图片"), this);
    m_exportButton = makeButton("exportButton", tr("导出CSV"), this);
    m_closeButton = makeButton("closeButton", tr("关闭"), this);
    buttons->addStretch(1);
    for (QPushButton *b : {m_printButton, m_imageButton, m_exportButton, m_closeButton})
        buttons->addWidget(b);
    root->addLayout(buttons);
}

// "导出CSV": the range loaded (the fields' range before any was).
void HistoryWindow::exportShown()
{
    const HistoryRange *d = m_plotView->data();
    if (d)
        emit exportRequested(d->from, d->to, d->ring);
    else
        emit exportRequested(m_fromEdit->dateTime(), m_toEdit->dateTime(), LogRing::OneSecond);
}

// An event clicked: the view keeps its span, centred on the event's time.
void HistoryWindow::centreOn(QListWidgetItem *item)
{
    const double t = item->data(Qt::UserRole).toDouble();
    const double half = (m_plotView->viewTo() - m_plotView->viewFrom()) / 2;
    m_plotView->setView(t - half, t + half);
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
    start([reader = m_reader, from, to](LoadResult &r) {
        r.range.from = from;
        r.range.to = to;
        if (reader)
            r.ok = reader(from, to, std::nullopt, r.range, r.error);
    });
}

void HistoryWindow::loadOpening(qint64 seconds, HistorySpanReader span)
{
    start([reader = m_reader, span = std::move(span), now = m_session.clock.now(), seconds](LoadResult &r) {
        QDateTime oldest, newest;
        if (!span || !reader || !span(oldest, newest, r.error))
            return;
        r.opening = true;
        r.noRecords = !newest.isValid();
        const auto [from, to] = openingRange(now, seconds, oldest, newest);
        r.range.from = from;
        r.range.to = to;
        r.ok = reader(from, to, std::nullopt, r.range, r.error);
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
        const QString why = historyFaultText(r.error);
        if (r.error.kind == HistoryFault::Incomplete)
            m_statusLabel->setText(historyReadText(r.error));
        else
            m_statusLabel->setText(why.isEmpty() ? tr("历史读取失败") : tr("历史读取失败：") + why);
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

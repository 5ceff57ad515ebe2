#include "app/chart_panel.h"

#include "app/fit_label.h"
#include "chart/chart_controller.h"
#include "chart/chart_view.h"
#include "chart/curves.h"
#include "chart/yrange.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

namespace {

// The chart's area: slider, pt0, axis and time labels. Its preferred size is
// the chart at its twip size; it may be made smaller (or larger), and the
// panel lays its parts out again on every resize.
class ChartFrame : public QWidget {
public:
    using QWidget::QWidget;
    QSize hint;
    QSize sizeHint() const override { return hint; }
};

// Layout of the chart area in twips: the Y-axis columns on the left, the
// ruler slider above the chart, the legend on the right, the time and date
// rows below it.
constexpr int kLeft = 1300;  // pt0's left edge
constexpr int kTop = 420;    // pt0's top edge
constexpr int kRight = 1400; // right of pt0: the legend
constexpr int kRowH = 250;
constexpr int kBottom = 40 + 2 * kRowH + 60;
// The least drawing area that still reads well (480 x 260 px at 96 dpi).
constexpr int kLeastPtW = 7200, kLeastPtH = 3900;

} // namespace

ChartPanel::ChartPanel(QWidget *window, ChartController &chart, YRange &range)
    : QObject(window), m_chart(chart), m_range(range)
{
    setObjectName(QStringLiteral("ChartPanel"));
    auto *area = new ChartFrame(window);
    chartArea = area;
    chartArea->setObjectName(QStringLiteral("chartArea"));
    auto px = [window](double twips) { return PtBox::px(window, twips); };
    auto py = [window](double twips) { return PtBox::px(window, twips, true); };
    area->hint = QSize(px(kLeft + kPt0Width + kRight), py(kTop + kPt0Height + kBottom));
    chartArea->setMinimumSize(px(kLeft) + px(kLeastPtW) + px(kRight), py(kTop) + py(kLeastPtH) + py(kBottom));
    chartArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    chartArea->installEventFilter(this);

    hc = new QSlider(Qt::Horizontal, chartArea);
    hc->setObjectName(QStringLiteral("hc"));
    hc->setAccessibleName(tr("标尺"));
    hc->setRange(-1, 12001);
    hc->setSingleStep(150);
    hc->setPageStep(150);
    hc->setValue(0);
    hc->setEnabled(false);
    hc->setFocusPolicy(Qt::ClickFocus);
    connect(hc, &QSlider::valueChanged, this, &ChartPanel::sliderMoved);

    pt0 = new Pt0Box(chartArea);
    pt = pt0->pt;
    buildAxes();
    chartArea->resize(area->hint);
    placeChart(false);
    buildYEditor(window);
}

void ChartPanel::buildAxes()
{
    const QString yCaption[7] = {"0", "100", "200", "300", "400", "500", "600"};
    const QString blue[7] = {"-10", "10", "30", "50", "70", "90", "110"};
    for (int i = 0; i <= 6; ++i) {
        Label5[i] = new FitLabel(yCaption[i], chartArea);
        Label5[i]->setObjectName(QStringLiteral("Label5(%1)").arg(i));
        Label5[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label5[i]->setStyleSheet(QStringLiteral("color:#FF0000;"));
        Label5[i]->setToolTip(tr("双击修改Y轴范围"));
        Label5[i]->setLeastPointSize(Label5[i]->font().pointSizeF() - 2);
        Label5[i]->installEventFilter(this);
        Label6[i] = new QLabel(blue[i], chartArea);
        Label6[i]->setObjectName(QStringLiteral("Label6(%1)").arg(i));
        Label6[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label6[i]->setStyleSheet(QStringLiteral("color:#0000FF;"));
    }
    for (int i = 0; i <= 8; ++i) {
        Label4[i] = new FitLabel(QStringLiteral("00:00:00"), chartArea);
        Label4[i]->setObjectName(QStringLiteral("Label4(%1)").arg(i));
        Label7[i] = new FitLabel(QStringLiteral("2001/07/19"), chartArea);
        Label7[i]->setObjectName(QStringLiteral("Label7(%1)").arg(i));
        for (FitLabel *l : {Label4[i], Label7[i]}) {
            l->setAlignment(Qt::AlignCenter);
            l->setLeastPointSize(l->font().pointSizeF() - 2);
        }
    }
    // The legend in the colours of CH1, DA and input 6.
    const char *legend[3] = {"PV", "OP", "SV"};
    const int legendCurve[3] = {0, 4, 5};
    for (int i = 0; i < 3; ++i) {
        Label8[i] = new QLabel(QLatin1String(legend[i]), chartArea);
        Label8[i]->setObjectName(QStringLiteral("Label8(%1)").arg(i));
        Label8[i]->setStyleSheet(QStringLiteral("color:%1;font-weight:bold;")
                                     .arg(historyCurveColour(legendCurve[i]).name().toUpper()));
    }
}

// Shown by a double click on a Y-axis label.
void ChartPanel::buildYEditor(QWidget *window)
{
    Label9 = new QLabel(tr("Y轴最大值"), window);
    Label9->setObjectName(QStringLiteral("Label9"));
    YKD = new QLineEdit(window);
    YKD->setObjectName(QStringLiteral("YKD"));
    Label10 = new QLabel(tr("Y轴最小值"), window);
    Label10->setObjectName(QStringLiteral("Label10"));
    YKD1 = new QLineEdit(QStringLiteral("0"), window);
    YKD1->setObjectName(QStringLiteral("YKD1"));
    for (QLineEdit *e : {YKD, YKD1})
        e->setMaximumWidth(90);
    Label9->setBuddy(YKD);
    YKD->setAccessibleName(Label9->text());
    Label10->setBuddy(YKD1);
    YKD1->setAccessibleName(Label10->text());
    Command26 = new QPushButton(tr("修改Y"), window);
    Command26->setObjectName(QStringLiteral("Command26"));
    Command26->setFocusPolicy(Qt::StrongFocus);
    connect(Command26, &QPushButton::clicked, this, &ChartPanel::applyYClicked);
    yMsg = new FitLabel(QString(), window);
    yMsg->setObjectName(QStringLiteral("yMsg"));
    yMsg->setStyleSheet(QStringLiteral("color:#C00000;"));
}

void ChartPanel::addYEditor(QBoxLayout *row)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Label9, YKD, Label10, YKD1, Command26, yMsg}) {
        row->addWidget(w, w == yMsg ? 10 : 0);
        w->hide();
    }
}

QList<QWidget *> ChartPanel::focusChain() const
{
    return {YKD, YKD1, Command26};
}

// Lays the chart area out for its size: pt0 and pt take what the axis
// columns, the slider, the legend and the time rows leave, and the labels
// follow the drawing's scale, so label i of the Y axis stays on the grid
// line of its value and time label i under x = 1500 i.
void ChartPanel::placeChart(bool redrawToo)
{
    auto px = [this](double twips) { return PtBox::px(chartArea, twips); };
    auto py = [this](double twips) { return PtBox::px(chartArea, twips, true); };
    // The margins are what the preferred size leaves around pt0's own size,
    // so at that size pt0 and pt have exactly their twip sizes.
    const int left = px(kLeft), top = py(kTop);
    const int right = px(kLeft + kPt0Width + kRight) - left - px(kPt0Width);
    const int bottom = py(kTop + kPt0Height + kBottom) - top - py(kPt0Height);
    const int w = std::max(chartArea->width() - left - right, 1);
    const int h = std::max(chartArea->height() - top - bottom, 1);
    hc->setGeometry(left, 0, w, py(380));
    pt0->setGeometry(left, top, w, h);
    pt->setGeometry(0, 0, w, h);
    const double sx = pt->sx(), sy = pt->sy();
    const int rowH = py(kRowH);
    for (int i = 0; i <= 6; ++i) {
        const int y = int(std::lround(top + (7500 - 1250.0 * i) * sy - rowH / 2.0));
        Label5[i]->setGeometry(px(620), y, px(640), rowH);
        Label6[i]->setGeometry(0, y, px(560), rowH);
    }
    const int lw = std::max(std::min(px(1300), int(1500 * sx) - 4), 1);
    for (int i = 0; i <= 8; ++i) {
        const int x = int(std::lround(left + 1500.0 * i * sx - lw / 2.0));
        Label4[i]->setGeometry(x, top + h + py(40), lw, rowH);
        Label7[i]->setGeometry(x, top + h + py(40) + rowH, lw, rowH);
    }
    for (int i = 0; i < 3; ++i)
        Label8[i]->setGeometry(left + w + px(700), top + py(300.0 * i), px(600), rowH);
    if (redrawToo)
        redraw(); // the picture at its new size
}

void ChartPanel::redraw()
{
    pt->erase();
    pt->Draw_Grid();
    m_chart.Apply_Zoom();
    pt->Draw_Curves(m_chart.chart(), &m_labels, m_range);
    for (int i = 0; i <= 8; ++i) {
        Label4[i]->setText(m_labels.Label4[i]);
        Label7[i]->setText(m_labels.Label7[i]);
    }
}

void ChartPanel::paintChart(QPainter &p, const QRectF &rect, double px) const
{
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(12 * px))));
    p.save();
    p.setFont(font);
    const QFontMetricsF fm(font);
    const double left = fm.horizontalAdvance(QStringLiteral("-00000")) + 4 * px;
    const double bottom = 2 * fm.height() + 4 * px;
    const QRectF area(rect.left() + left, rect.top() + fm.height() / 2, rect.width() - left - fm.height(),
                      rect.height() - bottom - fm.height() / 2);
    if (area.width() <= 0 || area.height() <= 0) {
        p.restore();
        return;
    }
    // The chart in twips, scaled onto the area.
    p.save();
    p.translate(area.topLeft());
    p.scale(area.width() / kPtWidth, area.height() / kPtHeight);
    p.setClipRect(QRectF(0, 0, kPtWidth, kPtHeight));
    p.fillRect(QRectF(0, 0, kPtWidth, kPtHeight), ChartPainter::backColour);
    const ChartPainter painter(kPtWidth / area.width(), px);
    painter.Draw_Grid(p);
    ChartLabels labels;
    painter.Draw_Curves(p, m_chart.chart(), &labels, m_range);
    p.restore();
    // Y labels at their grid lines, time and date under x = 1500 i.
    p.setPen(Qt::black);
    for (int i = 0; i <= 6; ++i) {
        const double y = area.bottom() - area.height() * i / 6.0;
        p.drawText(QRectF(rect.left(), y - fm.height() / 2, left - 4 * px, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(yLabelValue(i, m_range.Span, m_range.Min)));
    }
    for (int i = 0; i <= 8; ++i) {
        const double x = area.left() + area.width() * 1500.0 * i / kPtWidth;
        const QRectF cell(x - 50 * px, area.bottom() + 2 * px, 100 * px, fm.height());
        p.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, labels.Label4[i]);
        p.drawText(cell.translated(0, fm.height()), Qt::AlignHCenter | Qt::AlignTop, labels.Label7[i]);
    }
    p.restore();
}

void ChartPanel::setYLabels()
{
    for (int i = 0; i <= 6; ++i)
        Label5[i]->setText(QString::number(yLabelValue(i, m_range.Span, m_range.Min)));
}

void ChartPanel::showYEditor()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Label9, Label10, YKD, YKD1, Command26})
        w->setVisible(true);
}

void ChartPanel::applyYRange()
{
    YRange r;
    const YCheck c = checkYRange(YKD->text(), YKD1->text(), &r);
    if (c != YCheck::Ok) {
        yMsg->setText(yCheckText(c));
        yMsg->show();
        return;
    }
    yMsg->clear();
    yMsg->hide();
    m_range = r;
}

void ChartPanel::resetRuler()
{
    const QSignalBlocker block(hc);
    hc->setValue(0);
    hc->setEnabled(false);
}

void ChartPanel::rulerOn()
{
    {
        const QSignalBlocker block(hc);
        hc->setValue(0);
    }
    pt->Line1.set(0xFFFF00, 2, 1, 0, 1, 330);
    pt->lineChanged();
    hc->setEnabled(true);
    hc->setFocus();
}

void ChartPanel::rulerOff()
{
    {
        const QSignalBlocker block(hc);
        hc->setValue(0);
    }
    pt->Line1.set(0x00FF00, 2, 0, 0, 0, 330);
    pt->lineChanged();
    hc->setEnabled(false);
}

void ChartPanel::moveRuler(int v)
{
    pt->Line1.set(0xC000C0, 2, v, 0, v, 7500);
    pt->lineChanged();
}

int ChartPanel::rulerValue() const
{
    return hc->value();
}

void ChartPanel::setSliderStep(int step)
{
    hc->setSingleStep(step);
    hc->setPageStep(step);
}

bool ChartPanel::eventFilter(QObject *obj, QEvent *e)
{
    if (obj == chartArea && e->type() == QEvent::Resize)
        placeChart();
    if (e->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i <= 6; ++i) {
            if (obj == Label5[i]) {
                emit yLabelDoubleClicked(i);
                return true;
            }
        }
    }
    return QObject::eventFilter(obj, e);
}

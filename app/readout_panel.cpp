#include "app/readout_panel.h"

#include "app/fit_label.h"
#include "chart/curves.h"
#include "config/set_back.h"
#include "core/dates.h"
#include "core/history_data.h"
#include "core/numbers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// One cell per channel and flag, in the order of kChannelFlagNames; each
// cell has its own short caption ("CH1 open" in English).
constexpr int kStatusCells = 4 * kChannelFlags;
const char *const kStatusText[kStatusCells] = {
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道一报警"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道一开路"),
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道一短路"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道二报警"),
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道二开路"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道二短路"),
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道三报警"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道三开路"),
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道三短路"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道四报警"),
    QT_TRANSLATE_NOOP("ReadoutPanel", "通道四开路"), QT_TRANSLATE_NOOP("ReadoutPanel", "通道四短路"),
};
// Caption colours match the curves of channels 1..4; DA's is black.
QString captionColour(int q)
{
    return q < 4 ? historyCurveColour(q).name().toUpper() : QStringLiteral("#000000");
}

void setBg(QLabel *l, const char *rgb)
{
    setBack(l, QColor(QLatin1String(rgb)));
}

} // namespace

ReadoutPanel::ReadoutPanel(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("ReadoutPanel"));
    buildAlarms(window);
    buildReadouts(window);
}

void ReadoutPanel::buildAlarms(QWidget *window)
{
    Frame9 = new QGroupBox(QStringLiteral("ALM"), window);
    Frame9->setObjectName(QStringLiteral("Frame9"));
    auto *almLayout = new QVBoxLayout(Frame9);
    for (int k = 0; k < kStatusCells; ++k) {
        D_2R[k] = new QLabel(k == 0 ? tr("报警一OFF") : tr("报警二OFF"), Frame9);
        D_2R[k]->setObjectName(QStringLiteral("D_2R(%1)").arg(k));
        D_2R[k]->setMinimumWidth(90);
        D_2R[k]->setAlignment(Qt::AlignCenter);
        setBg(D_2R[k], "#FFE0C0");
        almLayout->addWidget(D_2R[k]);
    }
}

void ReadoutPanel::buildReadouts(QWidget *window)
{
    Frame4 = new QGroupBox(tr("实时值"), window);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *ro = new QGridLayout(Frame4);
    // Tight rows pay for the caption: the group keeps its height.
    int l = 0, t = 0, r = 0, b = 0;
    ro->getContentsMargins(&l, &t, &r, &b);
    ro->setContentsMargins(l, 2, r, 2);
    ro->setVerticalSpacing(4);
    for (int i = 0; i < 5; ++i) {
        d3wCaption[i] = new QLabel(historyCurveCaption(i), Frame4);
        d3wCaption[i]->setObjectName(QStringLiteral("d3wCaption(%1)").arg(i));
        d3wCaption[i]->setStyleSheet(QStringLiteral("color:%1;").arg(captionColour(i)));
        d3wCaption[i]->setAlignment(Qt::AlignCenter);
        D_3W[i] = new FitLabel(QStringLiteral("0"), Frame4);
        D_3W[i]->setObjectName(QStringLiteral("D_3W(%1)").arg(i));
        D_3W[i]->setAlignment(Qt::AlignCenter);
        D_3W[i]->setMinimumWidth(110);
        QFont f = D_3W[i]->font();
        f.setPointSize(f.pointSize() + 6);
        f.setBold(true);
        D_3W[i]->setFont(f);
        D_3W[i]->setLeastPointSize(f.pointSizeF() - 6);
        setBg(D_3W[i], "#FFC0FF");
        ro->addWidget(d3wCaption[i], 0, i);
        ro->addWidget(D_3W[i], 1, i);
    }
}

void ReadoutPanel::showValues(const float *Val_3X)
{
    for (int i = 0; i < 5; ++i)
        D_3W[i]->setText(numText(Val_3X[i]));
}

void ReadoutPanel::showStatus(const int32_t *Sta_1X)
{
    for (int k = 0; k < kStatusCells; ++k) {
        if (Sta_1X[k] != 0) {
            D_2R[k]->setText(flagText(k));
            setBack(D_2R[k], litColour());
        } else {
            D_2R[k]->setText(QStringLiteral("   "));
            setBg(D_2R[k], "#C0FFFF");
        }
    }
}

QString ReadoutPanel::flagText(int k)
{
    return k >= 0 && k < kStatusCells ? tr(kStatusText[k]) : QString();
}

QColor ReadoutPanel::litColour()
{
    return QColor(0xFF, 0xC0, 0xC0);
}

void ReadoutPanel::showRecord(const Chart &c, int s)
{
    const bool has = slotHasRecord(c, s);
    for (int q = 0; q <= 4; ++q) {
        D_3W[q]->setText(has ? numText(c.Chart_Val[s][q]) : QStringLiteral("—"));
        setBg(D_3W[q], "#FFFF00");
    }
    // A record logged while the link was down holds kept values, not readings.
    const QString held = has && s >= 0 && s < kChartSlots && c.held[s] ? tr(" （保持值）") : QString();
    Frame4->setTitle(has ? tr("标尺读数 %1 %2%3").arg(dateText(c.Chart_Date[s]), timeText(c.Chart_Time[s]), held)
                         : tr("标尺读数 无记录"));
}

void ReadoutPanel::showLiveCaption()
{
    Frame4->setTitle(tr("实时值"));
}

void ReadoutPanel::restoreColours()
{
    for (QLabel *l : D_3W)
        setBg(l, "#FFC0FF");
}

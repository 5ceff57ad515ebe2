#include "app/status_panel.h"

#include "app/fit_label.h"
#include "config/set_back.h"
#include "core/dates.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>

namespace {

const QColor kGreen(0x80, 0xFF, 0x80);
const QColor kYellow(0xFF, 0xFF, 0x00);

} // namespace

StatusPanel::StatusPanel(QWidget *window, QWidget *healthLine) : QObject(window)
{
    setObjectName(QStringLiteral("StatusPanel"));
    m_box = new QWidget(window);
    auto *sl = new QGridLayout(m_box);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setVerticalSpacing(2);
    Label2_9 = new FitLabel(QStringLiteral("2001-03-12"), m_box);
    Label2_9->setObjectName(QStringLiteral("Label2(9)"));
    Label2_10 = new FitLabel(QCoreApplication::translate("ssqx", "18：42：00"), m_box);
    Label2_10->setObjectName(QStringLiteral("Label2(10)"));
    for (QLabel *l : {Label2_9, Label2_10}) {
        l->setAlignment(Qt::AlignCenter);
        setBack(l, kGreen);
    }
    // Messages take the room they have and never widen the window: a long
    // one is elided and shown whole as a tooltip.
    logState = new FitLabel(QString(), m_box);
    logState->setObjectName(QStringLiteral("logState"));
    writeState = new FitLabel(QString(), m_box);
    writeState->setObjectName(QStringLiteral("writeState"));
    writeState->setStyleSheet(QStringLiteral("color:#C00000;"));
    Label19 = new QLabel(m_box);
    Label19->setObjectName(QStringLiteral("Label19"));
    Label19->hide();
    Label20 = new QLabel(m_box);
    Label20->setObjectName(QStringLiteral("Label20"));
    Label20->hide();
    sl->addWidget(Label2_9, 0, 0);
    sl->addWidget(Label2_10, 0, 1);
    sl->addWidget(healthLine, 1, 0, 1, 2);
    sl->addWidget(logState, 2, 0, 1, 2);
    sl->addWidget(writeState, 3, 0, 1, 2);
}

void StatusPanel::showSlotTime(const Chart &c, int s)
{
    if (s < 0 || s >= kChartSlots)
        return;
    if (slotHasRecord(c, s)) {
        Label2_9->setText(dateText(c.Chart_Date[s]));
        Label2_10->setText(timeText(c.Chart_Time[s]));
    } else {
        Label2_9->setText(QCoreApplication::translate("ssqx", "无记录"));
        Label2_10->setText(QStringLiteral("--:--:--"));
    }
}

void StatusPanel::showClock(const QDateTime &now)
{
    Label2_9->setText(now.date().toString(QStringLiteral("MM-dd-yyyy")));
    Label2_10->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
}

void StatusPanel::markRuler()
{
    setBack(Label2_9, kYellow);
    setBack(Label2_10, kYellow);
}

void StatusPanel::restoreColours()
{
    setBack(Label2_9, kGreen);
    setBack(Label2_10, kGreen);
}

void StatusPanel::showLogState(const QString &problem, const QString &notice)
{
    if (!problem.isEmpty()) {
        logState->setText(problem);
        logState->setStyleSheet(QStringLiteral("color:#C00000;"));
        return;
    }
    logState->setText(notice.isEmpty() ? QCoreApplication::translate("ssqx", "记录正常")
                                       : QCoreApplication::translate("ssqx", "记录正常（%1）").arg(notice));
    logState->setStyleSheet(notice.isEmpty() ? QString() : QStringLiteral("color:#0000C0;"));
}

void StatusPanel::showWriteProblem(const QDateTime &when, const QString &text)
{
    writeState->setText(when.toString(QStringLiteral("HH:mm:ss ")) + text);
}

void StatusPanel::clearWriteProblem()
{
    writeState->clear();
}

void StatusPanel::showStep(float step)
{
    Label19->setText(QString::number(double(step)));
}

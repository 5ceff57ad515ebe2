// The main window's status lines: the date and time Label2(9) and Label2(10)
// (of now, or of the chart slot the window points at), the link-health line
// of the link panel, the logging's health logState and the configuration
// window's newest write problem writeState; and the hidden Label19 and
// Label20.
#pragma once

#include "core/chart_model.h"

#include <QObject>

class FitLabel;
class QDateTime;
class QLabel;
class QString;
class QWidget;

class StatusPanel : public QObject {
    Q_OBJECT
public:
    // The lines are made in a box of window's; healthLine joins them.
    StatusPanel(QWidget *window, QWidget *healthLine);

    // The box, for the window's grid.
    QWidget *box() const { return m_box; }

    // Date and time of slot s of c; a slot without a record says so instead
    // of showing the date serial 0.
    void showSlotTime(const Chart &c, int s);
    // The clock's date and time.
    void showClock(const QDateTime &now);
    // The ruler's yellow behind the date and time, or their own green.
    void markRuler();
    void restoreColours();
    // The logging's problems in red; without one "记录正常", and a notice
    // after it in blue.
    void showLogState(const QString &problem, const QString &notice);
    // A write problem at its time, or none.
    void showWriteProblem(const QDateTime &when, const QString &text);
    void clearWriteProblem();
    // The chart's slot width on Label19.
    void showStep(float step);

private:
    QWidget *m_box = nullptr;
    FitLabel *Label2_9 = nullptr, *Label2_10 = nullptr;
    QLabel *Label19 = nullptr, *Label20 = nullptr;
    FitLabel *logState = nullptr;   // logging health
    FitLabel *writeState = nullptr; // a parameter write that failed or was refused
};

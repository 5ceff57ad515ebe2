// The trend chart's controls: the frame pt0 and drawing area pt, the axis
// labels Label5 (Y range) and Label6 (CH2), the time and date rows Label4
// and Label7, the legend Label8, the ruler slider hc with its cursor, and the
// Y-range editor (Label9, YKD, Label10, YKD1, Command26 and its message
// yMsg), which sits in the window's bottom row.
#pragma once

#include "chart/chart_draw.h"

#include <QList>
#include <QObject>

class ChartController;
class FitLabel;
class Pt0Box;
class PtBox;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QSlider;
class QWidget;

class ChartPanel : public QObject {
    Q_OBJECT
public:
    // The controls are made children of window; chart and range outlive
    // the panel.
    ChartPanel(QWidget *window, ChartController &chart, YRange &range);

    // The chart area, for the window's grid; the editor goes into row.
    QWidget *area() const { return chartArea; }
    void addYEditor(QBoxLayout *row);
    // The editor's controls in tab order.
    QList<QWidget *> focusChain() const;

    // Erase, Draw_Grid, Apply_Zoom, Draw_Curves, and the time labels.
    void redraw();
    // The chart as shown, with its Y labels on the left and its time labels
    // under it, into rect of a printer or PDF page (px: device pixels per
    // screen pixel, for lines and text).
    void paintChart(QPainter &p, const QRectF &rect, double px) const;
    // Label5(0..6) from the Y range's span and minimum.
    void setYLabels();
    void showYEditor();
    // Takes the editor's range when it is valid, else says why.
    void applyYRange();

    // Ruler slider and cursor: off at value 0 (disabled), on as a stub at
    // the left edge, or moved to the slider's value.
    void resetRuler();
    void rulerOn();
    void rulerOff();
    void moveRuler(int v);
    int rulerValue() const;
    void setSliderStep(int step);

signals:
    void sliderMoved(int v);
    void yLabelDoubleClicked(int index);
    void applyYClicked();

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    void buildAxes();
    void buildYEditor(QWidget *window);
    void placeChart(bool redraw = true);

    ChartController &m_chart;
    YRange &m_range;
    ChartLabels m_labels;

    QWidget *chartArea = nullptr;
    Pt0Box *pt0 = nullptr;
    PtBox *pt = nullptr;
    QSlider *hc = nullptr;
    FitLabel *Label5[7] = {}; // Y-range axis, 0 at the bottom
    QLabel *Label6[7] = {};    // fixed axis of CH2, "-10" .. "110"
    FitLabel *Label4[9] = {}; // time of day under x = 1500 i
    FitLabel *Label7[9] = {}; // date under x = 1500 i
    QLabel *Label8[3] = {};    // legend
    QLabel *Label9 = nullptr, *Label10 = nullptr;
    FitLabel *yMsg = nullptr;
    QLineEdit *YKD = nullptr, *YKD1 = nullptr;
    QPushButton *Command26 = nullptr;
};

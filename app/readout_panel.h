// The value read-outs D_3W(0..4) of channels 1..4 and the retransmission
// output, in the group whose caption says whose values they show (live ones
// or the record under the ruler), and the status cells D_2R(0..11) of the
// "ALM" group.
#pragma once

#include "core/chart_model.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <cstdint>

class FitLabel;
class QGroupBox;
class QLabel;
class QWidget;

class ReadoutPanel : public QObject {
    Q_OBJECT
public:
    // The controls are made children of window.
    explicit ReadoutPanel(QWidget *window);

    // The two groups, for the window's grid.
    QGroupBox *readoutBox() const { return Frame4; }
    QGroupBox *alarmBox() const { return Frame9; }

    // Values 0..4 on the read-outs.
    void showValues(const float *Val_3X);
    // Flags 0..11 on the status cells: the fault's name on red, or blank.
    void showStatus(const int32_t *Sta_1X);
    // The name of status flag k (0..11) as its cell shows it lit, and the
    // light red of a lit cell.
    static QString flagText(int k);
    static QColor litColour();
    // The record in slot s on the read-outs, on the ruler's yellow, and the
    // caption names it and its time ("—" and "无记录" for an empty slot).
    void showRecord(const Chart &c, int s);
    // Live values again: the caption and the read-outs' own pink.
    void showLiveCaption();
    void restoreColours();

private:
    void buildReadouts(QWidget *window);
    void buildAlarms(QWidget *window);

    QGroupBox *Frame4 = nullptr, *Frame9 = nullptr;
    FitLabel *D_3W[5] = {};
    QLabel *d3wCaption[5] = {};
    QLabel *D_2R[12] = {};
};

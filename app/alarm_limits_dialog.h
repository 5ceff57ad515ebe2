// The limits of our own of one station: per channel high-high, high, low
// and low-low (an empty field is no limit), the dead band and the on-delay
// in seconds.
#pragma once

#include "config/alarm_watch.h"

#include <QDialog>

class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

class AlarmLimitsDialog : public QDialog {
    Q_OBJECT
public:
    AlarmLimitsDialog(int station, const StationLimits &limits, QWidget *parent = nullptr);
    // As entered; a field that is no number counts as empty.
    StationLimits limits() const;

private:
    QLineEdit *m_levels[4][4] = {}; // [channel][HH, H, L, LL]
    QDoubleSpinBox *m_deadBand[4] = {};
    QSpinBox *m_delay[4] = {};
};

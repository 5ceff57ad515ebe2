// 报警列表: the alarms of the desk's stations active or unacknowledged, by
// priority then time raised, the unacknowledged standing out; "确认"
// acknowledges the selected rows and "全部确认" all of them, with the
// comment typed (if any) and the login name of the operator. From here the
// sound is muted for a while and each station's limits are set.
#pragma once

#include "app/alarm_desk.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class AlarmWindow : public QWidget {
    Q_OBJECT
public:
    // The desk outlives the window.
    explicit AlarmWindow(AlarmDesk &desk, QWidget *parent = nullptr);

    void acknowledgeSelected();
    void acknowledgeAll();
    // Rebuilds the table from the stations' lists now.
    void refresh();

    static constexpr int kMuteSecs = 300;

private:
    void scheduleRefresh();
    void editLimits();
    void serviceChanged(NotifyService service);

    AlarmDesk &m_desk;
    QTableWidget *m_table;
    QLineEdit *m_comment;
    QPushButton *m_ack, *m_ackAll, *m_mute, *m_limits;
    QLabel *m_notifyState;
    bool m_refreshDue = false;
    bool m_unavailableTold = false;
};

// The main window's part of the alarms: the count of unacknowledged alarms
// in the status lines, a button that opens the alarm list (also F9), and the
// bell while the window is up.
#include "app/alarm_window.h"
#include "app/ssqx.h"
#include "app/status_panel.h"

#include <QApplication>
#include <QLayout>
#include <QPushButton>
#include <QShortcut>

void ssqx::showAlarms(AlarmDesk &desk)
{
    if (m_alarmCount)
        return;
    m_alarmCount = new QPushButton(m_status->box());
    m_alarmCount->setObjectName(QStringLiteral("alarmCount"));
    m_alarmCount->setAccessibleName(tr("未确认报警"));
    m_alarmCount->setFlat(true);
    m_alarmCount->setFocusPolicy(Qt::NoFocus);
    m_alarmCount->setToolTip(tr("报警列表 (F9)"));
    if (QLayout *lines = m_status->box()->layout())
        lines->addWidget(m_alarmCount);
    const auto show = [this](int count) {
        m_alarmCount->setText(tr("未确认报警：%1").arg(count));
        m_alarmCount->setStyleSheet(count > 0 ? QStringLiteral("color: #C00000; font-weight: bold;") : QString());
    };
    show(desk.unacknowledged());
    connect(&desk, &AlarmDesk::countChanged, m_alarmCount, show);
    const auto open = [this, &desk] {
        if (!m_alarms)
            m_alarms = new AlarmWindow(desk, this);
        m_alarms->setWindowFlag(Qt::Window);
        m_alarms->show();
        m_alarms->raise();
        m_alarms->activateWindow();
    };
    connect(m_alarmCount, &QPushButton::clicked, this, open);
    auto *key = new QShortcut(QKeySequence(Qt::Key_F9), this);
    key->setObjectName(QStringLiteral("alarmListKey"));
    connect(key, &QShortcut::activated, this, open);
    connect(&desk.notifier, &AlarmNotifier::beep, this, [this] {
        if (isVisible())
            QApplication::beep();
    });
}

#include "app/alarm_window.h"

#include "app/alarm_limits_dialog.h"
#include "app/alarm_text.h"

#include <QDBusError>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Column { Raised, Station, Channel, What, Priority, State, Value, Columns };
constexpr int kWatchRole = Qt::UserRole, kChannelRole = Qt::UserRole + 1, kKindRole = Qt::UserRole + 2;

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(text);
    return b;
}

} // namespace

AlarmWindow::AlarmWindow(AlarmDesk &desk, QWidget *parent)
    : QWidget(parent), m_desk(desk), m_table(new QTableWidget(0, Columns, this)), m_comment(new QLineEdit(this)),
      m_ack(button(QStringLiteral("ackButton"), tr("确认"), this)),
      m_ackAll(button(QStringLiteral("ackAllButton"), tr("全部确认"), this)),
      m_mute(button(QStringLiteral("muteButton"), tr("静音 5 分钟"), this)),
      m_limits(button(QStringLiteral("limitsButton"), tr("报警限值…"), this)), m_notifyState(new QLabel(this))
{
    setObjectName(QStringLiteral("AlarmWindow"));
    setWindowTitle(tr("报警列表"));
    setAccessibleName(tr("报警列表"));
    m_table->setObjectName(QStringLiteral("alarmTable"));
    m_table->setAccessibleName(tr("报警"));
    m_table->setHorizontalHeaderLabels(
        {tr("报警时间"), tr("站号"), tr("通道"), tr("内容"), tr("优先级"), tr("状态"), tr("值")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_comment->setObjectName(QStringLiteral("ackComment"));
    m_comment->setAccessibleName(tr("确认备注"));
    m_comment->setPlaceholderText(tr("备注（可选）"));
    m_notifyState->setObjectName(QStringLiteral("notifyState"));
    m_notifyState->setAccessibleName(tr("通知状态"));
    m_notifyState->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_comment, 1);
    for (QPushButton *b : {m_ack, m_ackAll, m_mute, m_limits})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_notifyState);
    resize(760, 360);

    connect(m_ack, &QPushButton::clicked, this, &AlarmWindow::acknowledgeSelected);
    connect(m_ackAll, &QPushButton::clicked, this, &AlarmWindow::acknowledgeAll);
    connect(m_mute, &QPushButton::clicked, this, [this] { m_desk.notifier.mute(kMuteSecs); });
    connect(m_limits, &QPushButton::clicked, this, &AlarmWindow::editLimits);
    connect(&m_desk.notifier, &AlarmNotifier::serviceChanged, this, &AlarmWindow::serviceChanged);
    // Instruments come and go: every watch's changes are followed, and the
    // rows of one that went are gone at once.
    const auto follow = [this] {
        for (AlarmWatch *w : m_desk.watches())
            connect(w, &AlarmWatch::listChanged, this, &AlarmWindow::scheduleRefresh, Qt::UniqueConnection);
        refresh();
    };
    connect(&m_desk, &AlarmDesk::watchesChanged, this, follow);
    follow();
    serviceChanged(m_desk.notifier.service());
}

void AlarmWindow::scheduleRefresh()
{
    // Many stations changing in one poll round make one rebuild.
    if (m_refreshDue)
        return;
    m_refreshDue = true;
    QTimer::singleShot(0, this, &AlarmWindow::refresh);
}

void AlarmWindow::refresh()
{
    m_refreshDue = false;
    const QColor standOut(0xFF, 0xC0, 0xC0);
    m_table->setRowCount(0);
    const std::vector<AlarmWatch *> &watches = m_desk.watches();
    for (int w = 0; w < int(watches.size()); ++w) {
        for (const Alarm &a : watches[size_t(w)]->listed()) {
            const int row = m_table->rowCount();
            m_table->insertRow(row);
            const QString texts[Columns] = {
                a.raisedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::number(watches[size_t(w)]->station()),
                a.key.channel ? QString::number(a.key.channel) : QString(), alarmWhatText(a.key),
                alarmPriorityText(a.priority), alarmStateText(a.active, a.acknowledged, a.chattering),
                QString::number(a.value, 'g', 7)};
            for (int c = 0; c < Columns; ++c) {
                auto *item = new QTableWidgetItem(texts[c]);
                if (!a.acknowledged) {
                    item->setBackground(standOut);
                    QFont f = item->font();
                    f.setBold(true);
                    item->setFont(f);
                }
                m_table->setItem(row, c, item);
            }
            QTableWidgetItem *first = m_table->item(row, 0);
            first->setData(kWatchRole, w);
            first->setData(kChannelRole, a.key.channel);
            first->setData(kKindRole, int(a.key.kind));
        }
    }
}

void AlarmWindow::acknowledgeSelected()
{
    const std::vector<AlarmWatch *> &watches = m_desk.watches();
    std::vector<std::vector<AlarmKey>> keys(watches.size());
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows()) {
        const QTableWidgetItem *first = m_table->item(index.row(), 0);
        const int w = first->data(kWatchRole).toInt();
        if (w >= 0 && w < int(keys.size()))
            keys[size_t(w)].push_back({first->data(kChannelRole).toInt(), AlarmKind(first->data(kKindRole).toInt())});
    }
    for (size_t w = 0; w < watches.size(); ++w)
        if (!keys[w].empty())
            watches[w]->acknowledge(keys[w], loginName(), m_comment->text());
    m_comment->clear();
}

void AlarmWindow::acknowledgeAll()
{
    for (AlarmWatch *w : m_desk.watches())
        w->acknowledge(std::nullopt, loginName(), m_comment->text());
    m_comment->clear();
}

void AlarmWindow::editLimits()
{
    const std::vector<AlarmWatch *> &watches = m_desk.watches();
    if (watches.empty())
        return;
    const QList<QModelIndex> rows = m_table->selectionModel()->selectedRows();
    const int w = rows.isEmpty() ? 0 : m_table->item(rows.first().row(), 0)->data(kWatchRole).toInt();
    AlarmWatch &watch = *watches[size_t(qBound(0, w, int(watches.size()) - 1))];
    // Window-modal, without a nested event loop: the polls go on meanwhile,
    // and the instrument may even be removed before the dialog is closed.
    auto *dialog = new AlarmLimitsDialog(watch.station(), watch.limits(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, watched = QPointer<AlarmWatch>(&watch), dialog] {
        if (!watched || m_desk.setLimits(*watched, dialog->limits()))
            return;
        m_notifyState->setText(tr("报警限值未能保存到设置文件"));
        m_notifyState->show();
    });
    dialog->open();
}

void AlarmWindow::serviceChanged(NotifyService service)
{
    if (service != NotifyService::Unavailable || m_unavailableTold)
        return;
    m_unavailableTold = true;
    m_notifyState->setText(tr("桌面通知服务不可用（%1）：报警只在本窗口显示")
                               .arg(QDBusError::errorString(m_desk.notifier.error())));
    m_notifyState->show();
}

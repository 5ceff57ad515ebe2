#include "app/instrument_list.h"

#include "app/readout_panel.h"
#include "config/link_text.h"
#include "core/history_data.h"
#include "core/line_settings.h"
#include "core/numbers.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>

namespace {

constexpr int kRefreshMs = 500; // as often as the stations are polled
constexpr int kFlags = 4 * kChannelFlags;
constexpr int kMaxStation = 247;

// What the operator asks for with 添加线路.
struct LineAsked {
    QString address;
    int baudIndex = 1;
    int parityIndex = 0;
    int station = 1;
};

QWidget *named(QWidget *w, const char *name, const QString &accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

std::optional<LineAsked> askLine(QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("lineDialog"));
    dialog.setWindowTitle(QCoreApplication::translate("InstrumentListWindow", "添加线路"));
    auto *form = new QFormLayout(&dialog);
    auto *address = new QLineEdit(&dialog);
    named(address, "lineAddress", QCoreApplication::translate("InstrumentListWindow", "线路地址"));
    address->setPlaceholderText(
        QCoreApplication::translate("InstrumentListWindow", "端口号、设备路径、tcp://主机[:端口] 或 rtu+tcp://主机:端口"));
    auto *baud = new QComboBox(&dialog);
    named(baud, "lineBaud", QCoreApplication::translate("InstrumentListWindow", "波特率"));
    for (const int rate : kBaudRates)
        baud->addItem(QString::number(rate));
    baud->setCurrentIndex(1);
    auto *parity = new QComboBox(&dialog);
    named(parity, "lineParity", QCoreApplication::translate("InstrumentListWindow", "校验"));
    parity->addItems({QCoreApplication::translate("InstrumentListWindow", "无校验"),
                      QCoreApplication::translate("InstrumentListWindow", "奇校验"),
                      QCoreApplication::translate("InstrumentListWindow", "偶校验")});
    auto *station = new QSpinBox(&dialog);
    named(station, "lineStation", QCoreApplication::translate("InstrumentListWindow", "站号"));
    station->setRange(1, kMaxStation);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    named(buttons, "lineButtons", QCoreApplication::translate("InstrumentListWindow", "确定或取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(QCoreApplication::translate("InstrumentListWindow", "地址"), address);
    form->addRow(QCoreApplication::translate("InstrumentListWindow", "波特率"), baud);
    form->addRow(QCoreApplication::translate("InstrumentListWindow", "校验"), parity);
    form->addRow(QCoreApplication::translate("InstrumentListWindow", "站号"), station);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return LineAsked{address->text(), baud->currentIndex(), parity->currentIndex(), station->value()};
}

QString faultText(PlantFault fault)
{
    switch (fault) {
    case PlantFault::None:
        break;
    case PlantFault::BadStation:
        return QCoreApplication::translate("InstrumentListWindow", "站号应为 1..247");
    case PlantFault::DuplicateStation:
        return QCoreApplication::translate("InstrumentListWindow", "该线路上已有此站号的仪表");
    case PlantFault::BadAddress:
        return QCoreApplication::translate("InstrumentListWindow",
                                           "线路地址无效（端口号 1..255、设备路径、tcp://主机[:端口] 或 rtu+tcp://主机:端口）");
    case PlantFault::BadLineSettings:
        return QCoreApplication::translate("InstrumentListWindow", "波特率或校验无效");
    case PlantFault::DuplicateLine:
        return QCoreApplication::translate("InstrumentListWindow", "该线路已在列表中");
    case PlantFault::NoSuchLine:
    case PlantFault::NoSuchInstrument:
        return QCoreApplication::translate("InstrumentListWindow", "请先选择一台仪表");
    case PlantFault::FirstStays:
        return QCoreApplication::translate("InstrumentListWindow", "第一台仪表不能删除");
    }
    return QString();
}

// The flags lit, by name, as their ALM cells show them.
QString alarmsOf(const int32_t *Sta_1X)
{
    QStringList lit;
    for (int k = 0; k < kFlags; ++k)
        if (Sta_1X[k] != 0)
            lit << ReadoutPanel::flagText(k);
    return lit.join(u' ');
}

// The health of instrument i, and its line's cycle while saturated.
QString healthOf(const Plant &plant, int i)
{
    const LinkState state = plant.instrument(i).met1.linkState();
    QString text = linkHealthText(state.health, state.lastGood, state.error);
    if (const LineCycle cycle = plant.line(plant.lineOf(i)).control.cycle(); cycle.saturated)
        text += QCoreApplication::translate("InstrumentListWindow", "；") + lineCycleText(cycle);
    return text;
}

} // namespace

InstrumentListWindow::InstrumentListWindow(Plant &plant, QWidget *parent) : QWidget(parent, Qt::Window), m_plant(plant)
{
    setObjectName(QStringLiteral("frmInstruments"));
    setWindowTitle(tr("仪表列表"));
    setAccessibleName(tr("仪表列表"));
    buildUi();
    connect(&m_plant, &Plant::listChanged, this, &InstrumentListWindow::rebuild);
    connect(&m_plant, &Plant::currentChanged, this, &InstrumentListWindow::selectCurrent);
    connect(&m_plant, &Plant::rememberFailed, this,
            [this] { m_state->setText(tr("仪表列表无法保存到配置文件")); });
    m_refresh.setObjectName(QStringLiteral("refreshTimer"));
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &InstrumentListWindow::refresh);
    m_refresh.start();
    rebuild();
}

void InstrumentListWindow::buildUi()
{
    auto *lay = new QVBoxLayout(this);
    m_table = new QTableWidget(0, ColumnCount, this);
    named(m_table, "instrumentTable", tr("仪表"));
    m_table->setHorizontalHeaderLabels({tr("线路"), tr("站号"), tr("名称"), QStringLiteral("CH1"),
                                        QStringLiteral("CH2"), QStringLiteral("CH3"), QStringLiteral("CH4"),
                                        QStringLiteral("DA"), tr("报警"), tr("状态")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    lay->addWidget(m_table);
    auto *row = new QHBoxLayout;
    m_addStation = new QPushButton(tr("添加仪表"), this);
    named(m_addStation, "addStation", tr("在所选线路上添加仪表"));
    m_addLine = new QPushButton(tr("添加线路"), this);
    named(m_addLine, "addLine", tr("添加线路"));
    m_remove = new QPushButton(tr("删除"), this);
    named(m_remove, "removeInstrument", tr("删除所选仪表"));
    m_state = new QLabel(this);
    named(m_state, "listState", tr("仪表列表状态"));
    row->addWidget(m_addStation);
    row->addWidget(m_addLine);
    row->addWidget(m_remove);
    row->addWidget(m_state, 1);
    lay->addLayout(row);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int r) { rowChosen(r); });
    connect(m_table, &QTableWidget::cellChanged, this, &InstrumentListWindow::nameEdited);
    connect(m_addStation, &QPushButton::clicked, this, &InstrumentListWindow::addStationAsked);
    connect(m_addLine, &QPushButton::clicked, this, &InstrumentListWindow::addLineAsked);
    connect(m_remove, &QPushButton::clicked, this, &InstrumentListWindow::removeAsked);
    resize(760, 240);
}

// The rows as the plant lists its instruments; only the name may be edited.
void InstrumentListWindow::rebuild()
{
    m_filling = true;
    m_table->setRowCount(m_plant.count());
    for (int i = 0; i < m_plant.count(); ++i) {
        for (int c = 0; c < ColumnCount; ++c) {
            if (!m_table->item(i, c))
                m_table->setItem(i, c, new QTableWidgetItem);
            Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (c == NameColumn)
                flags |= Qt::ItemIsEditable;
            m_table->item(i, c)->setFlags(flags);
        }
        m_table->item(i, LineColumn)->setText(m_plant.lineAddress(m_plant.lineOf(i)));
        m_table->item(i, StationColumn)->setText(QString::number(m_plant.station(i)));
        m_table->item(i, NameColumn)->setText(m_plant.name(i));
    }
    m_filling = false;
    refresh();
    selectCurrent();
}

void InstrumentListWindow::refresh()
{
    m_filling = true;
    for (int i = 0; i < m_plant.count() && i < m_table->rowCount(); ++i) {
        const LiveTables &live = m_plant.instrument(i).live;
        for (int q = 0; q < 5; ++q)
            m_table->item(i, FirstValueColumn + q)->setText(numText(live.Val_3X[q]));
        const QString alarms = alarmsOf(live.Sta_1X);
        // The station's alarms nobody has acknowledged yet, lit or gone.
        const int waiting = m_plant.instrument(i).alarms.unacknowledged();
        m_table->item(i, AlarmColumn)->setText(waiting == 0 ? alarms : tr("%1（未确认 %2）").arg(alarms).arg(waiting));
        m_table->item(i, HealthColumn)->setText(healthOf(m_plant, i));
        // The first line's port follows the link panel's opens.
        m_table->item(i, LineColumn)->setText(m_plant.lineAddress(m_plant.lineOf(i)));
        m_table->item(i, StationColumn)->setText(QString::number(m_plant.station(i)));
        const QBrush back = alarms.isEmpty() ? QBrush() : QBrush(ReadoutPanel::litColour());
        for (int c = 0; c < ColumnCount; ++c)
            m_table->item(i, c)->setBackground(back);
    }
    m_filling = false;
}

void InstrumentListWindow::selectCurrent()
{
    if (m_table->currentRow() == m_plant.current())
        return;
    m_filling = true;
    m_table->setCurrentCell(m_plant.current(), m_table->currentColumn() < 0 ? 0 : m_table->currentColumn());
    m_filling = false;
}

void InstrumentListWindow::rowChosen(int row)
{
    if (!m_filling && row >= 0)
        m_plant.setCurrent(row);
}

void InstrumentListWindow::nameEdited(int row, int column)
{
    if (!m_filling && column == NameColumn)
        m_plant.rename(row, m_table->item(row, column)->text());
}

int InstrumentListWindow::chosenRow() const
{
    return m_table->currentRow() >= 0 ? m_table->currentRow() : m_plant.current();
}

void InstrumentListWindow::addStationAsked()
{
    const int k = m_plant.lineOf(chosenRow());
    bool ok = false;
    const QString label = tr("线路 %1 上的站号：").arg(m_plant.lineAddress(k));
    const int station = QInputDialog::getInt(this, tr("添加仪表"), label, 1, 1, kMaxStation, 1, &ok);
    if (ok)
        showFault(m_plant.addStation(k, station));
}

void InstrumentListWindow::addLineAsked()
{
    if (const auto asked = askLine(this))
        showFault(m_plant.addLine(asked->address, asked->baudIndex, asked->parityIndex, asked->station));
}

void InstrumentListWindow::removeAsked()
{
    showFault(m_plant.remove(chosenRow()));
}

void InstrumentListWindow::showFault(PlantFault fault)
{
    m_state->setText(faultText(fault));
}

#include "app/alarm_limits_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr const char *kLevelNames[4] = {"hh", "h", "l", "ll"};

std::optional<double> *levelOf(ChannelLimits &l, int i)
{
    std::optional<double> *levels[4] = {&l.highHigh, &l.high, &l.low, &l.lowLow};
    return levels[i];
}

} // namespace

AlarmLimitsDialog::AlarmLimitsDialog(int station, const StationLimits &limits, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AlarmLimitsDialog"));
    setWindowTitle(tr("报警限值 站 %1").arg(station));
    setAccessibleName(windowTitle());
    auto *grid = new QGridLayout;
    const QString heads[] = {tr("高高限"), tr("高限"), tr("低限"), tr("低低限"), tr("回差"), tr("延时（秒）")};
    for (int i = 0; i < 6; ++i)
        grid->addWidget(new QLabel(heads[i], this), 0, i + 1);
    for (int c = 0; c < 4; ++c) {
        grid->addWidget(new QLabel(tr("通道%1").arg(c + 1), this), c + 1, 0);
        ChannelLimits l = limits[size_t(c)];
        for (int i = 0; i < 4; ++i) {
            auto *e = new QLineEdit(this);
            e->setObjectName(QStringLiteral("limit_ch%1_%2").arg(c + 1).arg(QLatin1String(kLevelNames[i])));
            e->setAccessibleName(tr("通道%1 %2").arg(c + 1).arg(heads[i]));
            if (const auto *v = levelOf(l, i); *v)
                e->setText(QString::number(**v, 'g', 7));
            grid->addWidget(e, c + 1, i + 1);
            m_levels[c][i] = e;
        }
        m_deadBand[c] = new QDoubleSpinBox(this);
        m_deadBand[c]->setObjectName(QStringLiteral("deadBand_ch%1").arg(c + 1));
        m_deadBand[c]->setAccessibleName(tr("通道%1 回差").arg(c + 1));
        m_deadBand[c]->setRange(0, 1e6);
        m_deadBand[c]->setValue(l.deadBand);
        m_delay[c] = new QSpinBox(this);
        m_delay[c]->setObjectName(QStringLiteral("onDelay_ch%1").arg(c + 1));
        m_delay[c]->setAccessibleName(tr("通道%1 延时").arg(c + 1));
        m_delay[c]->setRange(0, 86400);
        m_delay[c]->setValue(l.onDelaySecs);
        grid->addWidget(m_deadBand[c], c + 1, 5);
        grid->addWidget(m_delay[c], c + 1, 6);
    }
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName(QStringLiteral("limitsButtons"));
    box->setAccessibleName(tr("确定或取消"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(box);
}

StationLimits AlarmLimitsDialog::limits() const
{
    StationLimits out{};
    for (int c = 0; c < 4; ++c) {
        ChannelLimits &l = out[size_t(c)];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            const double v = QLocale().toDouble(m_levels[c][i]->text().trimmed(), &ok);
            const double w = ok ? v : m_levels[c][i]->text().trimmed().toDouble(&ok);
            if (ok)
                *levelOf(l, i) = w;
        }
        l.deadBand = m_deadBand[c]->value();
        l.onDelaySecs = m_delay[c]->value();
    }
    return out;
}

#include "app/linkdiagnosticswindow.h"

#include "config/link_text.h"
#include "link/link.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kRefreshMs = 250;

QString ms(double v)
{
    return QString::number(v, 'f', 1);
}

} // namespace

QString linkFrameLine(const LinkFrame &f)
{
    const QString time = QDateTime::fromMSecsSinceEpoch(f.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString dir = f.direction == FrameDirection::Sent ? LinkDiagnosticsWindow::tr("发") : LinkDiagnosticsWindow::tr("收");
    const QString number = f.station < 0 ? QStringLiteral("?") : QString::number(f.station);
    const QString station = LinkDiagnosticsWindow::tr("站%1").arg(number, 3);
    return time + QLatin1Char(' ') + station + QLatin1Char(' ') + dir + QLatin1Char(' ')
           + QString::fromLatin1(f.bytes.toHex(' ').toUpper());
}

LinkDiagnosticsWindow::LinkDiagnosticsWindow(Link &link, QWidget *parent) : QDialog(parent), m_link(link)
{
    setObjectName(QStringLiteral("LinkDiagnosticsWindow"));
    setWindowTitle(tr("通讯诊断"));
    setAccessibleName(windowTitle());

    m_counters = new QLabel(this);
    m_counters->setObjectName(QStringLiteral("diagCounters"));
    m_counters->setAccessibleName(tr("通讯统计"));
    m_counters->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *monitorCaption = new QLabel(tr("报文监视（最近 500 帧）"), this);
    m_monitor = new QPlainTextEdit(this);
    m_monitor->setObjectName(QStringLiteral("diagMonitor"));
    m_monitor->setAccessibleName(monitorCaption->text());
    m_monitor->setReadOnly(true);
    m_monitor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_monitor->setMaximumBlockCount(m_link.diagnostics().frames().capacity());
    m_monitor->setFont(QFont(QStringLiteral("monospace")));
    monitorCaption->setBuddy(m_monitor);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(makeStationRow());
    layout->addWidget(m_counters);
    layout->addWidget(monitorCaption);
    layout->addWidget(m_monitor, 1);
    layout->addLayout(makeButtonRow());
    resize(640, 480);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LinkDiagnosticsWindow::refresh);
    connect(&m_link, &Link::exchanged, this, [this] {
        if (!m_refreshTimer.isActive())
            m_refreshTimer.start();
    });
    refresh();
}

// The choice of whose counters are shown: the whole line or one station.
QHBoxLayout *LinkDiagnosticsWindow::makeStationRow()
{
    auto *stationCaption = new QLabel(tr("统计范围"), this);
    stationCaption->setObjectName(QStringLiteral("diagStationCaption"));
    m_station = new QComboBox(this);
    m_station->setObjectName(QStringLiteral("diagStation"));
    m_station->setAccessibleName(stationCaption->text());
    m_station->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_station->addItem(tr("全部"), -1);
    stationCaption->setBuddy(m_station);
    auto *row = new QHBoxLayout;
    row->addWidget(stationCaption);
    row->addWidget(m_station);
    row->addStretch(1);

    connect(m_station, &QComboBox::currentIndexChanged, this, [this] { m_counters->setText(countersText()); });
    return row;
}

QHBoxLayout *LinkDiagnosticsWindow::makeButtonRow()
{
    m_pause = new QPushButton(tr("暂停"), this);
    m_pause->setObjectName(QStringLiteral("diagPause"));
    m_pause->setCheckable(true);
    auto *clearButton = new QPushButton(tr("清零"), this);
    clearButton->setObjectName(QStringLiteral("diagClear"));
    auto *saveButton = new QPushButton(tr("保存"), this);
    saveButton->setObjectName(QStringLiteral("diagSave"));
    auto *closeButton = new QPushButton(tr("关闭"), this);
    closeButton->setObjectName(QStringLiteral("diagClose"));
    for (QPushButton *b : {m_pause, clearButton, saveButton, closeButton})
        b->setAccessibleName(b->text());
    m_saveState = new QLabel(this);
    m_saveState->setObjectName(QStringLiteral("diagSaveState"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(m_saveState, 1);
    buttons->addWidget(closeButton);
    connect(m_pause, &QPushButton::toggled, this, [this](bool on) {
        m_pause->setText(on ? tr("继续") : tr("暂停"));
        m_pause->setAccessibleName(m_pause->text());
        if (!on)
            refresh();
    });
    connect(clearButton, &QPushButton::clicked, this, &LinkDiagnosticsWindow::clear);
    connect(saveButton, &QPushButton::clicked, this, &LinkDiagnosticsWindow::save);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    return buttons;
}

bool LinkDiagnosticsWindow::paused() const
{
    return m_pause->isChecked();
}

int LinkDiagnosticsWindow::shownStation() const
{
    return m_station->currentData().toInt();
}

QString LinkDiagnosticsWindow::countersText() const
{
    return countersText(shownStation());
}

QString LinkDiagnosticsWindow::countersText(int station) const
{
    const LinkDiagnostics &d = m_link.diagnostics();
    const LinkCounters c = station < 0 ? d.counters() : d.counters(station);
    QStringList lines;
    const auto line = [&](const QString &caption, qint64 n) {
        lines << caption + tr("：") + QString::number(n);
    };
    line(tr("请求"), c.requests);
    line(tr("应答"), c.answers);
    line(tr("超时"), c.timeouts);
    line(tr("校验错误"), c.crcErrors);
    line(tr("应答不符"), c.badReplies);
    line(tr("串口断开"), c.deviceLost);
    for (auto it = c.exceptions.cbegin(); it != c.exceptions.cend(); ++it)
        line(exceptionReplyText(it.key()), it.value());
    lines << tr("往返时间 最近/平均/最大：%1 / %2 / %3 ms")
                 .arg(ms(c.lastRoundTripMs), ms(c.meanRoundTripMs), ms(c.maxRoundTripMs));
    return lines.join(QLatin1Char('\n'));
}

QString LinkDiagnosticsWindow::monitorText() const
{
    return m_monitor->toPlainText();
}

// The station choice offers every station seen; the one chosen stays chosen
// until the counters are cleared.
void LinkDiagnosticsWindow::updateStations()
{
    const QList<int> stations = m_link.diagnostics().stations();
    QList<int> offered;
    for (int i = 1; i < m_station->count(); ++i)
        offered << m_station->itemData(i).toInt();
    if (offered == stations)
        return;
    const int chosen = shownStation();
    const QSignalBlocker quiet(m_station);
    while (m_station->count() > 1)
        m_station->removeItem(1);
    for (int s : stations)
        m_station->addItem(tr("站 %1").arg(s), s);
    m_station->setCurrentIndex(std::max(0, m_station->findData(chosen)));
}

void LinkDiagnosticsWindow::refresh()
{
    updateStations();
    m_counters->setText(countersText());
    if (paused())
        return;
    const FrameRing &ring = m_link.diagnostics().frames();
    const qint64 fresh = ring.appended() - m_framesShown;
    if (fresh <= 0)
        return;
    const QList<LinkFrame> frames = ring.frames();
    const qsizetype from = fresh >= frames.size() ? 0 : frames.size() - fresh;
    if (from == 0)
        m_monitor->clear();
    QStringList lines;
    for (qsizetype i = from; i < frames.size(); ++i)
        lines << linkFrameLine(frames[i]);
    // The text cursor would follow the appended text to the end of the
    // newest line and pull the view sideways to it (at once, or when the
    // window opens): it rests at the start of that line instead, so that
    // time, direction and the first bytes stay in view. A sideways scroll
    // of the user's own is kept, and so is a view scrolled up to older lines.
    QScrollBar *sideways = m_monitor->horizontalScrollBar();
    const QScrollBar *down = m_monitor->verticalScrollBar();
    const int x = sideways->value();
    const bool follow = !m_monitor->isVisible() || down->value() == down->maximum();
    m_monitor->appendPlainText(lines.join(QLatin1Char('\n')));
    if (follow)
        m_monitor->setTextCursor(QTextCursor(m_monitor->document()->lastBlock()));
    sideways->setValue(x);
    m_framesShown = ring.appended();
}

void LinkDiagnosticsWindow::clear()
{
    m_link.diagnostics().reset();
    m_monitor->clear();
    m_framesShown = 0;
    m_saveState->clear();
    refresh();
}

bool LinkDiagnosticsWindow::saveTo(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString text = countersText(-1) + QStringLiteral("\n\n");
    const QList<int> stations = m_link.diagnostics().stations();
    if (stations.size() > 1) {
        for (int s : stations)
            text += tr("站 %1").arg(s) + QLatin1Char('\n') + countersText(s) + QStringLiteral("\n\n");
    }
    text += monitorText() + QLatin1Char('\n');
    file.write(text.toUtf8());
    return file.commit();
}

void LinkDiagnosticsWindow::save()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString path = QFileDialog::getSaveFileName(this, tr("保存通讯诊断"),
                                                      tr("通讯诊断-%1.txt").arg(stamp),
                                                      tr("文本文件 (*.txt)"));
    if (path.isEmpty())
        return;
    if (saveTo(path))
        m_saveState->setText(tr("已保存：%1").arg(path));
    else
        m_saveState->setText(tr("保存失败：无法写入 %1").arg(path));
}

#include "app/link_panel.h"

#include "core/line_address.h"

#include "app/fit_label.h"
#include "core/line_settings.h"
#include "core/numbers.h"
#include "link/modbusrtu.h"
#include "link/serial_ports.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

LinkPanel::LinkPanel(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("LinkPanel"));
    m_row = new QHBoxLayout;
    buildPort(window);
    buildChoices(window);

    auto *openClose = new QVBoxLayout;
    Command9 = new QPushButton(tr("打开"), window);
    Command9->setObjectName(QStringLiteral("Command9"));
    Command10 = new QPushButton(tr("关闭"), window);
    Command10->setObjectName(QStringLiteral("Command10"));
    for (QPushButton *b : {Command9, Command10}) {
        b->setFocusPolicy(Qt::StrongFocus);
        openClose->addWidget(b);
    }
    m_row->addLayout(openClose);
    connect(Command9, &QPushButton::clicked, this, &LinkPanel::openClicked);
    connect(Command10, &QPushButton::clicked, this, &LinkPanel::closeClicked);

    // Messages take the room they have and never widen the window: a long
    // one is elided and shown whole as a tooltip.
    linkState = new FitLabel(QString(), window);
    linkState->setObjectName(QStringLiteral("linkState"));
    linkState->setAccessibleDescription(tr("单击查看通讯诊断"));
    linkState->setCursor(Qt::PointingHandCursor);
    linkState->installEventFilter(this);
}

bool LinkPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == linkState && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        emit diagnosticsRequested();
    return QObject::eventFilter(watched, event);
}

void LinkPanel::buildPort(QWidget *window)
{
    Frame6 = new QGroupBox(tr("通讯端口选择"), window);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    auto *f6 = new QGridLayout(Frame6);
    Label1 = new QLabel(tr("通讯端口"), Frame6);
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox(Frame6);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setAccessibleName(Label1->text());
    Label1->setBuddy(Combo1);
    portDev = new FitLabel(QString(), Frame6, QStringLiteral("/dev/ttyS10"));
    portDev->setObjectName(QStringLiteral("portDev"));
    f6->addWidget(Label1, 0, 0);
    f6->addWidget(Combo1, 0, 1);
    f6->addWidget(portDev, 1, 0, 1, 2);
    m_row->addWidget(Frame6);
    connect(Combo1, &QComboBox::editTextChanged, this, &LinkPanel::updatePortDevice);

    Frame5[0] = new QGroupBox(tr("模块地址"), window);
    Frame5[0]->setObjectName(QStringLiteral("Frame5(0)"));
    auto *f50 = new QVBoxLayout(Frame5[0]);
    Combo2 = new QComboBox(Frame5[0]);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setEditable(true);
    Combo2->setAccessibleName(Frame5[0]->title());
    f50->addWidget(Combo2);
    m_row->addWidget(Frame5[0]);
}

void LinkPanel::buildChoices(QWidget *window)
{
    Frame2_1 = new QGroupBox(tr("波特率"), window);
    Frame2_1->setObjectName(QStringLiteral("Frame2(1)"));
    auto *f21 = new QVBoxLayout(Frame2_1);
    for (int i = 0; i < kLineChoices; ++i) {
        Option1[i] = new QRadioButton(QString::number(kBaudRates[i]), Frame2_1);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        f21->addWidget(Option1[i]);
    }
    m_row->addWidget(Frame2_1);

    Frame5[1] = new QGroupBox(tr("校验方式"), window);
    Frame5[1]->setObjectName(QStringLiteral("Frame5(1)"));
    auto *f51 = new QVBoxLayout(Frame5[1]);
    // Captions in the order of the parity table.
    const char *parities[kLineChoices] = {QT_TR_NOOP("无校验"), QT_TR_NOOP("奇校验"), QT_TR_NOOP("偶校验")};
    for (int i = 0; i < kLineChoices; ++i) {
        Option2[i] = new QRadioButton(tr(parities[i]), Frame5[1]);
        Option2[i]->setObjectName(QStringLiteral("Option2(%1)").arg(i));
        f51->addWidget(Option2[i]);
    }
    m_row->addWidget(Frame5[1]);
}

QWidget *LinkPanel::healthLine() const
{
    return linkState;
}

QList<QWidget *> LinkPanel::focusChain() const
{
    return {Combo1,     Combo2,     Option1[0], Option1[1], Option1[2],
            Option2[0], Option2[1], Option2[2], Command9,   Command10};
}

void LinkPanel::fillChoices()
{
    Combo1->clear();
    for (int i = 1; i <= 20; ++i)
        Combo1->addItem(QString::number(i) + QLatin1Char(' '));
    for (const SerialPortChoice &c : serialPortChoices())
        Combo1->addItem(c.label, c.path);
    Combo1->setEditText(QStringLiteral("1 "));
    Option1[1]->setChecked(true);
    Option2[0]->setChecked(true);
    Combo2->clear();
    for (int i = 1; i <= 16; ++i)
        Combo2->addItem(QString::number(i) + QLatin1Char(' '));
    Combo2->setEditText(QStringLiteral("1 "));
    if (const auto remembered = loadRememberedLink())
        restore(*remembered);
    updatePortDevice();
}

void LinkPanel::restore(const RememberedLink &r)
{
    if (r.port.startsWith(QLatin1Char('/')) || isNetworkAddress(r.port)) {
        const int i = Combo1->findData(r.port);
        if (i >= 0)
            Combo1->setCurrentIndex(i);
        else
            Combo1->setEditText(r.port); // not present now: opened by its path all the same
    } else {
        Combo1->setEditText(r.port + QLatin1Char(' '));
    }
    if (r.baudIndex >= 0 && r.baudIndex < kLineChoices)
        Option1[r.baudIndex]->setChecked(true);
    if (r.parityIndex >= 0 && r.parityIndex < kLineChoices)
        Option2[r.parityIndex]->setChecked(true);
    Combo2->setEditText(QString::number(r.station) + QLatin1Char(' '));
}

// The device path of the port chosen by name or typed as a path, else empty.
QString LinkPanel::chosenPath() const
{
    const QString text = Combo1->currentText();
    if (const int i = Combo1->findText(text); i >= 0)
        return Combo1->itemData(i).toString();
    const QString typed = text.trimmed();
    return typed.startsWith(QLatin1Char('/')) || isNetworkAddress(typed) ? typed : QString();
}

LinkChoice LinkPanel::choice() const
{
    LinkChoice c;
    c.devicePath = chosenPath();
    int32_t v = 0;
    c.par[0] = roundI32(leadNum(Combo1->currentText()), &v) ? v : 0;
    for (int i = 0; i < kLineChoices; ++i)
        if (Option1[i]->isChecked())
            c.par[1] = i;
    for (int i = 0; i < kLineChoices; ++i)
        if (Option2[i]->isChecked())
            c.par[2] = i;
    v = 0;
    c.par[3] = roundI32(leadNum(Combo2->currentText()), &v) ? v : 0;
    return c;
}

void LinkPanel::setHealth(const QString &text, bool bad)
{
    linkState->setText(text);
    linkState->setStyleSheet(bad ? QStringLiteral("color:#C00000;") : QString());
}

void LinkPanel::updatePortDevice()
{
    if (const QString path = chosenPath(); !path.isEmpty()) {
        portDev->setText(path);
        return;
    }
    int32_t port = 0;
    if (!roundI32(leadNum(Combo1->currentText()), &port) || port < 1)
        portDev->setText(tr("无效端口号"));
    else
        portDev->setText(portDevice(port));
}

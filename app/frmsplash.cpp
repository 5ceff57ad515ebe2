#include "app/frmsplash.h"

#include "app/session.h"
#include "app/ssqx.h"

#include <QKeyEvent>
#include <QVBoxLayout>


frmSplash::frmSplash(InstrumentSession &session, Windows &windows, QWidget *parent)
    : QWidget(parent), m_session(session), m_windows(windows)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setStyleSheet(QStringLiteral("frmSplash { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                                 " stop:0 #1F4E8C, stop:1 #0B2545); }"));
    setAttribute(Qt::WA_StyledBackground, true);
    auto *lay = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("QR5300M OverView"), this);
    QFont tf = title->font();
    tf.setPointSize(22);
    tf.setBold(true);
    title->setFont(tf);
    title->setStyleSheet(QStringLiteral("color:white;"));
    title->setAlignment(Qt::AlignCenter);
    Label1 = new QLabel(tr("系统正在初始化数据引擎，请稍后。。。。。。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(12);
    Label1->setFont(f);
    Label1->setStyleSheet(QStringLiteral("color:white;"));
    Label1->setAlignment(Qt::AlignCenter);
    lay->addStretch(1);
    lay->addWidget(title);
    lay->addWidget(Label1);
    lay->addStretch(1);
    resize(480, 260);

    Timer2.setInterval(200);
    Timer1.setInterval(100);
    connect(&Timer2, &QTimer::timeout, this, &frmSplash::Timer2_Timer);
    connect(&Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::Form_Load()
{
    Timer2.start();
}

void frmSplash::Timer2_Timer()
{
    ++Tick;
    if (Tick > 6) {
        Timer2.stop();
        Tick = 0;
        Timer1.start();
    }
}

void frmSplash::Timer1_Timer()
{
    show();
    Timer2.stop();
    Timer1.stop();
    hide();

    deleteLater();
    if (m_windows.main)
        return;
    m_windows.showMain(m_session);
    emit handedOver();
}

void frmSplash::keyPressEvent(QKeyEvent *e)
{
    e->accept(); // the splash cannot be skipped
}

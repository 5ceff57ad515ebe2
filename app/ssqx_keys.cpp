// The main window's function keys: F1..F7 and Esc, wherever the focus is
// in the window, with their guards.
#include "app/ssqx.h"

#include "chart/chart_controller.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

namespace {

// An Esc within this time after the configuration window gave the main
// window back belongs to that window (a double press or a held key).
constexpr qint64 kEscGuardMs = 1000;

} // namespace

// F1, F2, F3, F5, F6 and F7 work wherever the focus is in this window, also
// in a combo box (which takes none of them as its own shortcut).
void ssqx::buildKeys()
{
    const int keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7};
    for (int key : keys) {
        auto *s = new QShortcut(QKeySequence(key), this);
        connect(s, &QShortcut::activated, this, [this, key] { Form_KeyDown(key); });
        if (key == Qt::Key_F2)
            m_keyZoomIn = s;
        else if (key == Qt::Key_F1)
            m_keyZoomOut = s;
        else if (key == Qt::Key_F6)
            m_keyPageForward = s;
        else if (key == Qt::Key_F7)
            m_keyPageBack = s;
    }
    // Ctrl+I: the list of the instruments served, where the one this window
    // shows is chosen.
    auto *list = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    list->setObjectName(QStringLiteral("instrumentListKey"));
    connect(list, &QShortcut::activated, this, &ssqx::instrumentListRequested);
    // Esc and F4 cannot be shortcuts: an open drop-down list of a combo box
    // closes on either key while the shortcut is looked up, and the shortcut
    // would then act as well (end the program, switch the ruler). The
    // application's filter sees the press before any control and takes it
    // only when it goes to a control of this window (the open list is a
    // window of its own), with the repeat flag of a held Esc.
    qApp->installEventFilter(this);
}

bool ssqx::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && obj->isWidgetType() && static_cast<QWidget *>(obj)->window() == this
        && isVisible()) {
        auto *ke = static_cast<QKeyEvent *>(e);
        const int key = ke->key();
        if ((key == Qt::Key_Escape || key == Qt::Key_F4) && Form_KeyDown(key, ke->isAutoRepeat()))
            return true;
    }
    return QWidget::eventFilter(obj, e);
}

// An Esc that is the keyboard repeating a held key, or that comes within a
// second after the configuration window gave the window back, was meant
// for that window (its own Esc closed it): it must not end the program.
bool ssqx::escHeldOver(bool autoRepeat) const
{
    if (autoRepeat)
        return true;
    return m_backMono && monoMs && monoMs() - *m_backMono < kEscGuardMs;
}

bool ssqx::Form_KeyDown(int key, bool autoRepeat)
{
    switch (key) {
    case Qt::Key_F2:
        if (!m_chart->canZoomIn())
            return false;
        Command3_Click();
        return true;
    case Qt::Key_F1:
        if (!m_chart->canZoomOut())
            return false;
        Command4_Click();
        return true;
    case Qt::Key_F6:
        if (!m_chart->canPageForward())
            return false;
        Command7_Click();
        return true;
    case Qt::Key_F7:
        if (!m_chart->canPageBack())
            return false;
        Command8_Click();
        return true;
    case Qt::Key_F4:
        Command5_Click();
        return true;
    case Qt::Key_F3:
        Command2_Click();
        return true;
    case Qt::Key_Escape:
        if (!escHeldOver(autoRepeat))
            Command1_Click();
        return true;
    case Qt::Key_F5:
        Command6_Click();
        return true;
    default:
        return false;
    }
}

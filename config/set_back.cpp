#include "config/set_back.h"

#include <QColor>
#include <QLabel>

void setBack(QLabel *label, const QColor &colour)
{
    if (!label)
        return;
    if (!label->autoFillBackground()) {
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Box);
    }
    if (label->palette().color(QPalette::Window) == colour)
        return;
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
}

#include "app/fit_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

FitLabel::FitLabel(const QString &text, QWidget *parent, const QString &hintText)
    : QLabel(text, parent), m_hintText(hintText.isEmpty() ? text : hintText)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int FitLabel::textWidth() const
{
    const int m = margin() + (indent() > 0 ? indent() : 0);
    return contentsRect().width() - 2 * m;
}

void FitLabel::fit(QFont *font, QString *shown) const
{
    *font = this->font();
    *shown = text();
    const int room = textWidth();
    if (QFontMetrics(*font).horizontalAdvance(*shown) <= room)
        return;
    // Smaller, point by point, down to the least size.
    const qreal least = m_least > 0 ? m_least : font->pointSizeF();
    for (qreal pt = font->pointSizeF() - 1; pt >= least && pt > 0; pt -= 1) {
        font->setPointSizeF(pt);
        if (QFontMetrics(*font).horizontalAdvance(*shown) <= room)
            return;
    }
    if (least > 0 && least < this->font().pointSizeF())
        font->setPointSizeF(least);
    *shown = QFontMetrics(*font).elidedText(*shown, Qt::ElideRight, std::max(room, 0));
}

QString FitLabel::shownText() const
{
    QFont f;
    QString s;
    fit(&f, &s);
    return s;
}

QFont FitLabel::shownFont() const
{
    QFont f;
    QString s;
    fit(&f, &s);
    return f;
}

QSize FitLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const int m = 2 * (frameWidth() + margin());
    return {fm.horizontalAdvance(m_hintText) + m + 8, fm.height() + m + 2};
}

QSize FitLabel::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    const int m = 2 * (frameWidth() + margin());
    return {fm.horizontalAdvance(QStringLiteral("…")) + m, fm.height() + m + 2};
}

bool FitLabel::event(QEvent *e)
{
    // A text not shown whole is the tooltip, ahead of the label's own one.
    if (e->type() == QEvent::ToolTip && elided()) {
        const QString own = toolTip();
        QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(),
                           own.isEmpty() ? text() : text() + QLatin1Char('\n') + own, this);
        return true;
    }
    return QLabel::event(e);
}

void FitLabel::paintEvent(QPaintEvent *e)
{
    QFrame::paintEvent(e);
    QFont f;
    QString s;
    fit(&f, &s);
    QPainter p(this);
    p.setFont(f);
    const int m = margin() + (indent() > 0 ? indent() : 0);
    const QRect r = contentsRect().adjusted(m, margin(), -m, -margin());
    style()->drawItemText(&p, r, int(alignment()), palette(), isEnabled(), s, foregroundRole());
}

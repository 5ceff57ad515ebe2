#include "app/fit_label.h"

#include "config/label_fit.h"

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
    // Smaller, point by point, down to the least size; then cut.
    const qreal size = this->font().pointSizeF();
    const qreal least = m_least > 0 ? std::min(m_least, size) : size;
    const int room = textWidth();
    const FittedText fitted = fitText(text(), this->font(), [room](const QFontMetrics &) { return room; }, least, 1);
    *font = fitted.font;
    *shown = fitted.shown;
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

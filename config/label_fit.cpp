#include "config/label_fit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>

FittedText fitText(const QString &text, const QFont &base, const std::function<int(const QFontMetrics &)> &room,
                   qreal least, qreal step)
{
    QStringList lines = text.split(u'\n');
    for (QString &l : lines) {
        while (!l.isEmpty() && l.back().isSpace())
            l.chop(1);
    }
    while (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    auto widest = [&lines](const QFontMetrics &fm) {
        int w = 0;
        for (const QString &l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        return w;
    };
    FittedText out{base, text, false};
    QFont &f = out.font;
    while (f.pointSizeF() > least && widest(QFontMetrics(f)) > room(QFontMetrics(f)))
        f.setPointSizeF(std::max(least, f.pointSizeF() - step));
    const QFontMetrics fm(f);
    const int width = room(fm);
    if (widest(fm) > width) {
        out.cut = true;
        out.shown.clear();
        for (const QString &l : lines)
            out.shown += (out.shown.isEmpty() ? QString() : QStringLiteral("\n"))
                         + fm.elidedText(l, Qt::ElideRight, std::max(width, 0));
    }
    return out;
}

void showFitted(QLabel *label, const QString &text, const QFont &base)
{
    if (!label)
        return;
    // The room QLabel leaves: its indent counts on the aligned side only, and
    // a framed label without one is indented by half an "x".
    auto room = [label](const QFontMetrics &fm) {
        const int indent = label->indent() >= 0 ? label->indent()
                           : label->frameWidth() > 0 ? fm.horizontalAdvance(u'x') / 2 : 0;
        return label->contentsRect().width() - 2 * label->margin() - indent;
    };
    const FittedText fit = fitText(text, base, room, base.pointSizeF() * 2 / 3, 0.5);
    if (label->font() != fit.font)
        label->setFont(fit.font);
    label->setText(fit.shown);
    label->setToolTip(fit.shown == text ? QString() : text);
    label->setAccessibleDescription(text);
}

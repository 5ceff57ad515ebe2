// Shared by the English tests: the texts of a window still in Chinese and
// the texts wider than their controls.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QTabWidget>
#include <QWidget>


inline bool hasCjk(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// Every text the operator can see on w and its children that is still in
// Chinese, and every label or button text wider than its control.
inline QStringList faults(QWidget *window)
{
    QStringList bad;
    const auto cjk = [&bad](const QObject *o, const QString &text) {
        if (hasCjk(text))
            bad << QStringLiteral("%1: Chinese text \"%2\"").arg(o->objectName(), text);
    };
    const auto fits = [&bad](const QWidget *w, QString text, int width) {
        text.replace(QStringLiteral("&&"), QStringLiteral("&"));
        for (const QString &line : text.split(u'\n')) {
            const int need = w->fontMetrics().horizontalAdvance(line.trimmed());
            if (need > width)
                bad << QStringLiteral("%1: \"%2\" needs %3 px, has %4").arg(w->objectName(), line).arg(need).arg(width);
        }
    };
    cjk(window, window->windowTitle());
    QList<QWidget *> all = window->findChildren<QWidget *>();
    all.prepend(window);
    for (QWidget *w : all) {
        cjk(w, w->toolTip());
        const bool shown = w->isVisible();
        if (auto *l = qobject_cast<QLabel *>(w)) {
            cjk(l, l->text());
            if (shown && !l->wordWrap() && l->textFormat() != Qt::RichText && !Qt::mightBeRichText(l->text()))
                fits(l, l->text(), l->contentsRect().width());
        } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            cjk(b, b->text());
            if (shown)
                fits(b, b->text(), b->width());
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            cjk(g, g->title());
            if (shown)
                fits(g, g->title(), g->width());
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < c->count(); ++i)
                cjk(c, c->itemText(i));
        } else if (auto *t = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < t->count(); ++i)
                cjk(t, t->tabText(i));
        }
    }
    return bad;
}


// Fitting a text into the width of a label: the one rule every label of the
// program follows. The font shrinks step by step down to a least size until
// the widest line fits; a text that still does not fit is cut with "…" line
// by line. Blanks at the end of a line take room but show nothing, so they
// are not measured.
#pragma once

#include <QFont>
#include <QString>
#include <functional>

class QFontMetrics;
class QLabel;

struct FittedText {
    QFont font;   // the font to draw in
    QString shown; // the text to draw: the text itself, or cut
    bool cut = false;
};

// room: the width available to the text in a font (a label's indent may
// depend on the font). least: the smallest point size; step: how much
// smaller each try is.
FittedText fitText(const QString &text, const QFont &base, const std::function<int(const QFontMetrics &)> &room,
                   qreal least, qreal step);

// Shows text whole in a plain label, in base down to two thirds of its size
// (half-point steps), the label's font and text set to the fitted ones. A cut
// text is shown whole in the tooltip; the whole text is always the label's
// accessible description.
void showFitted(QLabel *label, const QString &text, const QFont &base);

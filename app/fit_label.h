// A label whose text never moves the layout: its size hints do not follow
// the text. A text too wide for the label is drawn in a smaller font, down
// to a least point size, and beyond that elided; the whole text is then the
// label's tooltip. The fitting itself is fitText (config/label_fit.h), the
// same as for the plain labels of the configuration window (showFitted); this
// class fits at every paint, in one-point steps, within its own margins.
#pragma once

#include <QLabel>

class FitLabel : public QLabel {
    Q_OBJECT
public:
    // The size hint is the one of hintText (or of text when hintText is
    // empty) in the label's font at construction time and stays so.
    explicit FitLabel(const QString &text = QString(), QWidget *parent = nullptr,
                       const QString &hintText = QString());

    // Least point size the text may shrink to; by default the font's own
    // size, so the text is elided at once.
    void setLeastPointSize(qreal pt) { m_least = pt; update(); }

    // What is drawn, and in which font.
    QString shownText() const;
    QFont shownFont() const;
    bool elided() const { return shownText() != text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    void fit(QFont *font, QString *shown) const;
    int textWidth() const;

    QString m_hintText;
    qreal m_least = 0;
};

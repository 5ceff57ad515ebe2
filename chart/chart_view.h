// The chart's picture boxes: pt0, the frame, and pt, the drawing area. pt
// keeps its picture in a backing image at device resolution; Redraw paints
// the chart into it in twips through one transform, and paintEvent shows it
// with the ruler line Line1 on top. The transform maps pt's twip scale
// (12008 x 7508) onto whatever size the box has, so the chart follows the
// window's size; at 96 dpi and the default size one pixel is 15 twips.
#pragma once

#include "chart/chart_draw.h"

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QWidget>

// The ruler cursor: a line control inside pt, coordinates in pt twips.
struct LineCtl {
    QColor Colour = QColor(0x00, 0xFF, 0x00);
    int Width = 2; // pixels
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 330;
    void set(QRgb rgb, int width, double x1, double y1, double x2, double y2)
    {
        Colour = QColor::fromRgb(rgb);
        Width = width;
        X1 = x1;
        Y1 = y1;
        X2 = x2;
        Y2 = y2;
    }
};

class PtBox : public QWidget {
    Q_OBJECT
public:
    explicit PtBox(QWidget *parent = nullptr);

    // Scale of the box in twips.
    int scaleWidth() const { return kPtWidth; }
    int scaleHeight() const { return kPtHeight; }
    // Logical pixels for a length in twips at this screen's logical dpi.
    static int px(const QWidget *w, double twips, bool vertical = false);
    // Pixels per twip of the drawing, across and down.
    double sx() const { return width() / double(kPtWidth); }
    double sy() const { return height() / double(kPtHeight); }

    // Erase, Draw_Grid, Apply_Zoom, Draw_Curves into the picture.
    void Redraw_Chart(Chart &c, ChartLabels *labels, const YRange &range);
    // The steps one by one, for the handlers that interleave other work.
    void erase();
    void Draw_Grid();
    void Draw_Curves(const Chart &c, ChartLabels *labels, const YRange &range);

    const QImage &picture() const { return m_image; }
    const ChartPainter &painter() const { return m_painter; }

    LineCtl Line1;
    void lineChanged() { update(); }

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    void ensureImage();
    void begin(QPainter &p);

    QImage m_image;
    ChartPainter m_painter;
};

// The frame around pt.
class Pt0Box : public QFrame {
    Q_OBJECT
public:
    explicit Pt0Box(QWidget *parent = nullptr);
    int scaleWidth() const { return kPt0Width; }
    int scaleHeight() const { return kPt0Height; }
    PtBox *pt;

protected:
    void resizeEvent(QResizeEvent *) override;
};

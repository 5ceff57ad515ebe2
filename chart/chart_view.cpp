#include "chart/chart_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

PtBox::PtBox(QWidget *parent) : QWidget(parent), m_painter(1440.0 / (logicalDpiX() > 0 ? logicalDpiX() : 96))
{
    setObjectName(QStringLiteral("pt"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(px(this, kPtWidth), px(this, kPtHeight, true));
}

int PtBox::px(const QWidget *w, double twips, bool vertical)
{
    const int dpi = vertical ? w->logicalDpiY() : w->logicalDpiX();
    return int(std::ceil(twips * (dpi > 0 ? dpi : 96) / 1440.0));
}

void PtBox::ensureImage()
{
    const qreal dpr = devicePixelRatioF();
    const QSize want(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    if (m_image.size() == want && m_image.devicePixelRatio() == dpr)
        return;
    m_image = QImage(want, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(dpr);
    m_image.fill(ChartPainter::backColour);
    // Line widths are given in pixels: at least that many both ways.
    const double tpp = std::max(1.0 / sx(), 1.0 / sy());
    if (std::isfinite(tpp) && tpp > 0 && m_painter.twipsPerPixel() != tpp)
        m_painter = ChartPainter(tpp);
}

void PtBox::begin(QPainter &p)
{
    // One transform maps twips to logical pixels; the image's device pixel
    // ratio takes them on to device pixels.
    p.scale(sx(), sy());
}

void PtBox::Redraw_Chart(Chart &c, ChartLabels *labels, const YRange &range)
{
    ensureImage();
    QPainter p(&m_image);
    begin(p);
    m_painter.Redraw_Chart(p, c, labels, range);
    p.end();
    update();
}

void PtBox::erase()
{
    ensureImage();
    QPainter p(&m_image);
    m_painter.erase(p);
    p.end();
    update();
}

void PtBox::Draw_Grid()
{
    ensureImage();
    QPainter p(&m_image);
    begin(p);
    m_painter.Draw_Grid(p);
    p.end();
    update();
}

void PtBox::Draw_Curves(const Chart &c, ChartLabels *labels, const YRange &range)
{
    ensureImage();
    QPainter p(&m_image);
    begin(p);
    m_painter.Draw_Curves(p, c, labels, range);
    p.end();
    update();
}

void PtBox::resizeEvent(QResizeEvent *)
{
    ensureImage();
}

void PtBox::paintEvent(QPaintEvent *e)
{
    QPainter p(this);
    p.setClipRect(e->rect());
    if (!m_image.isNull())
        p.drawImage(QPoint(0, 0), m_image);
    // The ruler line survives every erase of the picture.
    begin(p);
    p.setPen(QPen(Line1.Colour, Line1.Width * m_painter.twipsPerPixel(), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(Line1.X1, Line1.Y1, Line1.X2, Line1.Y2));
}

Pt0Box::Pt0Box(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pt0"));
    resize(PtBox::px(this, kPt0Width), PtBox::px(this, kPt0Height, true));
    pt = new PtBox(this);
    pt->move(0, 0);
}

void Pt0Box::resizeEvent(QResizeEvent *)
{
    pt->setGeometry(contentsRect());
}

#include "app/printdialog.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>

bool askAndPrintChart(QWidget *parent, const ChartPrintHeader &header, const ChartPaintFn &paintChart)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(header.title);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return printChartPage(printer, header, paintChart);
}

// Printing a chart after asking the user: the print dialog offers the
// system's printers and a PDF file; the page is one landscape sheet with the
// header of chart/chartprint.h. The main window's F3 and the history
// window's "打印" both come here.
#pragma once

#include "chart/chartprint.h"

class QWidget;

// Shows the print dialog (modal to parent) and prints on acceptance. False
// when the user cancelled or nothing could be printed.
bool askAndPrintChart(QWidget *parent, const ChartPrintHeader &header, const ChartPaintFn &paintChart);

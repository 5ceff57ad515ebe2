// What the main window does with the history window and the printer: opens
// the history window on the log database, exports the range it shows and
// prints the live chart. The file and print dialogs sit on top of plain
// functions that tests call directly.
#pragma once

#include "core/history_data.h"
#include "logging/csv_export.h"

#include <QDateTime>
#include <QString>

class QWidget;

// Reads the range from the log database at dbPath (the ring as given) and
// writes its records to outPath and, when the range holds events, its
// events beside it (outPath with "-events" before ".csv"). An empty text on
// success, else the line that says why (historyReadText, csvExportText);
// canceled set when progress canceled. No half file is left under either name.
QString exportHistoryRange(const QString &dbPath, const QDateTime &from, const QDateTime &to, LogRing ring,
                           const QString &outPath, const ExportProgress &progress, bool *canceled = nullptr);

// The same after asking for the file name (parent's dialog), with a progress
// dialog for long exports and a message box when it fails.
void exportHistoryAsked(QWidget *parent, const QString &dbPath, const QDateTime &from, const QDateTime &to,
                        LogRing ring);

// "file.csv" -> "file-events.csv" (any other name gets "-events.csv" added).
QString eventsPathOf(const QString &outPath);

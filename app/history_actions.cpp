#include "app/history_actions.h"

#include "app/history_text.h"
#include "logging/history_range.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>

namespace {

// Its texts are marked QT_TRANSLATE_NOOP("HistoryActions", ...) so that
// lupdate finds them.
QString actionText(const char *source)
{
    return QCoreApplication::translate("HistoryActions", source);
}

} // namespace

QString eventsPathOf(const QString &outPath)
{
    if (outPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return outPath.left(outPath.size() - 4) + QStringLiteral("-events.csv");
    return outPath + QStringLiteral("-events.csv");
}

QString exportHistoryRange(const QString &dbPath, const QDateTime &from, const QDateTime &to, LogRing ring,
                           const QString &outPath, const ExportProgress &progress, bool *canceled)
{
    HistoryRange range;
    HistoryError readError;
    if (!readHistory(dbPath, from, to, ring, range, readError))
        return historyReadText(readError);
    CsvResult written = exportCsv(range, outPath, false, progress);
    if (written.ok() && !range.events.empty())
        written = exportCsv(range, eventsPathOf(outPath), true);
    if (canceled)
        *canceled = written.kind == CsvFault::Canceled;
    return csvExportText(written);
}

void exportHistoryAsked(QWidget *parent, const QString &dbPath, const QDateTime &from, const QDateTime &to,
                        LogRing ring)
{
    const QString suggested = QStringLiteral("qr5300m-%1.csv").arg(from.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(parent, actionText(QT_TRANSLATE_NOOP("HistoryActions", "导出CSV")), suggested,
                                     actionText(QT_TRANSLATE_NOOP("HistoryActions", "CSV 文件 (*.csv)")));
    if (path.isEmpty())
        return;
    QProgressDialog dialog(actionText(QT_TRANSLATE_NOOP("HistoryActions", "正在导出…")),
                           actionText(QT_TRANSLATE_NOOP("HistoryActions", "取消")), 0, 1000, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500); // only long exports show it
    const ExportProgress progress = [&dialog](qint64 done, qint64 total) {
        dialog.setValue(total > 0 ? int(done * 1000 / total) : 1000);
        return !dialog.wasCanceled();
    };
    bool canceled = false;
    const QString error = exportHistoryRange(dbPath, from, to, ring, path, progress, &canceled);
    if (!error.isEmpty() && !canceled)
        QMessageBox::warning(parent, actionText(QT_TRANSLATE_NOOP("HistoryActions", "导出CSV")),
                             actionText(QT_TRANSLATE_NOOP("HistoryActions", "导出失败：%1")).arg(error));
}

#include "app/history_actions.h"

#include "logging/history_range.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>

QString eventsPathOf(const QString &outPath)
{
    if (outPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return outPath.left(outPath.size() - 4) + QStringLiteral("-events.csv");
    return outPath + QStringLiteral("-events.csv");
}

bool exportHistoryRange(const QString &dbPath, const QDateTime &from, const QDateTime &to, LogRing ring,
                        const QString &outPath, const ExportProgress &progress, QString &error)
{
    HistoryRange range;
    if (!readHistory(dbPath, from, to, ring, range, error))
        return false;
    if (!exportCsv(range, outPath, false, progress, error))
        return false;
    return range.events.empty() || exportCsv(range, eventsPathOf(outPath), true, {}, error);
}

void exportHistoryAsked(QWidget *parent, const QString &dbPath, const QDateTime &from, const QDateTime &to,
                        LogRing ring)
{
    const QString suggested = QStringLiteral("qr5300m-%1.csv").arg(from.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("导出CSV"), suggested,
                                                      QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    QProgressDialog dialog(QStringLiteral("正在导出…"), QStringLiteral("取消"), 0, 1000, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500); // only long exports show it
    const ExportProgress progress = [&dialog](qint64 done, qint64 total) {
        dialog.setValue(total > 0 ? int(done * 1000 / total) : 1000);
        return !dialog.wasCanceled();
    };
    QString error;
    if (!exportHistoryRange(dbPath, from, to, ring, path, progress, error) && !dialog.wasCanceled())
        QMessageBox::warning(parent, QStringLiteral("导出CSV"), QStringLiteral("导出失败：") + error);
}

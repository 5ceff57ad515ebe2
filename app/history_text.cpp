#include "app/history_text.h"

#include "app/alarm_text.h"
#include "chart/historyplot.h"
#include "core/numbers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <cstdlib>

namespace {

// The texts handed to these are marked QT_TRANSLATE_NOOP with the same
// context, so that lupdate finds them.
QString rangeText(const char *source)
{
    return QCoreApplication::translate("HistoryRange", source);
}

QString windowText(const char *source)
{
    return QCoreApplication::translate("HistoryWindow", source);
}

// "读取数据库失败（the database's words）", the brackets left out when it said nothing.
QString readFailedText(const QString &detail)
{
    return detail.isEmpty() ? rangeText(QT_TRANSLATE_NOOP("HistoryRange", "读取数据库失败"))
                            : rangeText(QT_TRANSLATE_NOOP("HistoryRange", "读取数据库失败（%1）")).arg(detail);
}

// "读取事件表失败（the database's words）", the brackets left out when it
// could not be asked at all.
QString journalReadText(const QString &detail)
{
    return detail.isEmpty() ? QCoreApplication::translate("Journal", "读取事件表失败")
                            : QCoreApplication::translate("Journal", "读取事件表失败（%1）").arg(detail);
}

// "无法打开数据库 /x.db（the database's words）".
QString openFailedText(const HistoryError &e)
{
    const QString words = e.detail.isEmpty() ? QString() : rangeText(QT_TRANSLATE_NOOP("HistoryRange", "（%1）")).arg(e.detail);
    return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "无法打开数据库 %1")).arg(e.path) + words;
}

const char *const kShort[kHistoryCurves] = {"CH1", "CH2", "CH3", "CH4", "DA", QT_TRANSLATE_NOOP("HistoryWindow", "输入6")};

// A record's local date and time as the read-out shows it.
QString recordTimeText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString spanText(qint64 ms)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    qint64 s = std::llabs(ms) / 1000;
    const qint64 days = s / 86400;
    s %= 86400;
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(s / 3600, 2, 10, QLatin1Char('0'))
                            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return sign + (days > 0 ? windowText(QT_TRANSLATE_NOOP("HistoryWindow", "%1天 ")).arg(days) + hms : hms);
}

QString flagText(int flag)
{
    return flag >= 0 && flag < kChannelFlags ? QCoreApplication::translate("ChannelFlag", kChannelFlagNames[flag])
                                             : windowText(QT_TRANSLATE_NOOP("HistoryWindow", "状态"));
}

} // namespace

QString historyFaultText(const HistoryError &e)
{
    if (e.part == HistoryPart::Journal)
        return journalReadText(e.detail);
    switch (e.kind) {
    case HistoryFault::None: return QString();
    case HistoryFault::BadRange: return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "时间范围无效"));
    case HistoryFault::Missing: return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "数据库文件 %1 不存在")).arg(e.path);
    case HistoryFault::NotFile: return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "%1 不是数据库文件")).arg(e.path);
    case HistoryFault::Copy: return openFailedText(e);
    case HistoryFault::Open: return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "无法读取数据库 %1")).arg(e.path);
    case HistoryFault::MissingTable: return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "不是本程序的数据库：缺少表 %1")).arg(e.table);
    case HistoryFault::WrongColumns:
        return rangeText(QT_TRANSLATE_NOOP("HistoryRange", "不是本程序的数据库：表 %1 应有 11 列，实有 %2 列")).arg(e.table).arg(e.columns);
    case HistoryFault::Unreadable:
    case HistoryFault::Incomplete: return readFailedText(e.detail);
    }
    return QString();
}

QString historyReadText(const HistoryError &e)
{
    if (e.kind == HistoryFault::Incomplete)
        return QCoreApplication::translate("HistoryText", "此时段未能完整读取：%1").arg(historyFaultText(e));
    return historyFaultText(e);
}

QString csvExportText(const CsvResult &r)
{
    switch (r.kind) {
    case CsvFault::None: return QString();
    case CsvFault::OwnDatabase:
        return QCoreApplication::translate("CsvExport", "%1 是数据库 %2 或其日志、锁文件，不能写入导出").arg(r.path, r.source);
    case CsvFault::NotRegular:
        return QCoreApplication::translate("CsvExport", "%1 不是普通文件，不能写入导出").arg(r.path);
    case CsvFault::Open: return QCoreApplication::translate("CsvExport", "无法写入 %1（%2）").arg(r.path, r.systemText);
    case CsvFault::Write: return QCoreApplication::translate("CsvExport", "写入 %1 失败（%2）").arg(r.path, r.systemText);
    case CsvFault::Canceled: return QCoreApplication::translate("CsvExport", "导出已取消");
    }
    return QString();
}

QString historyEventText(const HistoryEvent &e)
{
    const QString what = e.caption.isEmpty() ? windowText(QT_TRANSLATE_NOOP("HistoryWindow", "寄存器%1")).arg(e.reg)
                                             : QCoreApplication::translate("ParamMap", e.caption.toUtf8().constData());
    const QString detail = e.detail.isEmpty() ? QString()
                                              : windowText(QT_TRANSLATE_NOOP("HistoryWindow", "（")) + e.detail +
                                                    windowText(QT_TRANSLATE_NOOP("HistoryWindow", "）"));
    switch (e.kind) {
    case EventKind::LinkOpened: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "打开通讯"));
    case EventKind::LinkClosed: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "关闭通讯"));
    case EventKind::LinkInterrupted: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "通讯中断"));
    case EventKind::LinkRestored: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "通讯恢复"));
    case EventKind::FlagRaised:
    case EventKind::FlagCleared:
        return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "通道%1 %2 %3"))
            .arg(e.channel)
            .arg(flagText(e.flag), e.kind == EventKind::FlagRaised ? windowText(QT_TRANSLATE_NOOP("HistoryWindow", "出现"))
                                                                   : windowText(QT_TRANSLATE_NOOP("HistoryWindow", "消除")));
    case EventKind::ParamWritten:
        return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "参数写入 ")) + what + QStringLiteral(": ") +
               (e.before.isEmpty() ? e.value : e.before + QStringLiteral(" → ") + e.value);
    case EventKind::ParamRefused: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "写入被拒绝 ")) + what + QStringLiteral(": ") + e.value + detail;
    case EventKind::ParamFailed: return windowText(QT_TRANSLATE_NOOP("HistoryWindow", "写入失败 ")) + what + QStringLiteral(": ") + e.value + detail;
    case EventKind::AlarmRaised:
    case EventKind::AlarmCleared:
    case EventKind::AlarmAcknowledged: return alarmEventText(e);
    }
    return QString();
}

QString markerReadout(const HistoryRecord *a, const HistoryRecord *b)
{
    QStringList lines;
    auto values = [](const HistoryRecord &r) {
        QString s = recordTimeText(r.msecs);
        for (int q = 0; q < kHistoryCurves; ++q)
            s += QStringLiteral("  ") + windowText(kShort[q]) + QLatin1Char(' ') + numText(r.values[q]);
        if (!r.fresh)
            s += windowText(QT_TRANSLATE_NOOP("HistoryWindow", "  (保持值)"));
        return s;
    };
    if (a)
        lines << QStringLiteral("A  ") + values(*a);
    if (b)
        lines << QStringLiteral("B  ") + values(*b);
    if (a && b) {
        QString d = QStringLiteral("Δt ") + spanText(b->msecs - a->msecs);
        for (int q = 0; q < kHistoryCurves; ++q) {
            const float v = b->values[q] - a->values[q];
            d += QStringLiteral("  Δ") + windowText(kShort[q]) + QLatin1Char(' ') +
                 (v > 0 ? QStringLiteral("+") : QString()) + numText(v);
        }
        lines << d;
    }
    return lines.join(QLatin1Char('\n'));
}

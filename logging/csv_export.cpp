#include "logging/csv_export.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <cmath>

namespace {

constexpr qint64 kDayMs = 86400000;
constexpr int kProgressRows = 4096;     // rows between two progress calls
constexpr qsizetype kFlushBytes = 1 << 20;

// Local "yyyy-MM-ddTHH:mm:ss" of ms since the epoch. Times come in runs of
// one day: the day is looked up once, and a day without a change of the UTC
// offset takes the rest by counting seconds.
class LocalText
{
public:
    void append(QByteArray &out, qint64 ms)
    {
        if (!(m_even && ms >= m_dayStart && ms < m_dayStart + kDayMs)) {
            const QDateTime dt = QDateTime::fromMSecsSinceEpoch(ms);
            const QDate day = dt.date();
            const QDateTime start(day, QTime(0, 0)), next(day.addDays(1), QTime(0, 0));
            m_dayStart = start.toMSecsSinceEpoch();
            m_even = next.toMSecsSinceEpoch() - m_dayStart == kDayMs && start.offsetFromUtc() == next.offsetFromUtc()
                     && start.time() == QTime(0, 0);
            m_date = day.toString(QStringLiteral("yyyy-MM-ddT")).toLatin1();
            if (!m_even) {
                out += dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
                return;
            }
        }
        const qint64 s = (ms - m_dayStart) / 1000;
        const int h = int(s / 3600), m = int(s / 60 % 60), sec = int(s % 60);
        const char t[8] = {char('0' + h / 10), char('0' + h % 10), ':', char('0' + m / 10), char('0' + m % 10), ':',
                           char('0' + sec / 10), char('0' + sec % 10)};
        out += m_date;
        out.append(t, 8);
    }

private:
    qint64 m_dayStart = 0;
    bool m_even = false;
    QByteArray m_date;
};

void appendNumber(QByteArray &out, float v)
{
    if (!std::isfinite(v))
        return;
    // Fixed notation, the fewest digits that read back as v.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec == std::errc())
        out.append(buf, r.ptr - buf);
}

void appendField(QByteArray &out, const QString &text)
{
    const QByteArray u = text.toUtf8();
    if (!u.contains(',') && !u.contains('"') && !u.contains('\n') && !u.contains('\r')) {
        out += u;
        return;
    }
    QByteArray q = u;
    q.replace("\"", "\"\"");
    out += '"';
    out += q;
    out += '"';
}

const char *eventText(EventKind kind)
{
    switch (kind) {
    case EventKind::LinkOpened: return "通讯打开";
    case EventKind::LinkClosed: return "通讯关闭";
    case EventKind::LinkInterrupted: return "通讯中断";
    case EventKind::LinkRestored: return "通讯恢复";
    case EventKind::FlagRaised: return "状态出现";
    case EventKind::FlagCleared: return "状态消失";
    case EventKind::ParamWritten: return "参数已写入";
    case EventKind::ParamRefused: return "参数被拒绝";
    case EventKind::ParamFailed: return "参数写入失败";
    }
    return "";
}

const char *flagText(int flag)
{
    switch (flag) {
    case 0: return "报警";
    case 1: return "开路";
    case 2: return "短路";
    default: return "";
    }
}

} // namespace

QString csvNumber(float v)
{
    QByteArray out;
    appendNumber(out, v);
    return QString::fromLatin1(out);
}

bool exportCsv(const HistoryRange &range, const QString &outPath, bool withEvents, const ExportProgress &progress,
               QString &error)
{
    error.clear();
    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QCoreApplication::translate("CsvExport", "无法写入 %1（%2）").arg(outPath, file.errorString());
        return false;
    }
    QByteArray buf;
    buf.reserve(kFlushBytes + 4096);
    buf += "\xEF\xBB\xBF";
    if (withEvents)
        buf += "时间,事件,通道,状态,寄存器,参数,原值,写入值,说明\r\n";
    else
        buf += "时间,通道一 CH1,通道二 CH2,通道三 CH3,通道四 CH4,变送值 DA,寄存器6,寄存器7,寄存器8,数据\r\n";

    const qint64 total = withEvents ? qint64(range.events.size()) : qint64(range.records.size());
    LocalText when;
    bool ok = true;
    for (qint64 i = 0; ok && i < total; ++i) {
        if (withEvents) {
            const HistoryEvent &e = range.events[size_t(i)];
            when.append(buf, e.msecs);
            buf += ',';
            buf += eventText(e.kind);
            buf += ',';
            const bool flag = e.kind == EventKind::FlagRaised || e.kind == EventKind::FlagCleared;
            const bool param = e.kind == EventKind::ParamWritten || e.kind == EventKind::ParamRefused
                               || e.kind == EventKind::ParamFailed;
            if (flag)
                buf += QByteArray::number(e.channel) + ',' + flagText(e.flag);
            else
                buf += ',';
            buf += ',';
            if (param)
                buf += QByteArray::number(e.reg);
            buf += ',';
            appendField(buf, e.caption);
            buf += ',';
            appendField(buf, e.before);
            buf += ',';
            appendField(buf, e.value);
            buf += ',';
            appendField(buf, e.detail);
        } else {
            const HistoryRecord &r = range.records[size_t(i)];
            when.append(buf, r.msecs);
            for (float v : r.values) {
                buf += ',';
                appendNumber(buf, v);
            }
            buf += r.fresh ? ",实测" : ",保持";
        }
        buf += "\r\n";
        if (buf.size() >= kFlushBytes) {
            ok = file.write(buf) == buf.size();
            buf.clear();
        }
        if (ok && progress && (i + 1) % kProgressRows == 0 && !progress(i + 1, total)) {
            file.cancelWriting();
            error = QCoreApplication::translate("CsvExport", "导出已取消");
            return false;
        }
    }
    ok = ok && file.write(buf) == buf.size();
    if (ok && progress && !progress(total, total)) {
        file.cancelWriting();
        error = QCoreApplication::translate("CsvExport", "导出已取消");
        return false;
    }
    if (!ok) {
        error = QCoreApplication::translate("CsvExport", "写入 %1 失败（%2）").arg(outPath, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = QCoreApplication::translate("CsvExport", "写入 %1 失败（%2）").arg(outPath, file.errorString());
        return false;
    }
    return true;
}

#include "logging/csv_export.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

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

// Whether a cell starting with = + - @ reads as a number ("-12.5", "+3"),
// which a spreadsheet takes as one and nothing else.
bool isNumber(const QByteArray &u)
{
    const qsizetype skip = u.startsWith('+') ? 1 : 0;
    double v = 0;
    const char *end = u.constData() + u.size();
    const auto r = std::from_chars(u.constData() + skip, end, v);
    return u.size() > skip && r.ec == std::errc() && r.ptr == end;
}

void appendField(QByteArray &out, const QString &text)
{
    QByteArray u = text.toUtf8();
    if (!u.isEmpty() && std::strchr("=+-@", u.front()) && !isNumber(u))
        u.prepend('\''); // text, not a formula
    if (!u.contains(',') && !u.contains('"') && !u.contains('\n') && !u.contains('\r')) {
        out += u;
        return;
    }
    u.replace("\"", "\"\"");
    out += '"';
    out += u;
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

void appendEvent(QByteArray &buf, LocalText &when, const HistoryEvent &e)
{
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
    for (const QString *text : {&e.caption, &e.before, &e.value, &e.detail}) {
        buf += ',';
        appendField(buf, *text);
    }
}

void appendRecord(QByteArray &buf, LocalText &when, const HistoryRecord &r)
{
    when.append(buf, r.msecs);
    for (float v : r.values) {
        buf += ',';
        appendNumber(buf, v);
    }
    buf += r.fresh ? ",实测" : ",保持";
}

// The file a path names once every symbolic link is followed: the canonical
// path of one that exists, else its folder's canonical path and its name.
QString resolvedPath(const QString &path)
{
    QFileInfo fi(path);
    for (int links = 0; links < 40 && fi.isSymLink(); ++links)
        fi = QFileInfo(fi.symLinkTarget());
    if (fi.exists())
        return fi.canonicalFilePath();
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? fi.absoluteFilePath() : folder + u'/' + fi.fileName();
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa{}, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true; // also a hard link
    return resolvedPath(a) == resolvedPath(b);
}

// Whether outPath is the database the range came from or one of the files
// the database lives with, under its own name or its resolved one (SQLite
// keeps its journal beside the file a link leads to).
bool isDatabaseFile(const QString &outPath, const QString &source)
{
    if (source.isEmpty())
        return false;
    for (const QString &db : {source, resolvedPath(source)})
        for (const char *suffix : {"", "-journal", "-wal", "-shm", ".lock"})
            if (sameFile(outPath, db + QLatin1String(suffix)))
                return true;
    return false;
}

// Refuses an output the export must not write (CsvFault::None: it may).
CsvFault targetFault(const QString &outPath, const QString &source)
{
    if (isDatabaseFile(outPath, source))
        return CsvFault::OwnDatabase;
    struct stat st{};
    if (::stat(QFile::encodeName(outPath).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return CsvFault::NotRegular;
    return CsvFault::None;
}

bool failed(CsvFault kind, CsvFault *fault, QString &error, const QString &text)
{
    if (fault)
        *fault = kind;
    error = text;
    return false;
}

} // namespace

QString csvNumber(float v)
{
    QByteArray out;
    appendNumber(out, v);
    return QString::fromLatin1(out);
}

bool exportCsv(const HistoryRange &range, const QString &outPath, bool withEvents, const ExportProgress &progress,
               QString &error, CsvFault *fault)
{
    error.clear();
    if (fault)
        *fault = CsvFault::None;
    const CsvFault target = targetFault(outPath, range.source);
    if (target == CsvFault::OwnDatabase)
        return failed(target, fault, error,
                      QCoreApplication::translate("CsvExport", "%1 是数据库 %2 或其日志、锁文件，不能写入导出")
                          .arg(outPath, range.source));
    if (target == CsvFault::NotRegular)
        return failed(target, fault, error,
                      QCoreApplication::translate("CsvExport", "%1 不是普通文件，不能写入导出").arg(outPath));
    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly))
        return failed(CsvFault::Open, fault, error,
                      QCoreApplication::translate("CsvExport", "无法写入 %1（%2）").arg(outPath, file.errorString()));
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
    bool go = true;
    for (qint64 i = 0; ok && go && i < total; ++i) {
        if (withEvents)
            appendEvent(buf, when, range.events[size_t(i)]);
        else
            appendRecord(buf, when, range.records[size_t(i)]);
        buf += "\r\n";
        if (buf.size() >= kFlushBytes) {
            ok = file.write(buf) == buf.size();
            buf.clear();
        }
        go = !ok || !progress || (i + 1) % kProgressRows != 0 || progress(i + 1, total);
    }
    ok = ok && file.write(buf) == buf.size();
    if (ok && go && progress)
        go = progress(total, total);
    if (ok && !go) {
        file.cancelWriting();
        return failed(CsvFault::Canceled, fault, error, QCoreApplication::translate("CsvExport", "导出已取消"));
    }
    if (ok && file.commit())
        return true;
    const QString why = file.errorString();
    if (!ok)
        file.cancelWriting();
    return failed(CsvFault::Write, fault, error,
                  QCoreApplication::translate("CsvExport", "写入 %1 失败（%2）").arg(outPath, why));
}

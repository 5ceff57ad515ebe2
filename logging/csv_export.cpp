#include "logging/csv_export.h"

#include "core/alarm.h"
#include "logging/journal.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
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
    case EventKind::AlarmRaised: return "报警出现";
    case EventKind::AlarmCleared: return "报警消失";
    case EventKind::AlarmAcknowledged: return "报警确认";
    }
    return "";
}

const char *flagText(int flag)
{
    return flag >= 0 && flag < kChannelFlags ? kChannelFlagNames[flag] : "";
}

void appendEvent(QByteArray &buf, LocalText &when, const HistoryEvent &e)
{
    when.append(buf, e.msecs);
    buf += ',';
    buf += eventText(e.kind);
    buf += ',';
    const bool alarm = isAlarmEvent(e.kind);
    const bool flag = e.kind == EventKind::FlagRaised || e.kind == EventKind::FlagCleared;
    const bool param = e.kind == EventKind::ParamWritten || e.kind == EventKind::ParamRefused
                       || e.kind == EventKind::ParamFailed;
    if (flag)
        buf += QByteArray::number(e.channel) + ',' + flagText(e.flag);
    else if (alarm)
        buf += QByteArray::number(e.channel) + ',' + (e.flag >= 0 && e.flag < kAlarmKinds ? kAlarmKindNames[e.flag] : "");
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

CsvResult failed(CsvResult r, CsvFault kind, const QFileDevice &file, int sysErrno)
{
    r.kind = kind;
    r.sysErrno = sysErrno;
    r.systemText = file.errorString();
    return r;
}

const char *header(bool withEvents)
{
    return withEvents ? "\xEF\xBB\xBF时间,事件,通道,状态,寄存器,参数,原值,写入值,说明\r\n"
                      : "\xEF\xBB\xBF时间,通道一 CH1,通道二 CH2,通道三 CH3,通道四 CH4,变送值 DA,寄存器6,寄存器7,寄存器8,数据\r\n";
}

// The rows after the header, flushed to file now and then. False when a
// write failed (errno kept in sysErrno) or, with go false, when progress
// asked to stop.
bool writeRows(QSaveFile &file, QByteArray &buf, const HistoryRange &range, bool withEvents,
               const ExportProgress &progress, bool &go, int &sysErrno)
{
    const qint64 total = withEvents ? qint64(range.events.size()) : qint64(range.records.size());
    LocalText when;
    bool ok = true;
    go = true;
    for (qint64 i = 0; ok && go && i < total; ++i) {
        if (withEvents)
            appendEvent(buf, when, range.events[size_t(i)]);
        else
            appendRecord(buf, when, range.records[size_t(i)]);
        buf += "\r\n";
        if (buf.size() >= kFlushBytes) {
            errno = 0;
            ok = file.write(buf) == buf.size();
            sysErrno = errno;
            buf.clear();
        }
        go = !ok || !progress || (i + 1) % kProgressRows != 0 || progress(i + 1, total);
    }
    if (ok) {
        errno = 0;
        ok = file.write(buf) == buf.size();
        sysErrno = errno;
    }
    if (ok && go && progress)
        go = progress(total, total);
    return ok && go;
}

} // namespace

QString csvNumber(float v)
{
    QByteArray out;
    appendNumber(out, v);
    return QString::fromLatin1(out);
}

CsvResult exportCsv(const HistoryRange &range, const QString &outPath, bool withEvents, const ExportProgress &progress)
{
    CsvResult r;
    r.path = outPath;
    r.kind = targetFault(outPath, range.source);
    if (r.kind == CsvFault::OwnDatabase)
        r.source = range.source;
    if (r.kind != CsvFault::None)
        return r;
    QSaveFile file(outPath);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failed(r, CsvFault::Open, file, errno);
    QByteArray buf;
    buf.reserve(kFlushBytes + 4096);
    buf += header(withEvents);
    bool go = true;
    int sysErrno = 0;
    if (writeRows(file, buf, range, withEvents, progress, go, sysErrno)) {
        errno = 0;
        if (file.commit())
            return r;
        sysErrno = errno;
    } else if (!go) {
        file.cancelWriting();
        r.kind = CsvFault::Canceled;
        return r;
    }
    r = failed(r, CsvFault::Write, file, sysErrno);
    file.cancelWriting();
    return r;
}

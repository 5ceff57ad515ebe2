#include "logging/journal.h"

#include "core/dates.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

constexpr const char *kColumns[] = {"ev_id",  "ev_time",    "ev_kind",   "ev_channel", "ev_flag",
                                    "ev_reg", "ev_caption", "ev_before", "ev_value",   "ev_detail"};
constexpr int kColumnCount = int(std::size(kColumns));

struct KindName {
    EventKind kind;
    const char *name;
};
constexpr KindName kKinds[] = {
    {EventKind::LinkOpened, "link_opened"},     {EventKind::LinkClosed, "link_closed"},
    {EventKind::LinkInterrupted, "link_interrupted"}, {EventKind::LinkRestored, "link_restored"},
    {EventKind::FlagRaised, "flag_raised"},     {EventKind::FlagCleared, "flag_cleared"},
    {EventKind::ParamWritten, "param_written"}, {EventKind::ParamRefused, "param_refused"},
    {EventKind::ParamFailed, "param_failed"},
    {EventKind::AlarmRaised, "alarm_raised"},   {EventKind::AlarmCleared, "alarm_cleared"},
    {EventKind::AlarmAcknowledged, "alarm_acknowledged"},
};

constexpr qint64 kDaySecs = 86400;
// Date serials the program can hold (QDate's range is far wider).
constexpr double kSerialLimit = 3.0e6;

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

QString linkKindList()
{
    QStringList names;
    for (const KindName &k : kKinds)
        if (isLinkEvent(k.kind))
            names << QStringLiteral("'%1'").arg(QLatin1String(k.name));
    return names.join(QStringLiteral(", "));
}

// The journal could not be read: what the driver said about q's statement.
bool journalFailed(HistoryError &error, const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    error.part = HistoryPart::Journal;
    error.sqliteCode = e.nativeErrorCode().toInt();
    error.detail = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return false;
}

} // namespace

QStringList journalCreateStatements()
{
    return {
        QStringLiteral("CREATE TABLE qr_events (ev_id INTEGER PRIMARY KEY, ev_time TEXT NOT NULL, ev_kind TEXT NOT NULL, "
                       "ev_channel INTEGER, ev_flag INTEGER, ev_reg INTEGER, ev_caption TEXT, ev_before TEXT, "
                       "ev_value TEXT, ev_detail TEXT)"),
        QStringLiteral("CREATE INDEX qr_events_time ON qr_events (ev_time)"),
    };
}

std::optional<bool> journalPresent(QSqlDatabase &db, JournalFault &shape, QString &columns)
{
    shape = JournalFault::None;
    columns.clear();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'qr_events' COLLATE NOCASE")))
        return std::nullopt;
    if (!q.next())
        return q.lastError().isValid() ? std::nullopt : std::optional<bool>(false);
    if (q.value(0).toString() != QLatin1String("table")) {
        shape = JournalFault::NotATable;
        return true;
    }
    q.finish();
    if (!q.exec(QStringLiteral("PRAGMA table_info(qr_events)")))
        return std::nullopt;
    QStringList names;
    while (q.next())
        names << q.value(1).toString();
    bool same = names.size() == kColumnCount;
    for (int c = 0; same && c < kColumnCount; ++c)
        same = names[c].compare(QLatin1String(kColumns[c]), Qt::CaseInsensitive) == 0;
    if (!same) {
        shape = JournalFault::OtherColumns;
        columns = names.join(u',');
    }
    return true;
}

QString eventKindName(EventKind kind)
{
    for (const KindName &k : kKinds)
        if (k.kind == kind)
            return QLatin1String(k.name);
    return {};
}

std::optional<EventKind> eventKindOf(const QString &name)
{
    for (const KindName &k : kKinds)
        if (name == QLatin1String(k.name))
            return k.kind;
    return std::nullopt;
}

bool isLinkEvent(EventKind kind)
{
    return kind == EventKind::LinkOpened || kind == EventKind::LinkClosed || kind == EventKind::LinkInterrupted
           || kind == EventKind::LinkRestored;
}

bool isAlarmEvent(EventKind kind)
{
    return kind == EventKind::AlarmRaised || kind == EventKind::AlarmCleared || kind == EventKind::AlarmAcknowledged;
}

bool linkUpAfter(EventKind kind) { return kind == EventKind::LinkOpened || kind == EventKind::LinkRestored; }

bool serialSeconds(double date, double time, qint64 &key)
{
    if (!std::isfinite(date) || !std::isfinite(time) || std::fabs(date) > kSerialLimit || std::fabs(time) > kSerialLimit)
        return false;
    key = qint64(std::llround(date)) * kDaySecs + qint64(std::llround(time * double(kDaySecs)));
    return true;
}

qint64 serialSeconds(const QDate &d, const QTime &t)
{
    return qint64(dateSerial(d)) * kDaySecs + t.msecsSinceStartOfDay() / 1000;
}

QString keyText(qint64 key)
{
    const qint64 day = floorDiv(key, kDaySecs);
    const int secs = int(key - day * kDaySecs);
    return QStringLiteral("%1T%2").arg(serialDate(double(day)).toString(QStringLiteral("yyyy-MM-dd")),
                                       QTime(0, 0).addSecs(secs).toString(QStringLiteral("HH:mm:ss")));
}

bool keyOfText(const QString &text, qint64 &key)
{
    const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!dt.isValid())
        return false;
    key = serialSeconds(dt.date(), dt.time());
    return true;
}

qint64 KeyMsecs::operator()(qint64 key)
{
    const qint64 day = floorDiv(key, kDaySecs);
    const qint64 secs = key - day * kDaySecs;
    const QDate date = serialDate(double(day));
    if (day != m_day) {
        m_day = day;
        const QDateTime start(date, QTime(0, 0));
        const QDateTime end(date, QTime(23, 59, 59));
        m_dayStart = start.toMSecsSinceEpoch();
        m_even = start.offsetFromUtc() == end.offsetFromUtc() && start.time() == QTime(0, 0);
    }
    if (m_even)
        return m_dayStart + secs * 1000;
    return QDateTime(date, QTime(0, 0).addSecs(int(secs))).toMSecsSinceEpoch();
}

// Whether the journal of ours can be read: nothing when the database could
// not be asked (error set), false when it has no journal of our shape.
static std::optional<bool> journalReadable(QSqlDatabase &db, HistoryError &error)
{
    JournalFault shape = JournalFault::None;
    QString columns;
    const std::optional<bool> present = journalPresent(db, shape, columns);
    if (!present) {
        error.part = HistoryPart::Journal;
        error.sqliteCode = 0;
        error.detail.clear();
        return std::nullopt;
    }
    return *present && shape == JournalFault::None;
}

bool readLinkMarks(QSqlDatabase &db, qint64 fromKey, qint64 toKey, std::vector<LinkMark> &marks, HistoryError &error)
{
    marks.clear();
    const std::optional<bool> readable = journalReadable(db, error);
    if (!readable)
        return false;
    if (!*readable)
        return true; // no journal of ours: every record counts as measured
    const QString kinds = linkKindList();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The state at the start: the last link event before it.
    if (!q.exec(QStringLiteral("SELECT ev_time, ev_kind FROM qr_events WHERE ev_kind IN (%1) AND ev_time < '%2' "
                               "ORDER BY ev_time DESC, ev_id DESC LIMIT 1")
                    .arg(kinds, keyText(fromKey)))) {
        return journalFailed(error, q);
    }
    auto take = [&marks](const QSqlQuery &row) {
        qint64 key = 0;
        const std::optional<EventKind> kind = eventKindOf(row.value(1).toString());
        if (kind && keyOfText(row.value(0).toString(), key))
            marks.push_back({key, linkUpAfter(*kind)});
    };
    if (q.next())
        take(q);
    q.finish();
    if (!q.exec(QStringLiteral("SELECT ev_time, ev_kind FROM qr_events WHERE ev_kind IN (%1) AND ev_time >= '%2' "
                               "AND ev_time <= '%3' ORDER BY ev_time, ev_id")
                    .arg(kinds, keyText(fromKey), keyText(toKey)))) {
        return journalFailed(error, q);
    }
    while (q.next())
        take(q);
    if (q.lastError().isValid()) { // a damaged page part way through
        return journalFailed(error, q);
    }
    return true;
}

bool HeldWalk::fresh(qint64 key)
{
    // The logging writes a second's record as that second begins: an event
    // within the same second comes after it and counts from the next one.
    while (m_next < m_marks.size() && m_marks[m_next].key < key)
        m_up = m_marks[m_next++].up;
    return m_up;
}

bool readEvents(QSqlDatabase &db, qint64 fromKey, qint64 toKey, std::vector<HistoryEvent> &events, HistoryError &error)
{
    events.clear();
    const std::optional<bool> readable = journalReadable(db, error);
    if (!readable)
        return false;
    if (!*readable)
        return true;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ev_time, ev_kind, ev_channel, ev_flag, ev_reg, ev_caption, ev_before, ev_value, "
                               "ev_detail FROM qr_events WHERE ev_time >= '%1' AND ev_time <= '%2' ORDER BY ev_time, ev_id")
                    .arg(keyText(fromKey), keyText(toKey)))) {
        return journalFailed(error, q);
    }
    KeyMsecs msecs;
    while (q.next()) {
        qint64 key = 0;
        const std::optional<EventKind> kind = eventKindOf(q.value(1).toString());
        if (!kind || !keyOfText(q.value(0).toString(), key))
            continue;
        HistoryEvent e;
        e.msecs = msecs(key);
        e.kind = *kind;
        e.channel = q.value(2).toInt();
        e.flag = q.value(3).toInt();
        e.reg = q.value(4).toInt();
        e.caption = q.value(5).toString();
        e.before = q.value(6).toString();
        e.value = q.value(7).toString();
        e.detail = q.value(8).toString();
        events.push_back(std::move(e));
    }
    if (q.lastError().isValid()) { // a damaged page part way through
        return journalFailed(error, q);
    }
    return true;
}

#include "logging/history_range.h"

#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/journal.h"
#include "logging/read_snapshot.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

namespace {

// A ring's columns are taken by position: 0 the id, 1 the date, 2 the time
// of day, 3..10 the values.
struct RingTable {
    const char *table;
};

// Sets error to kind with what the driver said about e.
bool sqlFailed(HistoryError &error, HistoryFault kind, const QSqlError &e)
{
    error.kind = kind;
    error.sqliteCode = e.nativeErrorCode().toInt();
    error.detail = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    return false;
}

// Sets error to kind with what SQLite said on h.
bool sqliteFailed(HistoryError &error, HistoryFault kind, sqlite3 *h)
{
    error.kind = kind;
    error.sqliteCode = sqlite3_errcode(h);
    error.detail = QString::fromUtf8(sqlite3_errmsg(h));
    return false;
}

// False (error set) when the ring's table is missing or has not eleven
// columns.
bool ringColumns(QSqlDatabase &db, const RingTable &t, HistoryError &error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(t.table))))
        return sqlFailed(error, HistoryFault::Unreadable, q.lastError());
    int columns = 0;
    while (q.next())
        ++columns;
    if (columns == 11)
        return true;
    error.kind = columns == 0 ? HistoryFault::MissingTable : HistoryFault::WrongColumns;
    error.table = QLatin1String(t.table);
    error.columns = columns;
    return false;
}

// An id that names a ring slot; anything else read from the file (null,
// text, 0, negative, beyond the ring, -9223372036854775808) is no id.
std::optional<qint64> ringId(qint64 id)
{
    if (id < 1 || id > kRingSize)
        return std::nullopt;
    return id;
}

struct Row {
    qint64 key;
    qint64 id; // 1..kRingSize
    HistoryRecord rec;
};

// One ring's records of the range, the key of its oldest record and the id
// of its newest one by date and time (the newest id when sl_void has none).
struct RingScan {
    std::vector<Row> rows;
    std::optional<qint64> oldest;
    qint64 newestKey = 0, newestKeyId = 0;
};

// A stored value: a number as it is; null (NaN is stored as null), text or
// a blob is no value.
float columnValue(sqlite3_stmt *st, int col)
{
    const int type = sqlite3_column_type(st, col);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
        return std::numeric_limits<float>::quiet_NaN();
    return float(sqlite3_column_double(st, col));
}

// One plain pass over a ring through SQLite itself (Qt's per-value QVariant
// would cost three times the read budget of a full ring): the records from
// fromKey through toKey. A row without a date and time or without an id of
// the ring is no record and is left out. Any step that fails (a damaged
// page) fails the scan: a range is read whole or not at all.
bool scanRing(sqlite3 *h, const RingTable &t, qint64 fromKey, qint64 toKey, RingScan &scan, HistoryError &error)
{
    scan = RingScan{};
    scan.rows.reserve(size_t(kRingSize));
    const QByteArray sql = QStringLiteral("SELECT * FROM %1").arg(QLatin1String(t.table)).toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        sqliteFailed(error, HistoryFault::Unreadable, h);
        sqlite3_finalize(st);
        return false;
    }
    KeyMsecs msecs;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        qint64 key = 0;
        const std::optional<qint64> id = sqlite3_column_type(st, 0) == SQLITE_INTEGER
                                             ? ringId(sqlite3_column_int64(st, 0))
                                             : std::nullopt;
        if (!id || sqlite3_column_type(st, 1) == SQLITE_NULL || sqlite3_column_type(st, 2) == SQLITE_NULL
            || !serialSeconds(sqlite3_column_double(st, 1), sqlite3_column_double(st, 2), key))
            continue;
        if (!scan.oldest || key < *scan.oldest)
            scan.oldest = key;
        if (scan.newestKeyId == 0 || key >= scan.newestKey) {
            scan.newestKey = key;
            scan.newestKeyId = *id;
        }
        if (key < fromKey || key > toKey)
            continue;
        Row r;
        r.key = key;
        r.id = *id;
        r.rec.msecs = msecs(key);
        for (int k = 0; k < 8; ++k)
            r.rec.values[size_t(k)] = columnValue(st, 3 + k);
        scan.rows.push_back(r);
    }
    if (rc != SQLITE_DONE)
        sqliteFailed(error, HistoryFault::Incomplete, h);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

// The rows in the order they were logged: oldest first, counted back from
// the newest id round the ring. Ids are unique (the id is the table's key),
// so each place is taken once; should two rows share one, they keep the
// order they were read in.
std::vector<int> ringOrder(const std::vector<Row> &rows, qint64 newest)
{
    std::vector<int> order;
    order.reserve(rows.size());
    auto age = [newest](const Row &r) { return ((newest - r.id) % kRingSize + kRingSize) % kRingSize; };
    std::vector<int> at(size_t(kRingSize), -1);
    bool placed = true;
    for (size_t i = 0; placed && i < rows.size(); ++i) {
        int &slot = at[size_t(age(rows[i]))];
        placed = slot < 0;
        slot = int(i);
    }
    if (placed) {
        for (qint64 a = kRingSize - 1; a >= 0; --a)
            if (at[size_t(a)] >= 0)
                order.push_back(at[size_t(a)]);
        return order;
    }
    for (size_t i = 0; i < rows.size(); ++i)
        order.push_back(int(i));
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return age(rows[size_t(a)]) > age(rows[size_t(b)]); });
    return order;
}

// The instants that show the same local time as ms: ms itself and, in the
// hour a clock change back shows twice, the other one; earlier first.
std::pair<qint64, qint64> occurrences(qint64 ms)
{
    constexpr qint64 kProbeMs = 6 * 3600 * 1000;
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
    const int offset = t.offsetFromUtc();
    for (qint64 probe : {ms - kProbeMs, ms + kProbeMs}) {
        const int o = QDateTime::fromMSecsSinceEpoch(probe).offsetFromUtc();
        const qint64 other = ms + qint64(offset - o) * 1000;
        if (other == ms)
            continue;
        const QDateTime u = QDateTime::fromMSecsSinceEpoch(other);
        if (u.date() == t.date() && u.time() == t.time())
            return {std::min(ms, other), std::max(ms, other)};
    }
    return {ms, ms};
}

// Records in ring order of a day whose clock was set back (the autumn
// change shows an hour twice): a local time of that hour is the first
// instant it names unless the record before was later already, then the
// second; so the records of the hour logged twice follow each other.
class FoldedHour
{
public:
    void place(qint64 key, HistoryRecord &rec)
    {
        const qint64 day = key >= 0 ? key / 86400 : -((-key + 86399) / 86400);
        if (day != m_day) {
            m_day = day;
            const QDateTime start(serialDate(double(day)), QTime(0, 0)), end(start.date(), QTime(23, 59, 59));
            m_uneven = start.offsetFromUtc() > end.offsetFromUtc();
        }
        if (m_uneven) {
            const auto [first, second] = occurrences(rec.msecs);
            rec.msecs = m_any && first < m_last && second >= m_last ? second : first;
        }
        m_last = rec.msecs;
        m_any = true;
    }

private:
    qint64 m_day = std::numeric_limits<qint64>::min();
    bool m_uneven = false, m_any = false;
    qint64 m_last = 0;
};

// sl_void's newest ids of the two rings; an id that is none reads as 0.
bool newestIds(QSqlDatabase &db, qint64 newest[2], HistoryError &error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT * FROM sl_void LIMIT 1")) && q.next()) {
        for (int r = 0; r < 2; ++r) {
            const QVariant v = q.value(2 * r);
            bool isInt = false;
            const qint64 id = v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int ? v.toLongLong(&isInt) : 0;
            newest[r] = isInt ? ringId(id).value_or(0) : 0;
        }
    }
    if (!q.lastError().isValid())
        return true;
    return sqlFailed(error, HistoryFault::Incomplete, q.lastError());
}

// The one-second ring unless the range starts before its oldest record and
// the ten-second ring reaches further back (while the one-second ring has
// not yet run round, both start together and the one-second ring holds all
// there is). A plain scan each: the rings have no index on time.
bool scanChosen(sqlite3 *h, qint64 fromKey, qint64 toKey, std::optional<LogRing> ring, const qint64 newest[2],
                std::vector<Row> &rows, qint64 &newestId, HistoryRange &out, HistoryError &error)
{
    const RingTable pv{"pv_data"}, lpv{"Lpv_wdjl"};
    RingScan scan;
    LogRing chosen = ring.value_or(LogRing::OneSecond);
    bool ok = scanRing(h, chosen == LogRing::OneSecond ? pv : lpv, fromKey, toKey, scan, error);
    if (ok && !ring && scan.oldest && fromKey < *scan.oldest) {
        RingScan tens;
        ok = scanRing(h, lpv, fromKey, toKey, tens, error);
        if (ok && tens.oldest && *tens.oldest < *scan.oldest) {
            scan = std::move(tens);
            chosen = LogRing::TenSecond;
        }
    }
    out.ring = chosen;
    const qint64 stored = newest[chosen == LogRing::OneSecond ? 0 : 1];
    newestId = stored != 0 ? stored : scan.newestKeyId;
    rows = std::move(scan.rows);
    return ok;
}

// The records in ring order, each marked fresh or held by the journal's link
// events, and the events of the range.
bool takeRecords(QSqlDatabase &db, qint64 fromKey, qint64 toKey, const std::vector<Row> &rows, qint64 newestId,
                 HistoryRange &out, HistoryError &error)
{
    const std::vector<int> order = ringOrder(rows, newestId);
    std::vector<LinkMark> marks;
    if (!rows.empty()) {
        const auto [lo, hi] = std::minmax_element(rows.begin(), rows.end(),
                                                  [](const Row &a, const Row &b) { return a.key < b.key; });
        if (!readLinkMarks(db, lo->key, hi->key, marks, error))
            return false;
    }
    if (!readEvents(db, fromKey, toKey, out.events, error))
        return false;
    // A key that goes back (the clock was set back) starts the walk again.
    HeldWalk walk(marks);
    FoldedHour fold;
    qint64 last = std::numeric_limits<qint64>::min();
    out.records.reserve(order.size());
    for (int i : order) {
        const Row &r = rows[size_t(i)];
        if (r.key < last)
            walk.restart();
        last = r.key;
        out.records.push_back(r.rec);
        out.records.back().fresh = walk.fresh(r.key);
        fold.place(r.key, out.records.back());
    }
    return true;
}

// The open database's SQLite handle for the scans once both rings are
// checked; nullptr (error set) when the file cannot be read so.
sqlite3 *openRings(QSqlDatabase &db, HistoryError &error)
{
    if (!ringColumns(db, RingTable{"pv_data"}, error) || !ringColumns(db, RingTable{"Lpv_wdjl"}, error))
        return nullptr;
    sqlite3 *h = sqliteHandleOf(db);
    if (!h) {
        error.kind = HistoryFault::Open;
        return nullptr;
    }
    return h;
}

// Reads the range from an open database into out.
bool readOpen(QSqlDatabase &db, qint64 fromKey, qint64 toKey, std::optional<LogRing> ring, HistoryRange &out,
              HistoryError &error)
{
    sqlite3 *h = openRings(db, error);
    if (!h)
        return false;
    qint64 newest[2] = {0, 0};
    if (!newestIds(db, newest, error))
        return false;
    std::vector<Row> rows;
    qint64 newestId = 0;
    if (!scanChosen(h, fromKey, toKey, ring, newest, rows, newestId, out, error))
        return false;
    // From here on a read that fails leaves part of the range unread.
    if (takeRecords(db, fromKey, toKey, rows, newestId, out, error))
        return true;
    error.kind = HistoryFault::Incomplete;
    return false;
}

// Checked before a connection is opened: the driver would create a missing
// file.
bool isDbFile(const QString &dbPath, HistoryError &error)
{
    const QFileInfo fi(dbPath);
    if (fi.isFile())
        return true;
    error.kind = fi.exists() ? HistoryFault::NotFile : HistoryFault::Missing;
    return false;
}

// Runs read on a connection of its own (one per call and thread: the name
// carries both) to a copy of the file taken at one moment: the scans take
// far longer than the logger may wait for its commit.
bool withSnapshot(const QString &dbPath, const void *caller, HistoryError &error,
                  const std::function<bool(QSqlDatabase &)> &read)
{
    const QString name = QStringLiteral("readHistory-%1-%2")
                             .arg(quintptr(QThread::currentThreadId()))
                             .arg(quintptr(caller));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        ok = openSnapshot(db, dbPath, error) && read(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

bool readHistory(const QString &dbPath, const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                 HistoryRange &out, HistoryError &error)
{
    out = HistoryRange{};
    out.from = from;
    out.to = to;
    out.source = dbPath;
    error = HistoryError{};
    error.path = dbPath;
    if (!from.isValid() || !to.isValid() || to < from) {
        error.kind = HistoryFault::BadRange;
        return false;
    }
    if (!isDbFile(dbPath, error))
        return false;

    const QDateTime lf = from.toLocalTime(), lt = to.toLocalTime();
    const qint64 fromKey = serialSeconds(lf.date(), lf.time());
    const qint64 toKey = serialSeconds(lt.date(), lt.time());
    const bool ok = withSnapshot(dbPath, &out, error, [&](QSqlDatabase &db) {
        return readOpen(db, fromKey, toKey, ring, out, error);
    });
    if (!ok) {
        out.records.clear();
        out.events.clear();
    }
    return ok;
}

bool readRecordSpan(const QString &dbPath, QDateTime &oldest, QDateTime &newest, HistoryError &error)
{
    oldest = newest = QDateTime();
    error = HistoryError{};
    error.path = dbPath;
    if (!isDbFile(dbPath, error))
        return false;
    return withSnapshot(dbPath, &oldest, error, [&](QSqlDatabase &db) {
        sqlite3 *h = openRings(db, error);
        RingScan scan;
        // No record lies in an empty key range: the scan only notes the ends.
        if (!h || !scanRing(h, RingTable{"pv_data"}, 1, 0, scan, error))
            return false;
        KeyMsecs msecs;
        if (scan.oldest) {
            oldest = QDateTime::fromMSecsSinceEpoch(msecs(*scan.oldest));
            newest = QDateTime::fromMSecsSinceEpoch(msecs(scan.newestKey));
        }
        return true;
    });
}

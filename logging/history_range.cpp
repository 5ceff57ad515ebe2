#include "logging/history_range.h"

#include "core/chart_model.h"
#include "logging/journal.h"
#include "logging/read_snapshot.h"

#include <QCoreApplication>
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
#include <optional>

namespace {

// A ring's columns are taken by position: 0 the id, 1 the date, 2 the time
// of day, 3..10 the values.
struct RingTable {
    const char *table;
};

QString dbText(const QSqlError &e)
{
    const QString t = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    return t.isEmpty() ? QString() : QCoreApplication::translate("HistoryRange", "（%1）").arg(t);
}

// False (error set) when the ring's table is missing or has not eleven
// columns.
bool ringColumns(QSqlDatabase &db, const RingTable &t, QString &error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(t.table)))) {
        error = QCoreApplication::translate("HistoryRange", "读取数据库失败") + dbText(q.lastError());
        return false;
    }
    QStringList names;
    while (q.next())
        names << q.value(1).toString();
    if (names.size() != 11) {
        error = names.isEmpty() ? QCoreApplication::translate("HistoryRange", "不是本程序的数据库：缺少表 %1")
            .arg(QLatin1String(t.table))
                                : QCoreApplication::translate("HistoryRange", "不是本程序的数据库：表 %1 应有 11 列，实有 %2 列")
                                      .arg(QLatin1String(t.table))
                                      .arg(names.size());
        return false;
    }
    return true;
}

struct Row {
    qint64 key;
    qint64 age; // places back from the newest id: the ring's own order
    HistoryRecord rec;
};

// One plain pass over a ring through SQLite itself (Qt's per-value QVariant
// would cost three times the read budget of a full ring): the records from
// fromKey through toKey into rows, and the key of the ring's oldest record.
bool scanRing(sqlite3 *h, const RingTable &t, qint64 fromKey, qint64 toKey, qint64 newest, std::vector<Row> &rows,
              std::optional<qint64> &oldest, QString &error)
{
    rows.clear();
    rows.reserve(size_t(kRingSize));
    oldest.reset();
    const QByteArray sql = QStringLiteral("SELECT * FROM %1").arg(QLatin1String(t.table)).toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        error = QCoreApplication::translate("HistoryRange", "读取数据库失败（%1）").arg(QString::fromUtf8(sqlite3_errmsg(h)));
        sqlite3_finalize(st);
        return false;
    }
    KeyMsecs msecs;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        qint64 key = 0;
        // A null date or time is no time: such a row is left out.
        if (sqlite3_column_type(st, 1) == SQLITE_NULL || sqlite3_column_type(st, 2) == SQLITE_NULL
            || !serialSeconds(sqlite3_column_double(st, 1), sqlite3_column_double(st, 2), key))
            continue;
        if (!oldest || key < *oldest)
            oldest = key;
        if (key < fromKey || key > toKey)
            continue;
        Row r;
        r.key = key;
        const qint64 id = sqlite3_column_int64(st, 0);
        r.age = ((newest - id) % kRingSize + kRingSize) % kRingSize;
        r.rec.msecs = msecs(key);
        for (int k = 0; k < 8; ++k)
            r.rec.values[size_t(k)] = float(sqlite3_column_double(st, 3 + k)); // null reads 0
        rows.push_back(r);
    }
    if (rc != SQLITE_DONE)
        error = QCoreApplication::translate("HistoryRange", "读取数据库失败（%1）").arg(QString::fromUtf8(sqlite3_errmsg(h)));
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

} // namespace

bool readHistory(const QString &dbPath, const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                 HistoryRange &out, QString &error)
{
    out = HistoryRange{};
    out.from = from;
    out.to = to;
    error.clear();
    if (!from.isValid() || !to.isValid() || to < from) {
        error = QCoreApplication::translate("HistoryRange", "时间范围无效");
        return false;
    }
    // Checked first: the driver would create a missing file.
    const QFileInfo fi(dbPath);
    if (!fi.exists()) {
        error = QCoreApplication::translate("HistoryRange", "数据库文件 %1 不存在").arg(dbPath);
        return false;
    }
    if (!fi.isFile()) {
        error = QCoreApplication::translate("HistoryRange", "%1 不是数据库文件").arg(dbPath);
        return false;
    }

    const QDateTime lf = from.toLocalTime(), lt = to.toLocalTime();
    const qint64 fromKey = serialSeconds(lf.date(), lf.time());
    const qint64 toKey = serialSeconds(lt.date(), lt.time());

    // One connection per call and thread: the name carries both.
    const QString name = QStringLiteral("readHistory-%1-%2")
                             .arg(quintptr(QThread::currentThreadId()))
                             .arg(quintptr(&out));
    bool ok = false;
    {
        // Everything below reads a copy of the file taken at one moment: the
        // scans take far longer than the logger may wait for its commit.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        ok = openSnapshot(db, dbPath, error);

        const RingTable pv{"pv_data"}, lpv{"Lpv_wdjl"};
        ok = ok && ringColumns(db, pv, error) && ringColumns(db, lpv, error);

        sqlite3 *h = nullptr;
        if (ok) {
            const QVariant handle = db.driver()->handle();
            if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
                h = *static_cast<sqlite3 *const *>(handle.constData());
            ok = h != nullptr;
            if (!ok)
                error = QCoreApplication::translate("HistoryRange", "无法读取数据库 %1").arg(dbPath);
        }

        // Newest ids of the rings, for the order of records within a second.
        qint64 newest[2] = {0, 0};
        if (ok) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT * FROM sl_void LIMIT 1")) && q.next()) {
                newest[0] = q.value(0).toLongLong();
                newest[1] = q.value(2).toLongLong();
            }
        }

        // The one-second ring unless the range starts before its oldest
        // record and the ten-second ring reaches further back (while the
        // one-second ring has not yet run round, both start together and
        // the one-second ring holds all there is). A plain scan each: the
        // rings have no index on time.
        std::vector<Row> rows;
        std::optional<qint64> oldest;
        LogRing chosen = ring.value_or(LogRing::OneSecond);
        if (ok && chosen == LogRing::OneSecond) {
            ok = scanRing(h, pv, fromKey, toKey, newest[0], rows, oldest, error);
            if (ok && !ring && oldest && fromKey < *oldest) {
                std::vector<Row> tens;
                std::optional<qint64> tensOldest;
                ok = scanRing(h, lpv, fromKey, toKey, newest[1], tens, tensOldest, error);
                if (ok && tensOldest && *tensOldest < *oldest) {
                    rows.swap(tens);
                    chosen = LogRing::TenSecond;
                }
            }
        } else if (ok) {
            ok = scanRing(h, lpv, fromKey, toKey, newest[1], rows, oldest, error);
        }
        out.ring = chosen;

        // Ring order first (each id once, so each age once: placed directly),
        // which is time order unless the clock was set back; then by time.
        std::vector<int> order;
        if (ok) {
            std::vector<int> at(size_t(kRingSize), -1);
            bool placed = true;
            for (size_t i = 0; placed && i < rows.size(); ++i) {
                const qint64 age = rows[i].age;
                placed = age >= 0 && age < kRingSize && at[size_t(age)] < 0;
                if (placed)
                    at[size_t(age)] = int(i);
            }
            order.reserve(rows.size());
            if (placed) {
                for (qint64 age = kRingSize - 1; age >= 0; --age)
                    if (at[size_t(age)] >= 0)
                        order.push_back(at[size_t(age)]);
            } else {
                for (size_t i = 0; i < rows.size(); ++i)
                    order.push_back(int(i));
            }
            auto byTime = [&rows](int a, int b) {
                const Row &x = rows[size_t(a)], &y = rows[size_t(b)];
                return x.key != y.key ? x.key < y.key : x.age > y.age;
            };
            if (!std::is_sorted(order.begin(), order.end(), byTime))
                std::sort(order.begin(), order.end(), byTime);
        }

        std::vector<LinkMark> marks;
        if (ok && !order.empty())
            ok = readLinkMarks(db, rows[size_t(order.front())].key, rows[size_t(order.back())].key, marks, error);
        if (ok)
            ok = readEvents(db, fromKey, toKey, out.events, error);
        if (ok) {
            HeldWalk walk(marks);
            out.records.reserve(order.size());
            for (int i : order) {
                const Row &r = rows[size_t(i)];
                out.records.push_back(r.rec);
                out.records.back().fresh = walk.fresh(r.key);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok) {
        out.records.clear();
        out.events.clear();
    }
    return ok;
}

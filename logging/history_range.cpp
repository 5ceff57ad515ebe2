#include "logging/history_range.h"

#include "core/chart_model.h"
#include "logging/journal.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

struct RingTable {
    const char *table;
    QString cols[3]; // id, date, time (positions 0..2)
};

QString quotedName(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

QString dbText(const QSqlError &e)
{
    const QString t = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    return t.isEmpty() ? QString() : QStringLiteral("（%1）").arg(t);
}

// The ring's column names by position; false (error set) when the table is
// missing or has not eleven columns.
bool ringColumns(QSqlDatabase &db, RingTable &t, QString &error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(t.table)))) {
        error = QStringLiteral("读取数据库失败") + dbText(q.lastError());
        return false;
    }
    QStringList names;
    while (q.next())
        names << q.value(1).toString();
    if (names.size() != 11) {
        error = names.isEmpty() ? QStringLiteral("不是本程序的数据库：缺少表 %1").arg(QLatin1String(t.table))
                                : QStringLiteral("不是本程序的数据库：表 %1 应有 11 列，实有 %2 列")
                                      .arg(QLatin1String(t.table))
                                      .arg(names.size());
        return false;
    }
    for (int c = 0; c < 3; ++c)
        t.cols[c] = quotedName(names[c]);
    return true;
}

// Oldest record of the ring by date and time; false when it holds none.
bool oldestKey(QSqlDatabase &db, const RingTable &t, qint64 &key, bool &ok)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    ok = q.exec(QStringLiteral("SELECT %2, %3 FROM %1 WHERE %2 IS NOT NULL AND %3 IS NOT NULL ORDER BY %2, %3 LIMIT 1")
                    .arg(QLatin1String(t.table), t.cols[1], t.cols[2]));
    if (!ok || !q.next())
        return false;
    return serialSeconds(q.value(0).toDouble(), q.value(1).toDouble(), key);
}

struct Row {
    qint64 key;
    qint64 age; // places back from the newest id: the ring's own order
    HistoryRecord rec;
};

} // namespace

bool readHistory(const QString &dbPath, const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                 HistoryRange &out, QString &error)
{
    out = HistoryRange{};
    out.from = from;
    out.to = to;
    error.clear();
    if (!from.isValid() || !to.isValid() || to < from) {
        error = QStringLiteral("时间范围无效");
        return false;
    }
    // Checked first: the driver would create a missing file.
    const QFileInfo fi(dbPath);
    if (!fi.exists()) {
        error = QStringLiteral("数据库文件 %1 不存在").arg(dbPath);
        return false;
    }
    if (!fi.isFile()) {
        error = QStringLiteral("%1 不是数据库文件").arg(dbPath);
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
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        ok = db.open();
        if (!ok)
            error = QStringLiteral("无法打开数据库 %1").arg(dbPath) + dbText(db.lastError());

        RingTable pv{"pv_data", {}}, lpv{"Lpv_wdjl", {}};
        ok = ok && ringColumns(db, pv, error) && ringColumns(db, lpv, error);

        // The ring: the one-second one unless the range starts before it.
        LogRing chosen = LogRing::OneSecond;
        if (ok && ring) {
            chosen = *ring;
        } else if (ok) {
            qint64 oldest = 0;
            if (oldestKey(db, pv, oldest, ok) && fromKey < oldest)
                chosen = LogRing::TenSecond;
            if (!ok)
                error = QStringLiteral("读取数据库失败") + dbText(db.lastError());
        }
        out.ring = chosen;
        const RingTable &t = chosen == LogRing::OneSecond ? pv : lpv;

        // Newest id of the ring, for the order of records of one second.
        qint64 newest = 0;
        if (ok) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT * FROM sl_void LIMIT 1")) && q.next())
                newest = q.value(chosen == LogRing::OneSecond ? 0 : 2).toLongLong();
        }

        // A plain scan (the rings have no index on time), filtered by date in
        // the database and to the second here, ordered here.
        std::vector<Row> rows;
        if (ok) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            const double d0 = std::floor(double(fromKey) / 86400.0), d1 = std::floor(double(toKey) / 86400.0);
            ok = q.exec(QStringLiteral("SELECT * FROM %1 WHERE %2 >= %3 AND %2 < %4")
                            .arg(QLatin1String(t.table), t.cols[1])
                            .arg(d0 - 1, 0, 'f', 0)
                            .arg(d1 + 2, 0, 'f', 0));
            if (!ok)
                error = QStringLiteral("读取数据库失败") + dbText(q.lastError());
            KeyMsecs msecs;
            while (ok && q.next()) {
                qint64 key = 0;
                if (!serialSeconds(q.value(1).toDouble(), q.value(2).toDouble(), key) || key < fromKey || key > toKey)
                    continue;
                Row r;
                r.key = key;
                const qint64 id = q.value(0).toLongLong();
                r.age = ((newest - id) % kRingSize + kRingSize) % kRingSize;
                r.rec.msecs = msecs(key);
                for (int k = 0; k < 8; ++k)
                    r.rec.values[size_t(k)] = q.value(3 + k).toFloat();
                rows.push_back(r);
            }
            if (ok && q.lastError().isValid()) {
                ok = false;
                error = QStringLiteral("读取数据库失败") + dbText(q.lastError());
            }
        }
        std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
            return a.key != b.key ? a.key < b.key : a.age > b.age;
        });

        std::vector<LinkMark> marks;
        if (ok && !rows.empty())
            ok = readLinkMarks(db, rows.front().key, rows.back().key, marks, error);
        if (ok)
            ok = readEvents(db, fromKey, toKey, out.events, error);
        if (ok) {
            HeldWalk walk(marks);
            out.records.reserve(rows.size());
            for (Row &r : rows) {
                r.rec.fresh = walk.fresh(r.key);
                out.records.push_back(r.rec);
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

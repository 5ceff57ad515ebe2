// DbConn's connection core: opening, the prepared statements, the ids and
// records of the rings, the window reads and the journal's events. Its
// faults, lock file, file watch and schema checks are in log_fault.cpp,
// log_lock.cpp, log_watch.cpp and log_schema.cpp.
#include "logging/log_db.h"
#include "logging/log_db_internal.h"

#include "core/chart_model.h"
#include "core/numbers.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

using namespace logdb;

namespace {

// An id as stored in sl_void, or false when the value cannot be read as one
// (null, a blob, text that is no number, a negative number). Ids of 65500
// or more read as 65500: the ring restarts at 1 after them.
bool storedId(const QVariant &v, int32_t &id)
{
    if (v.isNull())
        return false;
    bool ok = false;
    double d = 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        d = v.toDouble(&ok);
        break;
    case QMetaType::QString: // a number kept as text in a column without a type
        d = v.toString().trimmed().toDouble(&ok);
        break;
    default:
        return false;
    }
    if (!ok || std::isnan(d) || d < 0)
        return false;
    if (d >= kRingSize) {
        id = kRingSize;
        return true;
    }
    return roundI32(d, &id);
}

// ms: the logging runs on the UI thread. A record the lock holds off longer
// is tried again at the next tick of its second (mscom).
constexpr const char *kBusyOption = "QSQLITE_BUSY_TIMEOUT=20";

// The user's data folder as QStandardPaths names it ($XDG_DATA_HOME, else
// ~/.local/share). A relative $XDG_DATA_HOME is no folder in the XDG sense:
// it is passed over for ~/.local/share, as the config folder passes over a
// relative $XDG_CONFIG_HOME, and before Qt is asked, which would take it.
QString dataFolder()
{
    if (const QString xdg = qEnvironmentVariable("XDG_DATA_HOME"); !xdg.isEmpty() && QDir::isRelativePath(xdg))
        return QDir::homePath() + QStringLiteral("/.local/share");
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace

DbLocation dbLocation()
{
    const QString env = qEnvironmentVariable("QR5300M_DB");
    if (!env.isEmpty())
        return {env, false};
    return {dataFolder() + QStringLiteral("/qr5300m/Rdatabj.db"), true};
}

DbLocation stationDbLocation(const DbLocation &single, int station)
{
    const QFileInfo file(single.path);
    const QString suffix = file.suffix().isEmpty() ? QString() : QStringLiteral(".") + file.suffix();
    return {QStringLiteral("%1/%2-%3%4").arg(file.path(), file.completeBaseName()).arg(station).arg(suffix),
            single.makeFolder};
}

DbLocation folderDbLocation(const QString &dir)
{
    return {QDir(QFileInfo(dir).absoluteFilePath()).filePath(QStringLiteral("Rdatabj.db")), false};
}

QString dbPath(bool makeFolder)
{
    const DbLocation where = dbLocation();
    if (makeFolder && where.makeFolder)
        QDir().mkpath(QFileInfo(where.path).absolutePath());
    return where.path;
}

DbFiles::DbFiles(const Clock &clock, DbLocation where) : DbFiles(clock)
{
    m_where = std::move(where);
}

DbFiles::DbFiles(const Clock &clock) : clock(clock)
{
    // Apart from every other instance's, also after one of them is gone.
    static QAtomicInteger<quint64> instances;
    m_prefix = QStringLiteral("qr%1-").arg(instances.fetchAndAddRelaxed(1) + 1);
}

struct DbConn::Stmts {
    explicit Stmts(const QSqlDatabase &db)
        : begin(db), commit(db), rollback(db), readIds(db), slIns(db), winIn(db), winOut(db),
          pv{QSqlQuery(db), QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)},
          lpv{QSqlQuery(db), QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)}
    {
    }
    QSqlQuery begin, commit, rollback, readIds, slIns, winIn, winOut;
    struct Ring {
        QSqlQuery upd, ins, ids, newest;
    } pv, lpv;
};

DbConn::DbConn(DbFiles &files, const QString &name, Role role)
    : m_files(files), m_name(name), m_sqlName(files.sqlName(name)), m_role(role)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_sqlName);
    m_files.m_conns.push_back(this);
}

DbConn::~DbConn()
{
    auto &all = m_files.m_conns;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    closeConnection();
    dropLock();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_sqlName);
}

void DbConn::closeConnection()
{
    m_q.reset();
    if (m_db.isOpen())
        m_db.close();
    m_open = false;
}

void DbConn::close()
{
    closeConnection();
    dropLock();
}

bool DbConn::open()
{
    m_lastTry = m_files.clock.now();
    closeConnection();
    const DbLocation where = m_files.location();
    m_path = where.path;
    if (where.makeFolder)
        QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_role == Role::Writer && !takeLock())
        return false;
    const bool existed = QFileInfo::exists(m_path);
    if (!openChecked()) {
        closeConnection();
        return false;
    }
    setFault(DbError());
    ++m_opens;
    if (std::exchange(m_changed, false))
        m_notice = {existed ? DbNotice::FileReplaced : DbNotice::FileRecreated, {}, 0, 0};
    return true;
}

bool DbConn::openChecked()
{
    const QFileInfo fi(m_path);
    const FileSig before = sigOf(m_path);
    if (before.exists && !fi.isFile())
        return foreign(DbCause::NotRegular);
    if (!before.exists) {
        if (folderFault())
            return false;
        // Journals left by a deleted database would be replayed into the
        // new file: they belong to no file any more.
        for (const char *suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(m_path + QLatin1String(suffix));
    }

    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QLatin1String(kBusyOption));
    if (!m_db.open())
        return fail(m_db.lastError(), true);
    m_open = true;

    bool empty = false;
    if (!checkSchema(empty))
        return false;
    QSqlQuery q(m_db);
    // A rollback journal is live only while a transaction runs, so a file
    // put in place of ours between two records never meets a journal or
    // write-ahead log of the old one (a write-ahead log would be applied to
    // it, and is checkpointed into whatever file is at the path when the
    // last connection closes). PERSIST keeps the journal file and zeroes its
    // header at each commit, which makes it inert: no file is made and
    // removed per record, so a commit changes no file sizes and its syncs
    // need no file-system journal commit (about a third less time than
    // DELETE, measured). FULL makes every commit durable. Neither may fail
    // the open: a read-only file still opens, and its writes report it.
    q.exec(QStringLiteral("PRAGMA journal_mode=PERSIST"));
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    q.finish();
    if (empty && !createTables())
        return false;
    if (!checkJournal())
        return false;
    if (!prepare())
        return false;
    ownWrite(before);
    return true;
}

bool DbConn::prepare()
{
    m_q = std::make_unique<Stmts>(m_db);
    Stmts &s = *m_q;
    const QString sl = quoted(m_slCols[0]), sl1 = quoted(m_slCols[1]), sl2 = quoted(m_slCols[2]), sl3 = quoted(m_slCols[3]);
    bool ok = s.begin.prepare(QStringLiteral("BEGIN IMMEDIATE")) && s.commit.prepare(QStringLiteral("COMMIT"))
              && s.rollback.prepare(QStringLiteral("ROLLBACK"))
              && s.readIds.prepare(QStringLiteral("SELECT %1, %2 FROM sl_void LIMIT 1").arg(sl, sl2))
              && s.slIns.prepare(QStringLiteral("INSERT INTO sl_void VALUES (?, ?, ?, ?)"));

    auto ring = [&](Stmts::Ring &r, const char *table, const QString *cols, const QString &id0, const QString &id1) {
        QString set, names, marks;
        for (int c = 1; c < 11; ++c)
            set += (c > 1 ? QStringLiteral(", ") : QString()) + quoted(cols[c]) + QStringLiteral(" = ?");
        for (int c = 0; c < 11; ++c) {
            names += (c ? QStringLiteral(", ") : QString()) + quoted(cols[c]);
            marks += c ? QStringLiteral(", ?") : QStringLiteral("?");
        }
        const QString t = QLatin1String(table);
        const QString id = quoted(cols[0]);
        r.newest.setForwardOnly(true);
        return r.upd.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(t, set, id))
               && r.ins.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(t, names, marks))
               && r.ids.prepare(QStringLiteral("UPDATE sl_void SET %1 = ?, %2 = ?").arg(id0, id1))
               && r.newest.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 BETWEEN 1 AND %3 ORDER BY %4 DESC, %5 DESC, %1 DESC LIMIT 1")
                                       .arg(id, t)
                                       .arg(kRingSize)
                                       .arg(quoted(cols[1]), quoted(cols[2])));
    };
    ok = ok && ring(s.pv, "pv_data", m_pvCols, sl, sl1) && ring(s.lpv, "Lpv_wdjl", m_lpvCols, sl2, sl3);

    // Bounds smallest first: SQLite's between is not order-independent.
    // The crossing window is written as two ranges so that the key is used.
    const QString id = quoted(m_pvCols[0]);
    const QString order = QStringLiteral(" ORDER BY %1, %2").arg(quoted(m_pvCols[1]), quoted(m_pvCols[2]));
    s.winIn.setForwardOnly(true);
    s.winOut.setForwardOnly(true);
    ok = ok && s.winIn.prepare(QStringLiteral("SELECT * FROM pv_data WHERE %1 BETWEEN ? AND ?").arg(id) + order)
         && s.winOut.prepare(QStringLiteral("SELECT * FROM pv_data WHERE %1 < ? OR %1 > ?").arg(id) + order);
    if (!ok) {
        QSqlError err = m_db.lastError();
        for (QSqlQuery *q : {&s.begin, &s.commit, &s.rollback, &s.readIds, &s.slIns, &s.winIn, &s.winOut, &s.pv.upd, &s.pv.ins,
                             &s.pv.ids, &s.pv.newest, &s.lpv.upd, &s.lpv.ins, &s.lpv.ids, &s.lpv.newest})
            if (q->lastError().isValid())
                err = q->lastError();
        return fail(err, true);
    }
    return true;
}

bool DbConn::readIds(int32_t &pvId, int32_t &lpvId)
{
    if (!ensureOpen())
        return false;
    QSqlQuery &q = m_q->readIds;
    if (!q.exec())
        return fail(q.lastError(), true);
    const bool row = q.next();
    const QSqlError err = q.lastError();
    const QVariant stored[2] = {row ? q.value(0) : QVariant(), row ? q.value(1) : QVariant()};
    q.finish();
    if (!row && err.isValid())
        return fail(err, true);

    int32_t ids[2] = {0, 0};
    bool lost[2] = {false, false};
    for (int k = 0; k < 2; ++k) {
        lost[k] = !storedId(stored[k], ids[k]);
        // A lost id restarting at 1 would overwrite the oldest history
        // first: the ring itself knows its newest record.
        if (lost[k]) {
            bool ok = false;
            ids[k] = newestInRing(k ? DbRing::Lpv : DbRing::Pv, ok);
            if (!ok)
                return false;
        }
    }
    if ((lost[0] || lost[1]) && m_role == Role::Writer) {
        Stmts &s = *m_q;
        const bool repaired = transaction([&]() -> QSqlQuery * {
            if (!row) {
                QSqlQuery &ins = s.slIns;
                for (int c = 0; c < 4; ++c)
                    ins.bindValue(c, ids[c / 2]);
                return ins.exec() ? nullptr : &ins;
            }
            for (int k = 0; k < 2; ++k) {
                QSqlQuery &upd = k ? s.lpv.ids : s.pv.ids;
                upd.bindValue(0, ids[k]);
                upd.bindValue(1, ids[k]);
                if (lost[k] && !upd.exec())
                    return &upd;
            }
            return nullptr;
        });
        if (!repaired)
            return false;
        m_notice = {DbNotice::IdsRecovered, {}, ids[0], ids[1]};
    }
    pvId = ids[0];
    lpvId = ids[1];
    m_idsOpen = m_opens;
    return true;
}

int32_t DbConn::newestInRing(DbRing ring, bool &ok)
{
    QSqlQuery &q = ring == DbRing::Pv ? m_q->pv.newest : m_q->lpv.newest;
    ok = q.exec();
    if (!ok) {
        fail(q.lastError(), true);
        return 0;
    }
    const int32_t id = q.next() ? q.value(0).toInt() : 0; // an empty ring starts at 1
    const QSqlError err = q.lastError();
    q.finish();
    if (err.isValid()) {
        ok = false;
        fail(err, true);
    }
    return id;
}

bool DbConn::transaction(const std::function<QSqlQuery *()> &steps)
{
    Stmts &s = *m_q;
    const FileSig before = m_sig;
    QSqlQuery *failed = s.begin.exec() ? steps() : &s.begin;
    if (!failed && !s.commit.exec())
        failed = &s.commit;
    if (failed) {
        const QSqlError err = failed->lastError();
        s.rollback.exec(); // may find nothing to roll back: SQLite undid it already
        ownWrite(before);
        return fail(err, false);
    }
    ownWrite(before);
    return true;
}

bool DbConn::readPvId(int32_t &pvId)
{
    int32_t lpv = 0;
    return readIds(pvId, lpv);
}

bool DbConn::writeRecord(DbRing ring, int32_t id, double date, double time, const float values[8])
{
    if (!ensureOpen() || m_idsOpen != m_opens)
        return false;
    Stmts::Ring &r = ring == DbRing::Pv ? m_q->pv : m_q->lpv;
    return transaction([&]() -> QSqlQuery * {
        r.upd.bindValue(0, date);
        r.upd.bindValue(1, time);
        for (int i = 0; i < 8; ++i)
            r.upd.bindValue(2 + i, double(values[i]));
        r.upd.bindValue(10, id);
        if (!r.upd.exec())
            return &r.upd;
        if (r.upd.numRowsAffected() == 0) {
            r.ins.bindValue(0, id);
            r.ins.bindValue(1, date);
            r.ins.bindValue(2, time);
            for (int i = 0; i < 8; ++i)
                r.ins.bindValue(3 + i, double(values[i]));
            if (!r.ins.exec())
                return &r.ins;
        }
        r.ids.bindValue(0, id);
        r.ids.bindValue(1, id);
        return r.ids.exec() ? nullptr : &r.ids;
    });
}

QSqlQuery *DbConn::Window(bool crossing, int32_t lo, int32_t hi)
{
    if (!ensureOpen())
        return nullptr;
    QSqlQuery &q = crossing ? m_q->winOut : m_q->winIn;
    q.bindValue(0, lo);
    q.bindValue(1, hi);
    if (!q.exec()) {
        fail(q.lastError(), true);
        return nullptr;
    }
    return &q;
}

bool DbConn::recordEvent(const HistoryEvent &event)
{
    if (m_role != Role::Writer) {
        m_journalError = {JournalFault::ReaderOnly, {}, {}};
        return false;
    }
    if (!ensureOpen()) {
        m_journalError = {JournalFault::NotOpen, m_error, {}};
        return false;
    }
    if (!m_journalOk) {
        // Created by another copy of the program since we opened it?
        if (!checkJournal()) {
            m_journalError = {JournalFault::NotOpen, m_error, {}};
            return false;
        }
        if (!m_journalOk)
            return false;
    }
    const FileSig before = m_sig;
    QSqlQuery q(m_db);
    bool ok = q.prepare(QStringLiteral("INSERT INTO qr_events (ev_time, ev_kind, ev_channel, ev_flag, ev_reg, ev_caption, "
                                       "ev_before, ev_value, ev_detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (ok) {
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(event.msecs);
        q.bindValue(0, keyText(serialSeconds(when.date(), when.time())));
        q.bindValue(1, eventKindName(event.kind));
        const bool alarm = isAlarmEvent(event.kind);
        const bool flag = alarm || event.kind == EventKind::FlagRaised || event.kind == EventKind::FlagCleared;
        const bool param = !flag && !isLinkEvent(event.kind);
        q.bindValue(2, flag ? QVariant(event.channel) : QVariant());
        q.bindValue(3, flag ? QVariant(event.flag) : QVariant());
        q.bindValue(4, param ? QVariant(event.reg) : QVariant());
        for (int i = 0; i < 4; ++i) {
            const QString &text = i == 0 ? event.caption : i == 1 ? event.before : i == 2 ? event.value : event.detail;
            q.bindValue(5 + i, param || alarm || i == 3 ? QVariant(text) : QVariant());
        }
        ok = q.exec();
    }
    if (ok) {
        // The journal keeps its newest rows; the oldest go a thousand at a time.
        const qint64 id = q.lastInsertId().toLongLong();
        if (id > kJournalKeep && id % 1000 == 0)
            q.exec(QStringLiteral("DELETE FROM qr_events WHERE ev_id <= %1").arg(id - kJournalKeep));
        m_journalError = JournalError();
    } else {
        const QSqlError err = q.lastError();
        m_journalError = {JournalFault::WriteFailed, {}, {}};
        m_journalError.db.cause = DbCause::Sqlite;
        m_journalError.db.sqliteCode = err.nativeErrorCode().toInt() & 0xff;
        m_journalError.db.sqliteText = err.databaseText().isEmpty() ? err.driverText() : err.databaseText();
    }
    q.finish();
    ownWrite(before);
    return ok;
}

bool DbConn::linkMarks(qint64 fromKey, qint64 toKey, std::vector<LinkMark> &marks)
{
    marks.clear();
    if (!m_open)
        return false;
    HistoryError error;
    return readLinkMarks(m_db, fromKey, toKey, marks, error);
}

void DbConn::endWindow()
{
    if (m_q) {
        m_q->winIn.finish();
        m_q->winOut.finish();
    }
}

#include "logging/log_db.h"

#include "app/globals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include <sys/stat.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Open connections, so that a deleted or replaced file closes all of them
// before a new file is created at the same path.
std::vector<Db_Conn *> &registry()
{
    static std::vector<Db_Conn *> all;
    return all;
}

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

// SQLite primary result codes the fault texts tell apart.
constexpr int kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8, kSqliteIoErr = 10,
              kSqliteCorrupt = 11, kSqliteFull = 13, kSqliteCantOpen = 14, kSqliteNotADb = 26;

constexpr const char *kBusyOption = "QSQLITE_BUSY_TIMEOUT=20"; // ms: the logging runs on the UI thread

struct Table_Rule {
    const char *table;
    int columns;
    const char *names[3]; // binding names of positions 0..2 (nullptr: free)
};
constexpr Table_Rule kRules[] = {
    {"sl_void", 4, {nullptr, nullptr, nullptr}},
    {"pv_data", 11, {"w_id", "w_date", "w_time"}},
    {"Lpv_wdjl", 11, {"lw_id", nullptr, nullptr}},
};

} // namespace

QString Db_Path()
{
    const QString env = qEnvironmentVariable("QR5300M_DB");
    if (!env.isEmpty())
        return env;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString dir = base + QStringLiteral("/qr5300m");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/Rdatabj.db");
}

struct Db_Conn::Stmts {
    explicit Stmts(const QSqlDatabase &db)
        : begin(db), commit(db), rollback(db), readIds(db), winIn(db), winOut(db),
          pv{QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)}, lpv{QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)}
    {
    }
    QSqlQuery begin, commit, rollback, readIds, winIn, winOut;
    struct Ring {
        QSqlQuery upd, ins, ids;
    } pv, lpv;
};

Db_Conn::Db_Conn(const QString &conn_name) : m_name(conn_name)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    registry().push_back(this);
}

Db_Conn::~Db_Conn()
{
    auto &all = registry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    Close_Connection();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

Db_Conn::File_Sig Db_Conn::Sig_Of(const QString &path)
{
    File_Sig s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = quint64(st.st_dev);
    s.ino = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.mtime_ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

void Db_Conn::Set_Fault(Db_Fault f, const QString &text)
{
    m_fault = f;
    m_faultText = text;
    if (f == Db_Fault::Foreign)
        m_foreignSig = Sig_Of(m_path);
}

void Db_Conn::Close_Connection()
{
    m_q.reset();
    if (m_db.isOpen())
        m_db.close();
    m_open = false;
}

void Db_Conn::Close()
{
    Close_Connection();
}

bool Db_Conn::Fail(const QSqlError &err, bool close)
{
    const int code = err.nativeErrorCode().toInt() & 0xff;
    // Faults that only a new connection can get over: a connection opened
    // read-only stays so, and one on a lost file writes into nothing.
    bool reopen = true;
    if (code == kSqliteReadOnly) {
        Set_Fault(Db_Fault::Read_Only, QStringLiteral("数据库只读"));
    } else if (code == kSqliteCorrupt || code == kSqliteNotADb) {
        Set_Fault(Db_Fault::Foreign, QStringLiteral("%1 不是本程序的数据库：文件已损坏或不是 SQLite 数据库").arg(m_path));
    } else if (!QFileInfo::exists(m_path)) {
        Set_Fault(Db_Fault::Missing, QStringLiteral("数据库文件丢失"));
    } else if (code == kSqliteBusy || code == kSqliteLocked) {
        Set_Fault(Db_Fault::Locked, QStringLiteral("数据库被锁定"));
        reopen = false;
    } else if (code == kSqliteFull) {
        Set_Fault(Db_Fault::Full, QStringLiteral("磁盘已满"));
        reopen = false;
    } else {
        Set_Fault(Db_Fault::Other, QStringLiteral("数据库错误：%1").arg(err.text()));
        reopen = code == kSqliteIoErr || code == kSqliteCantOpen;
    }
    if (close || reopen) {
        Close_Connection();
        m_lastTry = Clock_Now(); // the next try in the next clock second
    }
    return false;
}

bool Db_Conn::Open()
{
    m_lastTry = Clock_Now();
    Close_Connection();
    m_path = Db_Path();
    if (!Open_Checked()) {
        Close_Connection();
        return false;
    }
    Set_Fault(Db_Fault::None, QString());
    return true;
}

bool Db_Conn::Open_Checked()
{
    const QFileInfo fi(m_path);
    const File_Sig before = Sig_Of(m_path);
    if (before.exists && !fi.isFile()) {
        Set_Fault(Db_Fault::Foreign, QStringLiteral("%1 不是本程序的数据库：不是普通文件").arg(m_path));
        return false;
    }
    if (!before.exists) {
        if (!QFileInfo(fi.absolutePath()).isDir()) {
            Set_Fault(Db_Fault::Missing, QStringLiteral("数据库文件丢失"));
            return false;
        }
        // Journals left by a deleted database would be replayed into the
        // new file: they belong to no file any more.
        for (const char *suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(m_path + QLatin1String(suffix));
    }

    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QLatin1String(kBusyOption));
    if (!m_db.open())
        return Fail(m_db.lastError(), true);
    m_open = true;

    bool empty = false;
    if (!Check_Schema(empty))
        return false;
    QSqlQuery q(m_db);
    // Write-ahead logging lets the main window read while the logging writes;
    // FULL makes every commit durable. Neither may fail the open: a
    // read-only file still opens, and its writes report it.
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    if (empty && !Create_Tables())
        return false;
    // A database of ours without its bookkeeping row gets a zeroed one.
    if (q.exec(QStringLiteral("SELECT count(*) FROM sl_void")) && q.next() && q.value(0).toLongLong() == 0) {
        q.finish();
        q.exec(QStringLiteral("INSERT INTO sl_void VALUES (0, 0, 0, 0)"));
    }
    q.finish();
    if (!Prepare())
        return false;
    m_sig = Sig_Of(m_path);
    return true;
}

bool Db_Conn::Check_Schema(bool &empty)
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return Fail(q.lastError(), true);
    empty = q.value(0).toLongLong() == 0;
    q.finish();
    if (empty)
        return true;

    auto foreign = [&](const QString &what) {
        Set_Fault(Db_Fault::Foreign, QStringLiteral("%1 不是本程序的数据库：%2").arg(m_path, what));
        Close_Connection();
        return false;
    };
    // The full check reads the whole file (some 30 ms when the rings are
    // full): once per file, not at every new open after a fault.
    static std::pair<QString, File_Sig> verified;
    const File_Sig sig = Sig_Of(m_path);
    if (!(verified.first == m_path && verified.second == sig)) {
        if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")) || !q.next())
            return Fail(q.lastError(), true);
        if (q.value(0).toString() != QLatin1String("ok"))
            return foreign(QStringLiteral("文件已损坏"));
        q.finish();
        verified = {m_path, sig};
    }

    QString *cols[] = {m_slCols, m_pvCols, m_lpvCols};
    for (int t = 0; t < 3; ++t) {
        const Table_Rule &rule = kRules[t];
        const QString table = QLatin1String(rule.table);
        QSqlQuery type(m_db);
        if (!type.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = '%1' COLLATE NOCASE").arg(table)))
            return Fail(type.lastError(), true);
        if (!type.next() || type.value(0).toString() != QLatin1String("table"))
            return foreign(QStringLiteral("缺少表 %1").arg(table));
        type.finish();
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
            return Fail(q.lastError(), true);
        QStringList names;
        while (q.next())
            names << q.value(1).toString();
        q.finish();
        if (names.size() != rule.columns)
            return foreign(QStringLiteral("表 %1 应有 %2 列，实有 %3 列").arg(table).arg(rule.columns).arg(names.size()));
        for (int c = 0; c < 3; ++c) {
            const char *want = rule.names[c];
            if (want && names[c].compare(QLatin1String(want), Qt::CaseInsensitive) != 0)
                return foreign(QStringLiteral("表 %1 第 %2 列应为 %3，实为 %4").arg(table).arg(c + 1).arg(QLatin1String(want), names[c]));
        }
        for (int c = 0; c < rule.columns; ++c)
            cols[t][c] = names[c];
    }
    return true;
}

bool Db_Conn::Create_Tables()
{
    QSqlQuery q(m_db);
    QString pv = QStringLiteral("CREATE TABLE pv_data (w_id INTEGER PRIMARY KEY, w_date REAL, w_time REAL");
    QString lpv = QStringLiteral("CREATE TABLE Lpv_wdjl (lw_id INTEGER PRIMARY KEY, lw_date REAL, lw_time REAL");
    for (int i = 0; i < 8; ++i) {
        pv += QStringLiteral(", w_v%1 REAL").arg(i);
        lpv += QStringLiteral(", lw_v%1 REAL").arg(i);
    }
    pv += u')';
    lpv += u')';
    const QString steps[] = {
        QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("CREATE TABLE sl_void (pv_id INTEGER, pv_id_copy INTEGER, lpv_id INTEGER, lpv_id_copy INTEGER)"),
        pv,
        lpv,
        QStringLiteral("INSERT INTO sl_void VALUES (0, 0, 0, 0)"),
        QStringLiteral("COMMIT"),
    };
    for (const QString &s : steps) {
        if (!q.exec(s)) {
            const QSqlError err = q.lastError();
            q.exec(QStringLiteral("ROLLBACK"));
            return Fail(err, true);
        }
    }
    QString *cols[] = {m_slCols, m_pvCols, m_lpvCols};
    const char *fixed[3][3] = {{"pv_id", "pv_id_copy", "lpv_id"}, {"w_id", "w_date", "w_time"}, {"lw_id", "lw_date", "lw_time"}};
    for (int t = 0; t < 3; ++t)
        for (int c = 0; c < 3; ++c)
            cols[t][c] = QLatin1String(fixed[t][c]);
    m_slCols[3] = QStringLiteral("lpv_id_copy");
    for (int i = 0; i < 8; ++i) {
        m_pvCols[3 + i] = QStringLiteral("w_v%1").arg(i);
        m_lpvCols[3 + i] = QStringLiteral("lw_v%1").arg(i);
    }
    return true;
}

bool Db_Conn::Prepare()
{
    m_q = std::make_unique<Stmts>(m_db);
    Stmts &s = *m_q;
    const QString sl = quoted(m_slCols[0]), sl1 = quoted(m_slCols[1]), sl2 = quoted(m_slCols[2]), sl3 = quoted(m_slCols[3]);
    bool ok = s.begin.prepare(QStringLiteral("BEGIN IMMEDIATE")) && s.commit.prepare(QStringLiteral("COMMIT"))
              && s.rollback.prepare(QStringLiteral("ROLLBACK"))
              && s.readIds.prepare(QStringLiteral("SELECT %1, %2 FROM sl_void LIMIT 1").arg(sl, sl2));

    auto ring = [&](Stmts::Ring &r, const char *table, const QString *cols, const QString &id0, const QString &id1) {
        QString set, names, marks;
        for (int c = 1; c < 11; ++c)
            set += (c > 1 ? QStringLiteral(", ") : QString()) + quoted(cols[c]) + QStringLiteral(" = ?");
        for (int c = 0; c < 11; ++c) {
            names += (c ? QStringLiteral(", ") : QString()) + quoted(cols[c]);
            marks += c ? QStringLiteral(", ?") : QStringLiteral("?");
        }
        const QString t = QLatin1String(table);
        return r.upd.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(t, set, quoted(cols[0])))
               && r.ins.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(t, names, marks))
               && r.ids.prepare(QStringLiteral("UPDATE sl_void SET %1 = ?, %2 = ?").arg(id0, id1));
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
        for (QSqlQuery *q : {&s.begin, &s.commit, &s.rollback, &s.readIds, &s.winIn, &s.winOut, &s.pv.upd, &s.pv.ins,
                             &s.pv.ids, &s.lpv.upd, &s.lpv.ins, &s.lpv.ids})
            if (q->lastError().isValid())
                err = q->lastError();
        return Fail(err, true);
    }
    return true;
}

bool Db_Conn::Ensure_Open()
{
    if (m_open) {
        const File_Sig now = Sig_Of(m_path);
        if (now.exists && now.dev == m_sig.dev && now.ino == m_sig.ino)
            return true;
        // The file was deleted or replaced: no connection may stay on the old
        // one (closing it would remove journals by name from the new file).
        const QString path = m_path;
        for (Db_Conn *c : registry()) {
            if (c->m_open && c->m_path == path) {
                c->Close_Connection();
                c->m_lastTry = QDateTime();
            }
        }
    }
    if (m_fault == Db_Fault::Foreign && Sig_Of(Db_Path()) == m_foreignSig)
        return false; // still the same foreign file: never touch it
    if (m_lastTry.isValid() && Clock_Now() == m_lastTry)
        return false;
    return Open();
}

bool Db_Conn::Read_Ids(int32_t &pv_id, int32_t &lpv_id)
{
    if (!Ensure_Open())
        return false;
    QSqlQuery &q = m_q->readIds;
    if (!q.exec())
        return Fail(q.lastError(), true);
    if (!q.next()) {
        const QSqlError err = q.lastError();
        q.finish();
        if (err.isValid())
            return Fail(err, true);
        Set_Fault(Db_Fault::Other, QStringLiteral("表 sl_void 没有记录"));
        Close_Connection(); // the next open puts a zeroed row back
        return false;
    }
    auto id = [](const QVariant &v) {
        int32_t r = 0;
        return Round_I32(v.toDouble(), &r) ? r : 0;
    };
    pv_id = id(q.value(0));
    lpv_id = id(q.value(1));
    q.finish();
    return true;
}

bool Db_Conn::Read_Pv_Id(int32_t &pv_id)
{
    int32_t lpv = 0;
    return Read_Ids(pv_id, lpv);
}

bool Db_Conn::Write_Record(Db_Ring ring, int32_t id, double date, double time, const float values[8])
{
    if (!Ensure_Open())
        return false;
    Stmts &s = *m_q;
    Stmts::Ring &r = ring == Db_Ring::Pv ? s.pv : s.lpv;
    auto abort = [&](const QSqlQuery &failed) {
        const QSqlError err = failed.lastError();
        s.rollback.exec(); // may find nothing to roll back: SQLite undid it already
        return Fail(err, false);
    };
    if (!s.begin.exec())
        return abort(s.begin);
    r.upd.bindValue(0, date);
    r.upd.bindValue(1, time);
    for (int i = 0; i < 8; ++i)
        r.upd.bindValue(2 + i, double(values[i]));
    r.upd.bindValue(10, id);
    if (!r.upd.exec())
        return abort(r.upd);
    if (r.upd.numRowsAffected() == 0) {
        r.ins.bindValue(0, id);
        r.ins.bindValue(1, date);
        r.ins.bindValue(2, time);
        for (int i = 0; i < 8; ++i)
            r.ins.bindValue(3 + i, double(values[i]));
        if (!r.ins.exec())
            return abort(r.ins);
    }
    r.ids.bindValue(0, id);
    r.ids.bindValue(1, id);
    if (!r.ids.exec())
        return abort(r.ids);
    if (!s.commit.exec())
        return abort(s.commit);
    return true;
}

QSqlQuery *Db_Conn::Window(bool crossing, int32_t lo, int32_t hi)
{
    if (!Ensure_Open())
        return nullptr;
    QSqlQuery &q = crossing ? m_q->winOut : m_q->winIn;
    q.bindValue(0, lo);
    q.bindValue(1, hi);
    if (!q.exec()) {
        Fail(q.lastError(), true);
        return nullptr;
    }
    return &q;
}

void Db_Conn::End_Window()
{
    if (m_q) {
        m_q->winIn.finish();
        m_q->winOut.finish();
    }
}

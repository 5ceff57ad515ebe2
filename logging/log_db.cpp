#include "logging/log_db.h"

#include "core/chart_model.h"
#include "core/numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

// SQLite primary result codes the fault texts tell apart.
constexpr int kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8, kSqliteIoErr = 10,
              kSqliteCorrupt = 11, kSqliteFull = 13, kSqliteCantOpen = 14, kSqliteNotADb = 26;

// A short Chinese reason for SQLite's other result codes; SQLite's own text
// follows it in brackets.
QString Reason(int code)
{
    switch (code) {
    case 1: return QCoreApplication::translate("LogDb", "数据库语句执行失败");
    case 3: return QCoreApplication::translate("LogDb", "没有访问数据库的权限");
    case 4: return QCoreApplication::translate("LogDb", "数据库操作被中止");
    case 7: return QCoreApplication::translate("LogDb", "内存不足");
    case 9: return QCoreApplication::translate("LogDb", "数据库操作被中断");
    case kSqliteIoErr: return QCoreApplication::translate("LogDb", "读写数据库文件出错");
    case kSqliteCantOpen: return QCoreApplication::translate("LogDb", "无法打开数据库文件");
    case 15: return QCoreApplication::translate("LogDb", "数据库文件的锁出错");
    case 17: return QCoreApplication::translate("LogDb", "数据库的表结构已改变");
    case 18: return QCoreApplication::translate("LogDb", "数据过大");
    case 19: return QCoreApplication::translate("LogDb", "写入被数据库的约束拒绝");
    case 20: return QCoreApplication::translate("LogDb", "数据类型不符");
    case 22: return QCoreApplication::translate("LogDb", "系统不支持大文件");
    case 23: return QCoreApplication::translate("LogDb", "数据库拒绝访问");
    default: return QCoreApplication::translate("LogDb", "数据库操作失败");
    }
}

QString systemText(const QSqlError &err)
{
    const QString t = err.databaseText().isEmpty() ? err.driverText() : err.databaseText();
    return t.isEmpty() ? QString() : QCoreApplication::translate("LogDb", "（%1）").arg(t);
}

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

struct TableRule {
    const char *table;
    int columns;
    const char *names[3]; // binding names of positions 0..2 (nullptr: free)
};
constexpr TableRule kRules[] = {
    {"sl_void", 4, {nullptr, nullptr, nullptr}},
    {"pv_data", 11, {"w_id", "w_date", "w_time"}},
    {"Lpv_wdjl", 11, {"lw_id", nullptr, nullptr}},
};

} // namespace

QString dbPath(bool makeFolder)
{
    const QString env = qEnvironmentVariable("QR5300M_DB");
    if (!env.isEmpty())
        return env;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString dir = base + QStringLiteral("/qr5300m");
    if (makeFolder)
        QDir().mkpath(dir);
    return dir + QStringLiteral("/Rdatabj.db");
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

DbConn::DbConn(DbFiles &files, const QString &conn_name, Role role) : m_files(files), m_name(conn_name), m_role(role)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_files.m_conns.push_back(this);
}

DbConn::~DbConn()
{
    auto &all = m_files.m_conns;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    closeConnection();
    dropLock();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

DbConn::FileSig DbConn::sigOf(const QString &path)
{
    FileSig s;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = quint64(st.st_dev);
    s.ino = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.mtime_ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            if (::pread(fd, s.head.data(), s.head.size(), 0) < 0)
                s.head.fill(0);
            ::close(fd);
        }
    }
    return s;
}

bool DbConn::folderFault()
{
    const QString dir = QFileInfo(m_path).absolutePath();
    // The nearest part of the path that exists tells what is wrong.
    QString have = dir;
    struct stat st {};
    bool exists = false;
    while (!(exists = ::stat(QFile::encodeName(have).constData(), &st) == 0)) {
        const QString up = QFileInfo(have).absolutePath();
        if (up == have)
            break;
        have = up;
    }
    if (exists && have == dir && S_ISDIR(st.st_mode)) {
        // The journal and the lock file live beside the database file.
        if (::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0)
            return false;
        const int err = errno;
        setFault(DbFault::ReadOnly, QCoreApplication::translate("LogDb", "数据库文件夹 %1 不可写入（%2）")
            .arg(dir, qt_error_string(err)));
    } else if (exists && !S_ISDIR(st.st_mode)) {
        setFault(DbFault::Missing, QCoreApplication::translate("LogDb", "数据库文件夹 %1 无法使用：%2 不是文件夹").arg(dir, have));
    } else {
        setFault(DbFault::Missing, QCoreApplication::translate("LogDb", "数据库文件夹 %1 不存在").arg(dir));
    }
    return true;
}

bool DbConn::takeLock()
{
    const QString lockPath = m_path + QStringLiteral(".lock");
    const QByteArray name = QFile::encodeName(lockPath);
    if (m_lockFd >= 0) {
        struct stat held {}, there {};
        if (m_lockPath == lockPath && ::fstat(m_lockFd, &held) == 0 && ::lstat(name.constData(), &there) == 0
            && held.st_dev == there.st_dev && held.st_ino == there.st_ino)
            return true;
        dropLock(); // the lock file was removed or replaced: take the one at the path
    }
    // Never through a symbolic link: the process id would go into whatever
    // file it names.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW); // another user's lock file
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP) {
            setFault(DbFault::LockLink, QCoreApplication::translate("LogDb", "锁文件 %1 是符号链接，已拒绝使用（其指向的文件不会被改动）")
                .arg(lockPath));
            return false;
        }
        if (!folderFault())
            setFault(DbFault::Other, QCoreApplication::translate("LogDb", "无法建立锁文件 %1（%2）")
                .arg(lockPath, qt_error_string(err)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        char buf[24] = {};
        const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        ::close(fd);
        if (err != EWOULDBLOCK) {
            setFault(DbFault::Other, QCoreApplication::translate("LogDb", "无法锁定锁文件 %1（%2）")
                .arg(lockPath, qt_error_string(err)));
            return false;
        }
        bool ok = false;
        const qint64 pid = QByteArray(buf, n > 0 ? int(n) : 0).trimmed().toLongLong(&ok);
        setFault(DbFault::InUse, ok && pid > 0
                                        ? QCoreApplication::translate("LogDb", "数据库 %1 正被另一个运行中的本程序使用（进程号 %2）")
                                            .arg(m_path).arg(pid)
                                        : QCoreApplication::translate("LogDb", "数据库 %1 正被另一个运行中的本程序使用").arg(m_path));
        return false;
    }
    // The process id, for the message of a second copy.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
        // a read-only lock file of another user: the lock holds all the same
    }
    m_lockFd = fd;
    m_lockPath = lockPath;
    return true;
}

void DbConn::dropLock()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
    m_lockFd = -1;
    m_lockPath.clear();
}

void DbConn::fileChanged()
{
    // No connection may stay on the old file: it would go on reading (and
    // writing) a file that is no longer the one at the path.
    const QString path = m_path;
    for (DbConn *c : m_files.m_conns) {
        if (c->m_open && c->m_path == path) {
            c->closeConnection();
            c->m_lastTry = QDateTime();
            c->m_changed = true;
        }
    }
}

void DbConn::ownWrite(const FileSig &before)
{
    // Connections that knew the file as it was know it as it is now.
    const FileSig after = sigOf(m_path);
    for (DbConn *c : m_files.m_conns)
        if (c->m_open && c->m_path == m_path && (c == this || c->m_sig == before))
            c->m_sig = after;
}

void DbConn::setFault(DbFault f, const QString &text)
{
    m_fault = f;
    m_faultText = text;
    if (f == DbFault::Foreign)
        m_foreignSig = sigOf(m_path);
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

bool DbConn::fail(const QSqlError &err, bool close)
{
    const int code = err.nativeErrorCode().toInt() & 0xff;
    const bool gone = !QFileInfo::exists(m_path);
    // Faults that only a new connection can get over: a connection opened
    // read-only stays so, and one on a lost file writes into nothing.
    bool reopen = true;
    if (code == kSqliteCorrupt || code == kSqliteNotADb) {
        setFault(DbFault::Foreign, QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：文件已损坏或不是 SQLite 数据库")
            .arg(m_path));
    } else if ((gone || code == kSqliteReadOnly || code == kSqliteCantOpen || code == kSqliteIoErr) && folderFault()) {
        // the folder is missing, not a folder, or allows no journal
    } else if (gone) {
        setFault(DbFault::Missing, QCoreApplication::translate("LogDb", "数据库文件丢失"));
    } else if (code == kSqliteReadOnly) {
        setFault(DbFault::ReadOnly, QCoreApplication::translate("LogDb", "数据库只读"));
    } else if (code == kSqliteBusy || code == kSqliteLocked) {
        setFault(DbFault::Locked, QCoreApplication::translate("LogDb", "数据库被锁定"));
        reopen = false;
    } else if (code == kSqliteFull) {
        setFault(DbFault::Full, QCoreApplication::translate("LogDb", "磁盘已满"));
        reopen = false;
    } else {
        setFault(DbFault::Other, Reason(code) + systemText(err));
        reopen = code == kSqliteIoErr || code == kSqliteCantOpen;
    }
    if (close || reopen) {
        closeConnection();
        m_lastTry = m_files.clock.now(); // the next try in the next clock second
    }
    return false;
}

bool DbConn::open()
{
    m_lastTry = m_files.clock.now();
    closeConnection();
    m_path = dbPath();
    if (m_role == Role::Writer && !takeLock())
        return false;
    const bool existed = QFileInfo::exists(m_path);
    if (!openChecked()) {
        closeConnection();
        return false;
    }
    setFault(DbFault::None, QString());
    ++m_opens;
    if (std::exchange(m_changed, false))
        m_notice = {existed ? DbNotice::FileReplaced : DbNotice::FileRecreated, {}, 0, 0};
    return true;
}

bool DbConn::openChecked()
{
    const QFileInfo fi(m_path);
    const FileSig before = sigOf(m_path);
    if (before.exists && !fi.isFile()) {
        setFault(DbFault::Foreign, QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：不是普通文件").arg(m_path));
        return false;
    }
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

bool DbConn::checkSchema(bool &empty)
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return fail(q.lastError(), true);
    empty = q.value(0).toLongLong() == 0;
    q.finish();
    if (empty)
        return true;

    auto foreign = [&](const QString &what) {
        setFault(DbFault::Foreign, QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：%2").arg(m_path, what));
        closeConnection();
        return false;
    };
    // The full check reads the whole file (some 30 ms when the rings are
    // full): once per file, not at every new open after a fault.
    const FileSig sig = sigOf(m_path);
    if (!(m_files.m_verifiedPath == m_path && m_files.m_verifiedSig == sig)) {
        if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")) || !q.next())
            return fail(q.lastError(), true);
        if (q.value(0).toString() != QLatin1String("ok"))
            return foreign(QCoreApplication::translate("LogDb", "文件已损坏"));
        q.finish();
        m_files.m_verifiedPath = m_path;
        m_files.m_verifiedSig = sig;
    }

    QString *cols[] = {m_slCols, m_pvCols, m_lpvCols};
    for (int t = 0; t < 3; ++t) {
        const TableRule &rule = kRules[t];
        const QString table = QLatin1String(rule.table);
        QSqlQuery type(m_db);
        if (!type.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = '%1' COLLATE NOCASE").arg(table)))
            return fail(type.lastError(), true);
        if (!type.next() || type.value(0).toString() != QLatin1String("table"))
            return foreign(QCoreApplication::translate("LogDb", "缺少表 %1").arg(table));
        type.finish();
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
            return fail(q.lastError(), true);
        QStringList names;
        while (q.next())
            names << q.value(1).toString();
        q.finish();
        if (names.size() != rule.columns)
            return foreign(QCoreApplication::translate("LogDb", "表 %1 应有 %2 列，实有 %3 列")
                .arg(table).arg(rule.columns).arg(names.size()));
        for (int c = 0; c < 3; ++c) {
            const char *want = rule.names[c];
            if (want && names[c].compare(QLatin1String(want), Qt::CaseInsensitive) != 0)
                return foreign(QCoreApplication::translate("LogDb", "表 %1 第 %2 列应为 %3，实为 %4")
                    .arg(table).arg(c + 1).arg(QLatin1String(want), names[c]));
        }
        for (int c = 0; c < rule.columns; ++c)
            cols[t][c] = names[c];
    }
    return true;
}

bool DbConn::createTables()
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
    const QStringList steps = QStringList{
        QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("CREATE TABLE sl_void (pv_id INTEGER, pv_id_copy INTEGER, lpv_id INTEGER, lpv_id_copy INTEGER)"),
        pv,
        lpv,
        QStringLiteral("INSERT INTO sl_void VALUES (0, 0, 0, 0)"),
    } + journalCreateStatements() + QStringList{QStringLiteral("COMMIT")};
    for (const QString &s : steps) {
        if (!q.exec(s)) {
            const QSqlError err = q.lastError();
            q.exec(QStringLiteral("ROLLBACK"));
            return fail(err, true);
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

bool DbConn::checkJournal()
{
    m_journalOk = false;
    m_journalFault.clear();
    bool shapeOk = false;
    QString shapeText;
    const std::optional<bool> present = journalPresent(m_db, shapeOk, shapeText);
    if (!present)
        return fail(m_db.lastError(), true);
    if (*present) {
        // A table of that name that is not ours stays as it is.
        m_journalOk = shapeOk;
        m_journalFault = shapeText;
        return true;
    }
    if (m_role != Role::Writer) {
        m_journalFault = QCoreApplication::translate("LogDb", "没有事件表");
        return true;
    }
    // Ours by its rings, but from before the journal: it gets the table.
    QSqlQuery q(m_db);
    const QStringList steps = QStringList{QStringLiteral("BEGIN IMMEDIATE")} + journalCreateStatements()
                              + QStringList{QStringLiteral("COMMIT")};
    for (const QString &step : steps) {
        if (!q.exec(step)) {
            // Without the table the rings are logged all the same.
            m_journalFault = QCoreApplication::translate("LogDb", "无法建立事件表（%1）").arg(q.lastError().databaseText());
            q.exec(QStringLiteral("ROLLBACK"));
            return true;
        }
    }
    m_journalOk = true;
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

bool DbConn::ensureOpen()
{
    if (m_open) {
        const FileSig now = sigOf(m_path);
        // The writer knows every change it made itself, so any other one
        // (a file copied over ours keeps its inode) means another file. A
        // reader sees records come in and follows the file's identity.
        const bool same = m_role == Role::Writer ? now == m_sig : now.sameFile(m_sig);
        if (!same) {
            fileChanged();
        } else if (m_role == Role::Writer && !takeLock()) {
            closeConnection(); // another copy holds the lock now: it writes
            m_lastTry = m_files.clock.now();
            return false;
        } else {
            return true;
        }
    }
    if (m_fault == DbFault::Foreign && sigOf(dbPath()) == m_foreignSig)
        return false; // still the same foreign file: never touch it
    if (m_lastTry.isValid() && m_files.clock.now() == m_lastTry)
        return false;
    return open();
}

bool DbConn::readIds(int32_t &pv_id, int32_t &lpv_id)
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
    pv_id = ids[0];
    lpv_id = ids[1];
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

bool DbConn::readPvId(int32_t &pv_id)
{
    int32_t lpv = 0;
    return readIds(pv_id, lpv);
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
        m_journalFault = QCoreApplication::translate("LogDb", "只读连接不记录事件");
        return false;
    }
    if (!ensureOpen()) {
        m_journalFault = m_faultText.isEmpty() ? QCoreApplication::translate("LogDb", "数据库未打开") : m_faultText;
        return false;
    }
    if (!m_journalOk) {
        // Created by another copy of the program since we opened it?
        if (!checkJournal() || !m_journalOk)
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
        const bool flag = event.kind == EventKind::FlagRaised || event.kind == EventKind::FlagCleared;
        const bool param = !flag && !isLinkEvent(event.kind);
        q.bindValue(2, flag ? QVariant(event.channel) : QVariant());
        q.bindValue(3, flag ? QVariant(event.flag) : QVariant());
        q.bindValue(4, param ? QVariant(event.reg) : QVariant());
        for (int i = 0; i < 4; ++i) {
            const QString &text = i == 0 ? event.caption : i == 1 ? event.before : i == 2 ? event.value : event.detail;
            q.bindValue(5 + i, param || i == 3 ? QVariant(text) : QVariant());
        }
        ok = q.exec();
    }
    if (ok) {
        // The journal keeps its newest rows; the oldest go a thousand at a time.
        const qint64 id = q.lastInsertId().toLongLong();
        if (id > kJournalKeep && id % 1000 == 0)
            q.exec(QStringLiteral("DELETE FROM qr_events WHERE ev_id <= %1").arg(id - kJournalKeep));
        m_journalFault.clear();
    } else {
        m_journalFault = Reason(q.lastError().nativeErrorCode().toInt() & 0xff) + systemText(q.lastError());
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
    QString error;
    return readLinkMarks(m_db, fromKey, toKey, marks, error);
}

void DbConn::endWindow()
{
    if (m_q) {
        m_q->winIn.finish();
        m_q->winOut.finish();
    }
}

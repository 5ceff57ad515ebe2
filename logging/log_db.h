// The log database: one SQLite file holding the bookkeeping row `sl_void`
// and the two record rings `pv_data` (one-second) and `Lpv_wdjl` (ten-second),
// and the program's own journal `qr_events` (logging/journal.h) beside them.
//
// Each user of the file (main window, logging) owns one DbConn, a named Qt
// Sql connection with its prepared statements; the connections of one run
// know each other through the run's DbFiles. A DbConn never
// alters a file that is not ours: it creates the tables only in a missing or
// empty file, and it refuses a file whose tables are not the three it needs.
// The writer adds the journal table to a file of ours that lacks it; a file
// with a table of that name but other columns keeps its rings logged and its
// table untouched (the events are then not recorded).
//
// The file keeps a rollback journal, which is live only while a transaction
// runs: between two records nothing lies beside the file that could be
// applied to another one, so a file copied or moved over ours while the
// program runs is taken as it is. The writing connection compares the file
// under the path (identity, size, time, header) with the one it last wrote
// before each write and reopens it when it has changed. It also holds a
// lock file beside the database (path + ".lock", with its process id) for as
// long as it lives, so that a second copy of the program reads but never
// writes; the kernel drops the lock with the process, however it ends.
#pragma once

#include "core/clock.h"
#include "core/history_data.h"
#include "logging/journal.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Where the log database lives and whether its folder is the program's own
// data folder (made again whenever it is missing) or one the user named.
struct DbLocation {
    QString path;
    bool makeFolder = false;
};

// The user's choice, decided once at the program's edge: $QR5300M_DB when
// set, else Rdatabj.db in qr5300m/ of the user's data folder as
// QStandardPaths names it ($XDG_DATA_HOME, else ~/.local/share; a relative
// $XDG_DATA_HOME counts as not set).
DbLocation dbLocation();
// Where station `station` logs when several stations share a line, beside
// the database one station alone would use (single): the same name with the
// station number after a dash, Rdatabj.db becoming Rdatabj-5.db.
DbLocation stationDbLocation(const DbLocation &single, int station);
// The database a station alone on a line logs into in folder dir (a folder
// the user named: not made).
DbLocation folderDbLocation(const QString &dir);

// dbLocation()'s path; the data folder is created when missing unless
// makeFolder is false.
QString dbPath(bool makeFolder = true);

enum class DbFault {
    None,
    ReadOnly, // the file, its folder (for the journal) or this connection cannot be written
    Locked,    // another connection or process holds the file
    Missing,   // the file is gone and its folder is missing or not a folder
    InUse,    // another running copy of the program writes the file
    LockLink,  // the lock file beside it is a symbolic link: not followed, nothing written
    Full,      // the disk (or the database's size limit) is full
    Foreign,   // the file at the path is not our database
    Other,     // any other database error
};

// What exactly a fault met, for the operator's text (app/log_text.h).
enum class DbCause {
    None,
    Sqlite,          // told by sqliteCode alone
    FileGone,        // the file was deleted under the connection
    FolderReadOnly,  // path: the folder; sysErrno
    FolderNotFolder, // path: the folder; other: the part of it that is no folder
    FolderMissing,   // path: the folder
    LockIsLink,      // path: the lock file
    LockCreate,      // path: the lock file; sysErrno
    LockTake,        // path: the lock file; sysErrno
    HeldBy,          // path: the database; pid (0 when unknown)
    NotRegular,      // path: the database
    Damaged,         // path: the database (corrupt, or no SQLite file)
    TableMissing,    // path: the database; table
    ColumnCount,     // path: the database; table, expected, found (counts)
    ColumnName,      // path: the database; table, column (1..), other: wanted, found: named
};

// A fault of the log database as its kind, SQLite's result code and what it
// was about. SQLite's own words stay as SQLite gives them.
struct DbError {
    DbFault kind = DbFault::None;
    int sqliteCode = 0; // SQLite's primary result code (0: not a fault of SQLite's)
    DbCause cause = DbCause::None;
    QString path;
    QString sqliteText; // SQLite's (or the driver's) own words, may be empty
    int sysErrno = 0;
    qint64 pid = 0;
    QString table, other, found;
    int column = 0, expected = 0, foundColumns = 0;
    bool operator==(const DbError &) const = default;
};

// Why an event could not go into the journal (logging/journal.h).
struct JournalError {
    JournalFault kind = JournalFault::None;
    DbError db;      // NotOpen: the connection's fault; CreateFailed, WriteFailed: SQLite's
    QString columns; // OtherColumns: the table's columns, comma-separated
    bool operator==(const JournalError &) const = default;
};

enum class DbRing { Pv, Lpv }; // pv_data (sl_void 0/1), Lpv_wdjl (sl_void 2/3)

// Something a connection did on its own that the operator should know of;
// logging goes on.
enum class DbNotice {
    None,
    FileReplaced,  // the file was replaced or changed by another program, and reopened
    FileRecreated, // the file was deleted; a fresh empty one was made
    IdsRecovered,  // sl_void's newest ids were unreadable, taken from the rings and stored back
};

struct LogNotice {
    DbNotice kind = DbNotice::None;
    QDateTime time;             // clock time of the logging step that met it
    int32_t pvId = 0, lpvId = 0; // IdsRecovered: the ids taken from the rings
};

class DbFiles;

class DbConn
{
public:
    enum class Role {
        Reader, // reads; creates the tables only in a missing or empty file
        Writer, // the one connection that writes records: takes the lock file
    };
    // name names the connection within its DbFiles ("Main_Conn",
    // "Log_Conn"); files (the session's connections) outlives the object.
    DbConn(DbFiles &files, const QString &name, Role role = Role::Reader);
    ~DbConn();
    DbConn(const DbConn &) = delete;
    DbConn &operator=(const DbConn &) = delete;

    // Opens the files' database (creating a fresh database when the file is missing),
    // checks the tables and prepares the statements; a writer first takes
    // the lock file. False on failure, with fault()/error() telling why.
    bool open();
    // Closes the connection; a writer also gives up its lock.
    void close();
    bool isOpen() const { return m_open; }

    // Open and still on the file at the path. When the file was deleted or
    // replaced (for a writer: changed in any way it did not write itself),
    // every connection on it is closed and the file opened again; after a
    // failure a new open is tried at most once per clock second, and a
    // foreign file only once it has changed.
    bool ensureOpen();

    DbFault fault() const { return m_error.kind; }
    // The last fault in full; kind None while there is none.
    const DbError &error() const { return m_error; }
    QString path() const { return m_path; }
    QString name() const { return m_name; }
    // What the connection last did on its own (the file was replaced and
    // reopened, sl_void was repaired), handed out once; kind None when
    // nothing happened. The time is left to the caller.
    LogNotice takeNotice() { return std::exchange(m_notice, LogNotice()); }

    // sl_void positions 0 and 2 (newest pv_data and Lpv_wdjl ids). An id
    // that cannot be read as one (null, text, blob, negative, no row) is
    // taken from the ring itself, its record with the newest date and time;
    // a writer stores it back. An id of 65500 or more reads as 65500.
    bool readIds(int32_t &pvId, int32_t &lpvId);
    // sl_void position 0.
    bool readPvId(int32_t &pvId);

    // Adds or overwrites ring slot `id` and stores `id` as the ring's newest
    // id in sl_void, in one transaction: both or neither. Writes nothing
    // (false, no fault) when the file was reopened since the ids were read:
    // they belong to the other file.
    bool writeRecord(DbRing ring, int32_t id, double date, double time, const float values[8]);

    // Runs the window query over pv_data: ids lo..hi (crossing = false) or
    // ids outside lo..hi (crossing = true), in order of w_date, w_time.
    // Returns the active query to step through, or nullptr; call
    // endWindow() when done.
    QSqlQuery *Window(bool crossing, int32_t lo, int32_t hi);
    void endWindow();

    // Adds one event to the journal (writer only). False when it could not:
    // journalError() says why. A failing event never closes the connection
    // nor sets fault(): the ring records go on as before.
    bool recordEvent(const HistoryEvent &event);
    const JournalError &journalError() const { return m_journalError; }
    // Link events around a stretch of ring records (readLinkMarks).
    bool linkMarks(qint64 fromKey, qint64 toKey, std::vector<LinkMark> &marks);

private:
    friend class DbFiles;
    struct Stmts;
    struct FileSig {
        bool exists = false;
        quint64 dev = 0, ino = 0;
        qint64 size = 0, mtimeNs = 0;
        std::array<char, 100> head{}; // the SQLite header: change counter, page count, journal mode
        bool operator==(const FileSig &) const = default;
        bool sameFile(const FileSig &o) const { return exists && o.exists && dev == o.dev && ino == o.ino; }
    };
    static FileSig sigOf(const QString &path);

    bool takeLock();
    void dropLock();
    void fileChanged();
    void ownWrite(const FileSig &before);
    bool folderFault();
    int32_t newestInRing(DbRing ring, bool &ok);
    // Runs steps (which return the statement that failed, or nullptr)
    // between BEGIN IMMEDIATE and COMMIT: all of them or none.
    bool transaction(const std::function<QSqlQuery *()> &steps);

    bool openChecked();
    bool checkSchema(bool &empty);
    bool checkTables();
    bool createTables();
    bool checkJournal();
    bool prepare();
    bool fail(const QSqlError &err, bool close);
    void setFault(const DbError &error);
    bool foreign(DbCause cause, const QString &table = QString(), int column = 0);
    void closeConnection();

    DbFiles &m_files;
    QString m_name;
    QString m_sqlName; // the Qt Sql connection's name, unique in the process
    Role m_role;
    QString m_path;
    QSqlDatabase m_db;
    std::unique_ptr<Stmts> m_q;
    bool m_open = false;
    FileSig m_sig;          // the file this connection is on
    FileSig m_foreignSig;   // the foreign file last refused
    QDateTime m_lastTry;     // clock second of the last open attempt
    quint64 m_opens = 0;     // successful opens so far
    quint64 m_idsOpen = 0;   // the open the ids were last read on
    bool m_changed = false;  // closed because the file changed under us
    int m_lockFd = -1;       // the lock file, held by a writer
    QString m_lockPath;
    DbError m_error;
    LogNotice m_notice;
    bool m_journalOk = false; // the journal table is there with our columns
    JournalError m_journalError;
    QString m_pvCols[11], m_lpvCols[11], m_slCols[4];
};

// The database connections of one instrument session: every live one, so
// that a deleted or replaced file closes all of those on it before a new
// file is created at its path, and the file whose whole content was last
// verified (a full check reads all of it: once per file, not at every open).
// Each instance names its Qt Sql connections apart from any other's, so that
// two sessions in one process never share (or remove) a connection.
class DbFiles
{
public:
    // The connections try a failed open again at most once per second of
    // clock, which outlives the object; they open the database at where.
    DbFiles(const Clock &clock, DbLocation where);
    // Without a location the connections open dbLocation() as it is at each
    // open (tests name their files through $QR5300M_DB); the program sets
    // the location it decided before its cycles start.
    explicit DbFiles(const Clock &clock);
    DbFiles(const DbFiles &) = delete;
    DbFiles &operator=(const DbFiles &) = delete;

    const Clock &clock;

    // Where the connections open the database; set before any opens it.
    void setLocation(const DbLocation &where) { m_where = where; }
    DbLocation location() const { return m_where ? *m_where : dbLocation(); }
    // The Qt Sql connection name of this session's connection name.
    QString sqlName(const QString &name) const { return m_prefix + name; }

private:
    friend class DbConn;
    std::optional<DbLocation> m_where;
    QString m_prefix;
    std::vector<DbConn *> m_conns;
    QString m_verifiedPath;
    DbConn::FileSig m_verifiedSig;
};

// The log database: one SQLite file holding the bookkeeping row `sl_void`
// and the two record rings `pv_data` (one-second) and `Lpv_wdjl` (ten-second).
//
// Each user of the file (main window, logging window) owns one Db_Conn, a
// named Qt Sql connection with its prepared statements. A Db_Conn never
// alters a file that is not ours: it creates the tables only in a missing or
// empty file, and it refuses a file whose tables are not the three it needs.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <memory>

// Where the database lives: $QR5300M_DB when set, else Rdatabj.db in the
// user's data folder ($XDG_DATA_HOME/qr5300m, ~/.local/share/qr5300m), which
// is created when missing.
QString Db_Path();

enum class Db_Fault {
    None,
    Read_Only, // the file (or this connection) cannot be written
    Locked,    // another connection or process holds the file
    Missing,   // the file is gone and cannot be created again
    Full,      // the disk (or the database's size limit) is full
    Foreign,   // the file at the path is not our database
    Other,     // any other database error
};

enum class Db_Ring { Pv, Lpv }; // pv_data (sl_void 0/1), Lpv_wdjl (sl_void 2/3)

class Db_Conn
{
public:
    // conn_name names the Qt Sql connection ("Main_Conn", "Log_Conn").
    explicit Db_Conn(const QString &conn_name);
    ~Db_Conn();
    Db_Conn(const Db_Conn &) = delete;
    Db_Conn &operator=(const Db_Conn &) = delete;

    // Opens Db_Path() (creating a fresh database when the file is missing),
    // checks the tables and prepares the statements. False on failure, with
    // Fault()/Fault_Text() telling why.
    bool Open();
    void Close();
    bool Is_Open() const { return m_open; }

    // Open and still on the file at the path. When the file was deleted or
    // replaced, every connection on it is closed and the file opened again;
    // after a failure a new open is tried at most once per clock second, and
    // a foreign file only once it has changed.
    bool Ensure_Open();

    Db_Fault Fault() const { return m_fault; }
    // Short Chinese text of the last fault, empty while there is none.
    QString Fault_Text() const { return m_faultText; }
    QString Path() const { return m_path; }
    QString Name() const { return m_name; }

    // sl_void positions 0 and 2 (newest pv_data and Lpv_wdjl ids).
    bool Read_Ids(int32_t &pv_id, int32_t &lpv_id);
    // sl_void position 0.
    bool Read_Pv_Id(int32_t &pv_id);

    // Adds or overwrites ring slot `id` and stores `id` as the ring's newest
    // id in sl_void, in one transaction: both or neither.
    bool Write_Record(Db_Ring ring, int32_t id, double date, double time, const float values[8]);

    // Runs the window query over pv_data: ids lo..hi (crossing = false) or
    // ids outside lo..hi (crossing = true), in order of w_date, w_time.
    // Returns the active query to step through, or nullptr; call
    // End_Window() when done.
    QSqlQuery *Window(bool crossing, int32_t lo, int32_t hi);
    void End_Window();

private:
    struct Stmts;
    struct File_Sig {
        bool exists = false;
        quint64 dev = 0, ino = 0;
        qint64 size = 0, mtime_ns = 0;
        bool operator==(const File_Sig &) const = default;
    };
    static File_Sig Sig_Of(const QString &path);

    bool Open_Checked();
    bool Check_Schema(bool &empty);
    bool Create_Tables();
    bool Prepare();
    bool Fail(const QSqlError &err, bool close);
    void Set_Fault(Db_Fault f, const QString &text);
    void Close_Connection();

    QString m_name;
    QString m_path;
    QSqlDatabase m_db;
    std::unique_ptr<Stmts> m_q;
    bool m_open = false;
    File_Sig m_sig;          // the file this connection is on
    File_Sig m_foreignSig;   // the foreign file last refused
    QDateTime m_lastTry;     // clock second of the last open attempt
    Db_Fault m_fault = Db_Fault::None;
    QString m_faultText;
    QString m_pvCols[11], m_lpvCols[11], m_slCols[4];
};

// Helpers shared by the tests and benchmarks (no Qt Test).
#pragma once

#include "logging/log_db.h"

#include <QByteArray>
#include <QDateTime>
#include <QSqlDatabase>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QFile>
#include <QProcess>
#include <QtCore/qtestsupport_core.h>
#include <functional>
#include <memory>

// One running instrument simulator (QR_SIM_PATH), driven through its
// command language on standard input. The port appears as
// portDir/COM<port>, which is what the program's Modbus master opens.
//
//     SimProcess sim(tmp.path());
//     if (!sim.isReady()) ...;
//     sim.command("set ir 1 250");      // "ok"
//     sim.command("get hr 17");         // "ok 1"
class SimProcess
{
public:
    // Starts the simulator and waits (up to about 5 s) for its ready line.
    // extraArgs are passed on, e.g. {"--station", "3", "--pace"}.
    explicit SimProcess(const QString &portDir, int port = 1, const QStringList &extraArgs = {});
    // The simulator on a free TCP port of 127.0.0.1 instead of a pty: as
    // Modbus TCP, or with the RTU frames through the socket; on port when
    // one is given (a simulator started again where the last one was).
    enum class Tcp { Modbus, Rtu };
    explicit SimProcess(Tcp mode, const QStringList &extraArgs = {}, int port = 0);
    ~SimProcess();

    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool isReady() const { return m_ready; }
    // portDir/COM<port>, empty when the simulator did not start.
    // On TCP: tcp://127.0.0.1:PORT or rtu+tcp://127.0.0.1:PORT.
    QString devicePath() const { return m_devicePath; }
    // The port listened on (TCP only), 0 otherwise.
    int tcpPort() const { return m_tcpPort; }

    // Sends one command line and returns its one-line answer ("ok ..." or
    // "err ..."), or an empty string after about 3 s without an answer.
    QString command(const QString &line);

    // Closes the simulator's standard input (it goes on running).
    void closeInput();
    // Whether the process still runs (one that ended is reaped here).
    bool isRunning();

    // Ends the simulator with SIGTERM (kill after 3 s) and returns its exit
    // code, or -1 when it crashed or had to be killed.
    int stop();

private:
    QProcess m_process;
    QByteArray m_buffer;
    QString m_devicePath;
    bool m_ready = false;
    int m_tcpPort = 0;

    QString readLine(int timeoutMs);
    // Starts with args and returns the ready line's argument, empty when
    // none came.
    QString start(const QStringList &args);
};

// The simulator on port 1 of portDir, which is named in $QR5300M_PORT_DIR,
// with its values frozen (no drift between reads); nullptr when it did not
// start or refused the command.
std::unique_ptr<SimProcess> startFrozenSim(const QString &portDir);

// Counter from the simulator's "stats" answer: which = "reads" or "writes".
// Returns -1 when the answer cannot be read.
int simStat(SimProcess &sim, const QString &which);

// Runs one SQL statement on a connection of its own to the database file at
// path and returns the rows it gave; *ok tells whether it ran.
QList<QVariantList> sqlRows(const QString &path, const QString &statement, bool *ok = nullptr);

// Runs body on a connection of its own to the file at path, in one
// transaction: committed when body returns true, rolled back otherwise.
bool withDb(const QString &path, const std::function<bool(QSqlDatabase &)> &body);

// A fresh log database at path, made by the program's own code (and named in
// $QR5300M_DB).
bool makeLogDb(const QString &path);

// SHA-256 of the file's bytes (empty when it cannot be read): "never written".
QByteArray fileHash(const QString &path);

// Overwrites page `page` (1 is the first; the header page is never taken)
// with garbage, as a failing disk or a careless editor would.
bool damagePage(const QString &path, qint64 page);

// Writes count records straight into table ("pv_data" or "Lpv_wdjl"):
// record n gets id idOf(n), time timeOf(n) and values valueOf(n, 0..7);
// newest is stored as the ring's newest id in sl_void.
bool fillRingBy(const QString &path, const char *table, int count, const std::function<int(int)> &idOf,
                const std::function<QDateTime(int)> &timeOf, const std::function<double(int, int)> &valueOf,
                int newest);

// Value of quantity q (0..7) of the record with id `id`.
using RingValue = std::function<double(int id, int q)>;

// Writes count records straight into a ring of the database file at path,
// adding or overwriting: ids firstId, firstId + 1, ..., the k-th taken at
// start + k * stepSecs, with values value(id, q) (by default id + q / 8, so
// each value tells its record and quantity); then stores the last id as the
// ring's newest in sl_void. The file must hold the tables. False on failure.
bool fillRing(const QString &path, DbRing ring, int firstId, int count, const QDateTime &start, int stepSecs = 1,
              const RingValue &value = {});

// A database file of its own (Rdatabj.db) in a temporary folder, named in
// $QR5300M_DB for the connections opened after it; made with its three
// tables and a zeroed sl_void unless `create` is false.
//
//     TempDatabase db;
//     QVERIFY(db.fill(DbRing::Pv, 1, 300, start)); // ids 1..300, newest 300
class TempDatabase
{
public:
    explicit TempDatabase(bool create = true);

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Names this file in $QR5300M_DB again (after another one was).
    void select() const;
    bool fill(DbRing ring, int firstId, int count, const QDateTime &start, int stepSecs = 1, const RingValue &value = {}) const
    {
        return fillRing(m_path, ring, firstId, count, start, stepSecs, value);
    }
    // Stores id as the ring's newest in sl_void.
    bool setNewest(DbRing ring, int id) const;
    // Gives quantity q (0..7) of the ring's record `id` the value v; false
    // when there is no such record.
    bool setValue(DbRing ring, int id, int q, double v) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_valid = false;
};

// Where a program lies: on PATH, else in the system folders a user's PATH
// often leaves out (Debian puts the mosquitto broker in /usr/sbin). Empty when
// missing.
QString programPath(const QString &name);

// Standard output of a command-line tool (pdfinfo, pdftotext ...), empty
// when the tool is missing or did not finish within 20 s.
QByteArray runTool(const QString &tool, const QStringList &args);

// A memory figure of /proc/<pid>/status in MB (key "VmRSS:", "VmHWM:");
// pid 0: this process. -1 when it cannot be read.
double procStatusMb(qint64 pid, const char *key);
// User and system time process pid has used, in seconds; -1 when it cannot
// be read.
double cpuSecondsOf(qint64 pid);

// The environment the program runs in with no display, as a service does:
// ports named in dir (COM<N>) and its settings folder dir (nothing of the
// user's own settings).
QProcessEnvironment displaylessEnvironment(const QString &dir);

// A TCP port of 127.0.0.1 nobody listens on right now.
int freePort();

// mosquitto on 127.0.0.1 with its sessions kept in dir over a restart, and
// no limit to what it keeps for a subscriber that is away; run as ourselves
// (as root it would drop to a user that cannot write dir).
// access: who may connect (anonymous clients unless told otherwise).
class Broker {
public:
    explicit Broker(const QString &dir, const QString &access = QStringLiteral("allow_anonymous true\n"));
    // Everything it logged since its start.
    QByteArray log()
    {
        m_log += m_process.readAll();
        return m_log;
    }
    ~Broker() { stop(); }
    int port() const { return m_port; }
    bool start()
    {
        m_log.clear();
        m_process.start(programPath(QStringLiteral("mosquitto")), {QStringLiteral("-c"), m_dir + QStringLiteral("/mosquitto.conf")});
        return QTest::qWaitFor([this] {
            m_log += m_process.readAll();
            return m_log.contains(" running") || m_process.state() == QProcess::NotRunning;
        }) && m_process.state() == QProcess::Running;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }

private:
    QString m_dir;
    int m_port;
    QProcess m_process;
    QByteArray m_log;
};

// mosquitto_sub on <root>/#, QoS 1, with a session the broker keeps.
class Subscriber {
public:
    explicit Subscriber(int port, const QByteArray &root = "qr5300m") : m_root(root + '/')
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // Line-buffered, so that each message shows as it comes.
        m_process.start(QStringLiteral("stdbuf"),
                        {QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                         QStringLiteral("-t"), QString::fromUtf8(m_root + '#'), QStringLiteral("-v"), QStringLiteral("-q"),
                         QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("tst-sub"),
                         QStringLiteral("-d")});
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool subscribed()
    {
        read();
        return m_debug.contains("SUBACK");
    }
    // Payloads received on topic, in order.
    QList<QByteArray> payloads(const QByteArray &topic)
    {
        read();
        QList<QByteArray> out;
        for (const QByteArray &line : std::as_const(m_lines))
            if (line.startsWith(topic + ' '))
                out.append(line.mid(topic.size() + 1));
        return out;
    }

private:
    void read()
    {
        m_buffer += m_process.readAll();
        for (qsizetype nl; (nl = m_buffer.indexOf('\n')) >= 0; m_buffer.remove(0, nl + 1)) {
            const QByteArray line = m_buffer.left(nl);
            if (line.startsWith(m_root))
                m_lines.append(line);
            else
                m_debug += line + '\n';
        }
    }
    QByteArray m_root;
    QProcess m_process;
    QByteArray m_buffer, m_debug;
    QList<QByteArray> m_lines;
};


#include "testsupport.h"

#include "core/clock.h"
#include "core/dates.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

SimProcess::SimProcess(const QString &portDir, int port, const QStringList &extraArgs)
{
    QStringList args{QStringLiteral("--port-dir"), portDir, QStringLiteral("--port"), QString::number(port)};
    const QString published = start(args + extraArgs);
    if (published == QStringLiteral("%1/COM%2").arg(portDir).arg(port)) {
        m_ready = true;
        m_devicePath = published;
    }
}

SimProcess::SimProcess(Tcp mode, const QStringList &extraArgs, int port)
{
    const QString option = mode == Tcp::Modbus ? QStringLiteral("--tcp") : QStringLiteral("--rtu-tcp");
    const QString published = start(QStringList{option, QString::number(port)} + extraArgs);
    const QString prefix = mode == Tcp::Modbus ? QStringLiteral("tcp://127.0.0.1:") : QStringLiteral("rtu+tcp://127.0.0.1:");
    bool ok = false;
    const int listening = published.startsWith(prefix) ? published.mid(prefix.size()).toInt(&ok) : 0;
    if (ok && listening > 0) {
        m_ready = true;
        m_devicePath = published;
        m_tcpPort = listening;
    }
}

QString SimProcess::start(const QStringList &args)
{
    // Diagnostics (and sanitizer reports) of the simulator go to our stderr.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(QR_SIM_PATH), args);
    if (!m_process.waitForStarted(5000))
        return {};
    const QString line = readLine(5000);
    return line.startsWith(QLatin1String("ready ")) ? line.mid(6) : QString();
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype eol = m_buffer.indexOf('\n');
        if (eol >= 0) {
            const QString line = QString::fromUtf8(m_buffer.left(eol));
            m_buffer.remove(0, eol + 1);
            return line;
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return {};
        if (m_process.bytesAvailable() > 0 || m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            m_buffer += m_process.readAllStandardOutput();
    }
}

QString SimProcess::command(const QString &line)
{
    if (m_process.state() != QProcess::Running)
        return {};
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(1000);
    return readLine(3000);
}

void SimProcess::closeInput()
{
    m_process.closeWriteChannel();
}

bool SimProcess::isRunning()
{
    return m_process.state() == QProcess::Running && !m_process.waitForFinished(0);
}

int SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int simStat(SimProcess &sim, const QString &which)
{
    // "ok reads R writes W"
    const QStringList words = sim.command(QStringLiteral("stats")).split(u' ');
    const qsizetype at = words.indexOf(which);
    if (words.value(0) != QLatin1String("ok") || at < 1 || at + 1 >= words.size())
        return -1;
    bool ok = false;
    const int value = words.at(at + 1).toInt(&ok);
    return ok ? value : -1;
}

QList<QVariantList> sqlRows(const QString &path, const QString &statement, bool *ok)
{
    const QString name = QStringLiteral("testsupport_sql");
    QList<QVariantList> rows;
    bool ran = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            ran = q.exec(statement);
            while (ran && q.next()) {
                QVariantList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i);
                rows << row;
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (ok)
        *ok = ran;
    return rows;
}

bool fillRing(const QString &path, DbRing ring, int firstId, int count, const QDateTime &start, int stepSecs, const RingValue &value)
{
    if (count <= 0)
        return false;
    const int last = firstId + count - 1;
    return fillRingBy(
        path, ring == DbRing::Pv ? "pv_data" : "Lpv_wdjl", count, [firstId](int k) { return firstId + k; },
        [&](int k) { return start.addSecs(qint64(k) * stepSecs); },
        [&](int k, int q) { return value ? value(firstId + k, q) : firstId + k + q / 8.0; }, last);
}

bool withDb(const QString &path, const std::function<bool(QSqlDatabase &)> &body)
{
    const QString name = QStringLiteral("testsupport_db");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open() && db.transaction() && body(db);
        ok = ok ? db.commit() : (db.rollback(), false);
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool makeLogDb(const QString &path)
{
    qputenv("QR5300M_DB", path.toLocal8Bit());
    Clock clock;
    DbFiles files(clock);
    DbConn setup(files, QStringLiteral("makeLogDb"));
    return setup.open();
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool damagePage(const QString &path, qint64 page)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    const QByteArray head = f.read(100);
    const int pageSize = head.size() == 100 ? (uchar(head.at(16)) << 8) | uchar(head.at(17)) : 0;
    if (pageSize < 512 || page < 2)
        return false;
    QByteArray garbage(pageSize, Qt::Uninitialized);
    for (int i = 0; i < pageSize; ++i)
        garbage[i] = char((i * 151 + 77) ^ (i >> 3));
    return f.seek((page - 1) * pageSize) && f.write(garbage) == pageSize;
}

bool fillRingBy(const QString &path, const char *table, int count, const std::function<int(int)> &idOf,
                const std::function<QDateTime(int)> &timeOf, const std::function<double(int, int)> &valueOf,
                int newest)
{
    const bool pv = table[0] == 'p';
    return withDb(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        bool ok = q.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                .arg(QLatin1String(table)));
        for (int n = 0; ok && n < count; ++n) {
            const QDateTime t = timeOf(n);
            q.bindValue(0, idOf(n));
            q.bindValue(1, dateSerial(t.date()));
            q.bindValue(2, timeSerial(t.time()));
            for (int k = 0; k < 8; ++k)
                q.bindValue(3 + k, valueOf(n, k));
            ok = q.exec();
        }
        const QString sql = pv ? QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1")
                               : QStringLiteral("UPDATE sl_void SET lpv_id = %1, lpv_id_copy = %1");
        return ok && q.exec(sql.arg(newest));
    });
}

TempDatabase::TempDatabase(bool create) : m_path(m_dir.filePath(QStringLiteral("Rdatabj.db")))
{
    select();
    m_valid = m_dir.isValid();
    if (m_valid && create) {
        Clock clock;
        DbFiles files(clock);
        DbConn conn(files, QStringLiteral("testsupport_create"));
        m_valid = conn.open();
    }
}

void TempDatabase::select() const
{
    qputenv("QR5300M_DB", m_path.toLocal8Bit());
}

bool TempDatabase::setNewest(DbRing ring, int id) const
{
    const QString sql = ring == DbRing::Pv ? QStringLiteral("UPDATE sl_void SET pv_id = ?, pv_id_copy = ?")
                                           : QStringLiteral("UPDATE sl_void SET lpv_id = ?, lpv_id_copy = ?");
    return withDb(m_path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.prepare(sql))
            return false;
        q.addBindValue(id);
        q.addBindValue(id);
        return q.exec() && q.numRowsAffected() == 1;
    });
}

bool TempDatabase::setValue(DbRing ring, int id, int q, double v) const
{
    const bool pv = ring == DbRing::Pv;
    const QString sql = QStringLiteral("UPDATE %1 SET %2_v%3 = ? WHERE %2_id = ?")
                            .arg(pv ? QStringLiteral("pv_data") : QStringLiteral("Lpv_wdjl"),
                                 pv ? QStringLiteral("w") : QStringLiteral("lw"))
                            .arg(q);
    return withDb(m_path, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        if (!query.prepare(sql))
            return false;
        query.addBindValue(v);
        query.addBindValue(id);
        return query.exec() && query.numRowsAffected() == 1;
    });
}

QString programPath(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    return !onPath.isEmpty() ? onPath
                             : QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"),
                                                                     QStringLiteral("/sbin")});
}

QByteArray runTool(const QString &tool, const QStringList &args)
{
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(20000))
        return {};
    return p.readAllStandardOutput();
}

double procStatusMb(qint64 pid, const char *key)
{
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

std::unique_ptr<SimProcess> startFrozenSim(const QString &portDir)
{
    qputenv("QR5300M_PORT_DIR", portDir.toLocal8Bit());
    auto sim = std::make_unique<SimProcess>(portDir, 1);
    if (!sim->isReady() || !sim->command(QStringLiteral("freeze on")).startsWith(QLatin1String("ok")))
        return nullptr;
    return sim;
}

double cpuSecondsOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

QProcessEnvironment displaylessEnvironment(const QString &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QR5300M_PORT_DIR"), dir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir);
    return env;
}

int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

Broker::Broker(const QString &dir, const QString &access) : m_dir(dir), m_port(freePort())
{
    QFile conf(dir + QStringLiteral("/mosquitto.conf"));
    if (conf.open(QIODevice::WriteOnly))
        conf.write(QStringLiteral("listener %1 127.0.0.1\n%4persistence true\n"
                                  "persistence_location %2/\nmax_queued_messages 0\nlog_dest stderr\nuser %3\n")
                       .arg(m_port)
                       .arg(dir, QString::fromLocal8Bit(getpwuid(getuid())->pw_name), access)
                       .toUtf8());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

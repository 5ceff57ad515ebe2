// The writer's lock file beside the database (path + ".lock", holding the
// writer's process id): while one running copy of the program holds it, any
// other reads but never writes. The kernel drops the lock with the process.
#include "logging/log_db.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
    DbError e;
    e.path = lockPath;
    // Never through a symbolic link: the process id would go into whatever
    // file it names.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW); // another user's lock file
    if (fd < 0) {
        e.sysErrno = errno;
        if (e.sysErrno == ELOOP) {
            e.kind = DbFault::LockLink;
            e.cause = DbCause::LockIsLink;
            setFault(e);
            return false;
        }
        if (!folderFault()) {
            e.kind = DbFault::Other;
            e.cause = DbCause::LockCreate;
            setFault(e);
        }
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        e.sysErrno = errno;
        char buf[24] = {};
        const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        ::close(fd);
        if (e.sysErrno != EWOULDBLOCK) {
            e.kind = DbFault::Other;
            e.cause = DbCause::LockTake;
            setFault(e);
            return false;
        }
        bool ok = false;
        const qint64 pid = QByteArray(buf, n > 0 ? int(n) : 0).trimmed().toLongLong(&ok);
        e = DbError();
        e.kind = DbFault::InUse;
        e.cause = DbCause::HeldBy;
        e.path = m_path;
        e.pid = ok && pid > 0 ? pid : 0;
        setFault(e);
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

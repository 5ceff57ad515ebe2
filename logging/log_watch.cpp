// Replacement detection: the file under the path compared with the one a
// connection is on (identity, size, time, the SQLite header). A file
// deleted or replaced closes every connection of the session on it and is
// opened again; the writer's own writes move every connection that knew
// the file along with it.
#include "logging/log_db.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
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
    if (m_error.kind == DbFault::Foreign && sigOf(m_files.location().path) == m_foreignSig)
        return false; // still the same foreign file: never touch it
    if (m_lastTry.isValid() && m_files.clock.now() == m_lastTry)
        return false;
    return open();
}

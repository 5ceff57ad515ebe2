#include "link/tcp_line.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <modbus.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waits for a non-blocking connect on fd; 0, or the error number.
int awaitConnect(int fd, int timeoutMs)
{
    pollfd p{fd, POLLOUT, 0};
    int rc;
    do
        rc = poll(&p, 1, timeoutMs);
    while (rc < 0 && errno == EINTR);
    if (rc == 0)
        return ETIMEDOUT;
    if (rc < 0)
        return errno;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return errno;
    return err;
}

// A socket connected to one of the host's addresses, or -1 with *error set.
int connectSocket(const LineAddress &address, int timeoutMs, int *error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const QByteArray host = address.host.toUtf8();
    const QByteArray service = QByteArray::number(address.tcpPort);
    if (getaddrinfo(host.constData(), service.constData(), &hints, &list) != 0) {
        *error = EADDRNOTAVAIL;
        return -1;
    }
    *error = ECONNREFUSED;
    int fd = -1;
    for (addrinfo *ai = list; ai && fd < 0; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            *error = errno;
            continue;
        }
        int e = ::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 ? 0 : errno;
        if (e == EINPROGRESS)
            e = awaitConnect(fd, timeoutMs);
        if (e != 0) {
            *error = e;
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(list);
    if (fd < 0)
        return -1;
    // libmodbus reads with select(), then blocking calls.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace

modbus_t *connectTcpLine(const LineAddress &address, int rate, int timeoutMs, int *error)
{
    *error = 0;
    const QByteArray host = address.host.toUtf8();
    modbus_t *ctx = nullptr;
    if (address.transport == LineTransport::ModbusTcp)
        ctx = modbus_new_tcp_pi(host.constData(), QByteArray::number(address.tcpPort).constData());
    else if (address.transport == LineTransport::RtuOverTcp)
        ctx = modbus_new_rtu(host.constData(), rate > 0 ? rate : 9600, 'N', 8, 1); // never opened as a device
    if (!ctx) {
        *error = errno != 0 ? errno : EINVAL;
        return nullptr;
    }
    const int fd = connectSocket(address, timeoutMs, error);
    if (fd < 0) {
        modbus_free(ctx);
        return nullptr;
    }
    modbus_set_socket(ctx, fd);
    return ctx;
}

PipeSignalGuard::PipeSignalGuard()
{
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGPIPE);
    m_restore = pthread_sigmask(SIG_BLOCK, &block, &m_old) == 0;
}

PipeSignalGuard::~PipeSignalGuard()
{
    if (!m_wasPending) {
        // A SIGPIPE raised meanwhile is taken off before it is let through.
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec none{0, 0};
            while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
    }
    if (m_restore)
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

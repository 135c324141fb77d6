// The POSIX half of SpSocket.h: BSD sockets, getaddrinfo and poll().
#include "SpSocket.h"
#include "SpPollPosix.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Resolver failures get codes of their own above any errno value.
constexpr int ResolveBase = 100000;

int ConnectOne(const addrinfo& ai, int timeoutMs, int& fd)
{
    fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0)
        return errno;
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
        if (errno != EINPROGRESS)
            return errno;
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do
            ready = ::poll(&p, 1, timeoutMs);
        while (ready < 0 && errno == EINTR);
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            return errno;
        if (err)
            return err;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 0;
}

} // namespace

TSpSocket::~TSpSocket()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

int TSpSocket::Connect(const QString& host, int port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // No AI_ADDRCONFIG: a computer whose only network is the loopback (an
    // SSH tunnel's end, offline) must still reach 127.0.0.1 and ::1.
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    const int resolved = ::getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found);
    if (resolved != 0)
        return resolved == EAI_SYSTEM ? errno : ResolveBase - resolved;
    QElapsedTimer clock;
    clock.start();
    int err = ETIMEDOUT;
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0) {
            err = ETIMEDOUT;
            break;
        }
        int fd = -1;
        err = ConnectOne(*ai, left, fd);
        if (err == 0) {
            m_handle = fd;
            break;
        }
        if (fd >= 0)
            ::close(fd);
    }
    ::freeaddrinfo(found);
    return err;
}

int TSpSocket::Send(const uint8_t* data, int count)
{
    ssize_t n;
    do
        n = ::send(int(m_handle), data, size_t(count), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -errno;
    return int(n);
}

int TSpSocket::Receive(uint8_t* buffer, int count)
{
    ssize_t n;
    do
        n = ::recv(int(m_handle), buffer, size_t(count), 0);
    while (n < 0 && errno == EINTR);
    if (n == 0 && count > 0)
        return Closed;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -errno;
    return int(n);
}

int TSpSocket::Pending(int& count) const
{
    count = 0;
    return ::ioctl(int(m_handle), FIONREAD, &count) != 0 ? errno : 0;
}

int TSpSocket::Failure() const
{
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(int(m_handle), SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return errno;
    return err ? err : ECONNRESET;
}

int TSpSocket::Wait(const TSpWaker* waker, int wanted, int timeoutMs) const
{
    // The far end's close shows as POLLRDHUP, whatever was asked.
    const int events = POLLRDHUP | (wanted & TSpDevice::rdReadable ? POLLIN : 0)
        | (wanted & TSpDevice::rdWritable ? POLLOUT : 0);
    const int got = spPollWithWaker(waker, int(m_handle), wanted ? events : 0, timeoutMs);
    if (got < 0)
        return got;
    return (got & POLLIN ? skReadable : 0) | (got & POLLOUT ? skWritable : 0)
        | (got & (POLLRDHUP | POLLHUP) ? skClosed : 0) | (got & (POLLERR | POLLNVAL) ? skError : 0);
}

QString TSpSocket::ErrorText(int code)
{
    if (code > ResolveBase)
        return QString::fromLocal8Bit(::gai_strerror(ResolveBase - code));
    return QString::fromLocal8Bit(std::strerror(code));
}

TSpFailure TSpSocket::Classify(int code)
{
    return code == EACCES || code == EPERM ? TSpFailure::AccessDenied : TSpFailure::Other;
}

// The POSIX half of UnitIo.h: terminals through termios, TCP through BSD sockets.
#include "UnitIo.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace UnitIo {

namespace {

QString SystemError(const QString& what, int code = errno)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)));
}

// Raw 8N1 at 19200 without flow control, as the unit's port is wired.
bool SetRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

bool OpenPty(THandle& master, THandle& slaveKeep, QString& slavePath, QString& error)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
        error = SystemError(QStringLiteral("cannot create a pseudo-terminal"));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const char* name = ptsname(fd);
    const int slave = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (slave < 0 || !SetRaw(slave)) {
        error = SystemError(QStringLiteral("cannot open the pseudo-terminal's slave side"));
        if (slave >= 0)
            ::close(slave);
        ::close(fd);
        return false;
    }
    master = fd;
    slaveKeep = slave;
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool OpenDevice(const QString& path, THandle& device, QString& error)
{
    // Non-blocking from the start: a modem line without carrier must not hold up the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError(QStringLiteral("cannot open %1").arg(path));
        return false;
    }
    if (!SetRaw(fd)) {
        error = SystemError(QStringLiteral("cannot set the line settings of %1").arg(path));
        ::close(fd);
        return false;
    }
    device = fd;
    return true;
}

bool Listen(const QString& host, int port, THandle& listener, int& boundPort, QString& error)
{
    const QByteArray numeric = host == QLatin1String("localhost") ? QByteArray("127.0.0.1") : host.toLatin1();
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(numeric.constData(), QByteArray::number(port).constData(), &hints, &found) != 0 || !found) {
        error = QStringLiteral("--tcp takes a numeric address: %1").arg(host);
        return false;
    }
    const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    if (fd >= 0)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool listening = fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 4) == 0;
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (!listening || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        error = SystemError(QStringLiteral("cannot listen on %1:%2").arg(host).arg(port));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                                  : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    listener = fd;
    return true;
}

THandle Accept(THandle listener)
{
    const int fd = ::accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return None;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool SetNonBlocking(THandle handle, QString& error)
{
    const int flags = fcntl(int(handle), F_GETFL);
    if (flags < 0 || fcntl(int(handle), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError(QStringLiteral("cannot make the line non-blocking"));
        return false;
    }
    return true;
}

qint64 Read(THandle handle, char* buffer, qint64 size, QString& reason)
{
    const ssize_t n = ::read(int(handle), buffer, size_t(size));
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return WouldBlock;
    reason = n < 0 ? SystemError(QStringLiteral("read failed")) : QString();
    return Ended;
}

qint64 Write(THandle handle, const char* data, qint64 size)
{
    // EAGAIN: the far end does not read now; EPIPE (SIGPIPE is ignored): its
    // reader is gone, which the next read tells.
    const ssize_t n = ::write(int(handle), data, size_t(size));
    return n > 0 ? n : 0;
}

void Close(THandle handle)
{
    if (handle != None)
        ::close(int(handle));
}

} // namespace UnitIo

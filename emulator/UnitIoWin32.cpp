// The Windows half of UnitIo.h: TCP through Winsock. Windows has no
// pseudo-terminals, and serving a COM port is left to the Linux build.
#include "UnitIo.h"

#include "support/SystemErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace UnitIo {

namespace {

bool WinsockStarted()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

QString SocketError(const QString& what, int code = ::WSAGetLastError())
{
    return QStringLiteral("%1: %2").arg(what, SystemErrorText(unsigned(code)));
}

} // namespace

bool OpenPty(THandle&, THandle&, QString&, QString& error)
{
    error = QStringLiteral("Windows has no pseudo-terminals: use --tcp 127.0.0.1:0");
    return false;
}

bool OpenDevice(const QString& path, THandle&, QString& error)
{
    error = QStringLiteral("serving %1 is not available on Windows: use --tcp").arg(path);
    return false;
}

bool Listen(const QString& host, int port, THandle& listener, int& boundPort, QString& error)
{
    if (!WinsockStarted()) {
        error = SocketError(QStringLiteral("cannot start Winsock"));
        return false;
    }
    const QByteArray numeric = host == QLatin1String("localhost") ? QByteArray("127.0.0.1") : host.toLatin1();
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(numeric.constData(), QByteArray::number(port).constData(), &hints, &found) != 0 || !found) {
        error = QStringLiteral("--tcp takes a numeric address: %1").arg(host);
        return false;
    }
    const SOCKET s = ::WSASocketW(found->ai_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    const bool listening = s != INVALID_SOCKET && ::bind(s, found->ai_addr, int(found->ai_addrlen)) == 0
        && ::listen(s, 4) == 0;
    ::freeaddrinfo(found);
    sockaddr_storage bound{};
    int length = sizeof bound;
    if (!listening || ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        error = SocketError(QStringLiteral("cannot listen on %1:%2").arg(host).arg(port));
        if (s != INVALID_SOCKET)
            ::closesocket(s);
        return false;
    }
    boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                                  : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    listener = THandle(s);
    return SetNonBlocking(listener, error);
}

THandle Accept(THandle listener)
{
    const SOCKET s = ::accept(SOCKET(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return None;
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    QString ignored;
    SetNonBlocking(THandle(s), ignored);
    return THandle(s);
}

bool SetNonBlocking(THandle handle, QString& error)
{
    u_long on = 1;
    if (::ioctlsocket(SOCKET(handle), FIONBIO, &on) != 0) {
        error = SocketError(QStringLiteral("cannot make the line non-blocking"));
        return false;
    }
    return true;
}

qint64 Read(THandle handle, char* buffer, qint64 size, QString& reason)
{
    const int n = ::recv(SOCKET(handle), buffer, int(qMin<qint64>(size, 1 << 20)), 0);
    if (n > 0)
        return n;
    if (n == 0) {
        reason.clear();
        return Ended;
    }
    const int code = ::WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAEINTR)
        return WouldBlock;
    reason = SocketError(QStringLiteral("read failed"), code);
    return Ended;
}

qint64 Write(THandle handle, const char* data, qint64 size)
{
    const int n = ::send(SOCKET(handle), data, int(qMin<qint64>(size, 1 << 20)), 0);
    return n > 0 ? n : 0;
}

void Close(THandle handle)
{
    if (handle != None)
        ::closesocket(SOCKET(handle));
}

} // namespace UnitIo

// The Win32 half of SpSocket.h: Winsock, GetAddrInfoW and select(); waits are
// WSAEventSelect events waited together with the waker's event.
#include "SpSocket.h"

#include "support/SystemErrorText.h"

#include <QElapsedTimer>

#include <algorithm>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace {

// Winsock is started once for the process and left running: sockets may be
// closed from any thread until the very end.
int startWinsock()
{
    static const int started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return started;
}

SOCKET sock(std::intptr_t handle)
{
    return SOCKET(handle);
}

// How long one turn of a wait for room alone lasts.
constexpr DWORD RoomTurnMs = 20;

// What select() says of the socket within waitMs: TSpSocket::TReady bits for
// the directions asked, or minus the code. A readable socket with nothing to
// read is one whose far end closed it.
int probe(SOCKET s, bool readable, bool writable, DWORD waitMs = 0)
{
    if (!readable && !writable)
        return 0;
    fd_set reads, writes;
    FD_ZERO(&reads);
    FD_ZERO(&writes);
    if (readable)
        FD_SET(s, &reads);
    if (writable)
        FD_SET(s, &writes);
    timeval limit{long(waitMs / 1000), long(waitMs % 1000 * 1000)};
    if (::select(0, readable ? &reads : nullptr, writable ? &writes : nullptr, nullptr, &limit) == SOCKET_ERROR)
        return -::WSAGetLastError();
    int ready = 0;
    if (readable && FD_ISSET(s, &reads)) {
        u_long count = 0;
        ready |= TSpSocket::skReadable;
        if (::ioctlsocket(s, FIONREAD, &count) == 0 && count == 0)
            ready |= TSpSocket::skClosed;
    }
    if (writable && FD_ISSET(s, &writes))
        ready |= TSpSocket::skWritable;
    return ready;
}

int connectOne(const ADDRINFOW& ai, int timeoutMs, SOCKET& s)
{
    s = ::WSASocketW(ai.ai_family, ai.ai_socktype, ai.ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return ::WSAGetLastError();
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return ::WSAGetLastError();
    if (::connect(s, ai.ai_addr, int(ai.ai_addrlen)) != 0) {
        if (const int err = ::WSAGetLastError(); err != WSAEWOULDBLOCK)
            return err;
        // Connected shows as writable; a refusal as an exception.
        fd_set writes, failures;
        FD_ZERO(&writes);
        FD_ZERO(&failures);
        FD_SET(s, &writes);
        FD_SET(s, &failures);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        const int ready = ::select(0, nullptr, &writes, &failures, &limit);
        if (ready == SOCKET_ERROR)
            return ::WSAGetLastError();
        if (ready == 0)
            return WSAETIMEDOUT;
        int err = 0;
        int len = sizeof err;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
            return ::WSAGetLastError();
        if (err)
            return err;
        if (FD_ISSET(s, &failures))
            return WSAECONNREFUSED;
    }
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return 0;
}

// An event the socket signals for the network events asked, for one wait;
// the socket forgets it before it is closed.
class TSocketEvent {
public:
    TSocketEvent(SOCKET s, long events) : m_socket(s), m_event(::WSACreateEvent())
    {
        if (m_event == WSA_INVALID_EVENT || ::WSAEventSelect(s, m_event, events) != 0)
            m_error = ::WSAGetLastError();
    }
    ~TSocketEvent()
    {
        if (m_event != WSA_INVALID_EVENT) {
            ::WSAEventSelect(m_socket, nullptr, 0);
            ::WSACloseEvent(m_event);
        }
    }
    TSocketEvent(const TSocketEvent&) = delete;
    TSocketEvent& operator=(const TSocketEvent&) = delete;

    int Error() const { return m_error; }
    HANDLE Handle() const { return m_event; }
    // The close (and its failure) the event recorded, as TReady bits; resets it.
    int Closed() const
    {
        WSANETWORKEVENTS seen{};
        if (::WSAEnumNetworkEvents(m_socket, m_event, &seen) != 0)
            return TSpSocket::skError;
        if (!(seen.lNetworkEvents & FD_CLOSE))
            return 0;
        return TSpSocket::skClosed | (seen.iErrorCode[FD_CLOSE_BIT] ? TSpSocket::skError : 0);
    }

private:
    SOCKET m_socket;
    WSAEVENT m_event;
    int m_error = 0;
};

} // namespace

TSpSocket::~TSpSocket()
{
    if (m_handle != std::intptr_t(INVALID_SOCKET))
        ::closesocket(sock(m_handle));
}

int TSpSocket::Connect(const QString& host, int port, int timeoutMs)
{
    if (const int err = startWinsock())
        return err;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    // No AI_ADDRCONFIG: a computer whose only network is the loopback (an
    // SSH tunnel's end, offline) must still reach 127.0.0.1 and ::1.
    hints.ai_flags = AI_NUMERICSERV;
    ADDRINFOW* found = nullptr;
    const std::wstring name = host.toStdWString();
    const std::wstring service = std::to_wstring(port);
    // The resolver's failures are Winsock codes, worded like any other.
    if (const int resolved = ::GetAddrInfoW(name.c_str(), service.c_str(), &hints, &found))
        return resolved;
    QElapsedTimer clock;
    clock.start();
    int err = WSAETIMEDOUT;
    for (const ADDRINFOW* ai = found; ai; ai = ai->ai_next) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0) {
            err = WSAETIMEDOUT;
            break;
        }
        SOCKET s = INVALID_SOCKET;
        err = connectOne(*ai, left, s);
        if (err == 0) {
            m_handle = std::intptr_t(s);
            break;
        }
        if (s != INVALID_SOCKET)
            ::closesocket(s);
    }
    ::FreeAddrInfoW(found);
    return err;
}

int TSpSocket::Send(const uint8_t* data, int count)
{
    const int n = ::send(sock(m_handle), reinterpret_cast<const char*>(data), count, 0);
    if (n == SOCKET_ERROR) {
        const int err = ::WSAGetLastError();
        return err == WSAEWOULDBLOCK ? 0 : -err;
    }
    return n;
}

int TSpSocket::Receive(uint8_t* buffer, int count)
{
    const int n = ::recv(sock(m_handle), reinterpret_cast<char*>(buffer), count, 0);
    if (n == 0 && count > 0)
        return Closed;
    if (n == SOCKET_ERROR) {
        const int err = ::WSAGetLastError();
        return err == WSAEWOULDBLOCK ? 0 : -err;
    }
    return n;
}

int TSpSocket::Pending(int& count) const
{
    u_long waiting = 0;
    count = 0;
    if (::ioctlsocket(sock(m_handle), FIONREAD, &waiting) != 0)
        return ::WSAGetLastError();
    count = int(std::min<u_long>(waiting, 0x7fffffff));
    return 0;
}

int TSpSocket::Failure() const
{
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(sock(m_handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
        return ::WSAGetLastError();
    return err ? err : WSAECONNRESET;
}

int TSpSocket::Wait(const TSpWaker* waker, int wanted, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&]() -> DWORD {
        return timeoutMs < 0 ? INFINITE : DWORD(std::max<qint64>(timeoutMs - clock.elapsed(), 0));
    };
    const HANDLE wake = waker ? HANDLE(waker->Handle()) : nullptr;
    const auto woken = [&](int result) {
        if (waker)
            waker->Drain();
        return result;
    };
    if (wanted == 0) {
        const DWORD got = wake ? ::WaitForSingleObject(wake, remaining()) : (::Sleep(remaining()), WAIT_TIMEOUT);
        return woken(got == WAIT_FAILED ? -int(::GetLastError()) : 0);
    }
    const bool readable = wanted & TSpDevice::rdReadable;
    const bool writable = wanted & TSpDevice::rdWritable;
    if (writable && !readable) {
        // A socket takes one event at a time and the thread that watches for
        // arrivals holds it, so a wait for room alone asks select() in short
        // turns and looks at the waker between them. The room is there at
        // once but when the far end stops taking data.
        for (;;) {
            const int ready = probe(sock(m_handle), false, true, std::min<DWORD>(remaining(), RoomTurnMs));
            if (ready != 0)
                return woken(ready);
            if (remaining() == 0 || (wake && ::WaitForSingleObject(wake, 0) == WAIT_OBJECT_0))
                return woken(0);
        }
    }
    // The far end's close is watched whatever was asked, as on the other side.
    const TSocketEvent event(sock(m_handle), FD_READ | FD_CLOSE | (writable ? FD_WRITE : 0));
    if (event.Error())
        return woken(-event.Error());
    for (;;) {
        // Asked after the event is set, so nothing falls between the two;
        // and asked at all because FD_WRITE only comes after a send that
        // found no room, never for a socket that is writable already.
        const int ready = probe(sock(m_handle), readable, writable);
        if (ready != 0)
            return woken(ready);
        const HANDLE handles[] = {event.Handle(), wake};
        const DWORD got = ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, remaining());
        if (got == WAIT_FAILED)
            return woken(-int(::GetLastError()));
        if (got != WAIT_OBJECT_0)
            return woken(0);
        if (const int closed = event.Closed())
            return woken(closed | probe(sock(m_handle), readable, writable));
        if (remaining() == 0)
            return woken(0);
    }
}

QString TSpSocket::ErrorText(int code)
{
    return SystemErrorText(unsigned(code));
}

TSpFailure TSpSocket::Classify(int code)
{
    return code == WSAEACCES ? TSpFailure::AccessDenied : TSpFailure::Other;
}

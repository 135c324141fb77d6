#pragma once
// The unit's calls to the system for its line: the ends it reads and writes
// without blocking (a pseudo-terminal, a serial device or a TCP connection on
// POSIX; TCP connections alone on Windows, which has no pseudo-terminals), and
// the TCP listener clients connect to. A handle is a descriptor or a socket;
// Qt's QSocketNotifier watches either. UnitIoPosix.cpp and UnitIoWin32.cpp
// hold the calls.

#include <QString>
#include <QtGlobal>

namespace UnitIo {

using THandle = qintptr;
constexpr THandle None = -1;

// What Read returns besides a count of bytes.
constexpr qint64 WouldBlock = -1; // nothing there now
constexpr qint64 Ended = 0;       // the far end closed, or the end failed (reason set)

// A pseudo-terminal: master is the unit's end; slaveKeep holds the program's
// end open (see TUnitLine::OpenPty), and slavePath names it.
bool OpenPty(THandle& master, THandle& slaveKeep, QString& slavePath, QString& error);
// An existing serial device at 19200 8N1 without flow control.
bool OpenDevice(const QString& path, THandle& device, QString& error);
// Listens on a numeric address ("localhost" too) and port (0: any free one);
// boundPort receives the port taken.
bool Listen(const QString& host, int port, THandle& listener, int& boundPort, QString& error);
// The next waiting client, made non-blocking and without Nagle's delay (the
// dialogue is many small paced writes); None when none waits.
THandle Accept(THandle listener);
// Makes an end non-blocking.
bool SetNonBlocking(THandle handle, QString& error);

// Up to size bytes; WouldBlock, or Ended with reason empty for a close and
// the system's words for a failure.
qint64 Read(THandle handle, char* buffer, qint64 size, QString& reason);
// What the end takes now: a count, 0 when it takes nothing now or failed.
qint64 Write(THandle handle, const char* data, qint64 size);
void Close(THandle handle);

} // namespace UnitIo

#pragma once
// A TCP connection to a serial device server: the platform's sockets behind
// the few calls the network device needs (SpSocketPosix.cpp; a Winsock twin
// fits the same header). Every call returns at once but Connect and Wait.
//
// Codes follow SpDevice.h: 0 success, else the system's code, positive; a
// name that does not resolve gives a code of its own that ErrorText words
// with the resolver's text.

#include "SpDevice.h"

#include <QString>

#include <cstdint>

class TSpSocket {
public:
    // What Wait reports.
    enum TReady : int { skReadable = 1, skWritable = 2, skClosed = 4, skError = 8 };
    // What Receive returns when the far end closed the connection.
    static constexpr int Closed = -0x7fffffff;

    TSpSocket() = default;
    ~TSpSocket(); // closes the connection
    TSpSocket(const TSpSocket&) = delete;
    TSpSocket& operator=(const TSpSocket&) = delete;

    // Resolves host and connects to the first of its addresses that answers
    // within what is left of timeoutMs in all; non-blocking and without
    // Nagle's delay from then on (the unit's dialogue is many small writes).
    int Connect(const QString& host, int port, int timeoutMs);
    // What the system takes now: the count, 0 when nothing fits just now, or
    // minus the code.
    int Send(const uint8_t* data, int count);
    // What has arrived, up to count: the count, 0 for nothing yet, Closed, or
    // minus the code.
    int Receive(uint8_t* buffer, int count);
    // Bytes that have arrived and not been received.
    int Pending(int& count) const;
    // Why the connection failed: the system's pending error, else its code
    // for a connection reset.
    int Failure() const;
    // As TSpDevice::Wait: readable and writable (TSpDevice::TReady bits) are
    // asked for; reports TReady bits above, 0 when woken or timed out, minus
    // the code when the wait itself failed.
    int Wait(const TSpWaker* waker, int wanted, int timeoutMs) const;

    static QString ErrorText(int code);
    // Refused, unreachable, timed out, reset: all say the far end is not
    // there, which the port words as an open failure with the system's reason.
    static TSpFailure Classify(int code);

private:
    std::intptr_t m_handle = -1;
};

#pragma once
// Network addresses a port can be given in place of a serial device:
// "tcp://HOST:PORT" (the line's bytes as they are) and "rfc2217://HOST:PORT"
// (Telnet with the COM port option). HOST is a name, an IPv4 address or an
// IPv6 address in brackets. Read here alone, so that the command line, the
// port dialog and the port itself agree on what is an address and what is
// wrong with one.

#include <QString>

#include <optional>

struct TSpNetAddress {
    enum TKind { Raw, Rfc2217 };
    TKind Kind = Raw;
    QString Host; // without the brackets of an IPv6 address
    int Port = 0; // 1 to 65535
};

// True for any name of the form "scheme://...": such a name is an address,
// good or bad, and never a device path.
bool spIsNetworkName(const QString& name);
// The address, or nothing with error saying, in plain words, what is wrong.
std::optional<TSpNetAddress> spParseNetAddress(const QString& name, QString& error);

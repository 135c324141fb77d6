#pragma once
// ser2net (Debian's 4.3) serving one serial device on a loopback port, with a
// configuration of its own, in the foreground: what the network tests and the
// benchmarks put between the program and the emulated unit, as a serial device
// server would be across a network.

#include "support/ChildProcess.h"

#include <QString>

namespace TestSupport {

// A loopback port nothing listens on just now.
int FreeLoopbackPort();

class TSer2net {
public:
    enum TAccepter { RawTcp, Rfc2217 };
    enum TPace {
        Defaults, // ser2net's own: each burst held a while to gather more
        Prompt    // every byte passed on at once (chardelay off, TCP_NODELAY), as the guide's example
    };

    // port 0: a free one. Killed with the object unless stopped before.
    TSer2net(const QString& folder, TAccepter accepter, const QString& device, int port = 0, TPace pace = Defaults);
    TSer2net(const TSer2net&) = delete;
    TSer2net& operator=(const TSer2net&) = delete;

    // Starts it and waits until its port takes connections; false when it
    // did not come up.
    bool Start();
    void Kill();
    // Asks it to end (SIGTERM after a grace period), as a user stops the service.
    void Stop();
    // What the program opens: tcp://127.0.0.1:PORT or rfc2217://127.0.0.1:PORT.
    QString Address() const;

private:
    QString m_config;
    QString m_pidFile;
    TAccepter m_accepter;
    int m_port;
    TChildProcess m_process;
};

} // namespace TestSupport

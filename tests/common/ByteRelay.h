#pragma once
// Links two byte streams in both directions, as a serial cable would: optionally
// paced at a bit rate (ten bit-times per byte, each direction on its own), and
// optionally passing each direction through a hook that may change, drop or add
// bytes, to play a noisy line. A command-line peer (lrzsz) started as a child
// process can be put at one end.

#include "support/ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>

namespace TestSupport {

class TByteRelay {
public:
    // One end: where its bytes are read and where bytes for it are written.
    struct TEnd {
        int ReadFd = -1;
        int WriteFd = -1;
    };
    enum TDirection { AtoB = 0, BtoA = 1 };
    // Gets each chunk read with the count of bytes read before it in that
    // direction; returns what to pass on. Runs in the relay's thread.
    using THook = std::function<QByteArray(const QByteArray& chunk, qint64 offset)>;

    TByteRelay(TEnd a, TEnd b, int bitRate = 0);
    ~TByteRelay();
    TByteRelay(const TByteRelay&) = delete;
    TByteRelay& operator=(const TByteRelay&) = delete;

    void SetHook(TDirection direction, THook hook); // before Start
    void Start();
    void Stop();
    // CPU time of the relay's own threads, once stopped.
    double CpuSeconds() const;
    // Seconds from the first byte passed on (either way) to the last one.
    double BusySeconds() const;

private:
    struct TPump {
        int From = -1;
        int To = -1;
        THook Hook;
        double CpuSeconds = 0;
        std::atomic<qint64> FirstNs{0}; // steady clock of the first and last bytes passed on
        std::atomic<qint64> LastNs{0};
        std::thread Thread;
    };
    void Run(TPump& pump);
    bool WriteAll(int fd, const char* data, qsizetype size);

    TPump m_pumps[2];
    const int m_bitRate;
    int m_stopFd = -1;
    std::atomic<bool> m_stopping{false};
};

// Starts a command-line peer (lrzsz) in folder, its standard error into
// errorFile, its input and output on pipes or on a pseudo-terminal, and returns
// the relay end that reaches it. Throws when it cannot start.
TByteRelay::TEnd StartPeer(TChildProcess& peer, const QStringList& command, const QString& folder,
                           const QString& errorFile, bool terminal = false);

} // namespace TestSupport

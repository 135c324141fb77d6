#pragma once
// Links two byte streams in both directions, as a serial cable would: optionally
// paced at a bit rate (ten bit-times per byte, each direction on its own), and
// optionally passing each direction through a hook that may change, drop or add
// bytes, to play a noisy line. Also a child process with its standard input and
// output on pipes, to put a command-line peer (lrzsz) at one end.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <sys/types.h>
#include <thread>

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

// A child process whose standard input and output are pipes, or a
// pseudo-terminal when asked (standard error goes to a file), run in a given
// folder.
class TPipedProcess {
public:
    TPipedProcess(const QStringList& command, const QString& folder, const QString& errorFile, bool terminal = false);
    ~TPipedProcess(); // kills the child if it still runs
    TPipedProcess(const TPipedProcess&) = delete;
    TPipedProcess& operator=(const TPipedProcess&) = delete;

    // The relay end: read what the child writes, write what it should read.
    TByteRelay::TEnd End() const { return {m_fromChild, m_toChild}; }
    // Waits up to timeoutMs for the child to exit; false if it still runs.
    bool Wait(int timeoutMs);
    int ExitStatus() const { return m_status; } // as from waitpid, valid after Wait
    double CpuSeconds() const { return m_cpu; }

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
    int m_status = -1;
    double m_cpu = 0;
};

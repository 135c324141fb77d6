// YModem throughput and cost, our engine beside lrzsz on the same link.
//   bench_ymodem [paced|unpaced|upload|floor|unit|all]      (default all)
// paced:   64 KB each way over a link paced at 19200 bit/s (ten bit-times per
//          byte each way); payload rate over the time the line was busy, as a
//          share of the 1K-block limit 1024/1029 x 1920 bytes/s.
// unpaced: 32 MB each way in CRC mode ('C'), wall and CPU time.
// upload:  of the unpaced rows only ours -> rb and sb -> rb, to compare senders.
// unit:    the program itself moving 64 KB to the emulated unit and back on a
//          line paced at 19200 bit/s, over the pseudo-terminal and through
//          ser2net (tcp and rfc2217); see UnitTransfers.cpp. Not part of all.
// floor:   the bare line without any transfer code: a 1029-byte block one way
//          and a 1-byte answer back, over a pseudo-terminal and over pipes; what
//          the line itself costs per block (also printed by unpaced and upload).
// Each way is run with our engine at one end and lrzsz at the other, and with
// lrzsz at both ends (sb -> rb) for comparison. "busy" is the time from the
// first to the last byte on the line, which leaves out rb's start-up second.
// Our CPU time is the process's less the relay's threads; lrzsz's is the child's.
// "turn" splits the busy time between the ends, as the relay sees it: from the
// answer passed to the sender to the sender's next bytes (its turnaround,
// including its side of the line), and from the sender's last bytes to the
// receiver's answer. Any silence over 100 ms is counted apart as a pause.
#include "ByteRelay.h"
#include "TestSupport.h"
#include "TransferEnd.h"
#include "UnitTransfers.h"
#include "serial/SpSync.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct TResult {
    bool Ok = false;       // received whole and intact
    bool SenderOk = false; // the sender ended in time and reported success
    double Wall = 0;      // start to both ends done
    double Busy = 0;      // first to last byte on the line
    double SenderCpu = 0;
    double ReceiverCpu = 0;
    double SenderTurnUs = 0;   // mean turnaround of the sender
    double ReceiverTurnUs = 0; // mean turnaround of the receiver, pauses left out
    double PauseSeconds = 0;   // silences over 100 ms
};

// Watches both directions of the relay and adds up whose turn the line waits on.
class TTurns {
public:
    void Install(TByteRelay& relay)
    {
        relay.SetHook(TByteRelay::AtoB, [this](const QByteArray& chunk, qint64) { return Seen(true, chunk); });
        relay.SetHook(TByteRelay::BtoA, [this](const QByteArray& chunk, qint64) { return Seen(false, chunk); });
    }
    void Fill(TResult& r) const
    {
        r.SenderTurnUs = m_senderTurns ? m_senderSum / m_senderTurns * 1e6 : 0;
        r.ReceiverTurnUs = m_receiverTurns ? m_receiverSum / m_receiverTurns * 1e6 : 0;
        r.PauseSeconds = m_pauses;
    }

private:
    QByteArray Seen(bool fromSender, const QByteArray& chunk)
    {
        std::lock_guard lock(m_lock);
        const double now = double(m_clock.nsecsElapsed()) / 1e9;
        if (m_last > 0 && now - m_last > 0.1)
            m_pauses += now - m_last;
        else if (fromSender && m_answered)
            Add(now - m_last, m_senderSum, m_senderTurns);
        else if (!fromSender && !m_answered && m_last > 0)
            Add(now - m_last, m_receiverSum, m_receiverTurns);
        m_answered = !fromSender;
        m_last = now;
        return chunk;
    }
    static void Add(double seconds, double& sum, int& turns)
    {
        sum += seconds;
        ++turns;
    }

    std::mutex m_lock;
    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    double m_last = 0;
    bool m_answered = false;
    double m_senderSum = 0, m_receiverSum = 0, m_pauses = 0;
    int m_senderTurns = 0, m_receiverTurns = 0;
};

double processCpu()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One end of the link: our engine on a pseudo-terminal, or lrzsz on pipes.
class TSide {
public:
    TSide(bool ours, bool sending, const QString& folder, bool terminal)
        : m_ours(ours)
    {
        if (ours) {
            m_pty = std::make_unique<TPtyPair>();
            m_end = std::make_unique<TTransferEnd>(m_pty->SlavePath());
        } else {
            const QStringList command = sending ? QStringList{"sb", "-k", "-q", "data.bin"} : QStringList{"rb", "-E", "-q"};
            m_peerEnd = StartPeer(m_peer, command, folder, folder + "/../lrzsz.log", terminal);
        }
    }
    TByteRelay::TEnd End() const { return m_ours ? TByteRelay::TEnd{m_pty->MasterFd(), m_pty->MasterFd()} : m_peerEnd; }
    TTransferEnd* Ours() const { return m_end.get(); }
    bool Done() { return m_ours ? m_end->Ends > 0 : !m_peer.Running(); }
    bool Ok() const { return m_ours ? m_end->Exit == 0 : m_peer.ExitCode() == 0; }
    double PeerCpu() const { return m_ours ? 0 : m_peer.CpuSeconds(); }

private:
    bool m_ours;
    std::unique_ptr<TPtyPair> m_pty;
    std::unique_ptr<TTransferEnd> m_end;
    TChildProcess m_peer;
    TByteRelay::TEnd m_peerEnd;
};

TResult run(bool oursSending, bool oursReceiving, qint64 size, int bitRate, bool lrzszOnTerminal = false)
{
    QTemporaryDir root;
    QDir(root.path()).mkdir("out");
    QDir(root.path()).mkdir("in");
    const QByteArray data = testPattern(size, 11);
    writeFile(root.filePath("out/data.bin"), data);

    TSide sender(oursSending, true, root.filePath("out"), lrzszOnTerminal);
    TSide receiver(oursReceiving, false, root.filePath("in"), lrzszOnTerminal);
    const double cpuBefore = processCpu();
    QElapsedTimer clock;
    clock.start();
    TByteRelay relay(sender.End(), receiver.End(), bitRate);
    TTurns turns;
    if (bitRate == 0)
        turns.Install(relay);
    relay.Start();
    if (TTransferEnd* ours = sender.Ours())
        ours->Upload({root.filePath("out/data.bin")});
    if (TTransferEnd* ours = receiver.Ours())
        ours->Download(root.filePath("in"));
    TResult r;
    // rb on a terminal flushes the line as it exits and may drop its last ACK,
    // leaving sb waiting: the sender gets a while to finish, no more.
    const bool ended = spProcessMessagesUntil([&] { return receiver.Done(); }, 3600 * 1000, 20)
        && spProcessMessagesUntil([&] { return sender.Done(); }, 15000, 20);
    r.Wall = double(clock.nsecsElapsed()) / 1e9;
    relay.Stop();
    const double ourCpu = processCpu() - cpuBefore - relay.CpuSeconds();
    r.Busy = relay.BusySeconds();
    r.SenderCpu = oursSending ? ourCpu : sender.PeerCpu();
    r.ReceiverCpu = oursReceiving ? ourCpu : receiver.PeerCpu();
    r.Ok = receiver.Done() && receiver.Ok() && readFile(root.filePath("in/data.bin")) == data;
    r.SenderOk = ended && sender.Ok();
    turns.Fill(r);
    return r;
}

const char* name(bool ours, bool sending)
{
    return ours ? "ours" : sending ? "sb" : "rb";
}

void paced()
{
    const qint64 size = 64 * 1024;
    const double limit = 1024.0 / 1029.0 * 1920.0;
    std::printf("64 KB at 19200 bit/s (limit %.1f payload bytes/s)\n", limit);
    std::printf("  %-12s %8s %10s %8s %s\n", "link", "busy s", "bytes/s", "share", "");
    for (auto [s, r] : {std::pair{true, false}, {false, true}, {false, false}, {true, true}}) {
        const TResult res = run(s, r, size, 19200);
        const double rate = double(size) / res.Busy;
        std::printf("  %4s -> %-4s %8.2f %10.1f %8.4f %s\n", name(s, true), name(r, false), res.Busy, rate,
                    rate / limit, res.Ok && res.SenderOk ? "" : "FAILED");
        std::fflush(stdout);
    }
}

void readAll(int fd, char* data, int count)
{
    while (count > 0) {
        const ssize_t n = ::read(fd, data, size_t(count));
        if (n <= 0)
            std::exit(1);
        data += n;
        count -= int(n);
    }
}

// Microseconds per stop-and-wait turn between two threads: the sender writes a
// 1K block (1029 bytes) to senderOut and reads a 1-byte answer from senderIn;
// the receiver reads the block whole from receiverIn and answers on receiverOut.
double turnMicroseconds(int senderOut, int senderIn, int receiverIn, int receiverOut)
{
    constexpr int Turns = 20000;
    std::thread receiver([=] {
        char block[1029];
        const char ack = 0x06;
        for (int i = 0; i < Turns; ++i) {
            readAll(receiverIn, block, sizeof block);
            if (::write(receiverOut, &ack, 1) != 1)
                std::exit(1);
        }
    });
    char block[1029];
    std::memset(block, 0x55, sizeof block);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Turns; ++i) {
        if (::write(senderOut, block, sizeof block) != qint64(sizeof block))
            std::exit(1);
        char ack;
        readAll(senderIn, &ack, 1);
    }
    const double us = double(clock.nsecsElapsed()) / 1e3 / Turns;
    receiver.join();
    return us;
}

void lineFloor()
{
    // The sender on the terminal side, raw, as our port opens it.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return;
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    const double pty = turnMicroseconds(slave, slave, master, master);
    ::close(slave);
    ::close(master);
    int toReceiver[2], toSender[2];
    if (::pipe(toReceiver) != 0 || ::pipe(toSender) != 0)
        return;
    const double pipes = turnMicroseconds(toReceiver[1], toSender[0], toReceiver[0], toSender[1]);
    for (int fd : {toReceiver[0], toReceiver[1], toSender[0], toSender[1]})
        ::close(fd);
    std::printf("bare line, 1029-byte block and 1-byte answer per turn\n");
    std::printf("  pseudo-terminal %8.1f us\n  pipes           %8.1f us\n", pty, pipes);
    std::fflush(stdout);
}

struct TRow {
    bool OursSending, OursReceiving, LrzszOnTerminal;
};

// lrzsz is fastest on pipes; our port needs a terminal device, so lrzsz on
// terminals is shown too, for a like-for-like line.
const std::initializer_list<TRow> AllRows = {
    {true, false, false}, {false, true, false}, {false, false, false}, {false, false, true}};
const std::initializer_list<TRow> UploadRows = {{true, false, false}, {false, false, false}};

void unpaced(std::initializer_list<TRow> rows)
{
    const qint64 size = 32 * 1024 * 1024;
    std::printf("32 MB unpaced, CRC mode ('C')\n");
    std::printf("  %-18s %8s %8s %12s %12s %10s %10s %8s\n", "link", "wall s", "busy s", "sender cpu", "receiver cpu",
                "send us", "recv us", "pauses s");
    for (const TRow& row : rows) {
        const TResult res = run(row.OursSending, row.OursReceiving, size, 0, row.LrzszOnTerminal);
        const QByteArray link = QByteArray(name(row.OursSending, true)) + " -> " + name(row.OursReceiving, false)
            + (row.LrzszOnTerminal ? " (ptys)" : "");
        std::printf("  %-18s %8.2f %8.2f %12.2f %12.2f %10.1f %10.1f %8.2f %s\n", link.constData(), res.Wall, res.Busy,
                    res.SenderCpu, res.ReceiverCpu, res.SenderTurnUs, res.ReceiverTurnUs, res.PauseSeconds,
                    !res.Ok ? "FAILED" : res.SenderOk ? "" : "(sender cut off)");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    if (!QStringList{"paced", "unpaced", "upload", "floor", "unit", "all"}.contains(what)) {
        std::printf("usage: bench_ymodem [paced|unpaced|upload|floor|unit|all]\n"
                    "  paced    64 KB each way at 19200 bit/s\n"
                    "  unpaced  32 MB each way unpaced, ours and lrzsz at either end, and floor\n"
                    "  upload   32 MB unpaced, ours -> rb and sb -> rb only, and floor\n"
                    "  floor    a block and its answer over a bare pseudo-terminal and over pipes\n"
                    "  unit     parlotel's upload and download of 64 KB with the emulated unit at\n"
                    "           19200 bit/s, over a pseudo-terminal and through ser2net (tcp, rfc2217)\n");
        return what == "--help" ? 0 : 2;
    }
    if (what == "paced" || what == "all")
        paced();
    if (what == "unpaced" || what == "all")
        unpaced(AllRows);
    if (what == "upload")
        unpaced(UploadRows);
    if (what == "unit")
        unitTransfers();
    else if (what != "paced")
        lineFloor();
    return 0;
}

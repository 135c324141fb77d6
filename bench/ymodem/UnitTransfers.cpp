// The whole program (`parlotel --upload` / `--download`) moving 64 KB to menu 7
// of the emulated unit and back, with the unit's lrzsz at the other end. The
// unit paces only what it sends, so a relay plays the serial line between the
// unit's pseudo-terminal and the device the program (or ser2net) opens: 19200
// bit/s each way, as a real port paces the program's blocks too. The unit
// itself runs unpaced behind it: its own pacing runs on timers, and a late
// timer's catching up would be paced again by the relay, lost twice over.
// The relay sees every byte and when it is on the line; a transfer lasts from
// the receiver's first 'C' before the header block to the receiver's last ACK
// before the unit's TRANSFER_RESULT. Its silences are told apart by whose turn
// it was: those waiting on the unit are its lrzsz's and its own (rb answers an
// EOT and asks for the next header after about a second), the rest are the
// program's side, ser2net included.
#include "UnitTransfers.h"

#include "BenchUnit.h"
#include "ByteRelay.h"
#include "Ser2net.h"
#include "TestSupport.h"
#include "TransferEnd.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

constexpr int BitRate = 19200;
constexpr qint64 ByteNs = 10'000'000'000LL / BitRate;
constexpr qsizetype FileSize = 64 * 1024;
constexpr int ProgramMs = 300000;
constexpr double Limit = 1024.0 / 1029.0 * (BitRate / 10.0);

enum TSide { ProgramSide = TByteRelay::AtoB, UnitSide = TByteRelay::BtoA };

// Every byte each way with the time it has crossed the line: the relay passes
// a chunk on from when it is read, or from when the one before it is through,
// one byte-time a byte.
class TLineLog {
public:
    void Install(TByteRelay& relay)
    {
        for (const TSide side : {ProgramSide, UnitSide})
            relay.SetHook(TByteRelay::TDirection(side), [this, side](const QByteArray& chunk, qint64) {
                Add(side, chunk);
                return chunk;
            });
    }
    void Clear()
    {
        std::lock_guard lock(m_lock);
        for (TWay& way : m_ways)
            way = {};
    }

    struct TSpan {
        double Seconds = 0;
        double UnitWaits = 0;    // silences before the unit's next byte
        double ProgramWaits = 0; // silences before the program's next byte
    };
    // The transfer within what was logged; nothing when it is not all there.
    std::optional<TSpan> Transfer()
    {
        std::lock_guard lock(m_lock);
        // Only the sender's blocks hold the header's start; the other way
        // carries the dialogue and the receiver's answers.
        static const QByteArray Header("\x01\x00\xff", 3);
        const TSide sender = m_ways[ProgramSide].Bytes.contains(Header) ? ProgramSide : UnitSide;
        const qsizetype header = m_ways[sender].Bytes.indexOf(Header);
        const TWay& fromUnit = m_ways[UnitSide];
        const qsizetype result = fromUnit.Bytes.indexOf("TRANSFER_RESULT:");
        if (header < 0 || result < 0)
            return std::nullopt;
        const TWay& toSender = m_ways[1 - sender];
        const qint64 headerStart = m_ways[sender].Done[size_t(header)] - ByteNs;
        const qint64 resultAt = fromUnit.Done[size_t(result)];
        qsizetype first = -1, lastAck = -1;
        for (qsizetype i = 0; i < toSender.Bytes.size(); ++i) {
            const qint64 at = toSender.Done[size_t(i)];
            if (at <= headerStart) // the run of 'C' that the header answers
                first = toSender.Bytes[i] == 'C' ? (first >= 0 ? first : i) : -1;
            else if (at < resultAt && toSender.Bytes[i] == '\x06')
                lastAck = i;
        }
        if (lastAck < 0)
            return std::nullopt;
        const qint64 begin = first >= 0 ? toSender.Done[size_t(first)] - ByteNs : headerStart;
        const qint64 end = toSender.Done[size_t(lastAck)];
        TSpan span;
        span.Seconds = double(end - begin) / 1e9;
        // The line's silences: between one byte's end and the next byte's start, either way.
        std::vector<std::pair<qint64, TSide>> bytes;
        for (const TSide side : {ProgramSide, UnitSide})
            for (const qint64 at : m_ways[side].Done)
                if (at - ByteNs >= begin && at <= end)
                    bytes.emplace_back(at, side);
        std::sort(bytes.begin(), bytes.end());
        for (size_t i = 1; i < bytes.size(); ++i) {
            const qint64 silence = bytes[i].first - ByteNs - bytes[i - 1].first;
            if (silence > 0)
                (bytes[i].second == UnitSide ? span.UnitWaits : span.ProgramWaits) += double(silence) / 1e9;
        }
        return span;
    }

private:
    struct TWay {
        QByteArray Bytes;
        std::vector<qint64> Done; // steady clock, ns, of each byte's end on the line
        qint64 LineFree = 0;
    };
    void Add(TSide side, const QByteArray& chunk)
    {
        const qint64 now = m_clock.nsecsElapsed();
        std::lock_guard lock(m_lock);
        TWay& way = m_ways[side];
        qint64 at = std::max(now, way.LineFree);
        for (const char byte : chunk) {
            at += ByteNs;
            way.Bytes.append(byte);
            way.Done.push_back(at);
        }
        way.LineFree = at;
    }

    std::mutex m_lock;
    TWay m_ways[2];
    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
};

// The unit's end of the line: its pseudo-terminal, raw.
int openUnitLine(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Runs the program; true when it ended with exit code 0 (else its messages go to stderr).
bool runProgram(const QStringList& args, const QString& device)
{
    TChildProcess program;
    TChildOptions options;
    options.Errors = TChildErrors::Piped;
    if (!program.Start(QStringLiteral(PARLOTEL_EXE),
                       args + QStringList{"--password", "1234", "--device", device}, options))
        return false;
    program.CloseInput();
    const TProgramRun run = FinishRun(program, ProgramMs);
    if (run.Exit != 0)
        std::fprintf(stderr, "parlotel %s: exit code %d\n%s", qPrintable(args.join(u' ')), run.Exit,
                     run.Errors.constData());
    return run.Exit == 0;
}

void printRow(const char* device, const char* way, const std::optional<TLineLog::TSpan>& span, bool ok)
{
    if (!span || !ok) {
        std::printf("  %-16s %-9s FAILED\n", device, way);
    } else {
        const double share = double(FileSize) / span->Seconds / Limit;
        const double withoutUnit = double(FileSize) / (span->Seconds - span->UnitWaits) / Limit;
        std::printf("  %-16s %-9s %8.2f %8.4f %12.3f %15.3f %14.4f\n", device, way, span->Seconds, share,
                    span->UnitWaits, span->ProgramWaits, withoutUnit);
    }
    std::fflush(stdout);
}

} // namespace

void unitTransfers()
{
    QTemporaryDir folder;
    TBenchUnit unit;
    // Unpaced: the relay is the line.
    const int unitLine = unit.Start(folder.filePath(QStringLiteral("unit.json")), 0) ? openUnitLine(unit.Device) : -1;
    if (unitLine < 0) {
        std::printf("64 KB with the emulated unit: the unit did not start\n");
        return;
    }
    TPtyPair line; // the program's end, or ser2net's
    TByteRelay relay({line.MasterFd(), line.MasterFd()}, {unitLine, unitLine}, BitRate);
    TLineLog log;
    log.Install(relay);
    relay.Start();

    const QByteArray data = testPattern(FileSize, 17);
    const QString sent = folder.filePath(QStringLiteral("up.pcm"));
    const QString received = folder.filePath(QStringLiteral("down.pcm"));
    writeFile(sent, data);
    std::printf("64 KB to and from the emulated unit at 19200 bit/s (limit %.1f payload bytes/s)\n", Limit);
    std::printf("  %-16s %-9s %8s %8s %12s %15s %14s\n", "device", "way", "busy s", "share", "unit waits s",
                "program waits s", "without unit's");
    std::fflush(stdout);
    struct TVia {
        const char* Name;
        std::optional<TSer2net::TAccepter> Accepter; // none: the pseudo-terminal itself
    };
    for (const TVia& via : {TVia{"pseudo-terminal", std::nullopt}, TVia{"tcp", TSer2net::RawTcp},
                            TVia{"rfc2217", TSer2net::Rfc2217}}) {
        std::unique_ptr<TSer2net> server;
        QString device = line.SlavePath();
        if (via.Accepter) {
            server = std::make_unique<TSer2net>(folder.path(), *via.Accepter, line.SlavePath(), 0, TSer2net::Prompt);
            if (!server->Start()) {
                std::printf("  %-16s ser2net did not start\n", via.Name);
                continue;
            }
            device = server->Address();
        }
        log.Clear();
        bool ok = runProgram({"--upload", "menu:7", sent}, device);
        printRow(via.Name, "upload", log.Transfer(), ok);
        log.Clear();
        QFile::remove(received);
        ok = runProgram({"--download", "menu:7", received}, device) && readFile(received) == data;
        printRow(via.Name, "download", log.Transfer(), ok);
    }
    relay.Stop();
    ::close(unitLine);
}

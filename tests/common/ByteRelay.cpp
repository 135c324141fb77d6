#include "ByteRelay.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <deque>
#include <stdexcept>
#include <vector>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace TestSupport {

namespace {

using TClock = std::chrono::steady_clock;

// Bytes waiting to be passed on; byte i is due at Start + (i + 1) byte-times.
struct TSegment {
    QByteArray Bytes;
    qsizetype Sent = 0;
    TClock::time_point Start;
};

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

TByteRelay::TByteRelay(TEnd a, TEnd b, int bitRate) : m_bitRate(bitRate)
{
    // A peer that exits must not take the test with it.
    std::signal(SIGPIPE, SIG_IGN);
    m_pumps[AtoB].From = a.ReadFd;
    m_pumps[AtoB].To = b.WriteFd;
    m_pumps[BtoA].From = b.ReadFd;
    m_pumps[BtoA].To = a.WriteFd;
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TByteRelay::~TByteRelay()
{
    Stop();
    ::close(m_stopFd);
}

void TByteRelay::SetHook(TDirection direction, THook hook)
{
    m_pumps[direction].Hook = std::move(hook);
}

void TByteRelay::Start()
{
    for (TPump& pump : m_pumps)
        pump.Thread = std::thread([this, &pump] { Run(pump); });
}

void TByteRelay::Stop()
{
    m_stopping.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
    for (TPump& pump : m_pumps)
        if (pump.Thread.joinable())
            pump.Thread.join();
}

double TByteRelay::CpuSeconds() const
{
    return m_pumps[0].CpuSeconds + m_pumps[1].CpuSeconds;
}

double TByteRelay::BusySeconds() const
{
    qint64 first = 0, last = 0;
    for (const TPump& pump : m_pumps) {
        if (const qint64 f = pump.FirstNs.load(); f && (!first || f < first))
            first = f;
        last = std::max(last, pump.LastNs.load());
    }
    return double(last - first) / 1e9;
}

bool TByteRelay::WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0 && !m_stopping.load()) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n > 0) {
            data += n;
            size -= n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p[2] = {{fd, POLLOUT, 0}, {m_stopFd, POLLIN, 0}};
            ::poll(p, 2, 100);
        } else {
            return false; // the reader is gone
        }
    }
    return size == 0;
}

void TByteRelay::Run(TPump& pump)
{
    const auto byteTime = std::chrono::nanoseconds(m_bitRate > 0 ? 10'000'000'000LL / m_bitRate : 0);
    std::deque<TSegment> pending;
    TClock::time_point lastDue{};
    qint64 offset = 0;
    bool readable = true;
    bool writable = true;
    std::vector<char> buffer(65536);
    while (!m_stopping.load()) {
        const auto now = TClock::now();
        while (!pending.empty()) {
            TSegment& s = pending.front();
            const qsizetype due = byteTime.count() == 0
                ? s.Bytes.size()
                : std::min<qsizetype>(s.Bytes.size(), (now - s.Start) / byteTime);
            if (due > s.Sent && writable) {
                writable = WriteAll(pump.To, s.Bytes.constData() + s.Sent, due - s.Sent);
                const qint64 ns = TClock::now().time_since_epoch() / std::chrono::nanoseconds(1);
                qint64 unset = 0;
                pump.FirstNs.compare_exchange_strong(unset, ns);
                pump.LastNs.store(ns);
            }
            s.Sent = std::max(s.Sent, due);
            if (s.Sent < s.Bytes.size())
                break;
            pending.pop_front();
        }
        int timeoutMs = -1;
        if (!pending.empty()) {
            const TSegment& s = pending.front();
            const auto next = s.Start + (s.Sent + 1) * byteTime;
            timeoutMs = int(std::max<qint64>(
                0, std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
        }
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {readable ? pump.From : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (!fds[1].revents)
            continue;
        const ssize_t n = ::read(pump.From, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                readable = false; // the writer closed its end
            continue;
        }
        QByteArray chunk(buffer.data(), n);
        if (pump.Hook)
            chunk = pump.Hook(chunk, offset);
        offset += n;
        if (chunk.isEmpty())
            continue;
        const auto start = std::max(TClock::now(), lastDue);
        lastDue = start + chunk.size() * byteTime;
        pending.push_back({chunk, 0, start});
    }
    pump.CpuSeconds = threadCpuSeconds();
}

TByteRelay::TEnd StartPeer(TChildProcess& peer, const QStringList& command, const QString& folder,
                           const QString& errorFile, bool terminal)
{
    TChildOptions options;
    options.Folder = folder;
    options.Errors = TChildErrors::ToFile;
    options.ErrorFile = errorFile;
    options.Terminal = terminal;
    if (!peer.Start(command.value(0), command.mid(1), options))
        throw std::runtime_error(peer.ErrorText().toStdString());
    return {peer.OutputFd(), peer.InputFd()};
}

} // namespace TestSupport

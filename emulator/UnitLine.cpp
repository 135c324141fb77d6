#include "UnitLine.h"

#include "TrafficLog.h"
#include "UnitFaults.h"

#include <QSocketNotifier>

namespace {

// A burst of its own needs a pause the reader cannot bridge with one read.
constexpr int BytewiseGapMs = 2;
// A full output queue on the device (nobody reading) is retried at this pace.
constexpr int BlockedRetryMs = 10;

int CeilMs(std::chrono::steady_clock::duration d)
{
    return int(std::chrono::ceil<std::chrono::milliseconds>(d).count());
}

} // namespace

TUnitLine::TUnitLine(int bitRate, const TUnitFaults& faults, TTrafficLog& log)
    : m_bitRate(bitRate), m_faults(faults), m_log(log)
{
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_drainTimer, &QTimer::timeout, this, &TUnitLine::Drain);
}

TUnitLine::~TUnitLine()
{
    m_acceptor.reset();
    m_reader.reset();
    for (const UnitIo::THandle handle : {m_handle, m_slaveKeep, m_listener})
        UnitIo::Close(handle);
}

bool TUnitLine::OpenPty(QString& slavePath, QString& error)
{
    // The unit holds the slave side open itself: otherwise the master reports a
    // hang-up for good once the program closes the device, and a reconnect
    // would find a dead line.
    UnitIo::THandle master = UnitIo::None;
    return UnitIo::OpenPty(master, m_slaveKeep, slavePath, error) && Attach(master, error);
}

bool TUnitLine::OpenDevice(const QString& path, QString& error)
{
    UnitIo::THandle device = UnitIo::None;
    return UnitIo::OpenDevice(path, device, error) && Attach(device, error);
}

bool TUnitLine::Listen(const QString& host, int port, QString& address, QString& error)
{
    int bound = 0;
    if (!UnitIo::Listen(host, port, m_listener, bound, error))
        return false;
    m_acceptor = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_acceptor.get(), &QSocketNotifier::activated, this, &TUnitLine::OnClientWaiting);
    const bool v6 = host.contains(u':');
    const QString shown = host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host;
    address = QStringLiteral("tcp://%1:%2").arg(v6 ? u'[' + shown + u']' : shown).arg(bound);
    return true;
}

void TUnitLine::OnClientWaiting()
{
    const UnitIo::THandle client = UnitIo::Accept(m_listener);
    if (client == UnitIo::None)
        return;
    // One line, one far end: a second client would see half of each reply.
    if (m_handle != UnitIo::None) {
        m_log.Note(QStringLiteral("a second client refused"));
        UnitIo::Close(client);
        return;
    }
    m_log.Note(QStringLiteral("client connected"));
    QString error;
    if (!Attach(client, error))
        m_log.Note(error);
}

void TUnitLine::Detach()
{
    m_log.Note(QStringLiteral("client left"));
    m_reader.reset();
    UnitIo::Close(m_handle);
    m_handle = UnitIo::None;
    m_queue.clear();
    m_drainTimer.stop();
}

bool TUnitLine::Attach(UnitIo::THandle handle, QString& error)
{
    if (!UnitIo::SetNonBlocking(handle, error)) {
        UnitIo::Close(handle);
        return false;
    }
    m_handle = handle;
    m_reader = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
    connect(m_reader.get(), &QSocketNotifier::activated, this, &TUnitLine::OnReadable);
    return true;
}

void TUnitLine::OnReadable()
{
    char buffer[4096];
    QString reason;
    const qint64 n = UnitIo::Read(m_handle, buffer, sizeof buffer, reason);
    if (n > 0) {
        const QByteArray bytes(buffer, n);
        m_received += n;
        m_log.Received(bytes);
        emit Received(bytes);
        return;
    }
    if (n == UnitIo::WouldBlock)
        return;
    if (m_listener != UnitIo::None) {
        Detach();
        return;
    }
    m_reader->setEnabled(false);
    emit Lost(reason.isEmpty() ? QStringLiteral("the device was closed") : reason);
}

void TUnitLine::Reply(const QByteArray& bytes, int extraHoldMs)
{
    Queue(bytes, m_faults.ReplyDelayMs + extraHoldMs);
}

void TUnitLine::Queue(const QByteArray& bytes, int holdMs)
{
    if (bytes.isEmpty() || m_handle == UnitIo::None)
        return;
    if (m_queue.empty()) {
        // A line that has been idle starts afresh: the first byte may go at once.
        const auto now = TClock::now();
        if (m_bitRate > 0 && now > m_paceStart + ByteTime() * m_paceBytes)
            RestartPacing(now);
    }
    // Bytes without a hold of their own join the chunk before them; a hold
    // always begins a chunk, since it must wait until everything before is out.
    if (holdMs == 0 && !m_queue.empty())
        m_queue.back().Bytes += bytes;
    else
        m_queue.push_back({bytes, holdMs, false});
    if (!m_drainTimer.isActive())
        Drain();
}

std::chrono::nanoseconds TUnitLine::ByteTime() const
{
    return std::chrono::nanoseconds(10'000'000'000LL / m_bitRate);
}

void TUnitLine::RestartPacing(TClock::time_point now)
{
    m_paceStart = now;
    m_paceBytes = 0;
}

qsizetype TUnitLine::Allowance(TClock::time_point now, int& waitMs)
{
    if (m_faults.Bytewise) {
        const auto due = m_lastWrite + std::chrono::milliseconds(BytewiseGapMs);
        if (now < due) {
            waitMs = CeilMs(due - now);
            return 0;
        }
    }
    qsizetype allowed = m_queue.front().Bytes.size();
    if (m_bitRate > 0) {
        // Byte n leaves n byte-times after the pace clock started; a late timer catches up.
        const auto byteTime = ByteTime();
        const qint64 due = (now - m_paceStart) / byteTime + 1 - m_paceBytes;
        if (due <= 0) {
            waitMs = std::max(1, CeilMs(m_paceStart + byteTime * m_paceBytes - now));
            return 0;
        }
        allowed = std::min<qsizetype>(allowed, qsizetype(due));
    }
    return m_faults.Bytewise ? std::min<qsizetype>(allowed, 1) : allowed;
}

void TUnitLine::Drain()
{
    while (!m_queue.empty()) {
        TChunk& head = m_queue.front();
        const auto now = TClock::now();
        if (head.HoldMs > 0) {
            if (!head.HoldStarted) {
                head.HoldStarted = true;
                m_holdUntil = now + std::chrono::milliseconds(head.HoldMs);
            }
            if (now < m_holdUntil) {
                m_drainTimer.start(CeilMs(m_holdUntil - now));
                return;
            }
            head.HoldMs = 0;
            RestartPacing(now); // the line was idle during the hold
        }
        int waitMs = 0;
        const qsizetype count = Allowance(now, waitMs);
        if (count == 0) {
            m_drainTimer.start(waitMs);
            return;
        }
        if (!WriteOut(head.Bytes, count)) {
            m_drainTimer.start(BlockedRetryMs);
            return;
        }
        if (head.Bytes.isEmpty())
            m_queue.pop_front();
    }
}

bool TUnitLine::WriteOut(QByteArray& bytes, qsizetype count)
{
    const qint64 n = UnitIo::Write(m_handle, bytes.constData(), count);
    if (n <= 0)
        return false; // the far end does not read; try again later
    const QByteArray written = bytes.left(n);
    bytes.remove(0, n);
    m_sent += n;
    m_paceBytes += n;
    m_lastWrite = TClock::now();
    m_log.Sent(written);
    return true;
}

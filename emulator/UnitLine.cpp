#include "UnitLine.h"

#include "TrafficLog.h"
#include "UnitFaults.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A burst of its own needs a pause the reader cannot bridge with one read.
constexpr int BytewiseGapMs = 2;
// A full output queue on the device (nobody reading) is retried at this pace.
constexpr int BlockedRetryMs = 10;

QString SystemError(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// Raw 8N1 at 19200 without flow control, as the unit's port is wired.
bool SetRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Hands each accepted connection's descriptor over as it is: the line reads
// and writes it as it does a terminal.
class TLineServer final : public QTcpServer {
public:
    explicit TLineServer(std::function<void(qintptr)> accept) : m_accept(std::move(accept)) {}

protected:
    void incomingConnection(qintptr socket) override { m_accept(socket); }

private:
    std::function<void(qintptr)> m_accept;
};

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
    m_server.reset();
    m_reader.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

bool TUnitLine::OpenPty(QString& slavePath, QString& error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = SystemError(QStringLiteral("cannot create a pseudo-terminal"));
        if (master >= 0)
            ::close(master);
        return false;
    }
    const char* name = ptsname(master);
    // The unit holds the slave side open itself: otherwise the master reports a
    // hang-up for good once the program closes the device, and a reconnect
    // would find a dead line.
    m_slaveKeep = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (m_slaveKeep < 0 || !SetRaw(m_slaveKeep)) {
        error = SystemError(QStringLiteral("cannot open the pseudo-terminal's slave side"));
        ::close(master);
        return false;
    }
    slavePath = QString::fromLocal8Bit(name);
    return Attach(master, error);
}

bool TUnitLine::OpenDevice(const QString& path, QString& error)
{
    // Non-blocking from the start: a modem line without carrier must not hold up the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError(QStringLiteral("cannot open %1").arg(path));
        return false;
    }
    if (!SetRaw(fd)) {
        error = SystemError(QStringLiteral("cannot set the line settings of %1").arg(path));
        ::close(fd);
        return false;
    }
    return Attach(fd, error);
}

bool TUnitLine::Listen(const QString& host, int port, QString& address, QString& error)
{
    const QHostAddress bind = host == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(host);
    if (bind.isNull()) {
        error = QStringLiteral("--tcp takes a numeric address: %1").arg(host);
        return false;
    }
    // A client gone mid-write is an error code from write(), not the end of the unit.
    std::signal(SIGPIPE, SIG_IGN);
    m_server = std::make_unique<TLineServer>([this](qintptr socket) { Accept(socket); });
    if (!m_server->listen(bind, quint16(port))) {
        error = QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(m_server->errorString());
        return false;
    }
    const QString shown = bind.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + bind.toString() + u']' : bind.toString();
    address = QStringLiteral("tcp://%1:%2").arg(shown).arg(m_server->serverPort());
    return true;
}

void TUnitLine::Accept(qintptr socket)
{
    // One line, one far end: a second client would see half of each reply.
    if (m_fd >= 0) {
        m_log.Note(QStringLiteral("a second client refused"));
        ::close(int(socket));
        return;
    }
    m_log.Note(QStringLiteral("client connected"));
    // The dialogue is many small writes paced a byte at a time: none may wait
    // for the one before to be acknowledged.
    const int one = 1;
    ::setsockopt(int(socket), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    QString error;
    if (!Attach(int(socket), error))
        m_log.Note(error);
}

void TUnitLine::Detach()
{
    m_log.Note(QStringLiteral("client left"));
    m_reader.reset();
    ::close(m_fd);
    m_fd = -1;
    m_queue.clear();
    m_drainTimer.stop();
}

bool TUnitLine::Attach(int fd, QString& error)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError(QStringLiteral("cannot make the line non-blocking"));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_reader.get(), &QSocketNotifier::activated, this, &TUnitLine::OnReadable);
    return true;
}

void TUnitLine::OnReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        const QByteArray bytes(buffer, n);
        m_received += n;
        m_log.Received(bytes);
        emit Received(bytes);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (m_server) {
        Detach();
        return;
    }
    m_reader->setEnabled(false);
    emit Lost(n == 0 ? QStringLiteral("the device was closed") : SystemError(QStringLiteral("read failed")));
}

void TUnitLine::Reply(const QByteArray& bytes, int extraHoldMs)
{
    Queue(bytes, m_faults.ReplyDelayMs + extraHoldMs);
}

void TUnitLine::Queue(const QByteArray& bytes, int holdMs)
{
    if (bytes.isEmpty() || m_fd < 0)
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
    const ssize_t n = ::write(m_fd, bytes.constData(), size_t(count));
    if (n <= 0)
        return false; // EAGAIN: the far end does not read; try again later
    const QByteArray written = bytes.left(n);
    bytes.remove(0, n);
    m_sent += n;
    m_paceBytes += n;
    m_lastWrite = TClock::now();
    m_log.Sent(written);
    return true;
}

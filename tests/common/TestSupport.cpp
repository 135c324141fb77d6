#include "TestSupport.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace TestSupport {

void TRecordingSink::ShowMessage(TMsgKind kind, const QString& text)
{
    std::lock_guard lock(m_mutex);
    m_log << (kind == TMsgKind::Error ? QStringLiteral("E: ") : QStringLiteral("W: ")) + text;
}

bool TRecordingSink::Confirm(const QString& text, TConfirmButtons)
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("Q: ") + text;
    if (m_confirms.empty())
        return false;
    const bool answer = m_confirms.front();
    m_confirms.pop_front();
    return answer;
}

TPasswordAnswer TRecordingSink::AskPassword(QString& password)
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("P");
    if (m_passwords.empty())
        return TPasswordAnswer::Cancelled;
    auto [answer, text] = m_passwords.front();
    m_passwords.pop_front();
    if (answer == TPasswordAnswer::Entered)
        password = text;
    return answer;
}

QStringList TRecordingSink::Log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

QStringList TRecordingSink::Errors() const
{
    std::lock_guard lock(m_mutex);
    QStringList errors;
    for (const QString& line : m_log)
        if (line.startsWith(QStringLiteral("E: ")))
            errors << line.mid(3);
    return errors;
}

void TRecordingSink::Clear()
{
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

void TRecordingSink::QueueConfirm(bool answer)
{
    std::lock_guard lock(m_mutex);
    m_confirms.push_back(answer);
}

void TRecordingSink::QueuePassword(const QString& password)
{
    QueuePasswordAnswer(TPasswordAnswer::Entered, password);
}

void TRecordingSink::QueuePasswordAnswer(TPasswordAnswer answer, const QString& password)
{
    std::lock_guard lock(m_mutex);
    m_passwords.emplace_back(answer, password);
}

TPtyPair::TPtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    termios tio{};
    tcgetattr(m_master, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_master, TCSANOW, &tio);
    // Holding the slave open keeps the master readable across the program's
    // close and reopen of the device.
    m_slaveKeep = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveKeep >= 0) {
        tcgetattr(m_slaveKeep, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slaveKeep, TCSANOW, &tio);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

TPtyPair::~TPtyPair()
{
    CloseMaster();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void TPtyPair::CloseMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void TPtyPair::Write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to pseudo-terminal failed");
        } else {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

QByteArray TPtyPair::Read(int timeoutMs)
{
    QByteArray out;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray TPtyPair::ReadUntil(const QByteArray& needle, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains(needle)) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        out += Read(int(left));
    }
    return out;
}

TProgramRun FinishRun(TChildProcess& program, int limitMs)
{
    TProgramRun run;
    QDeadlineTimer deadline(limitMs);
    while (!deadline.hasExpired()) {
        const QByteArray more = program.Read(1000);
        run.Out += more;
        if (more.isEmpty() && !program.Running())
            break;
    }
    run.Exit = program.Wait(limitMs);
    run.Errors = program.ReadErrors();
    return run;
}

} // namespace TestSupport

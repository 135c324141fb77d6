// The POSIX half of ChildProcess.h: posix_spawn, pipes and a raw
// pseudo-terminal, poll, wait4 and signals.
#include "ChildProcess.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

double seconds(const timeval& tv)
{
    return double(tv.tv_sec) + double(tv.tv_usec) / 1e6;
}

// The near side of a raw pseudo-terminal; slave names the child's side.
int openRawTerminal(QByteArray& slave)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return -1;
    termios tio{};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || tcgetattr(master, &tio) != 0) {
        ::close(master);
        return -1;
    }
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    slave = ptsname(master);
    return master;
}

// The spawn's file actions and attributes, released however Start ends.
struct TSpawnSetup {
    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    TSpawnSetup()
    {
        posix_spawn_file_actions_init(&Actions);
        posix_spawnattr_init(&Attributes);
        // We ignore SIGPIPE (a child that went away must not end us), and an
        // ignored signal would stay ignored across exec.
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&Attributes, &defaults);
        posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGDEF);
    }
    ~TSpawnSetup()
    {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

// Our environment with overrides (NAME=value) replacing or adding entries.
QList<QByteArray> environmentWith(const QStringList& overrides)
{
    QList<QByteArray> entries;
    for (char** entry = environ; *entry; ++entry)
        entries << QByteArray(*entry);
    for (const QString& text : overrides) {
        const QByteArray entry = text.toLocal8Bit();
        const QByteArray name = entry.left(entry.indexOf('=') + 1);
        entries.removeIf([&](const QByteArray& e) { return e.startsWith(name); });
        entries << entry;
    }
    return entries;
}

std::vector<char*> pointersTo(QList<QByteArray>& texts)
{
    std::vector<char*> pointers;
    for (QByteArray& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

void TChildProcess::CloseAll()
{
    if (m_out >= 0 && m_out != m_in)
        ::close(m_out);
    for (int* fd : {&m_in, &m_err})
        if (*fd >= 0)
            ::close(*fd);
    m_in = m_out = m_err = -1;
}

bool TChildProcess::Start(const QString& program, const QStringList& args, const TChildOptions& options)
{
    std::signal(SIGPIPE, SIG_IGN);
    TSpawnSetup setup;
    std::vector<int> childEnds;
    if (options.Terminal) {
        QByteArray slave;
        m_in = m_out = openRawTerminal(slave);
        if (m_in < 0)
            return Fail(QStringLiteral("Не удалось создать псевдотерминал."));
        posix_spawn_file_actions_addopen(&setup.Actions, 0, slave.constData(), O_RDWR | O_NOCTTY, 0);
        posix_spawn_file_actions_adddup2(&setup.Actions, 0, 1);
    } else {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0)
            return Fail(QString::fromLocal8Bit(std::strerror(errno)));
        m_in = in[1];
        childEnds.push_back(in[0]);
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            return Fail(QString::fromLocal8Bit(std::strerror(errno)));
        }
        m_out = out[0];
        childEnds.push_back(out[1]);
        posix_spawn_file_actions_adddup2(&setup.Actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&setup.Actions, out[1], 1);
    }
    const QByteArray errorFile = QFile::encodeName(options.ErrorFile);
    if (options.Errors == TChildErrors::ToFile) {
        posix_spawn_file_actions_addopen(&setup.Actions, 2, errorFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else if (options.Errors == TChildErrors::Piped) {
        int err[2];
        if (::pipe2(err, O_CLOEXEC) == 0) {
            m_err = err[0];
            childEnds.push_back(err[1]);
            ::fcntl(m_err, F_SETFL, O_NONBLOCK);
            posix_spawn_file_actions_adddup2(&setup.Actions, err[1], 2);
        }
    }
    const QByteArray folder = QFile::encodeName(options.Folder);
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&setup.Actions, folder.constData());

    QList<QByteArray> argv{QFile::encodeName(program)};
    for (const QString& arg : args)
        argv << arg.toLocal8Bit();
    QList<QByteArray> environment = environmentWith(options.Environment);
    const std::vector<char*> argp = pointersTo(argv);
    const std::vector<char*> envp = pointersTo(environment);
    pid_t pid = -1;
    const int failure = posix_spawnp(&pid, argp[0], &setup.Actions, &setup.Attributes, argp.data(), envp.data());
    m_pid = pid;
    for (const int fd : childEnds)
        ::close(fd);
    if (failure != 0) {
        m_pid = -1;
        return Fail(QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(std::strerror(failure))));
    }
    m_reaped = false;
    m_pending.clear();
    return true;
}

void TChildProcess::Write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_in >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_in, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            return;
        done += std::max<ssize_t>(n, 0);
    }
}

void TChildProcess::CloseInput()
{
    if (m_in >= 0 && m_in != m_out)
        ::close(m_in);
    m_in = -1;
}

QByteArray TChildProcess::Read(int timeoutMs)
{
    if (!m_pending.isEmpty())
        return std::exchange(m_pending, {});
    pollfd p{m_out, POLLIN, 0};
    if (m_out < 0 || ::poll(&p, 1, timeoutMs) <= 0)
        return {};
    char buffer[4096];
    const ssize_t n = ::read(m_out, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

QByteArray TChildProcess::ReadErrors()
{
    QByteArray errors;
    char buffer[4096];
    for (ssize_t n; m_err >= 0 && (n = ::read(m_err, buffer, sizeof buffer)) > 0;)
        errors.append(buffer, n);
    return errors;
}

bool TChildProcess::Reap(bool block)
{
    if (m_pid <= 0 || m_reaped)
        return m_reaped;
    rusage usage{};
    int status = 0;
    pid_t got;
    do
        got = ::wait4(pid_t(m_pid), &status, block ? 0 : WNOHANG, &usage);
    while (got < 0 && errno == EINTR);
    if (got == m_pid || got < 0) {
        m_reaped = true;
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    return m_reaped;
}

void TChildProcess::End(bool force)
{
    ::kill(pid_t(m_pid), force ? SIGKILL : SIGTERM);
}

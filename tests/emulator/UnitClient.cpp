#include "UnitClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace TestSupport {

namespace {

const QByteArray AccessWord = QByteArrayLiteral("\xEA\xE4\xEB");

QByteArray Chomp(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

TUnitProcess::TUnitProcess(const QStringList& args, bool pty)
{
    if (!m_process.Start(qEnvironmentVariable("PARLOTEL_UNIT"), pty ? QStringList{QStringLiteral("--pty")} + args : args)
        || !(pty || args.contains(QStringLiteral("--tcp"))))
        return;
    m_pty = QString::fromLocal8Bit(m_process.ReadLine(10000).trimmed());
}

TUnitProcess::~TUnitProcess()
{
    Stop();
}

QByteArray TUnitProcess::Control(const QByteArray& line)
{
    m_process.Write(line + '\n');
    return m_process.ReadLine(10000).trimmed();
}

int TUnitProcess::Stop()
{
    m_process.CloseInput();
    return WaitForExit(20000);
}

int TUnitProcess::WaitForExit(int timeoutMs)
{
    return m_process.Wait(timeoutMs);
}

QByteArray TUnitProcess::StandardError()
{
    m_errors += m_process.ReadErrors();
    return m_errors;
}

TLine::TLine(const QString& path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fd, TCSANOW, &tio);
}

TLine::~TLine()
{
    Close();
}

void TLine::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TLine::Write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
}

bool TLine::Fill(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    const QByteArray bytes(buffer, n);
    ++m_reads;
    m_raw += bytes;
    for (const char c : bytes)
        if (c != '\n')
            m_text += c;
    return true;
}

bool TLine::WaitFor(const QByteArray& text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_text.contains(text)) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        Fill(int(left));
    }
    return true;
}

void TLine::CutAfter(qsizetype end)
{
    m_text.remove(0, end);
}

bool TLine::SendAndWaitEcho(const QByteArray& text, int timeoutMs)
{
    while (Fill(0)) {
    }
    m_text.clear();
    Write(text);
    if (!WaitFor(text, timeoutMs))
        return false;
    CutAfter(m_text.indexOf(text) + text.size());
    return true;
}

bool TLine::WaitForText(const QByteArray& text, int timeoutMs)
{
    if (!WaitFor(text, timeoutMs))
        return false;
    CutAfter(m_text.indexOf(text) + text.size());
    return true;
}

std::optional<QByteArray> TLine::ReadThrough(const QByteArray& terminator, int timeoutMs)
{
    if (!WaitFor(terminator, timeoutMs))
        return std::nullopt;
    const qsizetype end = m_text.indexOf(terminator) + terminator.size();
    const QByteArray text = m_text.left(end);
    CutAfter(end);
    return text;
}

bool TLine::StaysQuiet(int ms)
{
    return !Fill(ms);
}

bool TLine::Wake()
{
    for (int i = 0; i < 9; ++i)
        Write("\x18");
    for (int i = 0; i < 16; ++i)
        Write("\r");
    SendAndWaitEcho(AccessWord + '\r', 1000);
    for (int attempt = 0; attempt < 3; ++attempt)
        if (SendAndWaitEcho("\r", 1000) && WaitForText("Password:", 1000))
            return true;
    return false;
}

QByteArray TLine::Login(const QByteArray& password)
{
    Write(password);
    if (!SendAndWaitEcho("\r"))
        return "(no echo)";
    return Chomp(ReadThrough("\r").value_or("(no answer)"));
}

bool TLine::LoginTo(const QByteArray& password, const QByteArray& menuWord)
{
    if (!Wake() || !Login(password).endsWith("_MODE") || Prompt() != ">")
        return false;
    if (!SendAndWaitEcho("PC\r") || Prompt() != "PC>")
        return false;
    return SendAndWaitEcho(menuWord + '\r') && Prompt() == "PC " + menuWord + '>';
}

QByteArray TLine::Prompt()
{
    return ReadThrough(">", 2000).value_or("(no prompt)");
}

QByteArray TLine::Command(const QByteArray& command, const QByteArray& answer)
{
    if (!SendAndWaitEcho(command + '\r') || !WaitForText("N") || !SendAndWaitEcho(answer + '\r'))
        return "(no exchange)";
    return Chomp(ReadThrough("\r").value_or("(no reply)"));
}

QByteArray TLine::SetParam(int code, const QByteArray& value)
{
    if (!SendAndWaitEcho("SET\r") || !WaitForText("N") || !SendAndWaitEcho(QByteArray::number(code) + '\r'))
        return "(no exchange)";
    if (!ReadThrough("=", 1000))
        return "(code refused) " + Chomp(ReadThrough("\r", 1000).value_or("(no prompt)"));
    if (!SendAndWaitEcho(value + '\r'))
        return "(no echo)";
    return Chomp(ReadThrough("\r").value_or("(no reply)"));
}

int TLine::Relay(TChildProcess& peer, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const qsizetype seen = m_raw.size();
        if (Fill(5))
            peer.Write(m_raw.mid(seen));
        Write(peer.Read(5));
        if (!peer.Running()) {
            for (QByteArray rest; !(rest = peer.Read(0)).isEmpty();)
                Write(rest);
            return peer.Wait(0);
        }
    }
    return -1;
}

bool ProcessAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) != "Z";
}

QList<qint64> ChildProcesses(qint64 pid)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 candidate = entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            children << candidate;
    }
    return children;
}

} // namespace TestSupport

#include "ChildProcess.h"

#include <QElapsedTimer>

#include <chrono>
#include <thread>
#include <utility>

namespace {

// A child's end has no descriptor to wait on: its state is looked at this often.
constexpr std::chrono::milliseconds ReapSlice{5};

} // namespace

TChildProcess::~TChildProcess()
{
    if (Running()) {
        End(true);
        Reap(true);
    }
    CloseAll();
}

bool TChildProcess::Fail(const QString& text)
{
    m_error = text;
    CloseAll();
    return false;
}

QByteArray TChildProcess::ReadLine(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray text = std::exchange(m_pending, {});
    while (!text.contains('\n')) {
        const qint64 left = timeoutMs - clock.elapsed();
        const QByteArray more = left > 0 ? Read(int(left)) : QByteArray();
        if (more.isEmpty()) {
            m_pending = text;
            return {};
        }
        text += more;
    }
    const qsizetype end = text.indexOf('\n');
    m_pending = text.mid(end + 1);
    QByteArray line = text.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool TChildProcess::Running()
{
    return m_pid > 0 && !Reap(false);
}

int TChildProcess::Wait(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (Running() && clock.elapsed() < timeoutMs)
        std::this_thread::sleep_for(ReapSlice);
    return ExitCode();
}

int TChildProcess::ExitCode() const
{
    return m_reaped ? m_exitCode : -1;
}

int TChildProcess::Stop(int graceMs)
{
    CloseInput();
    for (const bool force : {false, true}) {
        if (Wait(graceMs) >= 0 || !Running())
            break;
        End(force);
    }
    Reap(true);
    return ExitCode();
}

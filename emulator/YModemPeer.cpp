#include "YModemPeer.h"

#include "TrafficLog.h"

#include <csignal>
#include <sys/prctl.h>

TYModemPeer::TYModemPeer(TTrafficLog& log, int silenceTimeoutMs) : m_log(log)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(silenceTimeoutMs);
    connect(&m_silence, &QTimer::timeout, this, &TYModemPeer::OnSilence);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &TYModemPeer::OnOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
        m_log.Note(QStringLiteral("lrzsz: ") + QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed());
    });
    connect(&m_process, &QProcess::finished, this, &TYModemPeer::OnFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &TYModemPeer::OnError);
    // Should the unit itself be killed, its lrzsz goes with it.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

TYModemPeer::~TYModemPeer()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void TYModemPeer::Receive(const QString& folder)
{
    // -E: never overwrite; -u: keep the sender's upper-case names as they are;
    // -R: no sub-folders, whatever the name says.
    Launch(folder, QStringLiteral("rb"),
           {QStringLiteral("-E"), QStringLiteral("-u"), QStringLiteral("-R"), QStringLiteral("-q")});
}

void TYModemPeer::Send(const QString& folder)
{
    // The file's name is Windows-1251 bytes that a QString argument could not
    // carry; the shell's glob hands them to sb unchanged.
    Launch(folder, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec sb -k -q ./*")});
}

void TYModemPeer::Launch(const QString& folder, const QString& program, const QStringList& arguments)
{
    m_timedOut = false;
    m_log.Note(QStringLiteral("transfer: %1 %2 in %3").arg(program, arguments.join(QLatin1Char(' ')), folder));
    m_process.setWorkingDirectory(folder);
    m_process.start(program, arguments);
    m_silence.start();
}

void TYModemPeer::FromLine(const QByteArray& bytes)
{
    m_silence.start();
    if (m_process.state() != QProcess::NotRunning)
        m_process.write(bytes);
}

void TYModemPeer::OnOutput()
{
    const QByteArray bytes = m_process.readAllStandardOutput();
    if (!bytes.isEmpty())
        emit ToLine(bytes);
}

void TYModemPeer::OnSilence()
{
    m_log.Note(QStringLiteral("transfer: the line stayed silent, stopping lrzsz"));
    m_timedOut = true;
    m_process.kill();
}

void TYModemPeer::OnFinished(int exitCode, QProcess::ExitStatus status)
{
    m_silence.stop();
    OnOutput(); // its last acknowledgement must reach the line before the result
    m_log.Note(QStringLiteral("transfer: lrzsz ended, status %1").arg(exitCode));
    if (m_timedOut)
        emit Finished(TimedOut);
    else if (status == QProcess::CrashExit)
        emit Finished(PeerCrashed);
    else
        emit Finished(exitCode == 0 ? Ok : PeerFailed);
}

void TYModemPeer::OnError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return; // the other errors end in finished()
    m_silence.stop();
    m_log.Note(QStringLiteral("transfer: cannot start lrzsz: ") + m_process.errorString());
    emit Finished(NotStarted);
}

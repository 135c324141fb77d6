// The Linux half of the peers: lrzsz, started with QProcess.
#include "LrzszPeer.h"

#include "TrafficLog.h"

#include <csignal>
#include <sys/prctl.h>

TLrzszPeer::TLrzszPeer(TTrafficLog& log, int silenceTimeoutMs) : TYModemPeer(log, silenceTimeoutMs)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &TLrzszPeer::OnOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
        Log().Note(QStringLiteral("lrzsz: ") + QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed());
    });
    connect(&m_process, &QProcess::finished, this, &TLrzszPeer::OnFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &TLrzszPeer::OnError);
    // Should the unit itself be killed, its lrzsz goes with it.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

TLrzszPeer::~TLrzszPeer()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void TLrzszPeer::Receive(const QString& folder)
{
    // -E: never overwrite; -u: keep the sender's upper-case names as they are;
    // -R: no sub-folders, whatever the name says.
    Launch(folder, QStringLiteral("rb"),
           {QStringLiteral("-E"), QStringLiteral("-u"), QStringLiteral("-R"), QStringLiteral("-q")});
}

void TLrzszPeer::Send(const QString& folder)
{
    // The file's name is Windows-1251 bytes that a QString argument could not
    // carry; the shell's glob hands them to sb unchanged.
    Launch(folder, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec sb -k -q ./*")});
}

void TLrzszPeer::Launch(const QString& folder, const QString& program, const QStringList& arguments)
{
    Log().Note(QStringLiteral("transfer: %1 %2 in %3").arg(program, arguments.join(QLatin1Char(' ')), folder));
    m_process.setWorkingDirectory(folder);
    m_process.start(program, arguments);
    Started();
}

void TLrzszPeer::Deliver(const QByteArray& bytes)
{
    if (m_process.state() != QProcess::NotRunning)
        m_process.write(bytes);
}

void TLrzszPeer::OnOutput()
{
    const QByteArray bytes = m_process.readAllStandardOutput();
    if (!bytes.isEmpty())
        emit ToLine(bytes);
}

void TLrzszPeer::Abandon()
{
    m_process.kill();
}

void TLrzszPeer::OnFinished(int exitCode, QProcess::ExitStatus status)
{
    OnOutput(); // its last acknowledgement must reach the line before the result
    Log().Note(QStringLiteral("transfer: lrzsz ended, status %1").arg(exitCode));
    Complete(status == QProcess::CrashExit ? PeerCrashed : exitCode == 0 ? Ok : PeerFailed);
}

void TLrzszPeer::OnError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return; // the other errors end in finished()
    Log().Note(QStringLiteral("transfer: cannot start lrzsz: ") + m_process.errorString());
    Complete(NotStarted);
}

#include "Ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

namespace TestSupport {

namespace {

constexpr int StartMs = 10000;

} // namespace

int FreeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

TSer2net::TSer2net(const QString& folder, TAccepter accepter, const QString& device, int port, TPace pace)
    : m_accepter(accepter), m_port(port ? port : FreeLoopbackPort())
{
    m_config = folder + QStringLiteral("/ser2net-%1.yaml").arg(m_port);
    m_pidFile = m_config + QStringLiteral(".pid");
    QFile file(m_config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const bool prompt = pace == Prompt;
    file.write(QStringLiteral("connection: &unit\n"
                              "  accepter: %1%2,127.0.0.1,%3\n"
                              "  connector: serialdev,%4,19200n81,local\n"
                              "  options:\n"
                              "    max-connections: 1\n"
                              "%5")
                   .arg(accepter == Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString(),
                        prompt ? QStringLiteral("tcp(nodelay)") : QStringLiteral("tcp"))
                   .arg(m_port)
                   .arg(device, prompt ? QStringLiteral("    chardelay: false\n") : QString())
                   .toUtf8());
}

bool TSer2net::Start()
{
    if (!m_process.Start(QStringLiteral("ser2net"), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                                                      m_pidFile, QStringLiteral("-c"), m_config}))
        return false;
    QDeadlineTimer deadline(StartMs);
    while (!deadline.hasExpired() && m_process.Running()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(500)) {
            probe.disconnectFromHost();
            return true;
        }
        QThread::msleep(50); // the next try; the condition is the port answering
    }
    return false;
}

void TSer2net::Kill()
{
    if (m_process.Running())
        ::kill(pid_t(m_process.Pid()), SIGKILL);
    m_process.Wait(StartMs);
}

void TSer2net::Stop()
{
    m_process.Stop(2000);
}

QString TSer2net::Address() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_accepter == Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(m_port);
}

} // namespace TestSupport

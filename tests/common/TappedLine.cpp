#include "TappedLine.h"

#include <QFile>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace TestSupport {

namespace {

constexpr char SOH = 0x01, STX = 0x02, EOT = 0x04;

int openRaw(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

} // namespace

TTappedLine::TTappedLine(const QString& device, TByteRelay::TDirection direction, TByteRelay::THook hook)
    : m_deviceFd(openRaw(device)), m_relay({m_program.MasterFd(), m_program.MasterFd()}, {m_deviceFd, m_deviceFd})
{
    m_relay.SetHook(direction, std::move(hook));
    m_relay.Start();
}

TTappedLine::~TTappedLine()
{
    m_relay.Stop();
    ::close(m_deviceFd);
}

TByteRelay::THook YModemLeads(const QByteArray& name, std::function<char(int block, char lead)> onLead)
{
    const QByteArray header = QByteArray("\x01\x00\xff", 3) + name + '\0';
    return [header, onLead, seen = QByteArray(), at = qsizetype(-1), block = 0,
            done = false](const QByteArray& chunk, qint64) mutable {
        const qsizetype start = seen.size();
        seen += chunk;
        QByteArray out = chunk;
        if (at < 0 && (at = seen.indexOf(header)) >= 0)
            at += 133; // past the header block
        // The walk never goes back: every lead it meets is in this chunk.
        while (!done && at >= 0 && at < seen.size()) {
            const char lead = seen[at];
            if (lead != SOH && lead != STX && lead != EOT) {
                done = true;
                break;
            }
            out[at - start] = onLead(++block, lead);
            done = lead == EOT;
            at += lead == SOH ? 133 : 1029;
        }
        return out;
    };
}

} // namespace TestSupport

// The network device of SpDevice.h: a TCP connection to a serial device
// server, raw or with the Telnet layer of RFC 2217 (SpTelnet.h). The socket's
// system calls are SpSocket's; what is here is the same on every platform.
#include "SpDevice.h"
#include "SpNetAddress.h"
#include "SpSocket.h"
#include "SpTelnet.h"

#include <QElapsedTimer>

#include <cerrno>
#include <mutex>
#include <optional>

namespace {

// A host that does not answer is given up after this long.
constexpr int ConnectLimitMs = 5000;
// How long Open waits for the server's word on the COM port option, so that
// the line settings reach the far port before the first byte of data does.
constexpr int ComPortAnswerMs = 2000;
constexpr int ChunkBytes = 4096;
// A server's refusal is one short line; anything longer is the unit talking.
constexpr int WordsLimit = 80;

// The text a server sent before it closed, when it is one line of printable
// ASCII (its line end dropped); else empty.
QString ServerWords(QByteArray heard, qint64 total)
{
    if (total > heard.size())
        return {};
    while (heard.endsWith('\n') || heard.endsWith('\r'))
        heard.chop(1);
    if (heard.isEmpty() || heard.size() > WordsLimit)
        return {};
    for (const char c : heard)
        if (c < 0x20 || c > 0x7E)
            return {};
    return QString::fromLatin1(heard);
}

class TSpNetDevice final : public TSpDevice {
public:
    int Open(const QString& name) override
    {
        QString error;
        const std::optional<TSpNetAddress> address = spParseNetAddress(name, error);
        if (!address)
            return EINVAL;
        if (const int err = m_socket.Connect(address->Host, address->Port, ConnectLimitMs))
            return err;
        if (address->Kind == TSpNetAddress::Rfc2217)
            return StartTelnet();
        return 0;
    }

    void Release() override {}

    int ApplyLineSettings(const TSpLineSettings& settings) override
    {
        std::lock_guard lock(m_lock);
        if (!m_telnet)
            return 0; // raw TCP: the server's port runs as the server set it
        const int err = m_telnet->SetLine(settings);
        SendPending();
        return err;
    }

    int SetModemLines(int lines, bool on) override
    {
        std::lock_guard lock(m_lock);
        if (m_telnet) {
            m_telnet->SetModemLines(lines, on);
            SendPending();
        }
        return 0;
    }

    int Wait(const TSpWaker* waker, int wanted, int timeoutMs) override
    {
        bool closed;
        {
            std::lock_guard lock(m_lock);
            const int ready = Ready(wanted);
            if (ready) {
                if (waker)
                    waker->Drain();
                return ready;
            }
            closed = m_closed;
        }
        // Closed with data still unread that nobody asks for now: the socket
        // has nothing more to say, only the waker does.
        const int got = m_socket.Wait(waker, closed ? 0 : wanted, timeoutMs);
        if (got <= 0)
            return got;
        std::lock_guard lock(m_lock);
        // What arrived is taken now: a connection closed with bytes still
        // unread hands them over first, and Telnet commands alone are no data.
        if (got & (TSpSocket::skReadable | TSpSocket::skClosed | TSpSocket::skError))
            Pull();
        if ((got & TSpSocket::skError) && !m_closed)
            Lost(m_socket.Failure());
        if ((got & TSpSocket::skWritable) && !m_out.isEmpty())
            SendPending();
        return Ready(wanted) | (got & TSpSocket::skWritable && m_out.isEmpty() ? rdWritable & wanted : 0);
    }

    int Read(uint8_t* buffer, int count) override
    {
        std::lock_guard lock(m_lock);
        if (Unread() == 0)
            Pull();
        const int n = int(std::min<qsizetype>(count, Unread()));
        std::copy_n(m_in.constData() + m_inStart, n, buffer);
        m_inStart += n;
        if (Unread() == 0) {
            m_in.clear();
            m_inStart = 0;
        }
        if (n == 0 && m_error)
            return -m_error;
        return n;
    }

    int Write(const uint8_t* data, int count) override
    {
        std::lock_guard lock(m_lock);
        if (m_closed)
            return -(m_error ? m_error : m_socket.Failure());
        SendPending();
        if (!m_out.isEmpty())
            return 0;
        if (m_telnet) {
            m_telnet->EncodeData(data, count);
            m_out += m_telnet->TakeOutput();
        } else {
            m_out.append(reinterpret_cast<const char*>(data), count);
        }
        SendPending();
        return count;
    }

    int BytesWaiting(int& count) override
    {
        std::lock_guard lock(m_lock);
        Pull();
        count = int(Unread());
        return 0;
    }

    int BytesUnsent(int& count) override
    {
        std::lock_guard lock(m_lock);
        count = int(m_out.size());
        return 0;
    }

    int Purge(int what) override
    {
        std::lock_guard lock(m_lock);
        if (what & (puAbortRead | puClearInput)) {
            Pull();
            m_in.clear();
            m_inStart = 0;
        }
        if (m_telnet) {
            // Our own queue may end in the middle of a Telnet command: it
            // goes out whole, and the server drops its buffers instead.
            m_telnet->Purge(what);
            SendPending();
        } else if (what & (puAbortWrite | puClearOutput)) {
            m_out.clear();
        }
        return 0;
    }

    QString ErrorText(int code) const override { return TSpSocket::ErrorText(code); }
    TSpFailure Classify(int code) const override { return TSpSocket::Classify(code); }

    TSpLineEnd LineEnd() const override
    {
        std::lock_guard lock(m_lock);
        return EndedAs();
    }

private:
    // LineEnd, under the lock.
    TSpLineEnd EndedAs() const
    {
        if (!m_closed)
            return {};
        // A server that said its line and closed often ends in a reset: our
        // bytes (Telnet's answers, the wake-up) crossed its close.
        const QString words = ServerWords(m_heard, m_heardTotal);
        if (m_error && words.isEmpty())
            return {TSpLineEnd::Failed, ErrorText(m_error)};
        return {TSpLineEnd::Closed, words};
    }

    qsizetype Unread() const { return m_in.size() - m_inStart; }

    // The TReady bits that hold without asking the system. A closed
    // connection fails only once what it delivered was read: the port stops
    // reading a failed device, and the far end's last words must not be lost.
    int Ready(int wanted) const
    {
        const int readable = Unread() > 0 ? wanted & rdReadable : 0;
        // A writer learns of the close at once: nothing it writes arrives.
        const bool failed = m_closed && (Unread() == 0 || (wanted & rdWritable));
        return readable | (failed ? rdFailed : 0);
    }

    int StartTelnet()
    {
        m_telnet.emplace();
        std::unique_lock lock(m_lock);
        SendPending();
        QElapsedTimer clock;
        clock.start();
        while (m_telnet->ComPort() == TSpTelnet::cpAsked && !m_closed) {
            const int left = ComPortAnswerMs - int(clock.elapsed());
            if (left <= 0)
                break;
            lock.unlock();
            const int got = m_socket.Wait(nullptr, rdReadable, left);
            lock.lock();
            if (got < 0)
                return -got;
            Pull();
        }
        // A server that turned us away in words is told by the session as a
        // close, even when its close crossed our answers and became a reset.
        return EndedAs().Kind == TSpLineEnd::Failed ? m_error : 0;
    }

    // Takes everything that has arrived into m_in, through Telnet when it
    // speaks it, and sends the answers that asks for.
    void Pull()
    {
        ReceiveAll();
        if (!m_telnet)
            return;
        if (m_telnet->HasOutput()) {
            m_out += m_telnet->TakeOutput();
            SendPending();
        }
        if (const QString notice = m_telnet->TakeNotice(); !notice.isEmpty() && OnNotice)
            OnNotice(notice);
    }

    // Takes what has arrived into m_in, sending nothing.
    void ReceiveAll()
    {
        uint8_t raw[ChunkBytes];
        while (!m_closed) {
            const int n = m_socket.Receive(raw, sizeof raw);
            if (n == 0)
                break;
            if (n < 0) {
                Lost(n == TSpSocket::Closed ? 0 : -n);
                break;
            }
            const qsizetype at = m_in.size();
            if (m_telnet) {
                m_in.resize(at + n);
                m_in.resize(at + m_telnet->Receive(raw, n, reinterpret_cast<uint8_t*>(m_in.data() + at)));
            } else {
                m_in.append(reinterpret_cast<const char*>(raw), n);
            }
            Heard(at);
        }
    }

    // Keeps the start of what the connection carried, data only: a server
    // that refuses a client says why in its first line and closes.
    void Heard(qsizetype from)
    {
        const qsizetype count = m_in.size() - from;
        m_heardTotal += count;
        const qsizetype room = WordsLimit + 2 - m_heard.size();
        if (room > 0)
            m_heard += m_in.mid(from, std::min(room, count));
    }

    // The connection is over: code 0 when the far end closed it. The trace
    // is told which, since the port only learns that the line failed.
    void Lost(int code)
    {
        m_closed = true;
        m_error = code;
        if (OnNotice)
            OnNotice(code ? QStringLiteral("the connection failed: ") + ErrorText(code)
                          : QStringLiteral("the server closed the connection"));
    }

    // Sends what the system takes of m_out now; the rest waits for writable.
    void SendPending()
    {
        if (m_telnet && m_telnet->HasOutput())
            m_out += m_telnet->TakeOutput();
        while (!m_out.isEmpty() && !m_closed) {
            const int n = m_socket.Send(reinterpret_cast<const uint8_t*>(m_out.constData()), int(m_out.size()));
            if (n == 0)
                return;
            if (n < 0) {
                // A server that closed makes a send fail (a broken pipe) before
                // a read has seen its end: what it sent, and how it ended, first.
                ReceiveAll();
                if (!m_closed)
                    Lost(-n);
                return;
            }
            m_out.remove(0, n);
        }
    }

    mutable std::mutex m_lock; // everything below: the event thread, the write thread and the port's callers meet here
    TSpSocket m_socket;
    std::optional<TSpTelnet> m_telnet;
    QByteArray m_in; // data received and not yet read, from m_inStart on
    qsizetype m_inStart = 0;
    QByteArray m_out; // bytes for the socket, Telnet-encoded where it applies
    bool m_closed = false;
    int m_error = 0; // the system's code when the connection failed rather than closed
    QByteArray m_heard; // the first data received, up to a line's worth
    qint64 m_heardTotal = 0;
};

} // namespace

std::unique_ptr<TSpDevice> spCreateNetDevice()
{
    return std::make_unique<TSpNetDevice>();
}

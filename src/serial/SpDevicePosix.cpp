// The POSIX half of SpDevice.h: a terminal device through termios, and the
// waker as an eventfd.
#include "SpDevice.h"
#include "SpPollPosix.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

TSpWaker::TSpWaker() : m_handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TSpWaker::~TSpWaker()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

void TSpWaker::Signal() const
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(int(m_handle), &one, sizeof one);
}

void TSpWaker::Drain() const
{
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(int(m_handle), &value, sizeof value);
}

int spPollWithWaker(const TSpWaker* waker, int fd, int events, int timeoutMs)
{
    pollfd fds[2] = {{waker ? int(waker->Handle()) : -1, POLLIN, 0}, {fd, short(events), 0}};
    const int ready = ::poll(fds, events ? 2 : 1, timeoutMs);
    const int err = errno;
    if (waker)
        waker->Drain();
    if (ready < 0)
        return err == EINTR ? 0 : -err;
    return fds[1].revents;
}

namespace {

speed_t speedConstant(int rate)
{
    static const struct { int rate; speed_t code; } table[] = {
        {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
        {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
        {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
        {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
        {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
        {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& entry : table)
        if (entry.rate == rate)
            return entry.code;
    return B0;
}

bool setFrame(termios& t, const TSpLineSettings& s)
{
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (s.DataBits < 5 || s.DataBits > 8 || (s.StopBits != 0 && s.StopBits != 2))
        return false;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CLOCAL | CREAD | sizes[s.DataBits - 5];
    if (s.StopBits == 2)
        t.c_cflag |= CSTOPB;
    switch (s.Parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return false;
    }
    if (s.HardwareFlow)
        t.c_cflag |= CRTSCTS;
    return true;
}

// A terminal device opened non-blocking: every read and write returns at once.
class TSpPosixTerminal final : public TSpDevice {
public:
    ~TSpPosixTerminal() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int Open(const QString& name) override
    {
        const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        // TIOCEXCL alone does not stop root, nor a second port of this process:
        // an advisory lock on the open file does both for every program that asks.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        m_fd = fd;
        // Keeps out programs that do not use flock (not for root).
        ::ioctl(m_fd, TIOCEXCL);
        // The unit must not see DTR or RTS raised by the driver's open.
        SetModemLines(mlDtr | mlRts, false);
        return 0;
    }

    void Release() override
    {
        ::ioctl(m_fd, TIOCNXCL);
        ::flock(m_fd, LOCK_UN);
    }

    int ApplyLineSettings(const TSpLineSettings& s) override
    {
        termios t{};
        if (::tcgetattr(m_fd, &t) != 0)
            return errno;
        ::cfmakeraw(&t);
        const speed_t speed = speedConstant(s.BitRate);
        if (speed == B0 || !setFrame(t, s))
            return EINVAL;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
        if (s.XonXoffOut)
            t.c_iflag |= IXON;
        if (s.XonXoffIn)
            t.c_iflag |= IXOFF;
        if (s.ParityCheck)
            t.c_iflag |= INPCK;
        t.c_cc[VSTART] = cc_t(s.XonChar);
        t.c_cc[VSTOP] = cc_t(s.XoffChar);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
            return errno;
        // tcsetattr reports success when any part was taken: a driver that
        // refused the rate must not leave the line silently at another one.
        termios back{};
        if (::tcgetattr(m_fd, &back) != 0)
            return errno;
        return ::cfgetospeed(&back) != speed ? EINVAL : 0;
    }

    int SetModemLines(int lines, bool on) override
    {
        // A pseudo-terminal has no modem lines and answers with ENOTTY or EINVAL.
        int bits = (lines & mlDtr ? TIOCM_DTR : 0) | (lines & mlRts ? TIOCM_RTS : 0);
        if (!bits)
            return 0;
        return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0 ? errno : 0;
    }

    int Wait(const TSpWaker* waker, int wanted, int timeoutMs) override
    {
        // The device's entry asks for nothing when only failures count:
        // poll() reports a hang-up or an error whatever was asked.
        const int events = (wanted & rdReadable ? POLLIN : 0) | (wanted & rdWritable ? POLLOUT : 0);
        // POLLHUP stands in for "nothing asked": poll() reports it anyway.
        const int got = spPollWithWaker(waker, m_fd, wanted ? events | POLLHUP : 0, timeoutMs);
        if (got < 0)
            return got;
        return (got & POLLIN ? rdReadable : 0) | (got & POLLOUT ? rdWritable : 0)
            | (got & (POLLHUP | POLLERR | POLLNVAL) ? rdFailed : 0);
    }

    int Read(uint8_t* buffer, int count) override
    {
        ssize_t n;
        do
            n = ::read(m_fd, buffer, size_t(count));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return errno == EAGAIN ? 0 : -errno;
        return int(n);
    }

    int Write(const uint8_t* data, int count) override
    {
        ssize_t n;
        do
            n = ::write(m_fd, data, size_t(count));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return errno == EAGAIN ? 0 : -errno;
        return int(n);
    }

    int BytesWaiting(int& count) override
    {
        count = 0;
        return ::ioctl(m_fd, FIONREAD, &count) != 0 ? errno : 0;
    }

    int BytesUnsent(int& count) override
    {
        count = 0;
        return ::ioctl(m_fd, TIOCOUTQ, &count) != 0 ? errno : 0;
    }

    int Purge(int what) override
    {
        const bool input = what & (puAbortRead | puClearInput);
        const bool output = what & (puAbortWrite | puClearOutput);
        if (!input && !output)
            return 0;
        const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
        return ::tcflush(m_fd, queue) != 0 ? errno : 0;
    }

    QString ErrorText(int code) const override
    {
        return QString::fromLocal8Bit(std::strerror(code));
    }

    TSpFailure Classify(int code) const override
    {
        switch (code) {
        case ENOENT:
            return TSpFailure::NotFound;
        case EACCES:
            return TSpFailure::AccessDenied;
        case EWOULDBLOCK: // flock: another program holds it
        case EBUSY:       // TIOCEXCL: another program has it open
            return TSpFailure::Busy;
        default:
            return TSpFailure::Other;
        }
    }

private:
    int m_fd = -1;
};

} // namespace

std::unique_ptr<TSpDevice> spCreateSerialDevice()
{
    return std::make_unique<TSpPosixTerminal>();
}

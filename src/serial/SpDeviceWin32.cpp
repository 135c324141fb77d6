// The Win32 half of SpDevice.h: a communications device opened overlapped, and
// the waker as an auto-reset event.
#include "SpDevice.h"

#include "support/SystemErrorText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>
#include <windows.h>

TSpWaker::TSpWaker() : m_handle(std::intptr_t(::CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

TSpWaker::~TSpWaker()
{
    if (m_handle)
        ::CloseHandle(HANDLE(m_handle));
}

void TSpWaker::Signal() const
{
    ::SetEvent(HANDLE(m_handle));
}

void TSpWaker::Drain() const
{
    ::WaitForSingleObject(HANDLE(m_handle), 0);
}

namespace {

constexpr DWORD InputQueue = 4096;
constexpr DWORD OutputQueue = 2048;
constexpr int WriteChunk = 4096;
constexpr DWORD WatchedEvents = EV_RXCHAR | EV_ERR;
// A driver that completes WaitCommEvent with nothing to show (wine on a
// pseudo-terminal does so hundreds of times a second) is given a rest before
// the next wait: short while the line is busy, so an answer is seen at once,
// longer once it has been quiet for a while. A write ends the rest at once.
constexpr DWORD BusyRestMs = 1;
constexpr DWORD QuietRestMs = 100;
constexpr std::chrono::milliseconds BusySpell{500};
// How long a closing device waits for a cancelled call to come back.
constexpr DWORD CancelGraceMs = 2000;

using TClock = std::chrono::steady_clock;

// An event for one kind of overlapped call, with its OVERLAPPED.
struct TOverlapped {
    OVERLAPPED Block{};
    TOverlapped() { Block.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~TOverlapped() { ::CloseHandle(Block.hEvent); }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;
    OVERLAPPED* Start()
    {
        HANDLE event = Block.hEvent;
        Block = {};
        Block.hEvent = event;
        ::ResetEvent(event);
        return &Block;
    }
};

// "COMn" opens as \\.\COMn: the plain name reaches only COM1 to COM9.
std::wstring deviceName(const QString& name)
{
    const QStringView number = QStringView(name).mid(3);
    const bool comName = name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && !number.isEmpty()
        && number.front() != QLatin1Char('0')
        && std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); });
    return (comName ? QStringLiteral("\\\\.\\") + name : name).toStdWString();
}

class TSpWin32Comm final : public TSpDevice {
public:
    ~TSpWin32Comm() override
    {
        if (m_handle != INVALID_HANDLE_VALUE) {
            // The event thread's wait was started by that thread: only
            // CancelIoEx reaches it. The blocks must outlive the calls they
            // describe; one that a driver never gives back is left to the
            // process rather than freed under it.
            ::CancelIoEx(m_handle, nullptr);
            if (m_eventPending && !Settled(*m_event))
                m_event.release();
            if (m_writePending && !Settled(*m_write))
                m_write.release();
            ::CloseHandle(m_handle);
        }
        ::CloseHandle(m_activity);
    }

    int Open(const QString& name) override
    {
        const HANDLE handle = ::CreateFileW(deviceName(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return int(::GetLastError());
        // Reads return at once with what is waiting; writes have no time limit
        // of their own (the port bounds its waits).
        COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
        if (!::SetupComm(handle, InputQueue, OutputQueue) || !::SetCommTimeouts(handle, &timeouts)
            || !::SetCommMask(handle, WatchedEvents)) {
            const DWORD code = ::GetLastError();
            ::CloseHandle(handle);
            return int(code);
        }
        m_handle = handle;
        // The unit must not see DTR or RTS raised by the driver's open.
        SetModemLines(mlDtr | mlRts, false);
        return 0;
    }

    void Release() override {}

    int ApplyLineSettings(const TSpLineSettings& s) override
    {
        // Parity and stop-bit codes are the DCB's own.
        if (s.DataBits < 5 || s.DataBits > 8 || s.StopBits < 0 || s.StopBits > 2 || s.Parity < 0 || s.Parity > 4
            || s.BitRate <= 0)
            return ERROR_INVALID_PARAMETER;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(m_handle, &dcb))
            return int(::GetLastError());
        dcb.BaudRate = DWORD(s.BitRate);
        dcb.ByteSize = BYTE(s.DataBits);
        dcb.Parity = BYTE(s.Parity);
        dcb.StopBits = BYTE(s.StopBits);
        dcb.fBinary = TRUE;
        dcb.fParity = s.ParityCheck;
        dcb.fOutxCtsFlow = s.HardwareFlow;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        // DTR and RTS are set through SetModemLines, except RTS under hardware flow.
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = s.HardwareFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
        dcb.fOutX = s.XonXoffOut;
        dcb.fInX = s.XonXoffIn;
        dcb.XonChar = char(s.XonChar);
        dcb.XoffChar = char(s.XoffChar);
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE; // a line error must not stop every later read and write
        if (!::SetCommState(m_handle, &dcb))
            return int(::GetLastError());
        // A driver may take the block and keep another rate: the line must not
        // run silently at a rate nobody asked for.
        DCB back{};
        back.DCBlength = sizeof back;
        if (!::GetCommState(m_handle, &back))
            return int(::GetLastError());
        return back.BaudRate != dcb.BaudRate ? ERROR_INVALID_PARAMETER : 0;
    }

    int SetModemLines(int lines, bool on) override
    {
        if ((lines & mlDtr) && !::EscapeCommFunction(m_handle, on ? SETDTR : CLRDTR))
            return int(::GetLastError());
        if ((lines & mlRts) && !::EscapeCommFunction(m_handle, on ? SETRTS : CLRRTS))
            return int(::GetLastError());
        return 0;
    }

    int Wait(const TSpWaker* waker, int wanted, int timeoutMs) override
    {
        const auto deadline = timeoutMs < 0 ? TClock::time_point::max()
                                            : TClock::now() + std::chrono::milliseconds(timeoutMs);
        const auto remaining = [&]() -> DWORD {
            if (timeoutMs < 0)
                return INFINITE;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            return DWORD(std::max<long long>(left.count(), 0));
        };
        const HANDLE wake = waker ? HANDLE(waker->Handle()) : nullptr;
        if (wanted == 0) {
            const DWORD got = wake ? ::WaitForSingleObject(wake, remaining()) : (::Sleep(remaining()), WAIT_TIMEOUT);
            return got == WAIT_FAILED ? -int(::GetLastError()) : 0;
        }
        if (wanted & rdWritable)
            return WaitWritable(wake, remaining);
        return WaitEvent(wake, wanted, remaining);
    }

    int Read(uint8_t* buffer, int count) override
    {
        if (count <= 0)
            return 0;
        // The time-outs set on open make the read complete at once.
        DWORD n = 0;
        OVERLAPPED* block = m_read.Start();
        if (!::ReadFile(m_handle, buffer, DWORD(count), &n, block)) {
            DWORD code = ::GetLastError();
            if (code == ERROR_IO_PENDING)
                code = ::GetOverlappedResult(m_handle, block, &n, TRUE) ? ERROR_SUCCESS : ::GetLastError();
            if (code == ERROR_OPERATION_ABORTED) // purged meanwhile: nothing to give
                return 0;
            if (code != ERROR_SUCCESS)
                return Failed(code);
        }
        if (n > 0)
            NoteActivity();
        return int(n);
    }

    int Write(const uint8_t* data, int count) override
    {
        std::lock_guard lock(m_writeMutex);
        if (m_writePending) {
            const int finished = FinishWrite(false);
            if (finished <= 0)
                return finished;
        }
        const int n = std::min(count, WriteChunk);
        if (n <= 0)
            return 0;
        m_writeBuffer.assign(data, data + n);
        DWORD written = 0;
        OVERLAPPED* block = m_write->Start();
        if (::WriteFile(m_handle, m_writeBuffer.data(), DWORD(n), &written, block)) {
            m_writePending = false;
        } else if (const DWORD code = ::GetLastError(); code == ERROR_IO_PENDING) {
            m_writePending = true;
        } else {
            return Failed(code);
        }
        NoteActivity();
        ::SetEvent(m_activity);
        return n;
    }

    int BytesWaiting(int& count) override
    {
        COMSTAT status{};
        count = 0;
        if (const int err = Status(status))
            return err;
        count = int(status.cbInQue);
        return 0;
    }

    int BytesUnsent(int& count) override
    {
        COMSTAT status{};
        count = 0;
        if (const int err = Status(status))
            return err;
        std::lock_guard lock(m_writeMutex);
        // A write in flight may or may not be in the driver's count yet.
        count = int(status.cbOutQue);
        if (m_writePending && !HasOverlappedIoCompleted(&m_write->Block))
            count = std::max(count, int(m_writeBuffer.size()));
        return 0;
    }

    int Purge(int what) override
    {
        // The purge bits are PurgeComm's own.
        if (!what)
            return 0;
        return ::PurgeComm(m_handle, DWORD(what)) ? 0 : int(::GetLastError());
    }

    QString ErrorText(int code) const override
    {
        // FormatMessage's texts end with a full stop; the port's formats add their own.
        QString text = SystemErrorText(DWORD(code));
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        return text;
    }

    TSpFailure Classify(int code) const override
    {
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return TSpFailure::NotFound;
        case ERROR_ACCESS_DENIED:      // a communications device in another program's use
        case ERROR_SHARING_VIOLATION:
            return TSpFailure::Busy;
        default:
            return TSpFailure::Other;
        }
    }

private:
    bool Settled(TOverlapped& call)
    {
        DWORD n = 0;
        return ::WaitForSingleObject(call.Block.hEvent, CancelGraceMs) == WAIT_OBJECT_0
            && (::GetOverlappedResult(m_handle, &call.Block, &n, FALSE) || ::GetLastError() != ERROR_IO_INCOMPLETE);
    }

    // The event thread's wait: bytes waiting, or the device gone.
    int WaitEvent(HANDLE wake, int wanted, const std::function<DWORD()>& remaining)
    {
        for (;;) {
            if (m_failed.load())
                return Woken(wake, rdFailed);
            COMSTAT status{};
            if (Status(status) != 0)
                return Woken(wake, rdFailed);
            if ((wanted & rdReadable) && status.cbInQue > 0) {
                NoteActivity();
                return Woken(wake, rdReadable);
            }
            if (!m_eventPending) {
                m_eventMask = 0;
                OVERLAPPED* block = m_event->Start();
                if (::WaitCommEvent(m_handle, &m_eventMask, block)) {
                    ::SetEvent(block->hEvent);
                } else if (const DWORD code = ::GetLastError(); code != ERROR_IO_PENDING) {
                    Failed(code);
                    return Woken(wake, rdFailed);
                }
                m_eventPending = true;
            }
            const HANDLE handles[] = {m_event->Block.hEvent, wake};
            const DWORD got = ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, remaining());
            if (got == WAIT_OBJECT_0 + 1 || got == WAIT_TIMEOUT)
                return 0;
            if (got != WAIT_OBJECT_0)
                return -int(::GetLastError());
            DWORD unused = 0;
            m_eventPending = false;
            if (!::GetOverlappedResult(m_handle, &m_event->Block, &unused, FALSE)) {
                // A purge may end the wait; only the device's own failure counts.
                if (const DWORD code = ::GetLastError(); code != ERROR_OPERATION_ABORTED) {
                    Failed(code);
                    return Woken(wake, rdFailed);
                }
                continue;
            }
            if (m_eventMask == 0 && Rest(wake, remaining) != 0)
                return 0;
        }
    }

    // After a completion that showed nothing: 0 once rested (or a write came),
    // else the wait is over (woken or out of time).
    int Rest(HANDLE wake, const std::function<DWORD()>& remaining)
    {
        COMSTAT status{};
        if (Status(status) == 0 && status.cbInQue > 0)
            return 0;
        const bool busy = TClock::now() - TClock::time_point(TClock::duration(m_lastActivity.load())) < BusySpell;
        const DWORD rest = std::min(busy ? BusyRestMs : QuietRestMs, remaining());
        const HANDLE handles[] = {m_activity, wake};
        const DWORD got = ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, rest);
        if (got == WAIT_OBJECT_0 + 1)
            return 1;
        return got == WAIT_TIMEOUT && remaining() == 0 ? 1 : 0;
    }

    int WaitWritable(HANDLE wake, const std::function<DWORD()>& remaining)
    {
        HANDLE done = nullptr;
        {
            std::lock_guard lock(m_writeMutex);
            if (!m_writePending)
                return Woken(wake, rdWritable);
            done = m_write->Block.hEvent;
        }
        const HANDLE handles[] = {done, wake};
        const DWORD got = ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, remaining());
        if (got != WAIT_OBJECT_0)
            return got == WAIT_FAILED ? -int(::GetLastError()) : 0;
        std::lock_guard lock(m_writeMutex);
        const int finished = m_writePending ? FinishWrite(false) : 1;
        return Woken(wake, finished < 0 ? rdFailed : rdWritable);
    }

    // The pending write's end: 1 when done, 0 while it runs, minus the code
    // when it failed. Under m_writeMutex.
    int FinishWrite(bool wait)
    {
        DWORD written = 0;
        if (::GetOverlappedResult(m_handle, &m_write->Block, &written, wait)) {
            m_writePending = false;
            return 1;
        }
        const DWORD code = ::GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return 0;
        m_writePending = false;
        // Purged (PURGE_TXABORT): the bytes were meant to go, and are gone.
        return code == ERROR_OPERATION_ABORTED ? 1 : Failed(code);
    }

    int Status(COMSTAT& status)
    {
        DWORD errors = 0;
        if (::ClearCommError(m_handle, &errors, &status))
            return 0;
        return -Failed(::GetLastError());
    }

    // A device that failed (an adapter unplugged) stays failed: every later
    // wait reports it at once.
    int Failed(DWORD code)
    {
        m_failed.store(true);
        return -int(code ? code : ERROR_GEN_FAILURE);
    }

    void NoteActivity() { m_lastActivity.store(TClock::now().time_since_epoch().count()); }

    // Consumes the waker's signal, as every return from Wait does.
    static int Woken(HANDLE wake, int ready)
    {
        if (wake)
            ::WaitForSingleObject(wake, 0);
        return ready;
    }

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::atomic<bool> m_failed{false};
    std::atomic<TClock::rep> m_lastActivity{0};
    // Set by every write: a resting event thread looks at the line again.
    HANDLE m_activity = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // The event thread's WaitCommEvent, kept across Wait calls while pending.
    std::unique_ptr<TOverlapped> m_event = std::make_unique<TOverlapped>();
    DWORD m_eventMask = 0;
    bool m_eventPending = false;
    TOverlapped m_read;
    std::mutex m_writeMutex;
    std::unique_ptr<TOverlapped> m_write = std::make_unique<TOverlapped>();
    std::vector<uint8_t> m_writeBuffer;
    bool m_writePending = false;
};

} // namespace

std::unique_ptr<TSpDevice> spCreateSerialDevice()
{
    return std::make_unique<TSpWin32Comm>();
}

#pragma once
// The device behind a port: the one seam between the serial library and the
// platform. The port's event thread waits here for "readable" (or "failed"),
// its write thread for "writable", and the port reads, writes, purges and sets
// the line through it. Nothing else of the library calls the system for a
// device. One implementation per kind of device, chosen by the name's form
// (spCreateDevice):
//
// - POSIX terminal (SpDevicePosix.cpp; "COMn" resolved to a device, or a
//   path): termios. Wait is poll() on the descriptor and the waker's eventfd;
//   Read and Write are the non-blocking read(2) and write(2); BytesWaiting
//   FIONREAD, BytesUnsent TIOCOUTQ, Purge tcflush, the modem lines
//   TIOCMBIS/TIOCMBIC. Exclusive use is flock() and TIOCEXCL.
// - Win32 communications device ("COMn" opened as \\.\COMn): CreateFile
//   overlapped and exclusive, SetupComm, the line settings as a DCB,
//   COMMTIMEOUTS so that ReadFile returns at once with what is waiting.
//   Wait(readable) is an overlapped WaitCommEvent(EV_RXCHAR | EV_ERR) waited
//   with WaitForMultipleObjects together with the waker's event (a completion
//   with an empty mask and nothing waiting is followed by a short bounded wait
//   before the next WaitCommEvent, so a driver that completes without cause
//   does not spin a core). Write copies what it takes into the device's own
//   buffer and starts one overlapped WriteFile, returning at once; while that
//   write is pending Write takes nothing (0) and Wait(writable) waits for its
//   completion. BytesWaiting and BytesUnsent come from ClearCommError, Purge
//   is PurgeComm, the modem lines EscapeCommFunction. Release has nothing to
//   give up early (the handle is exclusive until closed). Codes are
//   GetLastError's, texts FormatMessage's.
// - Network connection ("tcp://HOST:PORT", "rfc2217://HOST:PORT"): a socket
//   (BSD sockets, Winsock on Windows), connected with a time limit in Open.
//   Wait is poll() on the socket and the waker (on Windows WSAEventSelect and
//   WaitForMultipleObjects). Raw TCP reads and writes the line's bytes as they
//   are, and has no line settings or modem lines to set (both succeed). RFC
//   2217 keeps the Telnet layer inside Read and Write: 0xFF doubled on the way
//   out and undoubled on the way in, negotiation and the server's
//   notifications answered and kept out of the data (BytesWaiting then counts
//   what Read would give, not the socket's bytes); ApplyLineSettings and
//   SetModemLines become COM-PORT-OPTION commands, Purge becomes PURGE-DATA.
//   The connection closed by the far end is rdFailed.
//
// Threads: the event thread and the write thread call Wait at the same time,
// each with a waker of its own; Read is called by one thread at a time, Write
// by one thread at a time; the other calls may come from any thread. Every
// call returns at once except Wait (and Open, which may take a network's
// connect time).
//
// Codes: 0 is success; any other code is the system's (errno on POSIX,
// GetLastError or a Winsock code on Windows), always positive, told in words
// by ErrorText and sorted by Classify. Calls that return a count return minus
// the code on failure.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// The line settings as a device applies them.
struct TSpLineSettings {
    int BitRate = 19200;
    int Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int DataBits = 8; // 5 to 8
    int StopBits = 0; // 0 one, 1 one and a half, 2 two
    bool HardwareFlow = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool ParityCheck = false;
    unsigned char XonChar = 17;
    unsigned char XoffChar = 19;
};

// What a failed code means for the user; the port words its messages by it.
enum class TSpFailure { Other, NotFound, AccessDenied, Busy };

// How a connection ended, as far as the device can tell: the session words it
// for the user when the unit never answered.
struct TSpLineEnd {
    enum TKind {
        None,   // still there, or a device that cannot tell
        Closed, // the far end closed it
        Failed  // the system reported an error (reset, unreachable)
    };
    TKind Kind = None;
    // Closed: the one line of text a server sent before it closed at once, as
    // ser2net's "Port already in use" to a second client; printable ASCII
    // only, else empty, since the far end controls it. Failed: the system's
    // reason.
    QString Words;
};

// Wakes one thread that waits in TSpDevice::Wait: the other threads' way to
// make it look again (bytes queued, the port closing). A signal given before
// the wait is not lost.
class TSpWaker {
public:
    TSpWaker();
    ~TSpWaker();
    TSpWaker(const TSpWaker&) = delete;
    TSpWaker& operator=(const TSpWaker&) = delete;
    void Signal() const;
    // Consumes the signals given so far; Wait calls it.
    void Drain() const;
    // The platform's object a device waits on: a descriptor, or an event HANDLE.
    std::intptr_t Handle() const { return m_handle; }

private:
    std::intptr_t m_handle;
};

class TSpDevice {
public:
    // What Wait may wait for, and what it reports.
    enum TReady : int { rdReadable = 1, rdWritable = 2, rdFailed = 4 };
    // Purge bits: abort writes, abort reads, clear the output, clear the input.
    enum TPurge : int { puAbortWrite = 1, puAbortRead = 2, puClearOutput = 4, puClearInput = 8 };
    // Modem line bits for SetModemLines.
    enum TModemLine : int { mlDtr = 1, mlRts = 2 };

    virtual ~TSpDevice() = default; // closes the device
    TSpDevice(const TSpDevice&) = delete;
    TSpDevice& operator=(const TSpDevice&) = delete;

    // Opens the device the name stands for, for this program alone, with
    // reads and writes that return at once and the modem lines dropped.
    virtual int Open(const QString& name) = 0;
    // Gives up the exclusive use at once, while other threads may still be in
    // Wait; the device itself closes with the object.
    virtual void Release() = 0;
    // EINVAL (or the platform's "invalid parameter") for a setting the device
    // cannot take: it is refused, never approximated.
    virtual int ApplyLineSettings(const TSpLineSettings& settings) = 0;
    // Raises (on) or drops the given lines (TModemLine bits), leaving the
    // others as they are. A device without modem lines fails harmlessly.
    virtual int SetModemLines(int lines, bool on) = 0;

    // Waits until one of wanted (TReady bits) holds, the waker is signalled,
    // or timeoutMs (< 0: no limit) has passed, and consumes the waker's
    // signals before it returns. Returns the TReady bits that hold now;
    // rdFailed whenever the device has failed (hang-up, error, the connection
    // gone), asked for or not; 0 when woken or timed out; minus the code when
    // the wait itself failed. wanted 0 waits for the waker alone, not for the
    // device; waker null (a direct write, which nobody wakes) waits for the
    // device alone.
    virtual int Wait(const TSpWaker* waker, int wanted, int timeoutMs) = 0;
    // What is waiting, up to count bytes, without waiting: the count (0: none),
    // or minus the code of a failure.
    virtual int Read(uint8_t* buffer, int count) = 0;
    // What the device takes now, without waiting: the count (0: nothing now,
    // wait for rdWritable), or minus the code of a failure.
    virtual int Write(const uint8_t* data, int count) = 0;
    virtual int BytesWaiting(int& count) = 0;
    // Written but not yet on the line; 0 where the device cannot tell.
    virtual int BytesUnsent(int& count) = 0;
    virtual int Purge(int what) = 0;

    virtual QString ErrorText(int code) const = 0;
    virtual TSpFailure Classify(int code) const = 0;
    virtual TSpLineEnd LineEnd() const { return {}; }

    // Remarks about the line for the trace (what a network server refused),
    // from whichever thread's call learnt it. Set before the device is used.
    std::function<void(const QString&)> OnNotice;

protected:
    TSpDevice() = default;
};

// The device for a name (as spResolveDevice gives it): a network connection
// for any "scheme://" name (Open refuses a bad address with EINVAL), else the
// platform's serial device; unopened.
std::unique_ptr<TSpDevice> spCreateDevice(const QString& name);
std::unique_ptr<TSpDevice> spCreateSerialDevice();
std::unique_ptr<TSpDevice> spCreateNetDevice();

#pragma once
// The serial port component: one device, its line settings, reads and writes,
// and the device's notifications turned into events raised in the main thread.
// Companion components (the prompt watcher, the file transfer) attach to a port
// through TSpCommComponent and receive every byte it reads.

#include "SpClasses.h"
#include "SpDevice.h"
#include "SpSync.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

enum TSpBaudrate {
    brUser, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TSpParity { paNone, paOdd, paEven, paMark, paSpace };
enum TSpDatabits { db4, db5, db6, db7, db8 };
enum TSpStopbits { sb1, sb15, sb2 };

// Options are a set: OR of these bits.
enum TSpCommOption : unsigned { coErrorChar = 1, coNullStrip = 2, coParityCheck = 4 };
using TSpCommOptions = unsigned;

// Device events; a set of them is the OR of the bits (TSpCommEvents).
enum TSpCommEvent : int {
    ceBreak = 0x40, ceCts = 0x8, ceDsr = 0x10, ceError = 0x80, ceRing = 0x100,
    ceRlsd = 0x20, ceRxChar = 0x1, ceTxEmpty = 0x4, ceRxFlag = 0x2, cePErr = 0x200,
    ceRx80Full = 0x400, ceEvent1 = 0x800, ceEvent2 = 0x1000
};
using TSpCommEvents = int;

// Line error flags reported by GetComStatus and OnError.
enum TSpLineError : unsigned {
    leRxOver = 0x1, leOverrun = 0x2, leRxParity = 0x4, leFrame = 0x8, leBreak = 0x10,
    leDevice = 0x400 // the device failed or went away (hang-up, I/O error)
};

struct TSpComStatus {
    unsigned Errors = 0; // TSpLineError bits, cleared by the query
    int InQue = 0;       // bytes waiting to be read
    int OutQue = 0;      // bytes the device has not sent yet
};

// The one exception the port raises; what() is the formatted message (UTF-8).
// Failure() sorts the device's failure behind it for the user's advice; Other
// also when the port itself refused.
class ESpCommError : public std::runtime_error {
public:
    explicit ESpCommError(const QString& message, TSpFailure failure = TSpFailure::Other);
    QString Message() const { return QString::fromUtf8(what()); }
    TSpFailure Failure() const { return m_failure; }

private:
    TSpFailure m_failure;
};

class TSpComm;
class TSpDispatcher;
class TSpCommEventThread;
class TSpCommWriteThread;
struct TSpLine;

// Base of the library's components: the hook run when a component's
// configuration is complete.
class TSpComponent {
public:
    virtual ~TSpComponent() = default;
    virtual void Loaded() {}
};

// What a companion offers its port: events and received bytes, in the main thread.
class ISpCommUser {
public:
    virtual void CommEvent(int mask) = 0;
    virtual void DataReceived(const uint8_t* data, int count) = 0;

protected:
    ~ISpCommUser() = default;
};

// Takes the port's bytes in the port's event thread the moment they are read,
// ahead of the main thread: a transfer thread that must not wait for the main
// thread to see every answer of the far end. Must not block.
class ISpEarlyReceiver {
public:
    virtual void EarlyReceived(const uint8_t* data, int count) = 0;

protected:
    ~ISpEarlyReceiver() = default;
};

// Sees every byte of the line in the thread that moves it: bytes handed to the
// port for writing, before the port takes them (a port without a device sees
// them too: a far end played without one answers them), and bytes read from
// the device or delivered as if read, before anyone else gets them. No writer
// or reader passes it by, whoever it is. Must not use the port.
class ISpLineTap {
public:
    virtual void Writing(const uint8_t* data, int count) = 0;
    virtual void Read(const uint8_t* data, int count) = 0;
    // A remark about the line itself: the network address connected to,
    // what its server refused.
    virtual void Note(const QString& /*text*/) {}

protected:
    ~ISpLineTap() = default;
};

struct TSpEarlyReceivers;
class TSpTapSlot;

// The port's implementation. Only TSpComm derives from it, so the events can
// name a TSpComm as their sender.
class TSpCustomComm : public TSpComponent {
public:
    ~TSpCustomComm() override;
    TSpCustomComm(const TSpCustomComm&) = delete;
    TSpCustomComm& operator=(const TSpCustomComm&) = delete;

    // Operations; any thread unless noted. Failures raise ESpCommError.
    void Open();
    void Close();
    bool IsOpen() const;
    // How the open line's connection ended (TSpDevice::LineEnd); None when closed.
    TSpLineEnd LineEnd() const;
    // Queued for the write thread (or written at once with DirectWrite); the
    // count written or queued. 0 when closed or after the device failed.
    int WriteBuf(const uint8_t* data, int count);
    bool WriteText(const QByteArray& text);
    bool WriteChar(uint8_t byte);
    // What is waiting, up to count bytes, without waiting. 0 when closed.
    int ReadBuf(uint8_t* buffer, int count);
    TSpComStatus GetComStatus();
    int InQueCount();
    void PurgeRead();
    void PurgeReadWrite();
    // Main thread: hands bytes to the companions and OnRxBuf exactly as if the
    // device had just delivered them. How a far end is played without a device.
    void DeliverReceived(const uint8_t* data, int count);
    // Any thread. While an early receiver is attached the event thread reads
    // the bytes itself and hands them to it at once; companions and OnRxBuf
    // still get them in the main thread, in order. Remove waits for a hand-over
    // in progress, so the receiver may be freed once it returns.
    void AddEarlyReceiver(ISpEarlyReceiver* receiver);
    void RemoveEarlyReceiver(ISpEarlyReceiver* receiver);
    // Any thread; nullptr removes it. Returns once no call into the tap it
    // replaces runs any more. Without a tap a write or read costs one check.
    void SetLineTap(ISpLineTap* tap);
    // Main thread (or while no events flow).
    void AddDispatcher(TSpDispatcher* dispatcher);
    void RemoveDispatcher(TSpDispatcher* dispatcher);
    // Opens the port when AutoOpen is set; the owner calls it once configured.
    void Loaded() override;

    // Properties.
    bool AutoOpen() const { return m_autoOpen; }
    void SetAutoOpen(bool v) { m_autoOpen = v; }
    TSpBaudrate Baudrate() const { return m_baudrate; }
    void SetBaudrate(TSpBaudrate v);
    TSpParity Parity() const { return m_parity; }
    void SetParity(TSpParity v);
    TSpDatabits Databits() const { return m_databits; }
    void SetDatabits(TSpDatabits v);
    TSpStopbits Stopbits() const { return m_stopbits; }
    void SetStopbits(TSpStopbits v);
    TSpEventChars& EventChars() { return m_eventChars; }
    void SetEventChars(const TSpEventChars& v) { m_eventChars.Assign(v); }
    TSpFlowControl& FlowControl() { return m_flowControl; }
    void SetFlowControl(const TSpFlowControl& v) { m_flowControl.Assign(v); }
    TSpCommOptions Options() const { return m_options; }
    void SetOptions(TSpCommOptions v);
    int PortNum() const { return m_portNum; }
    void SetPortNum(int v);
    QString DeviceName() const { return m_deviceName; }
    void SetDeviceName(const QString& v);
    TSpCommEvents MonitorEvents() const { return m_monitorEvents; }
    void SetMonitorEvents(TSpCommEvents v);
    TSpBuffers& Buffers() { return m_buffers; }
    void SetBuffers(const TSpBuffers& v);
    TSpThreadPriority EventPriority() const { return m_eventPriority; }
    void SetEventPriority(TSpThreadPriority v);
    TSpThreadPriority WritePriority() const { return m_writePriority; }
    void SetWritePriority(TSpThreadPriority v);
    bool DirectWrite() const { return m_directWrite; }
    void SetDirectWrite(bool v);
    bool UpdateDCB() const { return m_updateDcb; }
    void SetUpdateDCB(bool v);
    int UserBaudrate() const { return m_userBaudrate; }
    void SetUserBaudrate(int v);
    // The name to open: DeviceName formatted with PortNum ("COM2").
    QString FormattedName() const;

    // Events, always raised in the main thread with the port as sender.
    using TNotifyEvent = std::function<void(TSpComm* sender)>;
    TNotifyEvent OnOpen, OnClose, OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
    std::function<void(TSpComm* sender, int errors)> OnError;
    std::function<void(TSpComm* sender, int count)> OnRxChar; // no companion attached
    std::function<void(TSpComm* sender, const uint8_t* data, int count)> OnRxBuf; // data valid during the call
    TNotifyEvent OnRxFlag, OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;

protected:
    virtual void OpenDevice();
    virtual void StartThreads();
    virtual void HandleRxChar();
    virtual void HandleCommEvent(int mask);
    virtual void NotifyCommEvent(int mask);
    virtual void NotifyRxBuf(const uint8_t* data, int count);

private:
    friend class TSpComm;
    friend class TSpCommEventThread;
    friend class TSpCommWriteThread;
    TSpCustomComm();

    TSpComm* Sender();
    std::shared_ptr<TSpLine> Line() const;
    int EventMask() const;
    void DeliverEvents(int mask); // main thread: one device notification
    // Main thread: bytes the event thread read for the early receivers, and
    // the notification's other events.
    void DeliverEarlyRead(const std::vector<uint8_t>& bytes, int mask);
    void RaiseSafely(const std::function<void()>& raise);
    void RequireClosed() const;
    void LineSettingsChanged();
    void WriteLineSettings(const TSpLine& line);
    int WriteDirect(TSpLine& line, const uint8_t* data, int count);
    void Purge(int what); // TSpDevice::TPurge bits
    void StopThreads(const std::shared_ptr<TSpLine>& line);

    bool m_autoOpen = false;
    TSpBaudrate m_baudrate = br1200;
    TSpParity m_parity = paNone;
    TSpDatabits m_databits = db8;
    TSpStopbits m_stopbits = sb1;
    TSpEventChars m_eventChars;
    TSpFlowControl m_flowControl;
    TSpCommOptions m_options = 0;
    int m_portNum = 0;
    QString m_deviceName = QStringLiteral("COM%d");
    TSpCommEvents m_monitorEvents = ceError | ceRxChar | ceTxEmpty;
    TSpBuffers m_buffers;
    TSpThreadPriority m_eventPriority = tpNormal;
    TSpThreadPriority m_writePriority = tpHighest;
    bool m_directWrite = false;
    bool m_updateDcb = true;
    int m_userBaudrate = 0;

    mutable std::mutex m_lineMutex; // guards m_line itself, not the device
    std::shared_ptr<TSpLine> m_line; // set exactly while open
    TSpCriticalSection m_writeLock; // direct writes
    TSpCriticalSection m_readLock;  // reads, status, purges, stopping the threads
    std::vector<TSpDispatcher*> m_dispatchers;
    const std::shared_ptr<TSpEarlyReceivers> m_early; // shared with the event thread of each opening
    const std::shared_ptr<TSpTapSlot> m_tap;          // likewise
    bool m_destroying = false;
};

// The port as the program uses it.
class TSpComm final : public TSpCustomComm {
public:
    TSpComm() = default;
};

// A companion's link to its port. Inactive links stay attached but receive
// neither data nor events.
class TSpDispatcher {
public:
    explicit TSpDispatcher(ISpCommUser* user) : m_user(user) {}
    ~TSpDispatcher(); // detaches itself from its port
    TSpDispatcher(const TSpDispatcher&) = delete;
    TSpDispatcher& operator=(const TSpDispatcher&) = delete;

    bool Active() const { return m_active; }
    void SetActive(bool active) { m_active = active; }
    TSpCustomComm* Comm() const { return m_comm.load(); }
    // Through the port's WriteBuf; 0 when not attached.
    int Write(const uint8_t* data, int count);
    // The port's PurgeReadWrite; nothing when not attached.
    void Purge();

private:
    friend class TSpCustomComm;
    ISpCommUser* m_user;
    std::atomic<bool> m_active{true};
    std::atomic<TSpCustomComm*> m_comm{nullptr}; // a transfer thread writes through it
};

// Base of the components that ride on a port.
class TSpCommComponent : public TSpComponent, protected ISpCommUser {
public:
    TSpCommComponent();
    ~TSpCommComponent() override;

    TSpComm* Comm() const;
    void SetComm(TSpComm* comm);
    TSpDispatcher& Dispatcher() { return m_dispatcher; }

protected:
    // Main thread, while the dispatcher is active.
    void DataReceived(const uint8_t* data, int count) override;
    void CommEvent(int mask) override;

private:
    TSpDispatcher m_dispatcher{this};
};

#pragma once
// The unit's end of the serial line: a pseudo-terminal it creates, a serial
// device it is given, or a TCP port it listens on (the unit behind a serial
// device server, one client at a time: a second is closed at once). Output leaves at the pace of the emulated bit rate (ten
// bit-times per byte), reply lines after the configured reply delay, and every
// byte can be made its own burst; everything sent and received is counted.

#include "UnitIo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>

class QSocketNotifier;
class TTrafficLog;
struct TUnitFaults;

class TUnitLine : public QObject {
    Q_OBJECT
public:
    // bitRate 0 sends without pacing.
    TUnitLine(int bitRate, const TUnitFaults& faults, TTrafficLog& log);
    ~TUnitLine() override;

    // Creates a pseudo-terminal; slavePath receives the device the program opens.
    bool OpenPty(QString& slavePath, QString& error);
    // Serves an existing serial device at 19200 8N1 without flow control.
    bool OpenDevice(const QString& path, QString& error);
    // Listens on host:port (port 0: any free one); address receives what a
    // client connects to, as "tcp://HOST:PORT". A client leaving is no
    // fault: the unit waits for the next.
    bool Listen(const QString& host, int port, QString& address, QString& error);

    void Echo(const QByteArray& bytes) { Queue(bytes, 0); }
    // A reply line or prompt: held back by the reply delay plus extraHoldMs.
    void Reply(const QByteArray& bytes, int extraHoldMs = 0);
    // Transfer data: no reply delay.
    void Data(const QByteArray& bytes) { Queue(bytes, 0); }

    qint64 BytesSent() const { return m_sent; }
    qint64 BytesReceived() const { return m_received; }

signals:
    void Received(const QByteArray& bytes);
    // The device failed for good (a serial adapter unplugged, for instance).
    void Lost(const QString& reason);

private:
    using TClock = std::chrono::steady_clock;
    struct TChunk {
        QByteArray Bytes;
        int HoldMs = 0;
        bool HoldStarted = false;
    };

    bool Attach(UnitIo::THandle handle, QString& error);
    void OnClientWaiting();
    // The client went away: output for it is dropped, the next may come.
    void Detach();
    void Queue(const QByteArray& bytes, int holdMs);
    void OnReadable();
    void Drain();
    // How many bytes the pacing lets out now; 0 sets waitMs to the next chance.
    qsizetype Allowance(TClock::time_point now, int& waitMs);
    void RestartPacing(TClock::time_point now);
    // Ten bit-times: start bit, eight data bits, stop bit.
    std::chrono::nanoseconds ByteTime() const;
    bool WriteOut(QByteArray& bytes, qsizetype count);

    const int m_bitRate;
    const TUnitFaults& m_faults;
    TTrafficLog& m_log;
    UnitIo::THandle m_handle = UnitIo::None;
    UnitIo::THandle m_slaveKeep = UnitIo::None;
    UnitIo::THandle m_listener = UnitIo::None;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_acceptor;
    QTimer m_drainTimer;
    std::deque<TChunk> m_queue;
    TClock::time_point m_holdUntil;
    TClock::time_point m_paceStart;
    qint64 m_paceBytes = 0;
    TClock::time_point m_lastWrite;
    qint64 m_sent = 0;
    qint64 m_received = 0;
};

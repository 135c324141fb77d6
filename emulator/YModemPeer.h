#pragma once
// The unit's side of a YModem transfer: the unit hands it the line's bytes
// and sends what it gives out, paced. Two peers play it: lrzsz (LrzszPeer.h),
// an independent implementation, on Linux; the program's own YModem engine
// (EnginePeer.h) on Windows, which has no lrzsz, and on Linux when asked for.
// Both end a transfer when the line stays silent too long.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class TTrafficLog;

class TYModemPeer : public QObject {
    Q_OBJECT
public:
    // The numbers a transfer reports as "TRANSFER_RESULT:YMODEM_ERR(n)".
    enum TResult {
        Ok = 0,
        PeerFailed = 1,  // the peer gave up (cancelled, too many errors, bad data)
        PeerCrashed = 2, // lrzsz ended by a signal
        TimedOut = 3,    // the line stayed silent: the program went away
        NotStarted = 4,  // the peer could not be started
        NotStored = 5,   // the received file could not be kept (no file, several files)
    };

    // The peers this build has, the default first.
    static QStringList Kinds();
    // kind empty: the default; null for a kind this build does not have.
    static std::unique_ptr<TYModemPeer> Create(const QString& kind, TTrafficLog& log, int silenceTimeoutMs);
    ~TYModemPeer() override;

    // Receives one batch into folder.
    virtual void Receive(const QString& folder) = 0;
    // Sends the one file in folder, in 1K blocks.
    virtual void Send(const QString& folder) = 0;
    // The line's bytes during a transfer.
    void FromLine(const QByteArray& bytes);

signals:
    void ToLine(const QByteArray& bytes);
    void Finished(int result);

protected:
    TYModemPeer(TTrafficLog& log, int silenceTimeoutMs);
    // The transfer has begun: the silence watch starts.
    void Started();
    // The transfer is over: Finished, with TimedOut if the silence ended it.
    void Complete(TResult result);
    TTrafficLog& Log() const { return m_log; }

private:
    virtual void Deliver(const QByteArray& bytes) = 0;
    // The line stayed silent: end the transfer, which then completes.
    virtual void Abandon() = 0;

    TTrafficLog& m_log;
    QTimer m_silence;
    bool m_timedOut = false;
};

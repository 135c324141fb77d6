#pragma once
// The line exchange with the unit. TFormComm owns the serial port, gathers the
// received bytes into one text buffer, and offers the worker thread three
// blocking primitives (send a line and wait for its echo, wait for a text, read
// through a terminator) and the generic exchanges built on them.

#include "serial/SpComm.h"
#include "serial/SpWaitMessage.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <mutex>

// What the primitives return: 0 found, anything else a failure.
enum TWaitResult { wrFound = 0, wrTimeout = 1, wrAbandoned = 2, wrFailed = 3 };

// A tap on the line to the unit: sees every byte the program sends and
// receives, and every wait for the unit's answer. A trace writes them down;
// tests and the fuzzer play the unit with it, without a device.
class TLineTap {
public:
    // What becomes of a wait the tap was told of.
    enum TVerdict {
        GoOn,   // the wait looks at what arrived meanwhile, and blocks if it must
        RunOut, // nothing comes for this wait: it ends as timed out, at once
        HangUp, // nothing comes ever: this wait and every later one whose text
                // has not arrived fail at once, until a tap is set again
    };

    virtual ~TLineTap() = default;
    // In the writing thread, before the port takes the bytes: whatever writes
    // them, the session or the file transfer.
    virtual void Sent(const QByteArray& bytes) = 0;
    // The same for bytes a trace must not show as they are (the password).
    virtual void SentSecret(const QByteArray& bytes) { Sent(bytes); }
    // In the reading thread (the port's event thread, or the main thread), the
    // moment they are read (line feeds included), before any wait sees them.
    virtual void Received(const QByteArray& bytes) = 0;
    // On: the value of the unit's next reply ("=" up to its CR) must not show
    // as it is (a password read); off once the reply was read or refused.
    virtual void SecretValue(bool /*on*/) {}
    // A remark about the line itself (the network address connected to, what
    // its server refused), in the thread that learnt it.
    virtual void Note(const QString& /*text*/) {}
    // On the worker, each time a wait is about to block for text that has not
    // arrived. A unit played without a device answers here: bytes it delivers
    // (SpComm1.DeliverReceived, in the main thread) are looked at before the
    // wait blocks, so they cost no time.
    virtual TVerdict Waiting(const QByteArray& /*awaited*/) { return GoOn; }
};

class TFormComm : public QObject, private ISpLineTap {
    Q_OBJECT
public:
    explicit TFormComm(QObject* parent = nullptr);
    ~TFormComm() override;

    TSpComm SpComm1;
    TSpWaitMessage SpWaitMessage1;

    // Not owned; set while no job runs. nullptr removes it, and returns once
    // no call into the old tap runs any more.
    void SetLineTap(TLineTap* tap);

    // The session's bytes to the unit. The tap sees them at the port, with
    // everything else written there.
    bool Send(const QByteArray& bytes);
    bool SendChar(uint8_t byte) { return Send(QByteArray(1, char(byte))); }
    // Send for the password: the tap is told these bytes are secret.
    bool SendSecret(const QByteArray& bytes);
    // How many times anything was sent so far: tells whether the unit was
    // sent anything since a given moment.
    uint64_t SendCount() const { return m_sends.load(); }

    // Worker thread only: received bytes arrive in the main thread, which a wait
    // there would block. Called in the main thread they fail at once (wrFailed).
    int SendAndWaitEcho(const QByteArray& text, int timeoutMs);
    // The same for a password: the tap is told these bytes, and their echo,
    // are secret.
    int SendSecretAndWaitEcho(const QByteArray& text, int timeoutMs);
    // Tells the tap whether the reply read next holds a password.
    void SetSecretValue(bool on);
    int WaitForText(const QByteArray& text, int timeoutMs);
    // On entry text is the terminator; on success it holds everything received
    // up to and including the terminator's first occurrence.
    int ReadThrough(QByteArray& text, int timeoutMs);

    // Announce a read or write of a parameter: "GET\r"/"SET\r", the "N" prompt,
    // the code. A failure shows its box; the caller's own read reports the rest.
    void SendGet(int code);
    void SendSet(int code);
    // Reads the name and length of a recorded voice message. length is left
    // alone when the line carries none.
    void MessageGet(int code, QByteArray& name, int& length);

    // Received and not yet consumed.
    QByteArray RxText() const;
    // The open port's device failed or went away; every wait fails at once
    // until the port is opened again.
    bool LineLost() const;

    // Text kept after a match: whatever follows it, at most this much.
    static constexpr int KeptAfterMatch = 999;

private:
    // The port's view of the line, handed on to the tap.
    void Writing(const uint8_t* data, int count) override;
    void Read(const uint8_t* data, int count) override;
    void Note(const QString& text) override;
    // Every byte received from the unit comes through here (main thread).
    void SpComm1RxBuf(TSpComm* sender, const uint8_t* data, int count);
    void SpComm1Error(TSpComm* sender, int errors);
    void SendAnnounce(const QByteArray& command, int code, const QString& failure);
    int EchoedSend(const char* name, const QByteArray& text, int timeoutMs, bool secret);
    // Arms for text unless it is there already; then waits and cuts.
    int AwaitAndCut(const QByteArray& text, int timeoutMs, QByteArray* through);
    enum TTapAnswer { taNone, taDelivered, taRunOut, taHungUp };
    // Lets the tap answer a wait. Called and returns with the lock held,
    // releasing it meanwhile.
    TTapAnswer AskTap(const QByteArray& text, std::unique_lock<std::mutex>& lock);
    bool RefusedInMainThread(const char* primitive) const;

    mutable std::mutex m_lock; // RxText, Armed, Awaited, the tap's answers
    QByteArray m_rxText;
    bool m_armed = false;
    QByteArray m_awaited;
    bool m_hungUp = false;     // the tap's far end said nothing comes any more
    bool m_lineLost = false;   // the device failed; cleared when the port opens
    uint64_t m_deliveries = 0; // bursts received: tells a wait that its tap answered
    std::atomic<TLineTap*> m_tap{nullptr};
    std::atomic<uint64_t> m_sends{0};
    TSpWaitEvent m_matchEvent{false, false}; // auto reset
};

// The one instance, set while it exists.
TFormComm* FormComm();

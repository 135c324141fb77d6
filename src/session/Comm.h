#pragma once
// The line exchange with the unit. TFormComm owns the serial port, gathers the
// received bytes into one text buffer, and offers the worker thread three
// blocking primitives (send a line and wait for its echo, wait for a text, read
// through a terminator) and the generic exchanges built on them.

#include "serial/SpComm.h"
#include "serial/SpWaitMessage.h"

#include <QByteArray>
#include <QObject>

#include <mutex>

// What the primitives return: 0 found, anything else a failure.
enum TWaitResult { wrFound = 0, wrTimeout = 1, wrAbandoned = 2, wrFailed = 3 };

class TFormComm : public QObject {
    Q_OBJECT
public:
    explicit TFormComm(QObject* parent = nullptr);
    ~TFormComm() override;

    TSpComm SpComm1;
    TSpWaitMessage SpWaitMessage1;

    // Every byte the program sends to the unit goes through here.
    bool Send(const QByteArray& bytes);
    bool SendChar(uint8_t byte) { return Send(QByteArray(1, char(byte))); }

    // Worker thread only: received bytes arrive in the main thread, which a wait
    // there would block. Called in the main thread they fail at once (wrFailed).
    int SendAndWaitEcho(const QByteArray& text, int timeoutMs);
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

    // Text kept after a match: whatever follows it, at most this much.
    static constexpr int KeptAfterMatch = 999;

private:
    // Every byte received from the unit comes through here (main thread).
    void SpComm1RxBuf(TSpComm* sender, const uint8_t* data, int count);
    void SendAnnounce(const QByteArray& command, int code, const QString& failure);
    // Arms for text unless it is there already; then waits and cuts.
    int AwaitAndCut(const QByteArray& text, int timeoutMs, QByteArray* through);
    bool RefusedInMainThread(const char* primitive) const;

    mutable std::mutex m_lock; // RxText, Armed, Awaited
    QByteArray m_rxText;
    bool m_armed = false;
    QByteArray m_awaited;
    TSpWaitEvent m_matchEvent{false, false}; // auto reset
};

// The one instance, set while it exists.
TFormComm* FormComm();

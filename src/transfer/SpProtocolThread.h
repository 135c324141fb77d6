#pragma once
// The frame every transfer thread runs in: the inbound queue the port's bytes
// are handed to, reads with a timeout and error counting, the file being sent or
// received, events handed to the main thread, and the way out of a transfer with
// an exit code. The protocol itself (SendBatch, ReceiveBatch) sits on top.

#include "SpProtocol.h"
#include "serial/SpClasses.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Thrown by Finish: leaves the transfer silently, the exit code already set.
struct TSpTransferAbort {
    int Code;
};

// Takes the port's bytes in the port's event thread (ISpEarlyReceiver): an
// answer of the far end reaches the protocol without waiting for the main thread.
class TSpProtocolThread : public ISpEarlyReceiver {
public:
    explicit TSpProtocolThread(TSpProtocol& owner);
    // Waits for the thread; by then it has ended or is just returning.
    virtual ~TSpProtocolThread();
    TSpProtocolThread(const TSpProtocolThread&) = delete;
    TSpProtocolThread& operator=(const TSpProtocolThread&) = delete;

    // Main thread. Runs the transfer; when it is over the owner's end handler is
    // posted to the main thread.
    void Start();
    void Cancel();
    // Nothing more is sent to the port from now on.
    void Terminate();
    // The port's device failed: the transfer ends at its next read, as a
    // failed port ends it (ecReadFailed sending, ecWriteFailed receiving).
    void LineLost();
    // A chunk the port has read (its event thread, or the main thread).
    void EarlyReceived(const uint8_t* data, int count) override;

protected:
    // Next inbound byte (0 to 255), waiting Timeout ms at a time and counting a
    // timeout error for every wait that runs out. A cancel ends the transfer
    // with ecCancelled (cancel sequence sent), an overflow with ecOverflow.
    virtual int ReadByte();
    // From the moment a file's last byte has moved (its last block answered, or
    // received) a cancel is held: the file's end and the batch's end are still
    // done, so that a file that moved whole is not thrown away (nor is a cancel
    // sent just after the answer to an EOT, which lrzsz drops with its input).
    // The far end then has LateCancelMs to finish; past that the transfer ends
    // as cancelled. Released when the next file begins. A sender also holds a
    // cancel until the receiver has called for a file's header.
    void HoldCancel(bool hold);
    static constexpr int LateCancelMs = 5000;
    // First waiting byte without taking it; -1 when none.
    int PeekByte();
    bool HasData();
    // Waits at most timeoutMs until a read would not block on the line: a byte
    // is waiting or the queue overflowed (the read then ends the transfer).
    // False when the time ran out or the transfer was cancelled; a lost line,
    // and a held cancel whose time has run out, end the transfer.
    bool WaitForData(int timeoutMs);
    // The far end owes an answer to what was just sent (a block, an EOT); the
    // next byte read is that answer.
    void ExpectAnswer() { m_answerDue = true; }
    // Waits at most timeoutMs for an owed answer and drops it; a cancel does not
    // cut this wait short. Returns at once when no answer is owed, the line is
    // lost, the queue overflowed or the transfer was terminated.
    void AwaitOwedAnswer(int timeoutMs);
    // Through the port; nothing once terminated. A port that takes nothing
    // (closed, failed) ends the transfer like any other port failure.
    void SendBytes(const uint8_t* data, int count);
    void SendByte(uint8_t byte);

    void OpenForSending(const QString& path);
    void CreateForReceiving(const QString& path);
    void CloseFile();
    bool AtEndOfFile() const;
    QFile& File() const { return *m_file; }

    // Counts an error; at MaxErrors the transfer ends with ecTooManyErrors
    // (cancel sequence first when asked), below it OnError is raised.
    void CountError(int code, bool cancel);
    [[noreturn]] void Finish(int code);
    // Ends the transfer when the port's device has failed.
    void FinishIfLineLost();
    // Runs fn in the main thread and waits; skipped while the owner is being
    // destroyed. Exceptions from user handlers are shown, not passed on.
    void RaiseInMainThread(const std::function<void()>& fn);
    // Runs fn in the main thread without waiting for it (progress). Calls made
    // while one hand-over is pending ride on it, so at most one is ever queued;
    // all run in the order issued, also among RaiseInMainThread's.
    void PostToMainThread(std::function<void()> fn);

    virtual void SendBatch() = 0;
    virtual void ReceiveBatch() = 0;
    virtual void SendCancel();

    // A cancel was asked and is not held: the transfer ends at its next step.
    bool Cancelled() const { return m_cancel.load() && !m_cancelHeld; }
    TSpTransferMode Mode() const { return m_mode; }

private:
    void Execute();
    void RunPosted();
    // Moves what the queue holds into the reader's own buffer when that is
    // empty. True when a byte is there to read.
    bool TakeWaiting();
    // ms, shortened to what a held cancel leaves the far end; once that has run
    // out the transfer ends as cancelled.
    int WaitLimit(int ms);

    TSpProtocol& m_owner;
    const TSpTransferMode m_mode;
    const int m_timeout;
    const int m_maxErrors;

    TSpCriticalSection m_queueLock;
    TSpCommBuffer m_queue;    // filled by EarlyReceived, guarded by m_queueLock
    TSpWaitEvent m_wake;      // set on every delivery, cancel and termination
    std::vector<uint8_t> m_hand; // the reader's side: bytes taken out of the queue
    int m_handPos = 0;
    int m_handCount = 0;

    std::mutex m_postLock;
    std::vector<std::function<void()>> m_posted; // guarded by m_postLock
    bool m_postPending = false;                  // guarded by m_postLock

    std::unique_ptr<QFile> m_file;
    int m_errorCount = 0;
    bool m_answerDue = false; // the reader's own: see ExpectAnswer
    bool m_cancelHeld = false; // the reader's own: see HoldCancel
    std::optional<TSpTimer> m_lateCancel; // runs from the first wait with a held cancel
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_overflow{false};
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_lineLost{false};
    std::thread m_thread;
};

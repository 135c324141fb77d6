#pragma once
// Building blocks of the serial library: events and locks for the port's threads,
// a millisecond timer, the fixed-capacity byte queue used by the write thread and
// by the transfer thread, and the port's settings groups.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

enum class TSpWaitResult { Signaled, Timeout, Abandoned, Failed };

// An event with timed waits. Manual reset (the default): stays signalled until
// Reset. Auto reset: one successful Wait consumes the signal. A Set before the
// Wait is remembered, so a wake-up is never lost.
class TSpWaitEvent {
public:
    explicit TSpWaitEvent(bool manualReset = true, bool initialState = false);
    TSpWaitEvent(const TSpWaitEvent&) = delete;
    TSpWaitEvent& operator=(const TSpWaitEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // timeoutMs < 0 waits without limit.
    TSpWaitResult Wait(int timeoutMs);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    const bool m_manualReset;
    bool m_signaled;
};

// A plain lock with Enter/Leave; also usable with std::lock_guard.
class TSpCriticalSection {
public:
    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::mutex m_mutex;
};

// Milliseconds on a monotonic clock; run out once more than the timeout has passed.
class TSpTimer {
public:
    explicit TSpTimer(int timeoutMs = 0) { Start(timeoutMs); }
    void Start(int timeoutMs);
    bool Expired() const;
    int Elapsed() const;
    int Remaining() const; // 0 once expired

private:
    std::chrono::steady_clock::time_point m_start;
    int m_timeout = 0;
};

// A byte queue in one block of fixed capacity; the held bytes are always at the
// front of the block. Not synchronised: its owner guards it.
class TSpCommBuffer {
public:
    explicit TSpCommBuffer(int capacity);
    void Clear() { m_count = 0; }
    void Append(const uint8_t* data, int n); // caller guarantees room
    void Peek(uint8_t* dest, int n) const;
    void Take(uint8_t* dest, int n);
    void Remove(int n);
    const uint8_t* Data() const { return m_block.data(); }
    int Count() const { return m_count; }
    int Capacity() const { return int(m_block.size()); }
    int Room() const { return Capacity() - m_count; }

private:
    std::vector<uint8_t> m_block;
    int m_count = 0;
};

// A group of port settings. Its owner (the port) learns of every change through
// OnChange; Assign copies a whole group and notifies once at the end. A copy of a
// group carries the values only, never the owner's callback.
class TSpPersistent {
public:
    TSpPersistent() = default;
    TSpPersistent(const TSpPersistent&) {}
    TSpPersistent& operator=(const TSpPersistent&) = delete;
    virtual ~TSpPersistent() = default;

    std::function<void()> OnChange;

protected:
    template <class T>
    void Store(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    // Runs copyValues with notifications held back, then notifies once.
    void AssignWith(const std::function<void()>& copyValues);

private:
    void Changed();
    int m_updateCount = 0;
};

// Queue sizes, timeouts (ms) and flow limits.
class TSpBuffers : public TSpPersistent {
public:
    int ReadSize() const { return m_readSize; }
    int WriteSize() const { return m_writeSize; }
    int ReadTimeout() const { return m_readTimeout; }
    int WriteTimeout() const { return m_writeTimeout; }
    int XonLimit() const { return m_xonLimit; }
    int XoffLimit() const { return m_xoffLimit; }
    void SetReadSize(int v) { Store(m_readSize, v); }
    void SetWriteSize(int v) { Store(m_writeSize, v); }
    void SetReadTimeout(int v) { Store(m_readTimeout, v); }
    void SetWriteTimeout(int v) { Store(m_writeTimeout, v); }
    void SetXonLimit(int v) { Store(m_xonLimit, v); }
    void SetXoffLimit(int v) { Store(m_xoffLimit, v); }
    void Assign(const TSpBuffers& other);

private:
    int m_readSize = 4096;
    int m_writeSize = 2048;
    int m_readTimeout = 1000;
    int m_writeTimeout = 1000;
    int m_xonLimit = 1024;
    int m_xoffLimit = 1024;
};

// The special characters of the line.
class TSpEventChars : public TSpPersistent {
public:
    uint8_t XonChar() const { return m_xon; }
    uint8_t XoffChar() const { return m_xoff; }
    uint8_t ErrorChar() const { return m_error; }
    uint8_t EventChar() const { return m_event; }
    uint8_t EofChar() const { return m_eof; }
    void SetXonChar(uint8_t v) { Store(m_xon, v); }
    void SetXoffChar(uint8_t v) { Store(m_xoff, v); }
    void SetErrorChar(uint8_t v) { Store(m_error, v); }
    void SetEventChar(uint8_t v) { Store(m_event, v); }
    void SetEofChar(uint8_t v) { Store(m_eof, v); }
    void Assign(const TSpEventChars& other);

private:
    uint8_t m_xon = 17;
    uint8_t m_xoff = 19;
    uint8_t m_error = 0;
    uint8_t m_event = 0;
    uint8_t m_eof = 0;
};

enum TSpControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum TSpControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

// Handshaking: hardware and software flow control and the DTR/RTS lines.
class TSpFlowControl : public TSpPersistent {
public:
    bool OutCtsFlow() const { return m_outCts; }
    bool OutDsrFlow() const { return m_outDsr; }
    TSpControlDtr ControlDtr() const { return m_dtr; }
    TSpControlRts ControlRts() const { return m_rts; }
    bool XonXoffOut() const { return m_xonOut; }
    bool XonXoffIn() const { return m_xonIn; }
    bool DsrSensitivity() const { return m_dsrSensitivity; }
    bool TxContinueOnXoff() const { return m_txContinue; }
    void SetOutCtsFlow(bool v) { Store(m_outCts, v); }
    void SetOutDsrFlow(bool v) { Store(m_outDsr, v); }
    void SetControlDtr(TSpControlDtr v) { Store(m_dtr, v); }
    void SetControlRts(TSpControlRts v) { Store(m_rts, v); }
    void SetXonXoffOut(bool v) { Store(m_xonOut, v); }
    void SetXonXoffIn(bool v) { Store(m_xonIn, v); }
    void SetDsrSensitivity(bool v) { Store(m_dsrSensitivity, v); }
    void SetTxContinueOnXoff(bool v) { Store(m_txContinue, v); }
    void Assign(const TSpFlowControl& other);

private:
    bool m_outCts = false;
    bool m_outDsr = false;
    TSpControlDtr m_dtr = dtrDisabled;
    TSpControlRts m_rts = rtsDisabled;
    bool m_xonOut = false;
    bool m_xonIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinue = false;
};

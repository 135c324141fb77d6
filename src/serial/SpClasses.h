#pragma once
// Building blocks of the serial library: events and locks for the port's threads,
// a millisecond timer and the fixed-capacity byte queue used by the write thread
// and by the transfer thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
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

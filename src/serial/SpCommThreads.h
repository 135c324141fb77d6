#pragma once
// The two threads that serve an open port, and the state of one opening that
// they share with it. The event thread sleeps in the device's Wait until it has
// news and hands each notification to the main thread; the write thread drains
// the queue of outgoing bytes so that writers never wait for the line. Both hold
// the shared state alive while they run, so closing or destroying the port never
// waits for them and they never touch freed memory.

#include "SpClasses.h"
#include "SpDevice.h"
#include "SpSync.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TSpCustomComm;
class ISpEarlyReceiver;
class ISpLineTap;
class TSpCommEventThread;
class TSpCommWriteThread;

// The receivers that take bytes in the event thread. Shared by the port and the
// event thread, so a port that goes away mid-read leaves nothing dangling.
struct TSpEarlyReceivers {
    void Add(ISpEarlyReceiver* receiver);
    void Remove(ISpEarlyReceiver* receiver);
    void Clear();
    bool Any() const { return m_count.load() > 0; }
    // Under the lock, so that Remove never returns while a hand-over runs.
    void Deliver(const uint8_t* data, int count);

private:
    std::mutex m_lock;
    std::vector<ISpEarlyReceiver*> m_list;
    std::atomic<int> m_count{0};
};

// The port's line tap, shared like the receivers. A call into the tap runs
// under the lock, which is taken only while a tap is set: the line costs one
// check without one, and setting another never returns while a call into the
// old one runs. The lock also keeps the calls of several threads apart.
class TSpTapSlot {
public:
    void Set(ISpLineTap* tap);
    void Writing(const uint8_t* data, int count)
    {
        if (m_tap.load(std::memory_order_acquire))
            Call(data, count, true);
    }
    void Read(const uint8_t* data, int count)
    {
        if (m_tap.load(std::memory_order_acquire))
            Call(data, count, false);
    }
    void Note(const QString& text);

private:
    void Call(const uint8_t* data, int count, bool writing);

    std::atomic<ISpLineTap*> m_tap{nullptr};
    std::mutex m_lock;
};

// One opening of the device. The last of the port and its threads to let go of
// it closes the device.
struct TSpLine {
    explicit TSpLine(std::unique_ptr<TSpDevice> device) : Device(std::move(device)) {}
    TSpLine(const TSpLine&) = delete;
    TSpLine& operator=(const TSpLine&) = delete;

    // Stops both threads and calls off every hand-over not yet started.
    void Stop();
    // The device failed (hang-up, I/O error): reported once as leDevice, and
    // reads and writes return 0 from now on.
    void MarkFailed();
    bool Failed() const { return Failure.load(); }

    const std::unique_ptr<TSpDevice> Device;
    TSpSyncGate Gate;
    std::shared_ptr<TSpEarlyReceivers> Early;
    std::shared_ptr<TSpTapSlot> Tap;
    std::mutex ReadLock; // one reader of the device at a time: the port or the event thread
    std::atomic<bool> Stopping{false};
    std::atomic<bool> Failure{false};
    std::atomic<unsigned> Errors{0};         // line errors not yet fetched
    std::atomic<uint64_t> BytesRead{0};      // lets the event thread tell read bytes from new ones
    std::atomic<bool> TxEmptyPending{false}; // a direct write has gone out
    std::atomic<bool> InputPurged{false};    // what was announced is gone
    // Fixed at open: later changes of these properties are refused while open.
    int ReadTimeout = 1000;
    int WriteTimeout = 1000;
    std::unique_ptr<TSpCommEventThread> EventThread;
    std::unique_ptr<TSpCommWriteThread> WriteThread;
};

// Watches the device for received bytes, a hang-up and the end of a direct
// write, and hands each notification to the port in the main thread.
class TSpCommEventThread {
public:
    TSpCommEventThread(TSpCustomComm* port, int mask) : m_port(port), m_mask(mask) {}
    void Start(const std::shared_ptr<TSpLine>& line, TSpThreadPriority priority);
    void SetPriority(TSpThreadPriority priority);
    // Look at the device again now (bytes were read or purged, a write ended).
    void Wake() const { m_wake.Signal(); }

private:
    void Run(TSpLine& line);
    int Examine(TSpLine& line, int ready);
    // Reads what is waiting and hands it to the early receivers; the main
    // thread gets it afterwards with the rest of mask.
    bool DeliverEarly(TSpLine& line, int mask);
    void SettleReads(const TSpLine& line);

    TSpCustomComm* const m_port; // used only inside hand-overs the gate allows
    const int m_mask;
    TSpWaker m_wake;
    std::atomic<int> m_threadId{0};
    std::atomic<TSpThreadPriority> m_priority{tpNormal};
    int m_announced = 0;       // bytes waiting that the port was told about
    uint64_t m_readsSeen = 0;  // BytesRead when m_announced was last settled
};

// Drains the outgoing queue into the device.
class TSpCommWriteThread {
public:
    enum class TEnqueue { Queued, Full, Failed };

    TSpCommWriteThread(TSpCustomComm* port, int capacity) : m_port(port), m_queue(capacity) {}
    void Start(const std::shared_ptr<TSpLine>& line, TSpThreadPriority priority);
    void SetPriority(TSpThreadPriority priority);
    // Writes at once what the device takes when nothing is queued before it,
    // queues the rest, waiting up to timeoutMs for room; Failed once stopped or
    // the device failed.
    TEnqueue Enqueue(TSpLine& line, const uint8_t* data, int count, int timeoutMs);
    // Drops whatever has not been written yet.
    void PurgeQueue();
    void Stop();

private:
    void Run(TSpLine& line);
    bool HasWork();
    // One write attempt; failed is set when the device failed.
    void WriteOnce(const TSpLine& line, bool& blocked, bool& emptied, bool& failed);
    void Report(TSpLine& line, int mask);
    // Posted, so that no writer waits for it; one notice stands for every
    // emptying since the last one ran.
    void ReportEmptied(TSpLine& line);

    TSpCustomComm* const m_port;
    std::mutex m_lock; // the queue and the flags below
    std::condition_variable m_room;
    TSpCommBuffer m_queue;
    bool m_stopping = false;
    bool m_failed = false;
    TSpWaker m_wake;
    std::atomic<int> m_threadId{0};
    std::atomic<TSpThreadPriority> m_priority{tpHighest};
    const std::shared_ptr<std::atomic<bool>> m_emptiedPending = std::make_shared<std::atomic<bool>>(false);
};

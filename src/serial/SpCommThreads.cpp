#include "SpCommThreads.h"

#include "SpComm.h"

#include <algorithm>
#include <thread>

namespace {

// While bytes the port was told about sit unread, "readable" would hold without
// pause; the device is then looked at this often instead, to notice new bytes.
constexpr int kUnreadPollMs = 20;

} // namespace

void TSpEarlyReceivers::Add(ISpEarlyReceiver* receiver)
{
    std::lock_guard lock(m_lock);
    m_list.push_back(receiver);
    m_count.store(int(m_list.size()));
}

void TSpEarlyReceivers::Remove(ISpEarlyReceiver* receiver)
{
    std::lock_guard lock(m_lock);
    m_list.erase(std::remove(m_list.begin(), m_list.end(), receiver), m_list.end());
    m_count.store(int(m_list.size()));
}

void TSpEarlyReceivers::Clear()
{
    std::lock_guard lock(m_lock);
    m_list.clear();
    m_count.store(0);
}

void TSpEarlyReceivers::Deliver(const uint8_t* data, int count)
{
    std::lock_guard lock(m_lock);
    for (ISpEarlyReceiver* receiver : m_list)
        receiver->EarlyReceived(data, count);
}

void TSpTapSlot::Set(ISpLineTap* tap)
{
    std::lock_guard lock(m_lock);
    m_tap.store(tap, std::memory_order_release);
}

void TSpTapSlot::Call(const uint8_t* data, int count, bool writing)
{
    std::lock_guard lock(m_lock);
    // Looked at again under the lock: it may have gone meanwhile.
    ISpLineTap* tap = m_tap.load(std::memory_order_relaxed);
    if (!tap)
        return;
    if (writing)
        tap->Writing(data, count);
    else
        tap->Read(data, count);
}

void TSpTapSlot::Note(const QString& text)
{
    std::lock_guard lock(m_lock);
    if (ISpLineTap* tap = m_tap.load(std::memory_order_relaxed))
        tap->Note(text);
}

void TSpLine::Stop()
{
    Stopping.store(true);
    Gate.Close();
    if (EventThread)
        EventThread->Wake();
    if (WriteThread)
        WriteThread->Stop();
}

void TSpLine::MarkFailed()
{
    if (!Failure.exchange(true))
        Errors.fetch_or(leDevice);
}

void TSpCommEventThread::Start(const std::shared_ptr<TSpLine>& line, TSpThreadPriority priority)
{
    m_priority.store(priority);
    std::thread([this, line] { Run(*line); }).detach();
}

void TSpCommEventThread::SetPriority(TSpThreadPriority priority)
{
    m_priority.store(priority);
    if (const int id = m_threadId.load())
        spSetThreadPriority(id, priority);
}

void TSpCommEventThread::SettleReads(const TSpLine& line)
{
    const uint64_t reads = line.BytesRead.load();
    m_announced = std::max<int64_t>(0, int64_t(m_announced) - int64_t(reads - m_readsSeen));
    m_readsSeen = reads;
}

// The events the device shows now, as a mask for the port.
int TSpCommEventThread::Examine(TSpLine& line, int ready)
{
    int mask = 0;
    if (ready < 0 || (ready & TSpDevice::rdFailed))
        line.MarkFailed();
    if ((m_mask & ceRxChar) && !line.Failed()) {
        SettleReads(line);
        if (line.InputPurged.exchange(false))
            m_announced = 0;
        int waiting = 0;
        line.Device->BytesWaiting(waiting);
        if (waiting > m_announced) {
            mask |= ceRxChar;
            m_announced = waiting;
        } else {
            m_announced = waiting; // purged, or read by someone
        }
    }
    if ((m_mask & ceTxEmpty) && line.TxEmptyPending.exchange(false))
        mask |= ceTxEmpty;
    if ((m_mask & ceError) && line.Failed())
        mask |= ceError;
    return mask;
}

bool TSpCommEventThread::DeliverEarly(TSpLine& line, int mask)
{
    std::vector<uint8_t> bytes;
    {
        std::lock_guard lock(line.ReadLock);
        int waiting = 0;
        line.Device->BytesWaiting(waiting);
        bytes.resize(size_t(std::max(waiting, 0)));
        const int n = line.Device->Read(bytes.data(), int(bytes.size()));
        if (n < 0)
            line.MarkFailed();
        bytes.resize(size_t(std::max(n, 0)));
        line.BytesRead.fetch_add(bytes.size());
        if (!bytes.empty())
            line.Tap->Read(bytes.data(), int(bytes.size()));
    }
    if (!bytes.empty())
        line.Early->Deliver(bytes.data(), int(bytes.size()));
    const int rest = mask & ~ceRxChar;
    if (bytes.empty() && !rest)
        return true;
    // The main thread's share is posted, not waited for: this thread is back
    // on the device for the far end's next answer at once. Order is kept, as
    // every hand-over goes through the one queue.
    TSpCustomComm* port = m_port;
    line.Gate.Post([port, bytes = std::move(bytes), rest] { port->DeliverEarlyRead(bytes, rest); });
    return !line.Gate.IsClosed();
}

void TSpCommEventThread::Run(TSpLine& line)
{
    m_threadId.store(spCurrentThreadId());
    spSetThreadPriority(m_threadId.load(), m_priority.load());
    m_readsSeen = line.BytesRead.load();
    while (!line.Stopping.load()) {
        const bool unread = m_announced > 0;
        const int wanted = TSpDevice::rdFailed | ((m_mask & ceRxChar) && !unread ? TSpDevice::rdReadable : 0);
        const int ready = line.Device->Wait(&m_wake, wanted, unread ? kUnreadPollMs : -1);
        if (line.Stopping.load())
            break;
        const int mask = Examine(line, ready);
        TSpCustomComm* port = m_port;
        if ((mask & ceRxChar) && line.Early->Any()) {
            if (!DeliverEarly(line, mask))
                break;
        } else if (mask && !line.Gate.Synchronize([port, mask] { port->DeliverEvents(mask); })) {
            break;
        }
        // A failed device is not watched any more: Wait would report the
        // hang-up again at once, forever.
        if (line.Failed())
            break;
        SettleReads(line);
    }
}

void TSpCommWriteThread::Start(const std::shared_ptr<TSpLine>& line, TSpThreadPriority priority)
{
    m_priority.store(priority);
    std::thread([this, line] { Run(*line); }).detach();
}

void TSpCommWriteThread::SetPriority(TSpThreadPriority priority)
{
    m_priority.store(priority);
    if (const int id = m_threadId.load())
        spSetThreadPriority(id, priority);
}

TSpCommWriteThread::TEnqueue TSpCommWriteThread::Enqueue(TSpLine& line, const uint8_t* data, int count,
                                                         int timeoutMs)
{
    std::unique_lock lock(m_lock);
    // Nothing queued before these bytes: the caller writes what the device
    // takes now (it never blocks), sparing a hand-over to this thread. A write
    // the queue could never hold is refused as before, and errors are left to
    // the queue, where the thread meets and reports them.
    if (!m_stopping && !m_failed && m_queue.Count() == 0 && count <= m_queue.Capacity()) {
        const int n = line.Device->Write(data, count);
        if (n == count) {
            lock.unlock();
            ReportEmptied(line);
            return TEnqueue::Queued;
        }
        if (n > 0) {
            data += n;
            count -= n;
        }
    }
    const bool room = m_room.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
        return m_stopping || m_failed || m_queue.Count() + count <= m_queue.Capacity();
    });
    if (m_stopping || m_failed)
        return TEnqueue::Failed;
    if (!room)
        return TEnqueue::Full;
    m_queue.Append(data, count);
    m_wake.Signal();
    return TEnqueue::Queued;
}

void TSpCommWriteThread::PurgeQueue()
{
    std::lock_guard lock(m_lock);
    m_queue.Clear();
    m_room.notify_all();
}

void TSpCommWriteThread::Stop()
{
    std::lock_guard lock(m_lock);
    m_stopping = true;
    m_room.notify_all();
    m_wake.Signal();
}

bool TSpCommWriteThread::HasWork()
{
    std::lock_guard lock(m_lock);
    return !m_stopping && m_queue.Count() > 0;
}

void TSpCommWriteThread::WriteOnce(const TSpLine& line, bool& blocked, bool& emptied, bool& failed)
{
    // The device is non-blocking, so the write never holds the lock for long;
    // holding it means a purge can simply empty the queue.
    std::lock_guard lock(m_lock);
    if (m_stopping || m_queue.Count() == 0)
        return;
    const int n = line.Device->Write(m_queue.Data(), m_queue.Count());
    if (n > 0) {
        m_queue.Remove(n);
        m_room.notify_all();
        emptied = m_queue.Count() == 0;
    } else if (n == 0) {
        blocked = true;
    } else {
        failed = true;
        m_failed = true;
        m_queue.Clear();
        m_room.notify_all();
    }
}

void TSpCommWriteThread::Report(TSpLine& line, int mask)
{
    TSpCustomComm* port = m_port;
    line.Gate.Synchronize([port, mask] { port->RaiseSafely([&] { port->HandleCommEvent(mask); }); });
}

void TSpCommWriteThread::ReportEmptied(TSpLine& line)
{
    if (m_emptiedPending->exchange(true))
        return;
    TSpCustomComm* port = m_port;
    line.Gate.Post([port, pending = m_emptiedPending] {
        pending->store(false);
        port->RaiseSafely([&] { port->HandleCommEvent(ceTxEmpty); });
    });
}

void TSpCommWriteThread::Run(TSpLine& line)
{
    m_threadId.store(spCurrentThreadId());
    spSetThreadPriority(m_threadId.load(), m_priority.load());
    bool blocked = false;
    while (!line.Stopping.load()) {
        if (blocked || !HasWork()) {
            // Asleep until bytes are queued, the thread is stopped, or (when the
            // device's output was full) there is room again.
            line.Device->Wait(&m_wake, blocked ? TSpDevice::rdWritable : 0, -1);
            blocked = false;
            continue;
        }
        bool emptied = false;
        bool failed = false;
        WriteOnce(line, blocked, emptied, failed);
        if (emptied)
            ReportEmptied(line);
        if (failed) {
            line.MarkFailed();
            Report(line, ceError);
            break;
        }
    }
}
